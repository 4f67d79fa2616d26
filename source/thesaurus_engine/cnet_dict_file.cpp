// File-level operations on a dictionary file set: positioned I/O, open, close, end positions,
// the header, existence, copy, rename and delete.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cnet_dict.h"
#include "cnet_names.h"
#include "cnet_os.h"
#include "cnet_os_cache.h"
#include "cnet_status.h"
#include "thesaurus_bytes.h"

namespace {

constexpr uint32_t kErrOpen = 4357;
constexpr uint32_t kErrClose = 4358;
constexpr uint32_t kErrEnd = 4359;
constexpr uint32_t kErrRename = 4360;
constexpr uint32_t kErrDelete = 4361;
constexpr uint32_t kErrSync = 4363;
constexpr uint32_t kErrCopyMemory = 4305;
constexpr uint32_t kErrMagic = 4313;
constexpr uint32_t kErrVersion = 4314;
constexpr uint32_t kErrHeadWrite = 364;
constexpr uint32_t kErrHeadRead = 365;
constexpr uint32_t kErrCopyRead = 370;
constexpr uint32_t kErrCopyWrite = 371;
constexpr uint32_t kCopyChunk = 65536;
constexpr int kRenameRetries = 60;
constexpr uint32_t kAheadSize = 65536;

bool position(CNETFILE* file, int64_t offset, uint8_t op, uint32_t errcode, CNETSTATUS* status) {
  if (offset == kCnetHere) return true;
  if (file->lastOp == op && static_cast<uint64_t>(offset) == file->position) return true;
  if (cnetOs()->seekStream(file->fp, static_cast<long>(offset), SEEK_SET) != 0) {
    cnetFailFile(status, CNET_SEEK, errcode, file->path);
    return false;
  }
  file->position = static_cast<uint32_t>(offset);
  return true;
}

// Measures the size of an open file by seeking to its end; the position is left there.
bool seekEnd(CNETFILE* file, uint32_t errcode, CNETSTATUS* status) {
  long size = -1;
  if (file->reader != nullptr) {
    size = static_cast<long>(file->size);
  } else if (cnetOs()->seekStream(file->fp, 0, SEEK_END) == 0) {
    size = cnetOs()->tellStream(file->fp);
  }
  if (size < 0) {
    cnetFailFile(status, CNET_SEEK, errcode, file->path);
    return false;
  }
  file->position = static_cast<uint32_t>(size);
  file->end = static_cast<uint32_t>(size);
  file->lastOp = 0;
  return true;
}

// Frees the word and group buffers of a set; the next read allocates them afresh.
void releaseBuffers(CNETCTL* ctl) {
  std::free(ctl->wordBuffer);
  std::free(ctl->groupBuffer);
  ctl->wordBuffer = nullptr;
  ctl->wordBufferSize = 0;
  ctl->groupBuffer = nullptr;
  ctl->groupBufferSize = 0;
}

// Reads from a file opened for reading, without a system call when its content is held by the
// cache or the bytes were read ahead. A read that follows the previous one takes the next
// kAheadSize bytes at once, so that a scan of a file makes one call per 64 KiB.
long readShared(CNETFILE* file, uint64_t offset, uint8_t* out, uint32_t size) {
  if (file->ahead != nullptr && offset >= file->aheadOffset &&
      offset + size <= uint64_t{file->aheadOffset} + file->aheadLength) {
    std::memcpy(out, file->ahead + (offset - file->aheadOffset), size);
    return size;
  }
  const bool follows = file->lastOp == 'R' && offset == file->position;
  if (!follows || size >= kAheadSize || cnetReadFileResident(file->reader)) {
    return cnetReadFileRead(file->reader, out, size, offset);
  }
  if (file->ahead == nullptr) file->ahead = static_cast<uint8_t*>(std::malloc(kAheadSize));
  if (file->ahead == nullptr) return cnetReadFileRead(file->reader, out, size, offset);
  const long got = cnetReadFileRead(file->reader, file->ahead, kAheadSize, offset);
  file->aheadOffset = static_cast<uint32_t>(offset);
  file->aheadLength = got < 0 ? 0 : static_cast<uint32_t>(got);
  if (got < 0) return -1;
  const uint32_t n = file->aheadLength < size ? file->aheadLength : size;
  std::memcpy(out, file->ahead, n);
  return n;
}

}  // namespace

