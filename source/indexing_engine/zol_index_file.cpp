// Names, paths, file-system calls and the reading of word index files.
#include "zol_index_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>

#include "zol_status.h"

namespace zol {
namespace {

constexpr std::array<uint32_t, 256> makeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

FileId fileIdOf(const struct stat& st) {
  FileId id;
  id.device = static_cast<uint64_t>(st.st_dev);
  id.inode = static_cast<uint64_t>(st.st_ino);
  id.size = static_cast<uint64_t>(st.st_size);
  id.mtimeSec = static_cast<int64_t>(st.st_mtim.tv_sec);
  id.mtimeNsec = static_cast<int64_t>(st.st_mtim.tv_nsec);
  return id;
}

}  // namespace

// ---- Names and paths -----------------------------------------------------------------------

bool validIndexName(const char* name) {
  if (name == nullptr || name[0] == '\0') return false;
  size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (i >= kMaxIndexName || name[i] == '/' || name[i] == '\t') return false;
  }
  return true;
}

bool splitDirectories(const char* directories, Directories* out) {
  if (directories == nullptr) return false;
  const char* tab = std::strchr(directories, '\t');
  if (tab == nullptr) {
    out->first = directories;
    out->second.clear();
    out->two = false;
    return !out->first.empty();
  }
  if (std::strchr(tab + 1, '\t') != nullptr) return false;
  out->first.assign(directories, static_cast<size_t>(tab - directories));
  out->second = tab + 1;
  out->two = true;
  return true;
}

std::string indexPath(const std::string& directory, const char* name, bool pending) {
  std::string path = directory == "/" ? std::string() : directory;
  path += '/';
  path += name;
  path += pending ? ".wi$" : ".wix";
  return path;
}

bool pathFits(const std::string& path) {
  return path.size() < PATH_MAX;
}

int chooseIndexPath(const Directories& directories, const char* name, std::string* path,
                    FileId* id) {
  if (directories.two) {
    *path = indexPath(directories.second, name, false);
    int err = statFile(*path, id);
    if (err != ENOENT && err != ENOTDIR) return err;
  }
  *path = indexPath(directories.first, name, false);
  return statFile(*path, id);
}

// ---- Files ---------------------------------------------------------------------------------

int statFile(const std::string& path, FileId* id) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno;
  *id = fileIdOf(st);
  return 0;
}

int removeFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int renameFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t length) {
  uint32_t c = ~crc;
  for (size_t i = 0; i < length; ++i)
    c = kCrcTable[(c ^ data[i]) & 0xFFu] ^ (c >> 8);
  return ~c;
}

// ---- Mapping -------------------------------------------------------------------------------

uint32_t checkHeader(const uint8_t* data, uint64_t size, IndexHeader* header) {
  if (size < kHeaderSize) return kErrFileShort;
  if (std::memcmp(data, kIndexMagic, sizeof kIndexMagic) != 0) return kErrFileMagic;
  *header = decodeHeader(data);
  if (header->version != kIndexVersion) return kErrFileVersion;
  if (header->codePage == 0 || header->codePage > 36) return kErrFileCodePage;
  for (size_t i = kHeaderReserved1; i < kHeaderReserved1 + 3; ++i) {
    if (data[i] != 0) return kErrFileReserved;
  }
  if (load32(data + kHeaderReserved2) != 0) return kErrFileReserved;
  uint64_t expected =
      kHeaderSize + static_cast<uint64_t>(header->count) * kEntrySize + header->keyAreaSize;
  if (expected != size) return kErrFileSize;
  return 0;
}

IndexFile::~IndexFile() {
  close();
}

void IndexFile::close() {
  std::free(const_cast<uint8_t*>(data_.exchange(nullptr)));
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  keyStart_ = 0;
  header_ = IndexHeader();
  id_ = FileId();
  path_.clear();
}

