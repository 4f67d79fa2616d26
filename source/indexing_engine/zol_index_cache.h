// The indexing engine's process-wide cache of open word index files, so that a search with a
// fresh search handle does not open, read and close the index again. Every search checks that
// the file at the path is still the one held (device, inode, size, modification time); from its
// second search on, a file unchanged for a second is copied into memory. The cache holds at most
// a set number of files and of bytes in memory; the least recently used go first. It goes with
// the library.
//
// Threads: every function may be called from any thread; the files it hands out are shared.
#ifndef INDEXING_ENGINE_ZOL_INDEX_CACHE_H
#define INDEXING_ENGINE_ZOL_INDEX_CACHE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "zol_index_file.h"

namespace zol {

// The open index file at path, whose stat(2) gave id: the cached one when it is still that
// file, else the file opened anew (and cached). Null on failure, with the status set as
// IndexFile::open sets it. May throw std::bad_alloc.
std::shared_ptr<IndexFile> openCachedIndex(const std::string& path, const FileId& id,
                                           ZOLSTATUS* status);

// Bounds of the cache: files held open and bytes held in memory (defaults 32 files, 128 MiB),
// and how long a file must have been unchanged before it is copied (default one second).
void setIndexCacheLimits(size_t files, uint64_t bytes, int64_t settledNs = 1000000000);

// Drops every cached file; files still in use stay open until their users let go.
void clearIndexCache();

}  // namespace zol

#endif  // INDEXING_ENGINE_ZOL_INDEX_CACHE_H
