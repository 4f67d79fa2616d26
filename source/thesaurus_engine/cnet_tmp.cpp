// Sorted temporary files: every word occurrence of a compilation goes into a bounded memory
// buffer, which is sorted and written as a new sorted run whenever it fills, and into an
// input-order copy. The compiler reads the occurrences back once sorted by word (the runs merged
// with the memory, cnet_tmp_merge.cpp) and once in input order. This file holds the set's
// operations, the memory buffer and the I/O of the file pairs.
#include "cnet_tmp.h"
#include "cnet_grow.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cnet_names.h"
#include "cnet_os.h"
#include "cnet_status.h"

namespace {

constexpr uint32_t kInitialRecords = 4096;
constexpr uint32_t kInitialText = 65536;
constexpr size_t kStreamBuffer = 65536;

// Location numbers.
constexpr uint32_t kErrAlloc = 4300;
constexpr uint32_t kErrMisaligned = 4301;
constexpr uint32_t kErrOpen = 4350;
constexpr uint32_t kErrClose = 4351;
constexpr uint32_t kErrWriteRecord = 4352;
constexpr uint32_t kErrWriteText = 4353;
constexpr uint32_t kErrReadRecord = 4354;
constexpr uint32_t kErrReadText = 4355;
constexpr uint32_t kErrDelete = 4356;

constexpr int kInput = 2;  // the pair of the input-order copy

constexpr const char* kSuffixes[3][2] = {{"$00", "$01"}, {"$10", "$11"}, {"$20", "$21"}};

FILE* openStream(const char* path, const char* mode) {
  FILE* f = mode[0] == 'w' ? cnetOsCreateWorkStream(path) : cnetOs()->openStream(path, mode);
  if (f != nullptr) cnetOsBufferStream(f, kStreamBuffer);
  return f;
}

}  // namespace

void cnetTmpPairOpen(CNETTMPPAIR& p, const char* mode, CNETSTATUS* status) {
  bool reading = mode[0] == 'r';
  if (reading && p.savedIndexBytes == 0) {
    p.end = 'Y';
    return;
  }
  p.end = 'N';
  p.index = openStream(p.indexName, mode);
  if (p.index == nullptr) {
    cnetFailFile(status, CNET_OPEN, kErrOpen, p.indexName);
    return;
  }
  p.text = openStream(p.textName, mode);
  if (p.text == nullptr) {
    cnetFailFile(status, CNET_OPEN, kErrOpen, p.textName);
    return;
  }
  p.indexBytes = 0;
  p.textBytes = 0;
}

void cnetTmpPairClose(CNETTMPPAIR& p, CNETSTATUS* status) {
  FILE** files[2] = {&p.index, &p.text};
  const char* names[2] = {p.indexName, p.textName};
  for (int i = 0; i < 2; ++i) {
    if (*files[i] == nullptr) continue;
    if (cnetOs()->closeStream(*files[i]) != 0)
      cnetFailFile(status, CNET_CLOSE, kErrClose, names[i]);
    *files[i] = nullptr;
  }
  p.savedIndexBytes = p.indexBytes;
  p.savedTextBytes = p.textBytes;
}

void cnetTmpPairWrite(CNETTMPPAIR& p, const CNETTMPREC& in, const char* text, CNETSTATUS* status) {
  if (p.textBytes + in.length > UINT32_MAX) {
    // Text offsets are 32-bit: a compilation this large cannot be recorded.
    cnetFailFile(status, CNET_WRITE, kErrWriteText, p.textName);
    return;
  }
  CNETTMPREC rec = in;
  rec.textOffset = static_cast<uint32_t>(p.textBytes);
  if (cnetOs()->writeStream(&rec, sizeof rec, p.index) != sizeof rec) {
    cnetFailFile(status, CNET_WRITE, kErrWriteRecord, p.indexName);
    return;
  }
  if (cnetOs()->writeStream(text, rec.length, p.text) != rec.length) {
    cnetFailFile(status, CNET_WRITE, kErrWriteText, p.textName);
    return;
  }
  p.indexBytes += sizeof rec;
  p.textBytes += rec.length;
}