bool cnetFileRead(CNETFILE* file, int64_t offset, void* data, uint32_t size, uint32_t errcode,
                  CNETSTATUS* status) {
  if (file->reader == nullptr) {
    if (!position(file, offset, 'R', errcode, status)) return false;
    file->lastOp = 'R';
    if (size == 0) return true;
    size_t got = cnetOs()->readStream(data, size, file->fp);
    file->position += static_cast<uint32_t>(got);
    if (got < size) {
      cnetFailFile(status, std::feof(file->fp) ? CNET_EOF : CNET_READ, errcode, file->path);
      std::clearerr(file->fp);
      file->lastOp = 0;  // the stream position is no longer the one kept
      return false;
    }
    return true;
  }
  const uint64_t at = offset == kCnetHere ? file->position : static_cast<uint64_t>(offset);
  const long got = size == 0 ? 0 : readShared(file, at, static_cast<uint8_t*>(data), size);
  if (got < 0) {
    cnetFailFile(status, CNET_READ, errcode, file->path);
    file->lastOp = 0;
    return false;
  }
  file->position = static_cast<uint32_t>(at + static_cast<uint64_t>(got));
  file->lastOp = 'R';
  if (static_cast<uint32_t>(got) < size) {
    cnetFailFile(status, CNET_EOF, errcode, file->path);
    return false;
  }
  return true;
}

bool cnetFileWrite(CNETFILE* file, int64_t offset, const void* data, uint32_t size,
                   uint32_t errcode, CNETSTATUS* status) {
  if (!position(file, offset, 'W', errcode, status)) return false;
  file->lastOp = 'W';
  if (size == 0) return true;
  size_t put = cnetOs()->writeStream(data, size, file->fp);
  file->position += static_cast<uint32_t>(put);
  if (file->position > file->end) file->end = file->position;
  if (put < size) {
    cnetFailFile(status, CNET_WRITE, errcode, file->path);
    file->lastOp = 0;
    return false;
  }
  return true;
}

THES_EXPORT CNETCTL* cnetOpen(CNETCTL* ctl, const char* mode, CNETSTATUS* status) {
  if (std::strchr(mode, 'w') == nullptr) {
    cnetOpenForReading(ctl, kCnetAllFiles, status);
    return ctl;
  }
  for (CNETFILE& f : ctl->files) {
    // Sets are written only as work sets, which are always created new.
    f.fp = cnetOsCreateWorkStream(f.path);
    if (f.fp == nullptr) {
      cnetFailFile(status, CNET_OPEN, kErrOpen, f.path);
      return ctl;
    }
    f.end = 0;
    f.size = kCnetNoLimit;
    // A fresh stream stands at offset 0, so a first write there needs no seek.
    f.position = 0;
    f.lastOp = 'W';
  }
  releaseBuffers(ctl);
  return ctl;
}

void cnetOpenForReading(CNETCTL* ctl, unsigned files, CNETSTATUS* status) {
  for (int i = 0; i < CNET_FILES; ++i) {
    if ((files & (1u << i)) == 0) continue;
    CNETFILE& f = ctl->files[i];
    f.reader = cnetReadFileOpen(f.path);
    if (f.reader == nullptr) {
      cnetFailFile(status, CNET_OPEN, kErrOpen, f.path);
      return;
    }
    // Opening costs no reads: the size comes with the file.
    f.size = cnetReadFileSize(f.reader);
    f.end = 0;
    f.position = 0;
    f.lastOp = 0;
    f.aheadLength = 0;
  }
  releaseBuffers(ctl);
}

