// Sorted runs of the temporary set and their merge. Each flush of the memory buffer writes its
// records, sorted, as one run at the end of pair 0, so every record is written once. The sorted
// read merges all runs and the memory with a loser tree, reading each run through buffers of
// its own with positioned reads. When there are more runs than one merge reads at once, groups
// of runs are first merged into longer runs in pair 1, whose files then become pair 0; the
// memory for merging stays bounded whatever the input size.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "cnet_grow.h"
#include "cnet_os.h"
#include "cnet_status.h"
#include "cnet_tmp.h"

namespace {

// Location numbers.
constexpr uint32_t kErrMisaligned = 4301;
constexpr uint32_t kErrMergeMemory = 4302;
constexpr uint32_t kErrRunTable = 4303;
constexpr uint32_t kErrReadRecord = 4354;
constexpr uint32_t kErrReadText = 4355;

// Buffers of one run in a merge: 32 KiB of records and a 32 KiB window of text.
constexpr uint32_t kSourceRecords = 2048;
constexpr uint32_t kSourceText = 32768;
constexpr size_t kSourceBytes = kSourceRecords * sizeof(CNETTMPREC) + kSourceText;
constexpr uint32_t kInitialRuns = 64;

static_assert(kSourceText >= CNET_WORD_MAX, "a window holds any text");

// Where a run lies in the files of pair 0.
struct Run {
  uint64_t index;      // offset of its first record in the record file
  uint64_t records;    // number of records
  uint64_t text;       // offset of its first text in the text file
  uint64_t textBytes;  // bytes of text
};

// A memory record for sorting: the prefix of its text decides most comparisons.
struct SortItem {
  uint64_t prefix;
  uint32_t serial;
  uint32_t index;  // of the record in memory
};

// One input of a merge: a run read through its buffers, or the memory buffer.
struct Source {
  // The current record; done when the source is used up.
  const CNETTMPREC* rec;
  const char* text;
  uint64_t prefix;  // the first 8 bytes of the text, big-endian, zero-padded
  uint64_t tie;     // length and serial, which decide between texts of equal prefix
  bool done;
  bool memory;
  // A run: its pair, the records still to read, the text offset the next record must have.
  const CNETTMPPAIR* pair;
  uint64_t nextIndex, endIndex;
  uint64_t nextText, endText;
  CNETTMPREC* records;  // kSourceRecords, filled from nextIndex
  uint32_t buffered, used;
  char* window;  // kSourceText bytes of text from windowStart
  uint64_t windowStart;
  uint32_t windowFilled;
};

// The sort order of two heads. With equal prefixes the bytes of the shorter text are those of
// the other, up to its 8th: only two longer texts compare the rest of their bytes before length
// and serial decide.
inline bool before(const Source& a, const Source& b) {
  if (a.done) return false;
  if (b.done) return true;
  if (a.prefix != b.prefix) return a.prefix < b.prefix;
  const uint32_t shorter = std::min(a.rec->length, b.rec->length);
  if (shorter > 8) {
    const int c = std::memcmp(a.text + 8, b.text + 8, shorter - 8);
    if (c != 0) return c < 0;
  }
  return a.tie < b.tie;
}

// Sets the prefix and tie of a source's new head.
inline void takeHead(Source& s) {
  s.prefix = cnetTmpPrefix(s.text, s.rec->length);
  s.tie = (uint64_t{s.rec->length} << 32) | s.rec->serial;
}

}  // namespace

// The runs of a set and the merge in progress.
struct CNETTMPRUNS {
  Run* runs;
  uint32_t count;
  uint32_t capacity;
  uint32_t maxMerge;  // most runs one merge reads
  // The merge: its sources, a loser tree over them (losers[0] is the winner, losers[1 .. n-1]
  // the losers of the inner nodes), scratch for building it, and the sources' buffers.
  Source* sources;
  uint32_t sourceCount;
  uint32_t sourceCapacity;
  uint32_t* losers;
  uint32_t* scratch;
  char* buffers;
  bool handedOut;  // the winner was handed out and moves on at the next call
  // Scratch of the memory sort: the items and the records in their new order; the texts of a
  // run gathered in its order.
  SortItem* items;
  CNETTMPREC* sorted;
  char* staged;
};

