// The name map base: look-up, adding and deleting names, the map file's writer and loader, and
// the notification handlers with the shadow file protocol.
#include "tyk_common/tyk_map_abase.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "common_services/cos_memmgr.h"
#include "thesaurus_bytes.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_message_table.h"
#include "tyk_map_io.h"

namespace {

constexpr const char* kIoOrigin = "source/tyk_common/tyk_map_abase:473";
constexpr unsigned int kIoLine = 473;
constexpr const char* kNotFoundOrigin = "source/tyk_common/tyk_map_abase:370";
constexpr const char* kNameLengthOrigin = "source/tyk_common/tyk_map_abase:402";
constexpr unsigned int kNameLengthLine = 402;

constexpr uint64_t kHeaderSize = TYK_MAPFILE_MAGIC_SIZE + 4;
constexpr uint64_t kRecordFixedSize = 12;  // length, number and hash
constexpr uint32_t kShortNameSize = 256;
constexpr std::size_t kBlockSize = 16384;

// Reads a stream in blocks, so that each of the many small fields of a map file costs a copy
// rather than a call into the stream library.
class BlockReader {
 public:
  explicit BlockReader(FILE* file) : iv_pFile(file) {}
  bool take(void* out, std::size_t size) {
    auto* to = static_cast<char*>(out);
    while (size > 0) {
      if (iv_uiPosition == iv_uiEnd && !refill()) return false;
      const std::size_t n = std::min(size, iv_uiEnd - iv_uiPosition);
      std::memcpy(to, iv_acBlock + iv_uiPosition, n);
      iv_uiPosition += n;
      to += n;
      size -= n;
    }
    return true;
  }
  bool takeBE32(uint32_t& value) {
    unsigned char bytes[4];
    if (!take(bytes, 4)) return false;
    value = cnetGetBE32(bytes);
    return true;
  }
  bool atEnd() { return iv_uiPosition == iv_uiEnd && !refill(); }

 private:
  bool refill() {
    iv_uiEnd = std::fread(iv_acBlock, 1, sizeof iv_acBlock, iv_pFile);
    iv_uiPosition = 0;
    return iv_uiEnd != 0;
  }
  FILE* iv_pFile;
  char iv_acBlock[kBlockSize];
  std::size_t iv_uiPosition = 0;
  std::size_t iv_uiEnd = 0;
};

// Writes a stream in blocks; a failed write makes every later call fail.
class BlockWriter {
 public:
  explicit BlockWriter(FILE* file) : iv_pFile(file) {}
  bool put(const void* data, std::size_t size) {
    const auto* from = static_cast<const char*>(data);
    while (size > 0) {
      if (iv_uiUsed == sizeof iv_acBlock && !flush()) return false;
      const std::size_t n = std::min(size, sizeof iv_acBlock - iv_uiUsed);
      std::memcpy(iv_acBlock + iv_uiUsed, from, n);
      iv_uiUsed += n;
      from += n;
      size -= n;
    }
    return true;
  }
  // A big-endian integer of 4 bytes, or of 8 when wide.
  bool putInteger(uint64_t value, bool wide) {
    unsigned char bytes[8];
    cnetPutBE32(bytes, static_cast<uint32_t>(value >> 32));
    cnetPutBE32(bytes + 4, static_cast<uint32_t>(value));
    return wide ? put(bytes, 8) : put(bytes + 4, 4);
  }
  bool flush() {
    if (iv_uiUsed != 0 && std::fwrite(iv_acBlock, 1, iv_uiUsed, iv_pFile) != iv_uiUsed) {
      iv_pFile = nullptr;
    }
    iv_uiUsed = 0;
    return iv_pFile != nullptr;
  }

 private:
  FILE* iv_pFile; /* null after a failed write */
  char iv_acBlock[kBlockSize];
  std::size_t iv_uiUsed = 0;
};

// The bytes of a name up to its first zero byte, as texts show it.
std::string_view shownName(const char* name, uint32_t length) {
  return name == nullptr ? std::string_view() : std::string_view(name, strnlen(name, length));
}

}  // namespace