void cnetTmpPairWriteBlock(CNETTMPPAIR& p, CNETTMPREC* recs, uint32_t count, const char* text,
                           uint32_t textBytes, CNETSTATUS* status) {
  if (p.textBytes + textBytes > UINT32_MAX) {
    cnetFailFile(status, CNET_WRITE, kErrWriteText, p.textName);
    return;
  }
  for (uint32_t i = 0; i < count; ++i)
    recs[i].textOffset += static_cast<uint32_t>(p.textBytes);
  const size_t recordBytes = sizeof(CNETTMPREC) * count;
  if (cnetOs()->writeStream(recs, recordBytes, p.index) != recordBytes) {
    cnetFailFile(status, CNET_WRITE, kErrWriteRecord, p.indexName);
    return;
  }
  if (cnetOs()->writeStream(text, textBytes, p.text) != textBytes) {
    cnetFailFile(status, CNET_WRITE, kErrWriteText, p.textName);
    return;
  }
  p.indexBytes += recordBytes;
  p.textBytes += textBytes;
}

namespace {

// Reads the next record of a pair into its current record; at the end sets end to 'Y'.
void pairRead(CNETTMPPAIR& p, CNETSTATUS* status) {
  if (p.end == 'Y') return;
  CNETTMPREC rec;
  size_t n = cnetOs()->readStream(&rec, sizeof rec, p.index);
  if (n != sizeof rec) {
    if (n == 0 && std::feof(p.index)) {
      p.end = 'Y';
    } else {
      cnetFailFile(status, CNET_READ, kErrReadRecord, p.indexName);
    }
    return;
  }
  if (rec.textOffset != p.textBytes || rec.length < 1 || rec.length > CNET_WORD_MAX) {
    cnetFail(status, CNET_UNEXPECTED, kErrMisaligned);
    return;
  }
  if (cnetOs()->readStream(p.currentText, rec.length, p.text) != rec.length) {
    cnetFailFile(status, CNET_READ, kErrReadText, p.textName);
    return;
  }
  p.indexBytes += sizeof rec;
  p.textBytes += rec.length;
  p.current = rec;
}

}  // namespace

bool cnetTmpName(CNETTMPSET* set, const char* directory, const char* name) {
  std::memset(set, 0, sizeof *set);
  bool ok = true;
  for (int i = 0; i < 3; ++i) {
    CNETTMPPAIR& p = set->pairs[i];
    ok = cnetFormPath(p.indexName, sizeof p.indexName, directory, name, kSuffixes[i][0]) && ok;
    ok = cnetFormPath(p.textName, sizeof p.textName, directory, name, kSuffixes[i][1]) && ok;
    p.end = 'Y';
  }
  return ok;
}

THES_EXPORT void cnetTmpOpen(CNETTMPSET* set, uint8_t mode, CNETSTATUS* status) {
  switch (mode) {
    case 'W': {
      auto* records = static_cast<CNETTMPREC*>(std::malloc(kInitialRecords * sizeof(CNETTMPREC)));
      auto* text = static_cast<char*>(std::malloc(kInitialText));
      if (records == nullptr || text == nullptr) {
        std::free(records);
        std::free(text);
        cnetFail(status, CNET_NO_MEMORY, kErrAlloc);
        return;
      }
      std::free(set->records);
      std::free(set->text);
      set->records = records;
      set->capacity = kInitialRecords;
      set->text = text;
      set->textSize = kInitialText;
      set->sorted = 'N';
      set->count = 0;
      set->cursor = 0;
      set->textUsed = 0;
      cnetTmpPairOpen(set->pairs[kInput], "wb", status);
      break;
    }
    case 'S':
      cnetTmpStartMerge(set, status);
      break;
    case 'R':
      cnetTmpPairOpen(set->pairs[kInput], "rb", status);
      break;
    default:
      break;
  }
}

