// Operating-system calls of the thesaurus engine.
//
// Every call the engine makes to the operating system goes through the function table below,
// so that no other engine file includes a system header and a test can replace any entry to
// make it fail with a chosen errno. The table starts out holding the POSIX implementations;
// cnetOsDefaults() gives them back. Failing calls return -1 (or null) and leave errno set, as
// the calls they stand for do.
//
// Threads: the table is process-wide. Replace entries only while no engine call is running
// (tests do it before they start their threads and processes).
#ifndef THESAURUS_ENGINE_CNET_OS_H
#define THESAURUS_ENGINE_CNET_OS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

// How cnetOs()->openFile opens a file (descriptors are close-on-exec).
enum CnetOpenMode : int {
  CNET_OS_READ = 1,          // read-only
  CNET_OS_READ_WRITE = 2,    // read and write
  CNET_OS_CREATE_WRITE = 3,  // write-only, created when absent, truncated
};

// Lock kinds of cnetOs()->lockFile; the lock never blocks.
enum CnetLockKind : int {
  CNET_OS_LOCK_SHARED = 1,
  CNET_OS_LOCK_EXCLUSIVE = 2,
};

struct CnetOsTable {
  int (*openFile)(const char* path, int mode);                  // descriptor or -1
  int (*closeFile)(int fd);                                     // 0 or -1
  long (*writeFile)(int fd, const void* data, size_t size);     // bytes written or -1
  int (*lockFile)(int fd, int kind);                            // 0, or -1 (EWOULDBLOCK: held)
  int (*access)(const char* path);                              // 0 when the path exists
  int (*rename)(const char* from, const char* to);              // 0 or -1
  int (*remove)(const char* path);                              // 0 or -1
  void (*sleepMs)(unsigned milliseconds);                       //
  int64_t (*now)();                                             // seconds since the epoch
  int (*localTime)(int64_t seconds, struct tm* out);            // 0 or -1
  FILE* (*openStream)(const char* path, const char* mode);      // stdio open, close-on-exec
  int (*closeStream)(FILE* stream);                             // fclose
  size_t (*readStream)(void* data, size_t size, FILE* stream);  // bytes read
  size_t (*writeStream)(const void* data, size_t size, FILE* stream);  // bytes written
  int (*seekStream)(FILE* stream, long offset, int whence);            // fseek
  long (*tellStream)(FILE* stream);                                    // ftell
  long (*streamSize)(FILE* stream);  // bytes in the stream's file (fstat), or -1
  // Reads at an offset of the stream's file without moving or using the stream (pread on its
  // descriptor): bytes read (fewer only at the end of the file) or -1.
  long (*readStreamAt)(FILE* stream, void* data, size_t size, long offset);
};

// The table in use; entries may be replaced (see above).
CnetOsTable* cnetOs();

// The POSIX implementations, for restoring the table.
const CnetOsTable& cnetOsDefaults();

// Gives a stream opened with openStream a buffer of its own of size bytes (stdio ignores a
// size given without a buffer), freed by the default closeStream after the stream is closed.
// Call before the first read or write. Returns false, and the stream keeps its default buffer,
// when memory or stdio refuses. Streams write front to back and scans read through it.
bool cnetOsBufferStream(FILE* stream, size_t size);

// Memory for a large array that is read and written at random (the compiler's entry and
// membership arrays): aligned to 2 MiB and marked so that the system may back it with huge
// pages, which saves most address translation misses. Null when out of memory; std::free
// releases it.
void* cnetOsAllocateLarge(size_t bytes);

#endif  // THESAURUS_ENGINE_CNET_OS_H
