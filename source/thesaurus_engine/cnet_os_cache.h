// Cached reading of dictionary files: a process-wide cache of read-only open files, so that a
// lookup does not pay for opening and closing the files it reads, and of their whole contents
// once a file is read again and again.
//
// Every open checks that the file at the path is still the one held (device, inode, size and
// modification time): a file replaced by a rename, rewritten in place or removed is never read
// through the cache. A file's content is copied into memory (not mapped) from its second open
// on, once it has been unchanged for a second, so that a file shrunk in place while it is read
// gives a short read, never a fault, and a copy never hides a change. The cache holds at most
// a set number of files and of bytes in memory; the least recently used go first. It goes with
// the library.
//
// Threads: every function may be called from any thread. A CnetReadFile is shared: its reads
// take no lock and never move a file position.
#ifndef THESAURUS_ENGINE_CNET_OS_CACHE_H
#define THESAURUS_ENGINE_CNET_OS_CACHE_H

#include <cstddef>
#include <cstdint>

#include "thesaurus_engine/cnet.h"

// Opens path for reading through the cache: the cached file when it is still the file at the
// path, else the file opened anew. Null with errno set when it cannot be opened. Each
// successful open is paired with one cnetReadFileRelease.
CnetReadFile* cnetReadFileOpen(const char* path);
void cnetReadFileRelease(CnetReadFile* file);

// The size of the file when it was opened.
uint64_t cnetReadFileSize(const CnetReadFile* file);

// Reads up to size bytes at offset, from memory when the content is held, else from the file:
// the bytes read (fewer only at the end of the file, or of a file shrunk meanwhile), or -1 with
// errno set.
long cnetReadFileRead(CnetReadFile* file, void* data, size_t size, uint64_t offset);

// True when the file's content is held in memory (reads then make no system call).
bool cnetReadFileResident(const CnetReadFile* file);

// The file's content when it is held in memory (it never changes and stays until the file is
// released), else null; null for a null file.
const uint8_t* cnetReadFileContent(const CnetReadFile* file);

// Bounds of the cache: files held open and bytes of content held in memory. The defaults are 64
// files and 256 MiB; a file whose content would not fit is read from the file. Lowering them
// takes effect at once. settledNs is how long a file must have been unchanged before its
// content is copied (default one second; tests that replace files by renames may lower it).
void cnetReadCacheSetLimits(size_t files, uint64_t bytes, int64_t settledNs = 1000000000);

// Drops every cached file; files still in use stay open until released.
void cnetReadCacheClear();

#endif  // THESAURUS_ENGINE_CNET_OS_CACHE_H
