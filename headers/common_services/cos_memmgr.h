/* Common services: memory manager.
 *
 * Every block the class layer takes comes from the allocator callback, is resized with
 * CosClMemoryManager::realloc and is released with CosClMemoryManager::free. The callback is
 * a replaceable function pointer (a test may install one that fails). A failed allocation is
 * reported to outOfMemory, which writes one line to standard error and aborts the process.
 *
 * Threads: the functions keep no state of their own; replacing the callback while other threads
 * allocate is the caller's business.
 */
#ifndef COMMON_SERVICES_COS_MEMMGR_H
#define COMMON_SERVICES_COS_MEMMGR_H

#include <cstddef>

#include "thesaurus_export.h"

/* Origin text and line that allocation sites hand to outOfMemory. */
#define COS_MEMMGR_ORIGIN "../cos/headers/cos_memmgr:359"
#define COS_MEMMGR_LINE 359

class THES_EXPORT CosClMemoryManager {
 public:
  using AllocatorCallback = void* (*)(std::size_t size);

  // The allocator: a block of at least size bytes, or null. Defaults to malloc (a request for 0
  // bytes gives a block of 1 byte, so null always means failure).
  static AllocatorCallback cv_pfuAllocatorCallback;

  // Reports that size bytes could not be had at origin:line and aborts. Never returns.
  [[noreturn]] static void outOfMemory(const char* origin, unsigned int line, std::size_t size);

  // The block resized to size bytes (contents kept up to the smaller size). block may be null.
  // Never returns null: a failure goes to outOfMemory.
  static void* realloc(void* block, std::size_t size);

  // Releases a block from the callback or realloc; null does nothing.
  static void free(void* block);

  // A block from the callback; on failure outOfMemory with the memory manager's origin.
  static void* allocate(std::size_t size);

  // The default callback, for tests that replace and restore it.
  static void* defaultAllocator(std::size_t size);
};

#endif /* COMMON_SERVICES_COS_MEMMGR_H */