TykClMapABase::TykClMapABase(const TykClIndexLocation& location, const char* mapExtension,
                             const char* shadowExtension, TykClErrorInfo& errorInfo,
                             uint32_t maxSize, uint32_t initialSize, uint32_t hashSize)
    : TykClIndexFileBase(location),
      iv_clArray(initialSize, maxSize),
      iv_clHashtable(hashSize),
      iv_pszMapExtension(mapExtension),
      iv_pszShadowExtension(shadowExtension),
      iv_rclErrorInfo(errorInfo),
      iv_bLoaded(false),
      iv_bShadow(false) {}

TykClMapABase::~TykClMapABase() = default;

CosClFilename TykClMapABase::mapFileName() const {
  return CosClFilename(getLocation().getIndexDirectory(), getLocation().getIndexName(),
                       iv_pszMapExtension);
}

CosClFilename TykClMapABase::shadowFileName() const {
  return CosClFilename(getLocation().getShadowDirectory(), getLocation().getIndexName(),
                       iv_pszShadowExtension);
}

void TykClMapABase::makeReservedEntry() {
  TykStMapEntry* entry = nullptr;
  iv_clArray.createNewEntry(nullptr, 0, entry);
}

void TykClMapABase::init() {
  iv_clHashtable.init();
  iv_clArray.clearArray();
  makeReservedEntry();
}

// ---- Names --------------------------------------------------------------------------------

void TykClMapABase::mapNameToNumber(const char* name, uint32_t length, uint32_t& number) const {
  number = iv_clHashtable.queryEntry(iv_clArray, name, length);
  if (number != 0) return;
  iv_rclErrorInfo.resetContext(nullptr);
  iv_rclErrorInfo.context(TYK_MSG_NAME_TO_MAP) << ": '" << shownName(name, length) << "'";
  number = 1;
  iv_rclErrorInfo.setError(kNotFoundOrigin, TYK_REASON_NAME_NOT_FOUND, TYK_RC_WARNING,
                           TYK_ACTION_ERROR);
}

void TykClMapABase::assignNameToNumber(const char* name, uint32_t length, uint32_t& number,
                                       bool& isNew) {
  isNew = false;
  number = iv_clHashtable.queryEntry(iv_clArray, name, length);
  if (number != 0) return;
  // An empty name would never be found again, and a longer one could not be loaded back.
  if (length == 0 || length > TYK_MAPFILE_NAME_MAX) {
    TykClException exception(TYK_RC_ERROR, TYK_REASON_NAME_LENGTH, TYK_ACTION_ERROR, nullptr);
    exception.context(TYK_MSG_CONTEXT) << ": Name length " << length;
    exception.throwFrom(kNameLengthOrigin, kNameLengthLine);
  }
  // Number 1 stays the reserved entry even when the map was emptied by clearEntries.
  if (iv_clArray.getNextNumber() == 1) makeReservedEntry();
  TykStMapEntry* entry = nullptr;
  iv_clArray.createNewEntry(name, length, entry);
  isNew = true;
  number = entry->iv_tyNumber;
  iv_clHashtable.addNewEntry(entry, true);
}

void TykClMapABase::deleteName(const char* name, uint32_t length) {
  const uint32_t number = iv_clHashtable.queryEntry(iv_clArray, name, length);
  if (number != 0) iv_clArray.invalidateEntry(number);
}

void TykClMapABase::clearEntries() {
  iv_clArray.clearArray();
  iv_clHashtable.clearHashtable();
  iv_bLoaded = false;
}

void TykClMapABase::display(FILE* file) const {
  std::fprintf(file, "elementNumber elementName\n");
  for (uint32_t number = 1; number < iv_clArray.getNextNumber(); ++number) {
    const TykStMapEntry* entry = iv_clArray.getEntry(number);
    if (entry->iv_uiNameLength != 0) {
      const std::string_view name = shownName(entry->iv_pacName, entry->iv_uiNameLength);
      std::fprintf(file, "%13ld  %.*s ", static_cast<long>(number), static_cast<int>(name.size()),
                   name.data());
    }
    std::fprintf(file, "\n");
  }
}

