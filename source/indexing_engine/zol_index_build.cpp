// Building a word index: documents are normalized into an arena as they arrive, sorted by key
// at the end and written to the pending file "<name>.wi$", which the commit renames over the
// live file "<name>.wix". A failed step abandons the build: its memory is freed, its pending
// file removed, and the handle is gone.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "zol_codepage.h"
#include "zol_index_file.h"
#include "zol_normalize.h"
#include "zol_status.h"

// State of one index build (declared opaque in zol.h).
struct ZOLINDEX {
  std::string name;
  std::string livePath;     // <directory>/<name>.wix
  std::string pendingPath;  // <workDirectory>/<name>.wi$
  uint8_t codePage = 0;
  bool display = false;  // 'D': one progress line at the end
  bool written = false;  // ZOLcreateIndexLast has written the pending file
  bool haveDoc = false;  // lastDocId is valid
  uint32_t lastDocId = 0;
  uint32_t bufferSize = 0;               // write buffer of the pending file
  std::vector<zol::IndexEntry> entries;  // keyOffset into keys
  std::vector<char> keys;                // normalized texts back to back
};

namespace {

// Location numbers of the build's checks.
enum BuildErrcode : uint32_t {
  kErrHandleCellNull = 201,
  kErrName = 202,
  kErrDirectory = 203,
  kErrWorkDirectory = 204,
  kErrMode = 205,
  kErrKind = 206,
  kErrDescNull = 207,
  kErrDesc = 208,
  kErrParmNull = 209,
  kErrParm = 210,
  kErrLastDocIdNull = 211,
  kErrStalePending = 212,
  kErrInitMemory = 213,
  kErrHandleNull = 221,
  kErrAfterLast = 222,
  kErrItemCount = 223,
  kErrDocNull = 224,
  kErrDoc = 225,
  kErrDocLength = 226,
  kErrDocOrder = 227,
  kErrTooLarge = 228,
  kErrDocMemory = 229,
  kErrDocNormalize = 230,
  kErrLastTwice = 231,
  kErrLastMemory = 232,
  kErrTermAction = 241,
  kErrTermNotWritten = 242,
  kErrTermRename = 243,
  kErrTermRemove = 244,
};

bool allZero(const uint8_t* p, size_t n) {
  return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

// Frees a build and removes whatever pending file it has written.
void abandon(ZOLINDEX* handle) {
  (void)zol::removeFile(handle->pendingPath);
  delete handle;
}

// Reports a failure of a build step and abandons the build.
void failBuild(ZOLINDEX* handle, ZOLSTATUS* status, uint32_t retcode, uint32_t errcode,
               const char* path = nullptr, int errnoValue = 0) {
  zol::fail(status, retcode, errcode, ZOL_CTX_BUILD, path, errnoValue);
  abandon(handle);
}

uint32_t checkDesc(const ZOLINDEXDESC* desc) {
  if (desc == nullptr) return kErrDescNull;
  if (desc->kind != 2 || zol::codePageInfo(desc->codePage) == nullptr || desc->keyKind != 2 ||
      desc->version != 1 || !allZero(desc->reserved, sizeof desc->reserved)) {
    return kErrDesc;
  }
  return 0;
}

uint32_t checkParm(const ZOLINDEXPARM* parm) {
  if (parm == nullptr) return kErrParmNull;
  if (parm->memoryLimit != 0x200000 || parm->bufferSize != 0x100000 || parm->keyLimit != 0x18 ||
      (parm->displayMode != 'D' && parm->displayMode != 'N') ||
      !allZero(parm->reserved, sizeof parm->reserved)) {
    return kErrParm;
  }
  return 0;
}

// One directory; an empty one stands for the root, as it does in a directories string.
bool validDirectory(const char* directory) {
  return directory != nullptr && std::strchr(directory, '\t') == nullptr;
}

// Writes the sorted entries and their keys to the pending file: header, entries with the
// offsets the keys get in the file, keys; the header with the checksum is written last.
// Returns 0 or a file errcode; *err receives the errno.
uint32_t writePending(const ZOLINDEX& h, int* err) {
  zol::FileWriter writer(h.bufferSize);
  uint8_t header[zol::kHeaderSize] = {};
  uint32_t rc = writer.create(h.pendingPath);
  if (rc == 0) rc = writer.append(header, sizeof header);
  uint32_t crc = 0;
  uint32_t keyOffset = 0;
  for (size_t i = 0; rc == 0 && i < h.entries.size(); ++i) {
    zol::IndexEntry e = h.entries[i];
    e.keyOffset = keyOffset;
    keyOffset += e.keyLength;
    uint8_t bytes[zol::kEntrySize];
    zol::encodeEntry(e, bytes);
    crc = zol::crc32Update(crc, bytes, sizeof bytes);
    rc = writer.append(bytes, sizeof bytes);
  }
  for (size_t i = 0; rc == 0 && i < h.entries.size(); ++i) {
    const zol::IndexEntry& e = h.entries[i];
    const char* key = h.keys.data() + e.keyOffset;
    crc = zol::crc32Update(crc, reinterpret_cast<const uint8_t*>(key), e.keyLength);
    rc = writer.append(key, e.keyLength);
  }
  if (rc == 0) {
    zol::IndexHeader fields;
    fields.version = zol::kIndexVersion;
    fields.count = static_cast<uint32_t>(h.entries.size());
    fields.keyAreaSize = keyOffset;
    fields.codePage = h.codePage;
    zol::encodeHeader(fields, header);
    fields.checksum = zol::crc32Update(crc, header, zol::kHeaderChecksum);
    zol::encodeHeader(fields, header);
    rc = writer.writeAt(0, header, sizeof header);
  }
  if (rc == 0) rc = writer.finish();
  *err = writer.lastErrno();
  return rc;
}

}  // namespace

THES_EXPORT void ZOLcreateIndexInit(ZOLINDEX** handle, const char* name, const char* directory,
                                    const char* workDirectory, char mode, char kind,
                                    const ZOLINDEXDESC* desc, const ZOLINDEXPARM* parm,
                                    uint32_t* lastDocId, ZOLSTATUS* status) {
  zol::clearStatus(status);
  if (handle != nullptr) *handle = nullptr;
  uint32_t errcode = 0;
  if (handle == nullptr) {
    errcode = kErrHandleCellNull;
  } else if (!zol::validIndexName(name)) {
    errcode = kErrName;
  } else if (!validDirectory(directory)) {
    errcode = kErrDirectory;
  } else if (!validDirectory(workDirectory)) {
    errcode = kErrWorkDirectory;
  } else if (mode != 'N') {
    errcode = kErrMode;
  } else if (kind != 'B') {
    errcode = kErrKind;
  } else if (uint32_t d = checkDesc(desc); d != 0) {
    errcode = d;
  } else if (uint32_t p = checkParm(parm); p != 0) {
    errcode = p;
  } else if (lastDocId == nullptr) {
    errcode = kErrLastDocIdNull;
  }
  if (errcode != 0) {
    zol::fail(status, ZOL_RC_PARAMETER, errcode, ZOL_CTX_BUILD);
    return;
  }
  ZOLINDEX* h = new (std::nothrow) ZOLINDEX;
  if (h == nullptr) {
    zol::fail(status, ZOL_RC_NO_MEMORY, kErrInitMemory, ZOL_CTX_BUILD);
    return;
  }
  try {
    h->name = name;
    h->livePath = zol::indexPath(directory, name, false);
    h->pendingPath = zol::indexPath(workDirectory, name, true);
  } catch (const std::bad_alloc&) {
    delete h;
    zol::fail(status, ZOL_RC_NO_MEMORY, kErrInitMemory, ZOL_CTX_BUILD);
    return;
  }
  if (!zol::pathFits(h->livePath) || !zol::pathFits(h->pendingPath)) {
    zol::fail(status, ZOL_RC_PARAMETER, zol::kErrFileNameLength, ZOL_CTX_BUILD,
              h->livePath.c_str());
    delete h;
    return;
  }
  // A pending file left by an interrupted build would otherwise survive a cancel of this one.
  if (int err = zol::removeFile(h->pendingPath); err != 0 && err != ENOENT) {
    zol::fail(status, ZOL_RC_REMOVE, kErrStalePending, ZOL_CTX_BUILD, h->pendingPath.c_str(), err);
    delete h;
    return;
  }
  h->codePage = desc->codePage;
  h->display = parm->displayMode == 'D';
  h->bufferSize = parm->bufferSize;
  *lastDocId = 0xFFFFFFFFu;
  *handle = h;
}

THES_EXPORT void ZOLcreateItemIndexOneDoc(ZOLINDEX* handle, uint32_t docId, uint32_t itemCount,
                                          const ZOLINDEXDOC* doc, ZOLSTATUS* status) {
  zol::clearStatus(status);
  if (handle == nullptr) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrHandleNull, ZOL_CTX_BUILD);
    return;
  }
  if (handle->written) return failBuild(handle, status, ZOL_RC_SEQUENCE, kErrAfterLast);
  if (itemCount != 1) return failBuild(handle, status, ZOL_RC_PARAMETER, kErrItemCount);
  if (doc == nullptr) return failBuild(handle, status, ZOL_RC_PARAMETER, kErrDocNull);
  if (doc->type != 1 || doc->charKind != 'C' || doc->text == nullptr ||
      !allZero(doc->reserved0, sizeof doc->reserved0) ||
      !allZero(doc->reserved1, sizeof doc->reserved1)) {
    return failBuild(handle, status, ZOL_RC_PARAMETER, kErrDoc);
  }
  if (doc->length == 0 || doc->length > zol::kMaxDocLength) {
    return failBuild(handle, status, ZOL_RC_PARAMETER, kErrDocLength);
  }
  if (handle->haveDoc && docId <= handle->lastDocId) {
    return failBuild(handle, status, ZOL_RC_PARAMETER, kErrDocOrder);
  }
  // Key offsets and the entry count are 32-bit in the file.
  size_t room = zol::maxNormalizedLength(handle->codePage, doc->length);
  size_t used = handle->keys.size();
  if (used + room > UINT32_MAX || handle->entries.size() >= UINT32_MAX) {
    return failBuild(handle, status, ZOL_RC_NO_MEMORY, kErrTooLarge);
  }
  size_t keyLength = 0;
  try {
    handle->keys.resize(used + room);
    zol::FoldResult r = zol::normalizeKey(handle->codePage, doc->text, doc->length,
                                          handle->keys.data() + used, room, &keyLength);
    handle->keys.resize(used + keyLength);
    if (r == zol::FoldResult::kNoMemory) throw std::bad_alloc();
    if (r != zol::FoldResult::kOk || keyLength == 0) {
      return failBuild(handle, status, ZOL_RC_NORMALIZE, kErrDocNormalize);
    }
    handle->entries.push_back(
        zol::IndexEntry{static_cast<uint32_t>(used), static_cast<uint16_t>(keyLength), 0, docId});
  } catch (const std::bad_alloc&) {
    return failBuild(handle, status, ZOL_RC_NO_MEMORY, kErrDocMemory);
  }
  handle->haveDoc = true;
  handle->lastDocId = docId;
}

