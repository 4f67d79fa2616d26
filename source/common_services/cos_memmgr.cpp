// Memory manager: the allocator callback over malloc, realloc that never returns null, and the
// out-of-memory handler that ends the process.
#include "common_services/cos_memmgr.h"

#include <cstdio>
#include <cstdlib>

void* CosClMemoryManager::defaultAllocator(std::size_t size) {
  return std::malloc(size == 0 ? 1 : size);
}

CosClMemoryManager::AllocatorCallback CosClMemoryManager::cv_pfuAllocatorCallback =
    &CosClMemoryManager::defaultAllocator;

void CosClMemoryManager::outOfMemory(const char* origin, unsigned int line, std::size_t size) {
  std::fprintf(stderr, "Out of memory: %zu bytes could not be allocated (%s, line %u).\n", size,
               origin ? origin : "", line);
  std::fflush(stderr);
  std::abort();
}

void* CosClMemoryManager::realloc(void* block, std::size_t size) {
  // realloc with 0 would free the block and answer null; keep one byte instead.
  void* result = std::realloc(block, size == 0 ? 1 : size);
  if (result == nullptr) outOfMemory(COS_MEMMGR_ORIGIN, COS_MEMMGR_LINE, size);
  return result;
}

void CosClMemoryManager::free(void* block) {
  std::free(block);
}

void* CosClMemoryManager::allocate(std::size_t size) {
  AllocatorCallback callback =
      cv_pfuAllocatorCallback ? cv_pfuAllocatorCallback : &defaultAllocator;
  void* block = callback(size);
  if (block == nullptr) outOfMemory(COS_MEMMGR_ORIGIN, COS_MEMMGR_LINE, size);
  return block;
}