namespace {

CNETTMPRUNS* runsOf(CNETTMPSET* set, CNETSTATUS* status) {
  if (set->runs == nullptr) {
    set->runs = static_cast<CNETTMPRUNS*>(std::calloc(1, sizeof(CNETTMPRUNS)));
    if (set->runs == nullptr) {
      cnetFail(status, CNET_NO_MEMORY, kErrRunTable);
      return nullptr;
    }
    set->runs->maxMerge = kCnetTmpMergeRuns;
  }
  return set->runs;
}

bool addRun(CNETTMPRUNS* r, const Run& run, CNETSTATUS* status) {
  if (r->count == r->capacity &&
      !cnetGrowBuffer(&r->runs, &r->capacity,
                      std::max<uint64_t>(uint64_t{r->count} + 1, kInitialRuns), kCnetGrowDouble,
                      UINT32_MAX)) {
    cnetFail(status, CNET_NO_MEMORY, kErrRunTable);
    return false;
  }
  r->runs[r->count++] = run;
  return true;
}

void releaseMerge(CNETTMPRUNS* r) {
  std::free(r->sources);
  std::free(r->losers);
  std::free(r->scratch);
  std::free(r->buffers);
  r->sources = nullptr;
  r->losers = r->scratch = nullptr;
  r->buffers = nullptr;
  r->sourceCount = r->sourceCapacity = 0;
  r->handedOut = false;
}

// Makes room for n sources, of which up to runs read files.
bool reserveSources(CNETTMPRUNS* r, uint32_t n, CNETSTATUS* status) {
  if (n <= r->sourceCapacity) return true;
  releaseMerge(r);
  r->sources = static_cast<Source*>(std::calloc(n, sizeof(Source)));
  r->losers = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * n));
  r->scratch = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * 2 * n));
  r->buffers = static_cast<char*>(std::malloc(kSourceBytes * n));
  if (r->sources == nullptr || r->losers == nullptr || r->scratch == nullptr ||
      r->buffers == nullptr) {
    releaseMerge(r);
    cnetFail(status, CNET_NO_MEMORY, kErrMergeMemory);
    return false;
  }
  r->sourceCapacity = n;
  return true;
}

// Opens the runs' pair for reading. Runs are read with positioned reads, which leave the
// stream where it is: the pair's byte counts stay those of the whole files, for its close.
void openRuns(CNETTMPPAIR& pair, CNETSTATUS* status) {
  cnetTmpPairOpen(pair, "rb", status);
  pair.indexBytes = pair.savedIndexBytes;
  pair.textBytes = pair.savedTextBytes;
}

// Moves a source to its next record; false when a status was set.
bool advance(CNETTMPSET* set, Source& s, CNETSTATUS* status) {
  if (s.memory) {
    if (set->cursor == set->count) {
      s.done = true;
      return true;
    }
    s.rec = &set->records[set->cursor++];
    s.text = set->text + s.rec->textOffset;
    takeHead(s);
    return true;
  }
  if (s.used == s.buffered) {
    if (s.nextIndex == s.endIndex) {
      s.done = true;
      return true;
    }
    const uint64_t n = std::min<uint64_t>(kSourceRecords, (s.endIndex - s.nextIndex) / 16);
    const long want = static_cast<long>(n * sizeof(CNETTMPREC));
    if (cnetOs()->readStreamAt(s.pair->index, s.records, static_cast<size_t>(want),
                               static_cast<long>(s.nextIndex)) != want) {
      cnetFailFile(status, CNET_READ, kErrReadRecord, s.pair->indexName);
      return false;
    }
    s.nextIndex += static_cast<uint64_t>(want);
    s.buffered = static_cast<uint32_t>(n);
    s.used = 0;
  }
  const CNETTMPREC& rec = s.records[s.used++];
  if (rec.textOffset != s.nextText || rec.length < 1 || rec.length > CNET_WORD_MAX ||
      s.nextText + rec.length > s.endText) {
    cnetFail(status, CNET_UNEXPECTED, kErrMisaligned);
    return false;
  }
  if (s.nextText + rec.length > s.windowStart + s.windowFilled) {
    const long want = static_cast<long>(std::min<uint64_t>(kSourceText, s.endText - s.nextText));
    if (cnetOs()->readStreamAt(s.pair->text, s.window, static_cast<size_t>(want),
                               static_cast<long>(s.nextText)) != want) {
      cnetFailFile(status, CNET_READ, kErrReadText, s.pair->textName);
      return false;
    }
    s.windowStart = s.nextText;
    s.windowFilled = static_cast<uint32_t>(want);
  }
  s.rec = &rec;
  s.text = s.window + (s.nextText - s.windowStart);
  takeHead(s);
  s.nextText += rec.length;
  return true;
}

