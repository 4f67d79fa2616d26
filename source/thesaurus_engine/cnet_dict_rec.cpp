// Word and group records of a dictionary file set: reading with damage checks, and writing.
#include <cstdlib>
#include <cstring>

#include "cnet_dict.h"
#include "cnet_grow.h"
#include "cnet_os_cache.h"
#include "cnet_status.h"
#include "thesaurus_bytes.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr uint32_t kReadStep = 4096;  // bytes by which the read buffers of a CNETCTL grow
constexpr uint32_t kErrGroupRecord = 362;
constexpr uint32_t kErrGroupData = 363;
constexpr uint32_t kErrWordOld = 372;
constexpr uint32_t kErrWordText = 373;
constexpr uint32_t kErrWordGroups = 374;
constexpr uint32_t kErrWordRels = 375;
constexpr uint32_t kErrWordRecord = 376;
constexpr uint32_t kErrGroupEntries = 377;
constexpr uint32_t kErrGroupAppend = 378;
constexpr uint32_t kErrWordRead = 379;
constexpr uint32_t kErrWordDataRead = 380;
constexpr uint32_t kErrWordMemory = 4306;
constexpr uint32_t kErrGroupMemory = 4307;

int64_t wordRecordOffset(int32_t id) {
  return id < 0 ? kCnetHere : CNET_HEADER_SIZE + int64_t{CNET_RECORD_SIZE} * id;
}

CNETWORDREC decodeWord(const uint8_t* raw) {
  CNETWORDREC rec{};
  rec.offset = cnetGetBE32(raw);
  rec.textLength = cnetGetBE32(raw + 4);
  rec.relCount = cnetGetBE32(raw + 8);
  rec.groupCount = cnetGetBE32(raw + 12);
  rec.flags = raw[16];
  return rec;
}

void encodeWord(uint8_t* raw, const CNETWORDREC& rec) {
  std::memset(raw, 0, CNET_RECORD_SIZE);
  cnetPutBE32(raw, rec.offset);
  cnetPutBE32(raw + 4, rec.textLength);
  cnetPutBE32(raw + 8, rec.relCount);
  cnetPutBE32(raw + 12, rec.groupCount);
}

// The data of a record fits its file: no buffer is ever sized from a damaged record.
bool fits(const CNETFILE& file, uint32_t offset, uint64_t size) {
  return uint64_t{offset} + size <= file.size;
}

// Writes 8-byte entries (relation or group entries) whose first field is a 32-bit word id,
// stored big-endian; the entries are converted in chunks, each written at once.
bool writeEntries(CNETFILE* file, const void* entries, uint32_t count, uint32_t errcode,
                  CNETSTATUS* status) {
  const auto* from = static_cast<const uint8_t*>(entries);
  uint8_t chunk[4096];
  for (uint32_t i = 0; i < count;) {
    uint32_t n = 0;
    for (; i < count && n + 8 <= sizeof chunk; ++i, n += 8) {
      uint32_t word;
      std::memcpy(chunk + n, from + 8 * size_t{i}, 8);
      std::memcpy(&word, chunk + n, 4);
      cnetPutBE32(chunk + n, word);
    }
    if (!cnetFileWrite(file, kCnetHere, chunk, n, errcode, status)) return false;
  }
  return true;
}

}  // namespace

namespace {

// Reads the record of word id into rec: the bytes in place when the record file's content is
// held in memory, else through a positioned read. -1 on failure, 1 for an absent word, else 0.
int32_t readWordRecord(CNETCTL* ctl, int32_t id, CNETWORDREC* rec, CNETSTATUS* status) {
  const uint8_t* content = cnetReadFileContent(ctl->files[0].reader);
  const int64_t at = wordRecordOffset(id);
  if (content != nullptr && at >= 0 &&
      static_cast<uint64_t>(at) + CNET_RECORD_SIZE <= ctl->files[0].size) {
    *rec = decodeWord(content + at);
    ctl->files[0].position = static_cast<uint32_t>(at + CNET_RECORD_SIZE);
    ctl->files[0].lastOp = 'R';
  } else {
    uint8_t raw[CNET_RECORD_SIZE];
    if (!cnetFileRead(&ctl->files[0], at, raw, sizeof raw, kErrWordRead, status)) return -1;
    *rec = decodeWord(raw);
  }
  return rec->flags & CNET_ABSENT ? 1 : 0;
}

// The damage checks of a present word's record before its data is read: false with
// CNET_INTEGRITY when the text is too long or the data reaches beyond "wdv".
bool wordDataFits(const CNETCTL* ctl, const CNETWORDREC& rec, CNETSTATUS* status) {
  if (rec.textLength > CNET_WORD_MAX) {
    cnetFailFile(status, CNET_INTEGRITY, kCnetErrWordText, ctl->files[0].path);
    return false;
  }
  if (!fits(ctl->files[1], rec.offset,
            cnetWordDataSize(rec.textLength, rec.groupCount, rec.relCount))) {
    cnetFailFile(status, CNET_INTEGRITY, kCnetErrWordData, ctl->files[1].path);
    return false;
  }
  return true;
}

}  // namespace