bool IndexFile::readAt(uint64_t offset, void* out, size_t length) const {
  auto* p = static_cast<uint8_t*>(out);
  while (length > 0) {
    ssize_t n = ::pread(fd_, p, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // an error, or the file shrank under us
    p += n;
    length -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

bool IndexFile::open(const std::string& path, uint8_t context, ZOLSTATUS* status) {
  close();
  try {
    path_ = path;
  } catch (const std::bad_alloc&) {
    fail(status, ZOL_RC_NO_MEMORY, kErrFileOpen, context, path.c_str());
    return false;
  }
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    int err = errno;
    uint32_t rc = (err == ENOENT || err == ENOTDIR) ? ZOL_RC_INDEX_NOT_EXIST : ZOL_RC_OPEN;
    fail(status, rc, kErrFileOpen, context, path.c_str(), err);
    close();
    return false;
  }
  struct stat st;
  uint8_t head[kHeaderSize];
  uint32_t rc = ZOL_RC_OPEN;
  uint32_t errcode = kErrFileStat;
  int err = 0;
  if (::fstat(fd_, &st) != 0) {
    err = errno;
  } else if (!S_ISREG(st.st_mode)) {
    err = EISDIR;
  } else if (static_cast<uint64_t>(st.st_size) < kHeaderSize) {
    rc = ZOL_RC_INDEX_INVALID;
    errcode = kErrFileShort;
  } else if (!readAt(0, head, sizeof head)) {
    rc = ZOL_RC_READ;
    errcode = kErrFileRead;
    err = errno;
  } else {
    errcode = checkHeader(head, static_cast<uint64_t>(st.st_size), &header_);
    rc = errcode != 0 ? ZOL_RC_INDEX_INVALID : 0;
  }
  if (rc != 0) {
    fail(status, rc, errcode, context, path.c_str(), err);
    close();
    return false;
  }
  id_ = fileIdOf(st);
  keyStart_ = kHeaderSize + static_cast<uint64_t>(header_.count) * kEntrySize;
  return true;
}

bool IndexFile::load(uint8_t context, ZOLSTATUS* status) {
  if (isLoaded()) return true;
  auto* copy = static_cast<uint8_t*>(std::malloc(id_.size));
  if (copy == nullptr || !readAt(0, copy, id_.size)) {
    std::free(copy);
    fail(status, ZOL_RC_READ, kErrFileLoad, context, path_.c_str(), errno);
    return false;
  }
  const uint8_t* none = nullptr;
  if (!data_.compare_exchange_strong(none, copy, std::memory_order_acq_rel)) std::free(copy);
  return true;
}

bool IndexFile::entry(uint32_t i, IndexEntry* e) const {
  uint64_t at = kHeaderSize + static_cast<uint64_t>(i) * kEntrySize;
  if (const uint8_t* data = this->data()) {
    *e = decodeEntry(data + at);
    return true;
  }
  uint8_t bytes[kEntrySize];
  if (!readAt(at, bytes, sizeof bytes)) return false;
  *e = decodeEntry(bytes);
  return true;
}

const uint8_t* IndexFile::key(const IndexEntry& e, uint8_t* scratch) const {
  if (e.keyLength > kMaxKeyLength ||
      static_cast<uint64_t>(e.keyOffset) + e.keyLength > header_.keyAreaSize) {
    return nullptr;
  }
  if (const uint8_t* data = this->data()) return data + keyStart_ + e.keyOffset;
  return readAt(keyStart_ + e.keyOffset, scratch, e.keyLength) ? scratch : nullptr;
}

// ---- Writing -------------------------------------------------------------------------------

FileWriter::~FileWriter() {
  if (fd_ >= 0) ::close(fd_);
}

uint32_t FileWriter::create(const std::string& path) {
  buffer_.reserve(bufferSize_);
  // The file is created new: a leftover (or a link planted in its place) is removed first, and
  // the open neither follows a link nor reuses a file that appeared meanwhile.
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    errno_ = errno;
    return kErrFileWriteOpen;
  }
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd_ < 0) {
    errno_ = errno;
    return kErrFileWriteOpen;
  }
  return 0;
}

uint32_t FileWriter::writeAll(const uint8_t* data, size_t length, uint64_t* offset) {
  while (length > 0) {
    ssize_t n = ::pwrite(fd_, data, length, static_cast<off_t>(*offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      errno_ = n < 0 ? errno : ENOSPC;
      return kErrFileWrite;
    }
    data += n;
    length -= static_cast<size_t>(n);
    *offset += static_cast<uint64_t>(n);
  }
  return 0;
}

uint32_t FileWriter::flush() {
  uint32_t err =
      writeAll(reinterpret_cast<const uint8_t*>(buffer_.data()), buffer_.size(), &written_);
  buffer_.clear();
  return err;
}

uint32_t FileWriter::append(const void* data, size_t length) {
  const char* p = static_cast<const char*>(data);
  while (length > 0) {
    size_t room = bufferSize_ - buffer_.size();
    size_t n = length < room ? length : room;
    buffer_.append(p, n);
    p += n;
    length -= n;
    if (buffer_.size() == bufferSize_) {
      if (uint32_t err = flush(); err != 0) return err;
    }
  }
  return 0;
}

uint32_t FileWriter::writeAt(uint64_t offset, const void* data, size_t length) {
  if (uint32_t err = flush(); err != 0) return err;
  return writeAll(static_cast<const uint8_t*>(data), length, &offset);
}

uint32_t FileWriter::finish() {
  if (uint32_t err = flush(); err != 0) return err;
  if (::fsync(fd_) != 0) {
    errno_ = errno;
    return kErrFileSync;
  }
  int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0) {
    errno_ = errno;
    return kErrFileClose;
  }
  return 0;
}

}  // namespace zol
