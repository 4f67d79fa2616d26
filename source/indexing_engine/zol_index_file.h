// Helpers shared by the word index modules (build, search, administration): names and paths,
// key comparison (keys are made by zol_normalize.h), reading an index file (by pread or a read-only
// mapping) with its header checks, and the few file-system calls the engine makes. Every
// operating-system call of the word index goes through this module.
//
// Nothing here keeps global state; an IndexFile or FileWriter belongs to one thread at a time.
#ifndef INDEXING_ENGINE_ZOL_INDEX_FILE_H
#define INDEXING_ENGINE_ZOL_INDEX_FILE_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "indexing_engine/zol.h"
#include "zol_index_format.h"

namespace zol {

struct FileId;

// Location numbers (ZOLSTATUS.errcode) of the checks made here.
enum FileErrcode : uint32_t {
  kErrFileShort = 601,       // file smaller than a header
  kErrFileMagic = 602,       // wrong magic
  kErrFileVersion = 603,     // unknown format version
  kErrFileCodePage = 604,    // code page outside 1 to 36
  kErrFileReserved = 605,    // reserved header bytes not zero
  kErrFileSize = 606,        // counts do not add up to the file size
  kErrFileOpen = 607,        // open failed
  kErrFileStat = 608,        // fstat failed
  kErrFileLoad = 609,        // the file could not be copied into memory
  kErrFileKeyBounds = 610,   // an entry's key lies outside the key area
  kErrFileWriteOpen = 611,   // creating the pending file failed
  kErrFileWrite = 612,       // writing the pending file failed
  kErrFileSync = 613,        // fsync of the pending file failed
  kErrFileClose = 614,       // close of the pending file failed
  kErrFileNameLength = 615,  // a path would be longer than the system allows
  kErrFileRead = 616,        // reading the header failed
};

// ---- Keys ----------------------------------------------------------------------------------

// Order of keys: bytes as unsigned over the shorter length, then the shorter key first.
inline int compareKeys(const uint8_t* a, size_t aLength, const uint8_t* b, size_t bLength) {
  size_t n = aLength < bLength ? aLength : bLength;
  int c = n == 0 ? 0 : std::memcmp(a, b, n);
  if (c != 0) return c;
  return aLength < bLength ? -1 : (aLength > bLength ? 1 : 0);
}

// ---- Names and paths -----------------------------------------------------------------------

// The longest index name, as long as a dictionary name may be.
constexpr size_t kMaxIndexName = 2047;

// An index name: 1 to kMaxIndexName bytes, no '/', no tab, no zero byte before the end.
bool validIndexName(const char* name);

// A directories string taken apart: one directory, or two separated by a tab. An empty
// directory stands for the root, as "/" does.
struct Directories {
  std::string first;
  std::string second;  // only with two
  bool two = false;
};

// Splits a directories string. False when the string is null or empty, or holds more than one
// tab; with one tab either part may be empty.
bool splitDirectories(const char* directories, Directories* out);

// "dir/name.wix" (pending: "dir/name.wi$"); a directory of exactly "/" stands for the empty
// one, so the path is "/name.wix". May throw std::bad_alloc.
std::string indexPath(const std::string& directory, const char* name, bool pending);

// True when the path is short enough for the system's calls.
bool pathFits(const std::string& path);

// Picks the live index file of name: with two directories the second one's file when it
// exists, otherwise the first one's. Sets *path and returns the errno of stat(2) on it (0 with
// *id filled when it exists). One stat for one directory. May throw std::bad_alloc.
int chooseIndexPath(const Directories& directories, const char* name, std::string* path,
                    FileId* id);

// ---- Files ---------------------------------------------------------------------------------

// What identifies one version of a file: replacing it by rename changes the inode, rewriting
// it changes the size or the modification time.
struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t mtimeSec = 0;
  int64_t mtimeNsec = 0;
  bool operator==(const FileId&) const = default;
};

// stat(2) of a path: 0 and *id on success, else the errno.
int statFile(const std::string& path, FileId* id);