THES_EXPORT void cnetTmpWrite(CNETTMPSET* set, uint32_t serial, const char* text, uint32_t length,
                              uint8_t strength, const REL* rel, CNETSTATUS* status) {
  if (length < 1 || length > CNET_WORD_MAX || set->records == nullptr) {
    cnetFail(status, CNET_UNEXPECTED, kErrMisaligned);
    return;
  }
  // The memory doubles up to its limits; when it cannot grow, a run is written instead.
  if (set->count == set->capacity && set->capacity < kCnetTmpMaxRecords) {
    cnetGrowBuffer(&set->records, &set->capacity, uint64_t{set->count} + 1, kCnetGrowDouble,
                   kCnetTmpMaxRecords);
  }
  if (set->textUsed + length > set->textSize && set->textSize < kCnetTmpMaxText) {
    cnetGrowBuffer(&set->text, &set->textSize,
                   std::min<uint64_t>(uint64_t{set->textUsed} + length, kCnetTmpMaxText),
                   kCnetGrowDouble, kCnetTmpMaxText);
  }
  if (set->count == set->capacity || set->textUsed + length > set->textSize) {
    cnetTmpWriteRun(set, status);
    set->count = 0;
    set->cursor = 0;
    set->textUsed = 0;
    if (cnetFailed(status)) return;
  }
  CNETTMPREC& rec = set->records[set->count++];
  rec.serial = serial;
  rec.textOffset = set->textUsed;
  rec.length = length;
  rec.strength = strength;
  rec.zero = 0;
  rec.rel = *rel;
  std::memcpy(set->text + set->textUsed, text, length);
  set->textUsed += length;
  set->sorted = 'N';
  cnetTmpPairWrite(set->pairs[kInput], rec, text, status);
}

THES_EXPORT void cnetTmpReadSorted(CNETTMPSET* set, uint32_t* serial, char* text, uint32_t* length,
                                   uint8_t* strength, REL* rel, CNETSTATUS* status) {
  *length = 0;
  const CNETTMPREC* r;
  const char* t;
  if (cnetFailed(status) || !cnetTmpNextSorted(set, &r, &t, status)) return;
  *serial = r->serial;
  std::memcpy(text, t, r->length);
  *length = r->length;
  *strength = r->strength;
  *rel = r->rel;
}

THES_EXPORT void cnetTmpRead(CNETTMPSET* set, uint32_t* serial, char* text, uint32_t* length,
                             uint8_t* strength, REL* rel, CNETSTATUS* status) {
  *length = 0;
  CNETTMPPAIR& p = set->pairs[kInput];
  pairRead(p, status);
  if (p.end == 'Y' || cnetFailed(status)) return;
  std::memcpy(text, p.currentText, p.current.length);
  *length = p.current.length;
  if (serial != nullptr) *serial = p.current.serial;
  if (strength != nullptr) *strength = p.current.strength;
  if (rel != nullptr) *rel = p.current.rel;
}

THES_EXPORT void cnetTmpClose(CNETTMPSET* set, CNETSTATUS* status) {
  for (CNETTMPPAIR& p : set->pairs)
    cnetTmpPairClose(p, status);
  cnetTmpEndMerge(set);
}

THES_EXPORT void cnetTmpDelete(CNETTMPSET* set, CNETSTATUS* status) {
  for (CNETTMPPAIR& p : set->pairs) {
    // Files still open are closed first, without reporting, so that nothing is left behind.
    cnetTmpPairClose(p, nullptr);
    for (const char* path : {p.indexName, p.textName}) {
      if (path[0] == '\0' || cnetOs()->access(path) != 0) continue;
      if (cnetOs()->remove(path) != 0) cnetFailFile(status, CNET_DELETE, kErrDelete, path);
    }
  }
  cnetTmpFreeRuns(set);
  std::free(set->records);
  std::free(set->text);
  set->records = nullptr;
  set->text = nullptr;
  set->capacity = set->count = set->cursor = 0;
  set->textSize = set->textUsed = 0;
}