// ---- Map file -----------------------------------------------------------------------------

void TykClMapABase::throwIoException(FILE* file, const CosClFilename& filename,
                                     TykEnReasonCode reason) const {
  if (file != nullptr) std::fclose(file);
  TykClException exception(TYK_RC_ERROR, reason, TYK_ACTION_ERROR, filename.getFullName());
  exception.throwFrom(kIoOrigin, kIoLine);
}

FILE* TykClMapABase::createMapFile(const CosClFilename& filename) const {
  FILE* file = tykOpenNewFile(filename.getFullName(), true);
  if (file == nullptr) throwIoException(nullptr, filename, TYK_REASON_FILE_WRITE);
  return file;
}

void TykClMapABase::finishMapFile(FILE* file, const CosClFilename& filename) const {
  bool ok = std::fflush(file) == 0;
  while (ok && ::fsync(fileno(file)) != 0) {
    if (errno != EINTR) ok = false;
  }
  if (!ok) throwIoException(file, filename, TYK_REASON_FILE_WRITE);
  if (std::fclose(file) != 0) throwIoException(nullptr, filename, TYK_REASON_FILE_WRITE);
}

bool TykClMapABase::writeRecords(FILE* file, bool wide) const {
  BlockWriter out(file);
  const uint32_t count = iv_clArray.getNextNumber() - 1;
  if (!out.put(TYK_MAPFILE_MAGIC, TYK_MAPFILE_MAGIC_SIZE) || !out.putInteger(count, wide))
    return false;
  for (uint32_t number = 1; number <= count; ++number) {
    const TykStMapEntry* entry = iv_clArray.getEntry(number);
    const uint32_t length = entry->iv_uiNameLength;
    uint64_t hash = entry->iv_ulHashValue;
    if (wide && length != 0) hash = TykClMapHashtable::computeWideHash(entry->iv_pacName, length);
    if (!out.putInteger(length, wide) || !out.put(entry->iv_pacName, length) ||
        !out.putInteger(number, wide) || !out.putInteger(hash, wide)) {
      return false;
    }
  }
  return out.flush();
}

void TykClMapABase::saveToIndexFile(const CosClFilename& filename) const {
  FILE* file = createMapFile(filename);
  if (!writeRecords(file, false)) throwIoException(file, filename, TYK_REASON_FILE_WRITE);
  finishMapFile(file, filename);
}

bool TykClMapABase::readRecords(FILE* file, char*& block) {
  BlockReader in(file);
  char magic[TYK_MAPFILE_MAGIC_SIZE];
  if (!in.take(magic, sizeof magic) || std::memcmp(magic, TYK_MAPFILE_MAGIC, sizeof magic) != 0)
    return false;
  uint32_t count = 0;
  struct stat status;
  if (!in.takeBE32(count) || ::fstat(fileno(file), &status) != 0) return false;
  // Every record takes at least 12 bytes: a count the file cannot hold is refused before
  // anything is allocated, and so is a name longer than the rest of the file.
  const uint64_t size = static_cast<uint64_t>(status.st_size);
  if (count == 0 || count > iv_clArray.getMaxSize() ||
      kHeaderSize + count * kRecordFixedSize > size) {
    return false;
  }
  iv_clArray.reserve(count);
  uint64_t position = kHeaderSize;
  uint32_t blockSize = 0;
  char shortName[kShortNameSize];
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t length = 0, storedNumber = 0, hash = 0;
    if (!in.takeBE32(length) || length > TYK_MAPFILE_NAME_MAX || (i == 0 && length != 0) ||
        position + kRecordFixedSize + length + (count - i - 1) * kRecordFixedSize > size) {
      return false;
    }
    char* name = shortName;
    if (length >= kShortNameSize) {
      if (length > blockSize) {
        CosClMemoryManager::free(block);
        block = nullptr;
        block = static_cast<char*>(CosClMemoryManager::allocate(length));
        blockSize = length;
      }
      name = block;
    }
    if (!in.take(name, length) || !in.takeBE32(storedNumber) || !in.takeBE32(hash)) return false;
    position += kRecordFixedSize + length;
    // The number comes from the position; the stored hash is taken as it is.
    TykStMapEntry* entry = nullptr;
    iv_clArray.createNewEntry(name, length, entry);
    entry->iv_ulHashValue = hash;
    iv_clHashtable.addNewEntry(entry, false);
  }
  return in.atEnd();
}