// unlink(2): 0 or the errno (ENOENT included, for the caller to judge).
int removeFile(const std::string& path);

// rename(2): 0 or the errno.
int renameFile(const std::string& from, const std::string& to);

// CRC-32 (IEEE 802.3, reflected, as zlib computes it) continued over more bytes; start with 0.
uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t length);

// An open word index file with its header checked against the file size. Entries and keys
// are read with pread(2) until load() copies the whole file into memory; a handful of reads is
// cheaper than copying the file for one search, the copy is cheaper for many. The copy is not
// a mapping, so a file shrunk in place under a reader gives a failed read, never a fault. The
// accessors check every key against the key area, so no caller reads outside the file.
//
// Threads: once open, a file may be read by several threads at once, and one of them may load
// it meanwhile.
class IndexFile {
 public:
  IndexFile() = default;
  ~IndexFile();
  IndexFile(const IndexFile&) = delete;
  IndexFile& operator=(const IndexFile&) = delete;

  // Opens path (closing what was open) and checks its header. On failure the status says why:
  // ZOL_RC_INDEX_NOT_EXIST when the file is missing, ZOL_RC_INDEX_INVALID for a damaged
  // header, else ZOL_RC_OPEN or ZOL_RC_READ; context is the reporting operation.
  bool open(const std::string& path, uint8_t context, ZOLSTATUS* status);
  // Copies the open file into memory; does nothing when it is there already. A file that
  // cannot be read whole fails with ZOL_RC_READ and is read from the file as before.
  bool load(uint8_t context, ZOLSTATUS* status);
  void close();

  bool isOpen() const { return fd_ >= 0; }
  bool isLoaded() const { return data_.load(std::memory_order_acquire) != nullptr; }
  const std::string& path() const { return path_; }
  const FileId& id() const { return id_; }
  const IndexHeader& header() const { return header_; }
  uint32_t count() const { return header_.count; }
  uint64_t size() const { return id_.size; }
  // The whole file; only once loaded.
  const uint8_t* data() const { return data_.load(std::memory_order_acquire); }

  // Entry i, which must be below count(); false when it cannot be read.
  bool entry(uint32_t i, IndexEntry* e) const;
  // The key of an entry: in the mapping, or read into scratch (kMaxKeyLength bytes). Null when
  // the key is longer than kMaxKeyLength, lies outside the key area or cannot be read.
  const uint8_t* key(const IndexEntry& e, uint8_t* scratch) const;

 private:
  bool readAt(uint64_t offset, void* out, size_t length) const;

  std::string path_;
  FileId id_;
  IndexHeader header_;
  int fd_ = -1;
  std::atomic<const uint8_t*> data_{nullptr};
  uint64_t keyStart_ = 0;  // file offset of the key area
};

// Checks a header against the size of its file: 0 when sound, else the FileErrcode.
uint32_t checkHeader(const uint8_t* data, uint64_t size, IndexHeader* header);

// Writes a new file through a buffer: create, append, overwrite the header, finish. Each call
// returns 0 or a FileErrcode and keeps the errno in lastErrno(); a writer that is destroyed
// unfinished closes its descriptor (the caller removes the file).
class FileWriter {
 public:
  explicit FileWriter(size_t bufferSize) : bufferSize_(bufferSize < 4096 ? 4096 : bufferSize) {}
  ~FileWriter();
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  uint32_t create(const std::string& path);  // may throw std::bad_alloc
  uint32_t append(const void* data, size_t length);
  // Writes bytes at an offset already written (after flushing the buffer).
  uint32_t writeAt(uint64_t offset, const void* data, size_t length);
  // Flushes, syncs to disk and closes.
  uint32_t finish();
  int lastErrno() const { return errno_; }

 private:
  uint32_t flush();
  uint32_t writeAll(const uint8_t* data, size_t length, uint64_t* offset);

  size_t bufferSize_;
  std::string buffer_;
  int fd_ = -1;
  int errno_ = 0;
  uint64_t written_ = 0;
};

}  // namespace zol

#endif  // INDEXING_ENGINE_ZOL_INDEX_FILE_H