THES_EXPORT int32_t cnetReadWord(CNETCTL* ctl, int32_t id, uint32_t* groupCount, uint32_t** groups,
                                 uint32_t* relCount, CNETRELENT** rels, char* text,
                                 uint32_t* textLen, CNETSTATUS* status) {
  CNETWORDREC rec{};
  const int32_t rc = readWordRecord(ctl, id, &rec, status);
  if (rc != 0) return rc;
  if (groups == nullptr && rels == nullptr && text == nullptr) return 0;
  if (!wordDataFits(ctl, rec, status)) return -1;
  const uint64_t size = cnetWordDataSize(rec.textLength, rec.groupCount, rec.relCount);
  // A random read takes only the parts asked for, so the text of a word with a long relation
  // list costs no more than any other text; a sequential read takes the whole data so that the
  // next record follows without a seek.
  const uint32_t padded = (rec.textLength + 3) & ~3u;
  const CNETFILE& dataFile = ctl->files[1];
  const bool sequential = dataFile.lastOp == 'R' && dataFile.position == rec.offset;
  const uint64_t wanted = rels != nullptr || sequential ? size
                          : groups != nullptr           ? padded + 4 * uint64_t{rec.groupCount}
                                                        : rec.textLength;
  if (!cnetGrowBuffer(&ctl->wordBuffer, &ctl->wordBufferSize, wanted, kReadStep, UINT32_MAX)) {
    cnetFail(status, CNET_NO_MEMORY, kErrWordMemory);
    return -1;
  }
  uint8_t* data = ctl->wordBuffer;
  if (!cnetFileRead(&ctl->files[1], rec.offset, data, static_cast<uint32_t>(wanted),
                    kErrWordDataRead, status)) {
    return -1;
  }
  // Reading a part counts as reading the whole data, so that the next record's data follows
  // it and a scan goes on reading ahead.
  if (ctl->files[1].lastOp == 'R' && ctl->files[1].reader != nullptr)
    ctl->files[1].position = static_cast<uint32_t>(rec.offset + size);
  if (text != nullptr) {
    std::memcpy(text, data, rec.textLength);
    if (textLen != nullptr) *textLen = rec.textLength;
  }
  if (groups != nullptr) {
    cnetSwapBE32(data + padded, rec.groupCount);
    *groups = reinterpret_cast<uint32_t*>(data + padded);
    if (groupCount != nullptr) *groupCount = rec.groupCount;
  }
  if (rels != nullptr) {
    uint8_t* at = data + padded + 4 * size_t{rec.groupCount};
    for (uint32_t i = 0; i < rec.relCount; ++i)
      cnetSwapBE32(at + 8 * size_t{i}, 1);
    *rels = reinterpret_cast<CNETRELENT*>(at);
    if (relCount != nullptr) *relCount = rec.relCount;
  }
  return 0;
}

int32_t cnetViewWord(CNETCTL* ctl, uint32_t id, bool withRels, CnetWordView* out,
                     CNETSTATUS* status) {
  CNETWORDREC rec{};
  const int32_t rc = readWordRecord(ctl, static_cast<int32_t>(id), &rec, status);
  if (rc != 0) return rc;
  if (!wordDataFits(ctl, rec, status)) return -1;
  const uint32_t padded = (rec.textLength + 3) & ~3u;
  const uint64_t relsAt = padded + 4 * uint64_t{rec.groupCount};
  const uint8_t* data = cnetReadFileContent(ctl->files[1].reader);
  out->stays = data != nullptr;
  if (data != nullptr) {
    data += rec.offset;
  } else {
    // From the file: the text alone, or everything up to the end of the relation entries (the
    // group ids between them are read too, so that it takes one read).
    const uint64_t wanted = withRels ? relsAt + 8 * uint64_t{rec.relCount} : rec.textLength;
    if (!cnetGrowBuffer(&ctl->wordBuffer, &ctl->wordBufferSize, wanted, kReadStep, UINT32_MAX)) {
      cnetFail(status, CNET_NO_MEMORY, kErrWordMemory);
      return -1;
    }
    if (!cnetFileRead(&ctl->files[1], rec.offset, ctl->wordBuffer, static_cast<uint32_t>(wanted),
                      kErrWordDataRead, status)) {
      return -1;
    }
    data = ctl->wordBuffer;
  }
  out->text = reinterpret_cast<const char*>(data);
  out->textLength = rec.textLength;
  out->rels = withRels ? data + relsAt : nullptr;
  out->relCount = withRels ? rec.relCount : 0;
  return 0;
}