THES_EXPORT void cnetClose(CNETCTL* ctl, CNETSTATUS* status) {
  for (CNETFILE& f : ctl->files) {
    if (f.reader != nullptr) {
      cnetReadFileRelease(f.reader);
      f.reader = nullptr;
    }
    std::free(f.ahead);
    f.ahead = nullptr;
    f.aheadLength = 0;
    f.lastOp = 0;
    if (f.fp == nullptr) continue;
    if (cnetOs()->closeStream(f.fp) != 0) cnetFailFile(status, CNET_CLOSE, kErrClose, f.path);
    f.fp = nullptr;
  }
  releaseBuffers(ctl);
}

void cnetSync(CNETCTL* ctl, CNETSTATUS* status) {
  for (CNETFILE& f : ctl->files) {
    if (f.fp == nullptr || cnetFailed(status)) continue;
    if (cnetOs()->syncStream(f.fp) != 0) cnetFailFile(status, CNET_WRITE, kErrSync, f.path);
  }
}

void cnetSyncDirectories(const CNETCTL* ctl) {
  // Files of one set share a directory unless a second directory holds some of them.
  auto directoryLength = [](const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? size_t{0} : static_cast<size_t>(slash - path);
  };
  // The word index lives in the first directory, whatever holds the dictionary files.
  char index[CNET_PATH_SIZE];
  const bool indexed = cnetFormPath(index, sizeof index, ctl->directory, ctl->name, "wix");
  const char* paths[CNET_FILES + 1];
  for (int i = 0; i < CNET_FILES; ++i)
    paths[i] = ctl->files[i].path;
  paths[CNET_FILES] = indexed ? index : paths[0];
  const char* done = nullptr;
  for (const char* path : paths) {
    const size_t length = directoryLength(path);
    if (done != nullptr && directoryLength(done) == length &&
        std::strncmp(done, path, length) == 0) {
      continue;
    }
    (void)cnetOs()->syncDirectoryOf(path);
    done = path;
  }
}

void cnetLinkSet(const CNETCTL* from, const CNETCTL* to) {
  for (int i = 0; i < CNET_FILES; ++i) {
    (void)cnetOs()->remove(to->files[i].path);
    (void)cnetOs()->link(from->files[i].path, to->files[i].path);
  }
}

THES_EXPORT uint32_t cnetPointEndSetSize(CNETCTL* ctl, CNETSTATUS* status) {
  for (CNETFILE& f : ctl->files) {
    if (!seekEnd(&f, kErrEnd, status)) break;
  }
  return status->retcode;
}

THES_EXPORT void cnetReadHead(CNETCTL* ctl, CNETHEAD* out, CNETSTATUS* status) {
  uint8_t raw[CNET_HEADER_SIZE];
  if (!cnetFileRead(&ctl->files[0], 0, raw, sizeof raw, kErrHeadRead, status)) return;
  cnetSwapBE32(raw + 4, 9);
  std::memcpy(out, raw, sizeof raw);
  if (std::memcmp(out->magic, CNET_MAGIC, 4) != 0) {
    cnetFailFile(status, CNET_INTEGRITY, kErrMagic, ctl->files[0].path);
  } else if (out->version != 0 && out->version != CNET_VERSION_CURRENT) {
    cnetFailFile(status, CNET_VERSION, kErrVersion, ctl->files[0].path);
  }
}

THES_EXPORT void cnetWriteHead(CNETCTL* ctl, const CNETHEAD* head, CNETSTATUS* status) {
  uint8_t raw[CNET_HEADER_SIZE];
  std::memcpy(raw, head, sizeof raw);
  std::memcpy(raw, CNET_MAGIC, 4);
  uint32_t version = CNET_VERSION_CURRENT;
  std::memcpy(raw + 4, &version, 4);
  cnetSwapBE32(raw + 4, 9);
  cnetFileWrite(&ctl->files[0], 0, raw, sizeof raw, kErrHeadWrite, status);
}

