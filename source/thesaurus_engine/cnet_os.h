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

// How cnetOs()->openFile opens a file (descriptors are close-on-exec). Only CNET_OS_READ_DATA
// follows a symbolic link at the path; the others fail with ELOOP instead.
enum CnetOpenMode : int {
  CNET_OS_READ = 1,          // read-only
  CNET_OS_READ_WRITE = 2,    // read and write
  CNET_OS_CREATE_WRITE = 3,  // write-only, created when absent, truncated
  CNET_OS_READ_DATA = 4,     // read-only, the file a link at the path leads to
};

// What tells one file from another, and a file from itself after a change: a file replaced by
// a rename has another inode, one rewritten in place another size or modification time.
struct CnetFileIdentity {
  uint64_t device;
  uint64_t inode;
  uint64_t size;
  int64_t modifiedNs;  // modification time, nanoseconds since the epoch
  bool operator==(const CnetFileIdentity&) const = default;
};

// Lock kinds of cnetOs()->lockFile; the lock never blocks.
enum CnetLockKind : int {
  CNET_OS_LOCK_SHARED = 1,
  CNET_OS_LOCK_EXCLUSIVE = 2,
};

struct CnetOsTable {
  int (*openFile)(const char* path, int mode);               // descriptor or -1
  int (*closeFile)(int fd);                                  // 0 or -1
  long (*writeFile)(int fd, const void* data, size_t size);  // bytes written or -1
  int (*lockFile)(int fd, int kind);                         // 0, or -1 (EWOULDBLOCK: held)
  int (*access)(const char* path);                           // 0 when the path exists
  int (*rename)(const char* from, const char* to);           // 0 or -1
  int (*remove)(const char* path);                           // 0 or -1
  void (*sleepUs)(unsigned microseconds);                    //
  int64_t (*now)();                                          // seconds since the epoch
  int (*localTime)(int64_t seconds, struct tm* out);         // 0 or -1
  // stdio open, close-on-exec. Modes that write never follow a symbolic link at the path
  // (ELOOP); an "x" in the mode creates the file new and fails with EEXIST when it exists.
  FILE* (*openStream)(const char* path, const char* mode);
  int (*closeStream)(FILE* stream);                                    // fclose
  size_t (*readStream)(void* data, size_t size, FILE* stream);         // bytes read
  size_t (*writeStream)(const void* data, size_t size, FILE* stream);  // bytes written
  int (*seekStream)(FILE* stream, long offset, int whence);            // fseek
  long (*tellStream)(FILE* stream);                                    // ftell
  long (*streamSize)(FILE* stream);  // bytes in the stream's file (fstat), or -1
  // Reads at an offset of the stream's file without moving or using the stream (pread on its
  // descriptor): bytes read (fewer only at the end of the file) or -1.
  long (*readStreamAt)(FILE* stream, void* data, size_t size, long offset);
  // 1 when fd is the file now at path (same device and inode), 0 when path is missing or names
  // another file, -1 on another failure.
  int (*isFileAt)(int fd, const char* path);
  // Writes the stream's buffer and flushes its file to disk (fflush, fsync): 0 or -1.
  int (*syncStream)(FILE* stream);
  // Flushes the directory that holds path to disk, so that a rename into it lasts: 0 or -1.
  int (*syncDirectoryOf)(const char* path);
  // Gives the file at from a second name to (link(2)): 0 or -1.
  int (*link)(const char* from, const char* to);
  // The identity of the file at path (stat(2)), or of an open file (fstat(2)): 0 or -1.
  int (*identify)(const char* path, CnetFileIdentity* out);
  int (*identifyOpen)(int fd, CnetFileIdentity* out);
  // Reads at an offset of an open file (pread(2), repeated until size or the end of the file):
  // bytes read, or -1.
  long (*readAt)(int fd, void* data, size_t size, uint64_t offset);
};

// The table in use; entries may be replaced (see above).
CnetOsTable* cnetOs();

// The POSIX implementations, for restoring the table.
const CnetOsTable& cnetOsDefaults();

// Creates a work file new for writing through the table: a leftover at the path (a file or a
// planted link) is removed first, then the file is created exclusively ("wbx"), so that the
// engine never writes through a link into another file. Null with errno set on failure.
FILE* cnetOsCreateWorkStream(const char* path);

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
