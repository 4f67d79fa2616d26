// Administration of a word index: verifying an index file from end to end, and deleting the
// live and pending files of an index.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "zol_index_file.h"
#include "zol_status.h"

namespace {

// Location numbers of the administration checks.
enum AdminErrcode : uint32_t {
  kErrVerifyName = 401,
  kErrVerifyDirectory = 402,
  kErrVerifyReserved = 403,
  kErrVerifyOption = 404,
  kErrVerifyPath = 405,
  kErrVerifyStat = 406,
  kErrVerifyMemory = 407,
  kErrEntryFlags = 411,
  kErrEntryKeyLength = 412,
  kErrEntryKeyBounds = 413,
  kErrEntryOrder = 414,
  kErrDuplicateDocId = 415,
  kErrChecksum = 416,
  kErrDeleteOption = 501,
  kErrDeleteName = 502,
  kErrDeleteDirectories = 503,
  kErrDeleteRemove = 504,
  kErrDeleteMemory = 505,
};

// Checks everything behind the header of a mapped file: entries, key bounds, order, unique
// ids, checksum. Returns 0 or the errcode of the first failed check; *where receives the entry
// concerned. May throw std::bad_alloc.
uint32_t checkBody(const zol::IndexFile& file, uint32_t* where) {
  const uint32_t count = file.count();
  const uint8_t* prevKey = nullptr;
  zol::IndexEntry prev{};
  std::vector<uint32_t> ids(count);
  for (uint32_t i = 0; i < count; ++i) {
    *where = i;
    zol::IndexEntry e;
    file.entry(i, &e);
    ids[i] = e.docId;
    if (e.flags != 0) return kErrEntryFlags;
    if (e.keyLength == 0 || e.keyLength > zol::kMaxKeyLength) return kErrEntryKeyLength;
    const uint8_t* key = file.key(e, nullptr);  // loaded: no scratch needed
    if (key == nullptr) return kErrEntryKeyBounds;
    if (prevKey != nullptr) {
      int c = zol::compareKeys(prevKey, prev.keyLength, key, e.keyLength);
      if (c > 0 || (c == 0 && prev.docId >= e.docId)) return kErrEntryOrder;
    }
    prevKey = key;
    prev = e;
  }
  std::sort(ids.begin(), ids.end());
  for (uint32_t i = 1; i < count; ++i) {
    if (ids[i] == ids[i - 1]) {
      *where = ids[i];
      return kErrDuplicateDocId;
    }
  }
  *where = 0;
  const uint8_t* data = file.data();
  uint32_t crc = zol::crc32Update(0, data + zol::kHeaderSize, file.size() - zol::kHeaderSize);
  crc = zol::crc32Update(crc, data, zol::kHeaderChecksum);
  return crc == file.header().checksum ? 0u : static_cast<uint32_t>(kErrChecksum);
}

}  // namespace

// The index checked is the one a search would use. kernelInfo of a failed body check holds the
// entry number concerned (for a duplicate: the document id).
THES_EXPORT void ZOLverifyIndex(const char* name, const char* directory, uint32_t reserved1,
                                uint32_t option, uint32_t reserved2, ZOLSTATUS* status) {
  zol::clearStatus(status);
  zol::Directories dirs;
  uint32_t errcode = 0;
  if (!zol::validIndexName(name)) {
    errcode = kErrVerifyName;
  } else if (reserved1 != 0 || reserved2 != 0) {
    errcode = kErrVerifyReserved;
  } else if (option != 0 && option != 8) {
    errcode = kErrVerifyOption;
  }
  if (errcode != 0) {
    zol::fail(status, ZOL_RC_PARAMETER, errcode, ZOL_CTX_VERIFY);
    return;
  }
  try {
    if (!zol::splitDirectories(directory, &dirs)) {
      zol::fail(status, ZOL_RC_PARAMETER, kErrVerifyDirectory, ZOL_CTX_VERIFY);
      return;
    }
    std::string path;
    zol::FileId id;
    int err = zol::chooseIndexPath(dirs, name, &path, &id);
    if (!zol::pathFits(path)) {
      zol::fail(status, ZOL_RC_PARAMETER, kErrVerifyPath, ZOL_CTX_VERIFY, path.c_str());
      return;
    }
    if (err != 0 && err != ENOENT && err != ENOTDIR) {
      zol::fail(status, ZOL_RC_OPEN, kErrVerifyStat, ZOL_CTX_VERIFY, path.c_str(), err);
      return;
    }
    ZOLSTATUS local;
    ZOLSTATUS* st = status != nullptr ? status : &local;
    zol::clearStatus(&local);
    zol::IndexFile file;
    uint32_t where = 0;
    if (file.open(path, ZOL_CTX_VERIFY, st) && file.load(ZOL_CTX_VERIFY, st)) {
      if (uint32_t bad = checkBody(file, &where); bad != 0) {
        zol::fail(st, ZOL_RC_INDEX_INVALID, bad, ZOL_CTX_VERIFY, path.c_str());
        st->kernelInfo = where;
      }
    }
    if (option == 0) {
      if (st->retcode == 0) {
        std::printf("Word index %s: %u words, %zu bytes: sound.\n", path.c_str(), file.count(),
                    static_cast<size_t>(file.size()));
      } else if (st->retcode == ZOL_RC_INDEX_NOT_EXIST) {
        std::printf("Word index %s: does not exist.\n", path.c_str());
      } else {
        std::printf("Word index %s: not usable (retcode %u, errcode %u).\n", path.c_str(),
                    st->retcode, st->errcode);
      }
      std::fflush(stdout);
    }
  } catch (const std::bad_alloc&) {
    zol::fail(status, ZOL_RC_NO_MEMORY, kErrVerifyMemory, ZOL_CTX_VERIFY);
  }
}

THES_EXPORT void ZOL_deleteIndex(uint32_t option, const char* name, const char* directories,
                                 ZOLSTATUS* status) {
  zol::clearStatus(status);
  if (option != 3) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrDeleteOption, ZOL_CTX_DELETE);
    return;
  }
  if (!zol::validIndexName(name)) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrDeleteName, ZOL_CTX_DELETE);
    return;
  }
  try {
    zol::Directories dirs;
    if (!zol::splitDirectories(directories, &dirs)) {
      zol::fail(status, ZOL_RC_PARAMETER, kErrDeleteDirectories, ZOL_CTX_DELETE);
      return;
    }
    // Every file is tried; the first failure is the one reported.
    for (const std::string* dir : {&dirs.first, &dirs.second}) {
      if (dir == &dirs.second && !dirs.two) continue;
      for (bool pending : {false, true}) {
        std::string path = zol::indexPath(*dir, name, pending);
        int err = zol::removeFile(path);
        if (err != 0 && err != ENOENT) {
          zol::fail(status, ZOL_RC_REMOVE, kErrDeleteRemove, ZOL_CTX_DELETE, path.c_str(), err);
        }
      }
    }
  } catch (const std::bad_alloc&) {
    zol::fail(status, ZOL_RC_NO_MEMORY, kErrDeleteMemory, ZOL_CTX_DELETE);
  }
}