// Sets up a merge of runs [first, first + n) of pair 0, and of the memory when asked, and
// moves every source to its first record.
bool startSources(CNETTMPSET* set, uint32_t first, uint32_t n, bool withMemory,
                  CNETSTATUS* status) {
  CNETTMPRUNS* r = set->runs;
  const uint32_t k = n + (withMemory ? 1 : 0);
  if (!reserveSources(r, std::max<uint32_t>(k, 1), status)) return false;
  r->sourceCount = k;
  r->handedOut = false;
  for (uint32_t i = 0; i < k; ++i) {
    Source& s = r->sources[i];
    s = Source{};
    if (i == n) {
      s.memory = true;
      set->cursor = 0;
    } else {
      const Run& run = r->runs[first + i];
      char* buffer = r->buffers + kSourceBytes * i;
      s.pair = &set->pairs[0];
      s.nextIndex = run.index;
      s.endIndex = run.index + run.records * sizeof(CNETTMPREC);
      s.nextText = run.text;
      s.endText = run.text + run.textBytes;
      s.records = reinterpret_cast<CNETTMPREC*>(buffer);
      s.window = buffer + kSourceRecords * sizeof(CNETTMPREC);
    }
    if (!advance(set, s, status)) return false;
  }
  // Build the loser tree bottom up: leaves k .. 2k-1, inner nodes 1 .. k-1.
  uint32_t* winners = r->scratch;
  for (uint32_t i = 0; i < k; ++i)
    winners[k + i] = i;
  for (uint32_t node = k - 1; node >= 1; --node) {
    const uint32_t a = winners[2 * node], b = winners[2 * node + 1];
    const bool bFirst = before(r->sources[b], r->sources[a]);
    winners[node] = bFirst ? b : a;
    r->losers[node] = bFirst ? a : b;
  }
  if (k > 0) r->losers[0] = k > 1 ? winners[1] : 0;
  return true;
}

// The next record of the merge in sort order; false at the end or on failure.
bool nextMerged(CNETTMPSET* set, const CNETTMPREC** rec, const char** text, CNETSTATUS* status) {
  CNETTMPRUNS* r = set->runs;
  if (r == nullptr || r->sourceCount == 0) return false;
  const Source* sources = r->sources;
  uint32_t winner = r->losers[0];
  if (r->handedOut) {
    if (!advance(set, r->sources[winner], status)) return false;
    const uint32_t k = r->sourceCount;
    for (uint32_t node = (winner + k) >> 1; node >= 1; node >>= 1) {
      if (before(sources[r->losers[node]], sources[winner])) std::swap(r->losers[node], winner);
    }
    r->losers[0] = winner;
    r->handedOut = false;
  }
  const Source& s = sources[winner];
  if (s.done) return false;
  r->handedOut = true;
  *rec = s.rec;
  *text = s.text;
  return true;
}

// One pass: merges the runs of pair 0 in groups of the most one merge reads into runs of pair
// 1, then exchanges the two pairs (names included).
void mergeGroups(CNETTMPSET* set, CNETSTATUS* status) {
  CNETTMPRUNS* r = set->runs;
  CNETTMPPAIR& in = set->pairs[0];
  CNETTMPPAIR& out = set->pairs[1];
  const uint32_t groups = (r->count + r->maxMerge - 1) / r->maxMerge;
  Run* merged = static_cast<Run*>(std::malloc(sizeof(Run) * groups));
  if (merged == nullptr) {
    cnetFail(status, CNET_NO_MEMORY, kErrRunTable);
    return;
  }
  openRuns(in, status);
  if (!cnetFailed(status)) cnetTmpPairOpen(out, "wb", status);
  for (uint32_t g = 0; g < groups && !cnetFailed(status); ++g) {
    const uint32_t first = g * r->maxMerge;
    const uint32_t n = std::min(r->maxMerge, r->count - first);
    if (!startSources(set, first, n, false, status)) break;
    Run& made = merged[g];
    made = Run{out.indexBytes, 0, out.textBytes, 0};
    const CNETTMPREC* rec;
    const char* text;
    while (nextMerged(set, &rec, &text, status)) {
      cnetTmpPairWrite(out, *rec, text, status);
      if (cnetFailed(status)) break;
      ++made.records;
    }
    made.textBytes = out.textBytes - made.text;
  }
  releaseMerge(r);
  cnetTmpPairClose(in, status);
  cnetTmpPairClose(out, status);
  if (cnetFailed(status)) {
    std::free(merged);
    return;
  }
  std::swap(set->pairs[0], set->pairs[1]);
  std::free(r->runs);
  r->runs = merged;
  r->count = r->capacity = groups;
}

}  // namespace

bool cnetTmpLimitMerge(CNETTMPSET* set, uint32_t runs) {
  CNETTMPRUNS* r = runsOf(set, nullptr);
  if (r == nullptr) return false;
  r->maxMerge = std::max<uint32_t>(runs, 2);
  return true;
}