void TykClMapABase::loadFromIndexFile(const CosClFilename& filename) {
  FILE* file = std::fopen(filename.getFullName(), "rbe");
  if (file == nullptr) throwIoException(nullptr, filename, TYK_REASON_FILE_READ);
  clearEntries();
  char* block = nullptr;
  bool whole = false;
  try {
    whole = readRecords(file, block);
  } catch (...) {
    CosClMemoryManager::free(block);
    std::fclose(file);
    clearEntries();
    makeReservedEntry();
    throw;
  }
  CosClMemoryManager::free(block);
  if (!whole) {
    clearEntries();
    makeReservedEntry();
    throwIoException(file, filename, TYK_REASON_FILE_READ);
  }
  iv_bLoaded = true;
  std::fclose(file);
}

// ---- Notifications ------------------------------------------------------------------------

void TykClMapABase::loadIfNeeded() {
  if (iv_bLoaded) return;
  const CosClFilename map = mapFileName();
  if (map.isExistent()) loadFromIndexFile(map);
  iv_bLoaded = true;
}

void TykClMapABase::emptyAndDeleteFiles() {
  clearEntries();
  makeReservedEntry();
  const CosClFilename shadow = shadowFileName();
  if (shadow.isExistent()) {
    indexFileDelete(shadow);
    iv_bShadow = false;
  }
  const CosClFilename map = mapFileName();
  if (map.isExistent()) indexFileDelete(map);
}

void TykClMapABase::onIndexFileCreate() {}

void TykClMapABase::onIndexFileInit() {
  loadIfNeeded();
  const CosClFilename shadow = shadowFileName();
  if (shadow.isExistent()) {
    indexFileDelete(shadow);
    iv_bShadow = false;
  }
}

void TykClMapABase::onIndexFileStartTransaction() {
  onIndexFileInit();
}

void TykClMapABase::onIndexFileEndTransaction() {
  iv_bLoaded = true;
  saveToIndexFile(shadowFileName());
  iv_bShadow = true;
}

void TykClMapABase::onIndexFileCommitTransaction() {
  indexFileReplace(shadowFileName(), mapFileName());
  iv_bShadow = false;
  iv_bLoaded = true;
}

void TykClMapABase::onIndexFileRollbackTransaction() {
  if (!iv_bShadow) return;
  iv_bLoaded = false;
  indexFileDelete(shadowFileName());
  iv_bShadow = false;
}

void TykClMapABase::onIndexFileDestroy() {
  emptyAndDeleteFiles();
}

void TykClMapABase::onIndexFileClear() {
  emptyAndDeleteFiles();
}

void TykClMapABase::onIndexFileRename(const char* newIndexName) {
  const CosClFilename map = mapFileName();
  if (map.isExistent()) {
    indexFileRename(
        map, CosClFilename(getLocation().getIndexDirectory(), newIndexName, iv_pszMapExtension));
  }
}

void TykClMapABase::onIndexFileCopy(const char* targetDirectory) {
  const CosClFilename map = mapFileName();
  if (map.isExistent()) {
    indexFileCopy(map, CosClFilename(CosClLocation(targetDirectory), getLocation().getIndexName(),
                                     iv_pszMapExtension));
  }
}

void TykClMapABase::onIndexFileMove(const char* targetDirectory) {
  const CosClFilename map = mapFileName();
  if (map.isExistent()) {
    indexFileMove(map, CosClFilename(CosClLocation(targetDirectory), getLocation().getIndexName(),
                                     iv_pszMapExtension));
  }
}