THES_EXPORT int32_t cnetAccess(const char* path, int32_t /*mode*/) {
  return cnetOs()->access(path);
}

uint32_t cnetSetExists(const CNETCTL* ctl, CNETSTATUS* status) {
  for (int i = 0; i < CNET_FILES; ++i) {
    if (cnetAccess(ctl->files[i].path, 0) == 0) continue;
    if (i > 0) cnetFailFile(status, CNET_INTEGRITY, kCnetErrPartialSet, ctl->files[i].path);
    return 0;
  }
  return 1;
}

THES_EXPORT uint32_t cnetExist(const char* name, const char* directories, uint8_t* info,
                               CNETSTATUS* status) {
  CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
  if (ctl == nullptr) {
    cnetFail(status, CNET_NO_MEMORY, kCnetErrPartialSet);
    return 0;
  }
  cnetSetCNETCTL(ctl, name, directories, 0);
  uint32_t result = cnetSetExists(ctl, status);
  if (result == 1 && info != nullptr) {
    std::memset(info, 0, 16);
    CNETHEAD head{};
    cnetOpen(ctl, "rb", status);
    if (!cnetFailed(status)) cnetReadHead(ctl, &head, status);
    if (!cnetFailed(status)) info[0] = head.codePage;
    cnetClose(ctl, status);
    if (cnetFailed(status)) result = 0;
  }
  std::free(ctl);
  return result;
}

THES_EXPORT void cnetCopy(CNETCTL* source, CNETCTL* destination, CNETSTATUS* status) {
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(kCopyChunk));
  if (buffer == nullptr) {
    cnetFail(status, CNET_NO_MEMORY, kErrCopyMemory);
    return;
  }
  cnetOpen(destination, "wb", status);
  if (!cnetFailed(status)) cnetOpen(source, "rb", status);
  for (int i = 0; i < CNET_FILES && !cnetFailed(status); ++i) {
    CNETFILE* from = &source->files[i];
    CNETFILE* to = &destination->files[i];
    if (!seekEnd(from, kErrEnd, status)) break;
    uint32_t left = from->end;
    int64_t offset = 0;
    while (left > 0 || offset == 0) {
      const uint32_t n = left < kCopyChunk ? left : kCopyChunk;
      if (!cnetFileRead(from, offset, buffer, n, kErrCopyRead, status) ||
          !cnetFileWrite(to, offset, buffer, n, kErrCopyWrite, status)) {
        break;
      }
      left -= n;
      offset = kCnetHere;
      if (n == 0) break;
    }
  }
  cnetClose(source, nullptr);
  cnetClose(destination, status);
  std::free(buffer);
}

THES_EXPORT int32_t XXrename(const char* from, const char* to) {
  int rc = cnetOs()->rename(from, to);
  for (int retry = 1; rc != 0 && (errno == EACCES || errno == EBUSY) && retry <= kRenameRetries;
       ++retry) {
    std::fprintf(stderr, "\n ZOL Warning!! renaming %s to %s ... (%d)", from, to, retry);
    cnetOs()->sleepUs(10000);
    rc = cnetOs()->rename(from, to);
  }
  return rc;
}

THES_EXPORT void cnetRename(CNETCTL* from, CNETCTL* to, CNETSTATUS* status) {
  for (int i = 0; i < CNET_FILES; ++i) {
    cnetOs()->remove(to->files[i].path);
    if (XXrename(from->files[i].path, to->files[i].path) != 0) {
      cnetFailRename(status, CNET_RENAME, kErrRename, from->files[i].path, to->files[i].path);
      return;
    }
  }
}

THES_EXPORT void cnetDelete(CNETCTL* ctl, CNETSTATUS* status) {
  for (CNETFILE& f : ctl->files) {
    if (cnetAccess(f.path, 0) != 0) continue;
    if (cnetOs()->remove(f.path) != 0) cnetFailFile(status, CNET_DELETE, kErrDelete, f.path);
  }
}