THES_EXPORT void cnetWriteWord(CNETCTL* ctl, uint32_t id, uint32_t groupCount,
                               const uint32_t* groups, uint32_t relCount, const CNETRELENT* rels,
                               char* text, uint32_t textLen, CNETSTATUS* status) {
  CNETFILE* records = &ctl->files[0];
  CNETFILE* data = &ctl->files[1];
  const uint64_t newSize = cnetWordDataSize(textLen, groupCount, relCount);
  int64_t recordAt = kCnetHere;
  uint64_t oldSize = 0;
  uint32_t oldOffset = 0;
  if (id != kNone) {
    recordAt = CNET_HEADER_SIZE + int64_t{CNET_RECORD_SIZE} * id;
    if (static_cast<uint64_t>(recordAt) < records->end) {
      uint8_t raw[CNET_RECORD_SIZE];
      if (!cnetFileRead(records, recordAt, raw, sizeof raw, kErrWordOld, status)) return;
      const CNETWORDREC old = decodeWord(raw);
      oldSize = cnetWordDataSize(old.textLength, old.groupCount, old.relCount);
      oldOffset = old.offset;
    }
  }
  // Larger data goes to the end of the data file, kept by every write; writing there right
  // after the previous word needs no seek.
  const uint32_t offset = newSize > oldSize ? data->end : oldOffset;

  const uint32_t padded = (textLen + 3) & ~3u;
  std::memset(text + textLen, 0, padded - textLen);
  if (!cnetFileWrite(data, offset, text, padded, kErrWordText, status)) return;
  // Group ids and relation entries are converted in chunks, each written at once.
  uint8_t chunk[4096];
  for (uint32_t i = 0; i < groupCount;) {
    uint32_t n = 0;
    for (; i < groupCount && n + 4 <= sizeof chunk; ++i, n += 4)
      cnetPutBE32(chunk + n, groups[i]);
    if (!cnetFileWrite(data, kCnetHere, chunk, n, kErrWordGroups, status)) return;
  }
  if (!writeEntries(data, rels, relCount, kErrWordRels, status)) return;
  CNETWORDREC rec{};
  rec.offset = offset;
  rec.textLength = textLen;
  rec.relCount = relCount;
  rec.groupCount = groupCount;
  uint8_t raw[CNET_RECORD_SIZE];
  encodeWord(raw, rec);
  cnetFileWrite(records, recordAt, raw, sizeof raw, kErrWordRecord, status);
}

THES_EXPORT int32_t cnetReadGroup(CNETCTL* ctl, int32_t id, CNETGROUPREC* out,
                                  CNETGROUPENT** entries, CNETSTATUS* status) {
  uint8_t raw[CNET_RECORD_SIZE];
  const int64_t at = id < 0 ? kCnetHere : int64_t{CNET_RECORD_SIZE} * id;
  if (!cnetFileRead(&ctl->files[2], at, raw, sizeof raw, kErrGroupRecord, status)) return -1;
  if (raw[18] & CNET_ABSENT) return 1;
  if (out == nullptr && entries == nullptr) return 0;
  CNETGROUPREC rec{};
  rec.offset = cnetGetBE32(raw);
  rec.size = cnetGetBE32(raw + 4);
  rec.memberCount = cnetGetBE32(raw + 8);
  rec.relCount = cnetGetBE32(raw + 12);
  rec.rel.category = raw[16];
  rec.rel.id = raw[17];
  rec.flags = raw[18];
  rec.reserved = raw[19];
  if (out != nullptr) *out = rec;
  if (entries == nullptr) return 0;

  if (uint64_t{rec.size} != 8 * (uint64_t{rec.memberCount} + rec.relCount)) {
    cnetFailFile(status, CNET_INTEGRITY, kCnetErrGroupSize, ctl->files[2].path);
    return -1;
  }
  if (!fits(ctl->files[3], rec.offset, rec.size)) {
    cnetFailFile(status, CNET_INTEGRITY, kCnetErrGroupData, ctl->files[3].path);
    return -1;
  }
  if (!cnetGrowBuffer(&ctl->groupBuffer, &ctl->groupBufferSize, rec.size, kReadStep, UINT32_MAX)) {
    cnetFail(status, CNET_NO_MEMORY, kErrGroupMemory);
    return -1;
  }
  if (!cnetFileRead(&ctl->files[3], rec.offset, ctl->groupBuffer, rec.size, kErrGroupData,
                    status)) {
    return -1;
  }
  for (uint32_t i = 0; i < rec.size / 8; ++i)
    cnetSwapBE32(ctl->groupBuffer + 8 * size_t{i}, 1);
  *entries = reinterpret_cast<CNETGROUPENT*>(ctl->groupBuffer);
  return 0;
}

THES_EXPORT void cnetWriteGroup(CNETCTL* ctl, const CNETGROUPREC* in, const CNETGROUPENT* entries,
                                CNETSTATUS* status) {
  CNETFILE* data = &ctl->files[3];
  const uint32_t offset = data->position;
  const uint32_t count = in->memberCount + in->relCount;
  if (!writeEntries(data, entries, count, kErrGroupEntries, status)) return;
  uint8_t raw[CNET_RECORD_SIZE];
  cnetPutBE32(raw, offset);
  cnetPutBE32(raw + 4, 8 * count);
  cnetPutBE32(raw + 8, in->memberCount);
  cnetPutBE32(raw + 12, in->relCount);
  raw[16] = in->rel.category;
  raw[17] = in->rel.id;
  raw[18] = in->flags;
  raw[19] = in->reserved;
  cnetFileWrite(&ctl->files[2], kCnetHere, raw, sizeof raw, kErrGroupAppend, status);
}