void cnetTmpSortMemory(CNETTMPSET* set) {
  const char* text = set->text;
  CNETTMPREC* records = set->records;
  CNETTMPRUNS* r = runsOf(set, nullptr);
  if (r != nullptr && r->items == nullptr) {
    r->items = static_cast<SortItem*>(std::malloc(sizeof(SortItem) * kCnetTmpMaxRecords));
    r->sorted = static_cast<CNETTMPREC*>(std::malloc(sizeof(CNETTMPREC) * kCnetTmpMaxRecords));
  }
  if (r == nullptr || r->items == nullptr || r->sorted == nullptr ||
      set->count > kCnetTmpMaxRecords) {
    std::sort(records, records + set->count, [text](const CNETTMPREC& a, const CNETTMPREC& b) {
      return cnetTmpCompare(text + a.textOffset, a, text + b.textOffset, b) < 0;
    });
    set->sorted = 'Y';
    return;
  }
  // Items carry the prefix and the serial, so that only texts that share their first 8 bytes
  // are compared beyond them; then the records are put in the items' order.
  SortItem* items = r->items;
  for (uint32_t i = 0; i < set->count; ++i) {
    const CNETTMPREC& rec = records[i];
    items[i] = SortItem{cnetTmpPrefix(text + rec.textOffset, rec.length), rec.serial, i};
  }
  std::sort(items, items + set->count, [records, text](const SortItem& a, const SortItem& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    const CNETTMPREC& ra = records[a.index];
    const CNETTMPREC& rb = records[b.index];
    const uint32_t shorter = std::min(ra.length, rb.length);
    if (shorter > 8) {
      const int c = std::memcmp(text + ra.textOffset + 8, text + rb.textOffset + 8, shorter - 8);
      if (c != 0) return c < 0;
    }
    if (ra.length != rb.length) return ra.length < rb.length;
    return a.serial < b.serial;
  });
  for (uint32_t i = 0; i < set->count; ++i)
    r->sorted[i] = records[items[i].index];
  std::memcpy(records, r->sorted, sizeof(CNETTMPREC) * set->count);
  set->sorted = 'Y';
}

void cnetTmpWriteRun(CNETTMPSET* set, CNETSTATUS* status) {
  if (set->sorted != 'Y') cnetTmpSortMemory(set);
  CNETTMPRUNS* r = runsOf(set, status);
  if (r == nullptr) return;
  CNETTMPPAIR& out = set->pairs[0];
  if (out.index == nullptr) {
    // The first run of a write phase starts the files afresh.
    r->count = 0;
    cnetTmpPairOpen(out, "wb", status);
    if (cnetFailed(status)) return;
  }
  Run run{out.indexBytes, set->count, out.textBytes, 0};
  if (r->staged == nullptr) r->staged = static_cast<char*>(std::malloc(kCnetTmpMaxText));
  if (r->staged != nullptr && set->textUsed <= kCnetTmpMaxText) {
    // The texts are gathered in sorted order, then records and texts go out in one write each.
    // The memory is emptied after a flush, so its records may take their offsets in the run.
    uint32_t used = 0;
    for (uint32_t i = 0; i < set->count; ++i) {
      CNETTMPREC& rec = set->records[i];
      std::memcpy(r->staged + used, set->text + rec.textOffset, rec.length);
      rec.textOffset = used;
      used += rec.length;
    }
    cnetTmpPairWriteBlock(out, set->records, set->count, r->staged, used, status);
  } else {
    for (uint32_t i = 0; i < set->count && !cnetFailed(status); ++i) {
      const CNETTMPREC& rec = set->records[i];
      cnetTmpPairWrite(out, rec, set->text + rec.textOffset, status);
    }
  }
  if (cnetFailed(status)) return;
  run.textBytes = out.textBytes - run.text;
  addRun(r, run, status);
}

void cnetTmpStartMerge(CNETTMPSET* set, CNETSTATUS* status) {
  if (set->sorted != 'Y') cnetTmpSortMemory(set);
  set->cursor = 0;
  CNETTMPRUNS* r = runsOf(set, status);
  if (r == nullptr) return;
  releaseMerge(r);
  cnetTmpPairClose(set->pairs[0], status);  // still open from writing or an earlier read
  while (r->count > r->maxMerge && !cnetFailed(status))
    mergeGroups(set, status);
  if (cnetFailed(status)) return;
  openRuns(set->pairs[0], status);
  if (!cnetFailed(status)) startSources(set, 0, r->count, true, status);
}

bool cnetTmpNextSorted(CNETTMPSET* set, const CNETTMPREC** rec, const char** text,
                       CNETSTATUS* status) {
  if (cnetFailed(status)) return false;
  return nextMerged(set, rec, text, status);
}

void cnetTmpEndMerge(CNETTMPSET* set) {
  if (set->runs != nullptr) releaseMerge(set->runs);
}

void cnetTmpFreeRuns(CNETTMPSET* set) {
  if (set->runs == nullptr) return;
  releaseMerge(set->runs);
  std::free(set->runs->items);
  std::free(set->runs->sorted);
  std::free(set->runs->staged);
  std::free(set->runs->runs);
  std::free(set->runs);
  set->runs = nullptr;
}