THES_EXPORT void ZOLcreateIndexLast(ZOLINDEX* handle, ZOLSTATUS* status) {
  zol::clearStatus(status);
  if (handle == nullptr) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrHandleNull, ZOL_CTX_BUILD);
    return;
  }
  if (handle->written) return failBuild(handle, status, ZOL_RC_SEQUENCE, kErrLastTwice);
  const char* keys = handle->keys.data();
  std::sort(handle->entries.begin(), handle->entries.end(),
            [keys](const zol::IndexEntry& a, const zol::IndexEntry& b) {
              int c = zol::compareKeys(
                  reinterpret_cast<const uint8_t*>(keys + a.keyOffset), a.keyLength,
                  reinterpret_cast<const uint8_t*>(keys + b.keyOffset), b.keyLength);
              return c != 0 ? c < 0 : a.docId < b.docId;
            });
  int err = 0;
  uint32_t errcode;
  try {
    errcode = writePending(*handle, &err);
  } catch (const std::bad_alloc&) {
    return failBuild(handle, status, ZOL_RC_NO_MEMORY, kErrLastMemory);
  }
  if (errcode != 0) {
    uint32_t retcode = errcode == zol::kErrFileWriteOpen ? ZOL_RC_OPEN
                       : errcode == zol::kErrFileClose   ? ZOL_RC_CLOSE
                                                         : ZOL_RC_WRITE;
    std::string path = handle->pendingPath;
    return failBuild(handle, status, retcode, errcode, path.c_str(), err);
  }
  if (handle->display) {
    std::printf("Word index %s: %zu words written.\n", handle->name.c_str(),
                handle->entries.size());
    std::fflush(stdout);
  }
  handle->written = true;
  // The documents are on disk now; give their memory back before the commit.
  std::vector<zol::IndexEntry>().swap(handle->entries);
  std::vector<char>().swap(handle->keys);
}

THES_EXPORT void ZOLcreateIndexTerm(ZOLINDEX* handle, char action, ZOLSTATUS* status) {
  zol::clearStatus(status);
  if (handle == nullptr) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrHandleNull, ZOL_CTX_BUILD);
    return;
  }
  if (action == 'G') {
    if (!handle->written) {
      return failBuild(handle, status, ZOL_RC_SEQUENCE, kErrTermNotWritten);
    }
    if (int err = zol::renameFile(handle->pendingPath, handle->livePath); err != 0) {
      zol::failRename(status, ZOL_RC_RENAME, kErrTermRename, handle->pendingPath.c_str(),
                      handle->livePath.c_str(), err);
      abandon(handle);
      return;
    }
    delete handle;
    return;
  }
  if (action != 'C') return failBuild(handle, status, ZOL_RC_PARAMETER, kErrTermAction);
  if (int err = zol::removeFile(handle->pendingPath); err != 0 && err != ENOENT) {
    zol::fail(status, ZOL_RC_REMOVE, kErrTermRemove, ZOL_CTX_BUILD, handle->pendingPath.c_str(),
              err);
  }
  delete handle;
}
