// Compilation steps: definition file → occurrences → word ids and groups → dictionary files.
#include "cnet_compile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cnet_console.h"
#include "cnet_os.h"
#include "cnet_relset.h"
#include "cnet_status.h"
#include "cnet_tmp.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint32_t kBlockGrowth = 4096;

// Location numbers.
constexpr uint32_t kErrBlocks = 4110;
constexpr uint32_t kErrInfo = 4111;
constexpr uint32_t kErrRuns = 4112;
constexpr uint32_t kErrMemberships = 4113;
constexpr uint32_t kErrMembershipCount = 4114;
constexpr uint32_t kErrWordBuffers = 4115;
constexpr uint32_t kErrNoRun = 4116;
// A serial out of order: the work files are not what was written.
constexpr uint32_t kErrSerial = 4119;
constexpr uint32_t kEmptyDefinition = 1;

// Memory that is freed when the compilation ends, whatever the path.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Buffer = std::unique_ptr<T[], FreeDeleter>;

// Arrays from 4 MiB on are read and written at random: they get memory that may be backed by
// huge pages.
template <typename T>
Buffer<T> allocate(size_t n) {
  constexpr size_t kLarge = size_t{4} << 20;
  if (n > SIZE_MAX / sizeof(T)) return Buffer<T>();
  const size_t bytes = std::max<size_t>(n, 1) * sizeof(T);
  void* memory = bytes >= kLarge ? cnetOsAllocateLarge(bytes) : std::malloc(bytes);
  return Buffer<T>(static_cast<T*>(memory));
}

// Everything the steps hand on to each other.
struct Compile {
  Compile(CNETCTL* w, const CNETDEF* d, const CNETCODE* cp, const CNETEXEC* e, CNETSTATUS* st)
      : work(w), definition(d), code(cp), exec(e), status(st) {}
  CNETCTL* work;
  const CNETDEF* definition;
  const CNETCODE* code;
  const CNETEXEC* exec;
  CNETSTATUS* status;
  std::unique_ptr<CNETTMPSET> tmp = std::make_unique<CNETTMPSET>();
  CNETBLOCK* blocks = nullptr;  // B block records (malloc'd: grows with realloc)
  uint32_t blockCount = 0;
  uint32_t blockCapacity = 0;
  uint32_t entryCount = 0;  // N occurrences
  // What step 2 learns of each occurrence, by serial, in the 8 bytes of a group entry: word id
  // (while ids are given: the serial of the word's first occurrence), strength and REL; and a
  // bit per occurrence that is its word's first.
  Buffer<CNETGROUPENT> entries;
  Buffer<uint64_t> firsts;
  uint32_t wordCount = 0;  // W
  Buffer<CNETWRDGRP> memberships;
  uint32_t membershipCount = 0;  // M

  ~Compile() { std::free(blocks); }

  bool failed() const { return cnetFailed(status); }
  bool isFirst(uint32_t s) const { return (firsts[s / 64] >> (s % 64)) & 1; }
  void failEmpty() { cnetFailFile(status, CNET_INPUT, kEmptyDefinition, definition->path); }
};

uint8_t combine(uint8_t strength, uint32_t own) {
  return static_cast<uint8_t>((uint32_t{strength} - 1) * own / 99 + 1);
}

bool appendBlock(Compile& c, const DEFCTL& def, uint32_t serial) {
  if (c.blockCount == c.blockCapacity) {
    size_t grown = size_t{c.blockCapacity} + kBlockGrowth;
    void* p = std::realloc(c.blocks, grown * sizeof(CNETBLOCK));
    if (p == nullptr) {
      cnetFail(c.status, CNET_NO_MEMORY, kErrBlocks);
      return false;
    }
    c.blocks = static_cast<CNETBLOCK*>(p);
    c.blockCapacity = static_cast<uint32_t>(grown);
  }
  CNETBLOCK& b = c.blocks[c.blockCount++];
  std::memset(&b, 0, sizeof b);
  b.firstSerial = serial;
  b.memberCount = def.memberCount;
  b.relCount = def.relationCount;
  b.rel = def.blockRel;
  b.headLine = def.blockLine;
  return true;
}

// Step 1: every accepted block becomes a block record, every word of it an occurrence.
void readDefinition(Compile& c) {
  auto def = std::make_unique<DEFCTL>();
  cnetDefOpen(def.get(), c.definition, c.code->codePage, "rb", c.status);
  if (!c.failed()) cnetTmpOpen(c.tmp.get(), 'W', c.status);
  uint32_t serial = 0;
  while (!c.failed()) {
    cnetDefRead(def.get(), c.exec, c.status);
    if (c.failed() || def->memberCount == 0) break;
    if (!appendBlock(c, *def, serial)) break;
    for (uint32_t i = 0; i < def->entryCount && !c.failed(); ++i) {
      const DEFENTRY& e = def->entries[i];
      cnetTmpWrite(c.tmp.get(), serial++, def->text + e.textOffset, e.length, e.strength, &e.rel,
                   c.status);
    }
  }
  cnetTmpClose(c.tmp.get(), c.status);
  c.entryCount = serial;
  if (!c.failed() && serial == 0) c.failEmpty();
  cnetTmpClose(c.tmp.get(), nullptr);
  cnetDefClose(def.get(), nullptr);
}

// Step 2a: word ids by first appearance, from the occurrences sorted by word. The sorted
// serials land all over the entry array: they are handled in batches whose entries are
// prefetched first, so that the cache misses overlap.
void assignWordIds(Compile& c) {
  cnetTmpOpen(c.tmp.get(), 'S', c.status);
  c.entries = allocate<CNETGROUPENT>(c.entryCount);
  c.firsts = allocate<uint64_t>(c.entryCount / 64 + 1);
  if (!c.entries || !c.firsts) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrInfo);
    return;
  }
  CNETGROUPENT* entries = c.entries.get();
  for (uint32_t s = 0; s < c.entryCount; ++s)
    entries[s].word = kNone;
  struct Pending {
    uint32_t serial, first;
    uint8_t strength;
    REL rel;
  };
  constexpr uint32_t kBatch = 32;
  Pending batch[kBatch];
  uint32_t pending = 0;
  bool clash = false;  // a serial out of range or met twice
  auto store = [&] {
    for (uint32_t i = 0; i < pending; ++i) {
      const Pending& p = batch[i];
      CNETGROUPENT& e = entries[p.serial];
      clash = clash || e.word != kNone;
      e = CNETGROUPENT{p.first, p.strength, 0, p.rel};
    }
    pending = 0;
  };
  // The previous word: its length, its first 8 bytes as a number and the rest of its text.
  char previous[CNET_WORD_MAX];
  uint32_t previousLength = 0, currentFirst = kNone;
  uint64_t previousPrefix = 0;
  const CNETTMPREC* rec;
  const char* text;
  while (!clash && cnetTmpNextSorted(c.tmp.get(), &rec, &text, c.status)) {
    const uint32_t length = rec->length;
    const uint64_t prefix = cnetTmpPrefix(text, length);
    if (length != previousLength || prefix != previousPrefix ||
        (length > 8 && std::memcmp(text + 8, previous + 8, length - 8) != 0)) {
      currentFirst = rec->serial;
      previousLength = length;
      previousPrefix = prefix;
      if (length > 8) std::memcpy(previous + 8, text + 8, length - 8);
    }
    if (rec->serial >= c.entryCount) {
      clash = true;
      break;
    }
    __builtin_prefetch(&entries[rec->serial], 1);
    batch[pending++] = Pending{rec->serial, currentFirst, rec->strength, rec->rel};
    if (pending == kBatch) store();
  }
  store();
  cnetTmpClose(c.tmp.get(), nullptr);
  if (clash) cnetFail(c.status, CNET_UNEXPECTED, kErrSerial);
  if (c.failed()) return;
  // An occurrence takes the id of its word's first occurrence, which lies anywhere before it
  // and has its id already: that entry is prefetched a few occurrences ahead.
  constexpr uint32_t kAhead = 64;
  std::memset(c.firsts.get(), 0, sizeof(uint64_t) * (c.entryCount / 64 + 1));
  for (uint32_t s = 0; s < c.entryCount; ++s) {
    if (s + kAhead < c.entryCount && entries[s + kAhead].word < s + kAhead)
      __builtin_prefetch(&entries[entries[s + kAhead].word]);
    CNETGROUPENT& e = entries[s];
    if (e.word == kNone || e.word > s) {
      cnetFail(c.status, CNET_UNEXPECTED, kErrSerial);
      return;
    }
    if (e.word == s) {
      c.firsts[s / 64] |= uint64_t{1} << (s % 64);
      e.word = c.wordCount++;
    } else {
      e.word = entries[e.word].word;
    }
  }
}

// Sort keys that order as cnetWrdGrpCmp (without the group) and cnetWdvRelCmp do for word ids
// below 2^31, compared inline: the comparators through their exported entry points cost a
// fifth of a compilation.
inline uint64_t membershipKey(const CNETWRDGRP& m) {
  return (uint64_t{m.wordId} << 32) | (uint64_t{m.rel.id} << 24) | (uint64_t{m.rel.category} << 16);
}
inline uint64_t relationKey(uint32_t target, REL rel, uint8_t strength) {
  return (uint64_t{target} << 24) | (uint64_t{rel.category} << 16) | (uint64_t{rel.id} << 8) |
         strength;
}
inline uint64_t relationKey(const CNETRELENT& r) {
  return relationKey(r.target, r.rel, r.strength);
}
// The entry a relation key stands for.
inline CNETRELENT relationOf(uint64_t key) {
  return CNETRELENT{static_cast<uint32_t>(key >> 24),
                    REL{static_cast<uint8_t>(key >> 16), static_cast<uint8_t>(key >> 8)},
                    static_cast<uint8_t>(key), 0};
}

// A block's memberships for the search of equivalent blocks, with the key of its first one:
// ordered as cnetWrdGrpGrpIdCmp orders group runs, compared inline.
struct BlockRun {
  uint64_t firstKey;
  uint64_t secondKey;  // of the second membership; 0 for a block of one
  uint32_t count;
  uint32_t block;
  const CNETWRDGRP* first;
};

// cnetWrdGrpGrpCmp of two runs of kept blocks: by count, then membership by membership.
inline int compareRuns(const BlockRun& a, const BlockRun& b) {
  if (a.count != b.count) return a.count < b.count ? -1 : 1;
  if (a.count == 0) return 0;
  if (a.firstKey != b.firstKey) return a.firstKey < b.firstKey ? -1 : 1;
  if (a.secondKey != b.secondKey) return a.secondKey < b.secondKey ? -1 : 1;
  for (uint32_t i = 2; i < a.count; ++i) {
    const uint64_t ka = membershipKey(a.first[i]), kb = membershipKey(b.first[i]);
    if (ka != kb) return ka < kb ? -1 : 1;
  }
  return 0;
}

// One stable counting pass of a radix sort: count records from `from` to `to` by the digit
// that digitOf gives (below digits); counts has room for digits.
template <typename DigitOf>
void radixPass(const CNETWRDGRP* from, CNETWRDGRP* to, uint32_t n, uint32_t* counts,
               uint32_t digits, DigitOf digitOf) {
  std::fill(counts, counts + digits, 0u);
  for (uint32_t i = 0; i < n; ++i)
    ++counts[digitOf(from[i])];
  uint32_t sum = 0;
  for (uint32_t d = 0; d < digits; ++d) {
    const uint32_t here = counts[d];
    counts[d] = sum;
    sum += here;
  }
  for (uint32_t i = 0; i < n; ++i)
    to[counts[digitOf(from[i])]++] = from[i];
}

// Sorts the memberships as cnetWrdGrpIdCmp orders them: by word id, REL id, REL category, then
// group, with those of dropped blocks at the end. They come in block order, so groups ascend,
// and a stable radix sort, first by REL and then by word id, gives that order.
bool sortMemberships(Compile& c) {
  const uint32_t n = c.entryCount;
  constexpr uint32_t kRelDigits = 1u << 16;
  constexpr uint32_t kBits = 11;
  constexpr uint32_t kWordDigits = 1u << kBits;
  auto other = allocate<CNETWRDGRP>(n);
  auto counts = allocate<uint32_t>(kRelDigits);
  if (!other || !counts) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrMemberships);
    return false;
  }
  CNETWRDGRP* from = c.memberships.get();
  CNETWRDGRP* to = other.get();
  // The dropped ones go to the end at once, in any order: step 3 reads only the others.
  uint32_t kept = 0;
  for (uint32_t i = 0; i < n; ++i) {
    if (from[i].group != kNone) from[kept++] = from[i];
  }
  radixPass(from, to, kept, counts.get(), kRelDigits,
            [](const CNETWRDGRP& m) { return (uint32_t{m.rel.id} << 8) | m.rel.category; });
  std::swap(from, to);
  const uint64_t largest = c.wordCount == 0 ? 0 : c.wordCount - 1;
  for (uint32_t shift = 0; shift == 0 || (largest >> shift) != 0; shift += kBits) {
    radixPass(from, to, kept, counts.get(), kWordDigits,
              [shift](const CNETWRDGRP& m) { return (m.wordId >> shift) & (kWordDigits - 1); });
    std::swap(from, to);
  }
  if (from != c.memberships.get()) std::swap(c.memberships, other);
  c.membershipCount = kept;
  return true;
}

// Step 2b: memberships per block, equivalent blocks dropped, group ids given.
void dropDuplicateBlocks(Compile& c) {
  auto runs = allocate<BlockRun>(c.blockCount);
  if (!runs) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrRuns);
    return;
  }
  c.memberships = allocate<CNETWRDGRP>(c.entryCount);
  if (!c.memberships) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrMemberships);
    return;
  }
  uint32_t made = 0;
  for (uint32_t b = 0; b < c.blockCount; ++b) {
    const CNETBLOCK& block = c.blocks[b];
    uint64_t count = uint64_t{block.memberCount} + block.relCount;
    if (uint64_t{block.firstSerial} + count > c.entryCount || block.firstSerial != made) break;
    CNETWRDGRP* first = &c.memberships[made];
    for (uint32_t t = block.firstSerial; t < block.firstSerial + count; ++t) {
      c.memberships[made++] = CNETWRDGRP{c.entries[t].word, b, c.entries[t].rel, {0, 0}};
    }
    runs[b] =
        BlockRun{count > 0 ? membershipKey(first[0]) : 0, count > 1 ? membershipKey(first[1]) : 0,
                 static_cast<uint32_t>(count), b, first};
  }
  if (made != c.entryCount) {
    cnetFail(c.status, CNET_UNEXPECTED, kErrMembershipCount);
    return;
  }
  std::sort(runs.get(), runs.get() + c.blockCount, [](const BlockRun& a, const BlockRun& b) {
    const int order = compareRuns(a, b);
    return order != 0 ? order < 0 : a.block < b.block;
  });
  uint32_t dropped = 0;
  for (uint32_t b = 0; b < c.blockCount; ++b)
    c.blocks[b].duplicateOf = kNone;
  const BlockRun* kept = c.blockCount > 0 ? &runs[0] : nullptr;
  for (uint32_t i = 1; i < c.blockCount; ++i) {
    const BlockRun& run = runs[i];
    if (compareRuns(run, *kept) != 0) {
      kept = &run;
      continue;
    }
    cnetWarnf(c.exec, c.definition->path,
              "zolC704W: Warning: line %lu: Equivalent to the block in line %lu.  Discarded.\n",
              static_cast<unsigned long>(c.blocks[run.block].headLine),
              static_cast<unsigned long>(c.blocks[kept->block].headLine));
    c.blocks[run.block].duplicateOf = kept->block;
    CNETWRDGRP* first = c.memberships.get() + c.blocks[run.block].firstSerial;
    for (uint32_t k = 0; k < run.count; ++k)
      first[k].group = kNone;
    ++dropped;
  }
  runs.reset();
  if (dropped > 0) {
    uint32_t next = 0;
    for (uint32_t b = 0; b < c.blockCount; ++b) {
      CNETBLOCK& block = c.blocks[b];
      block.groupId = block.duplicateOf == kNone ? next++ : c.blocks[block.duplicateOf].groupId;
    }
    for (uint32_t m = 0; m < c.entryCount; ++m) {
      CNETWRDGRP& w = c.memberships[m];
      if (w.group != kNone) w.group = c.blocks[w.group].groupId;
    }
    uint32_t keep = 0;
    for (uint32_t b = 0; b < c.blockCount; ++b) {
      if (c.blocks[b].duplicateOf == kNone) c.blocks[keep++] = c.blocks[b];
    }
    c.blockCount = keep;
  } else {
    for (uint32_t b = 0; b < c.blockCount; ++b)
      c.blocks[b].groupId = b;
  }
  sortMemberships(c);
}

// The relations that block b gives word w (whose own strength is own), through membership e,
// as relation keys.
inline void addRelations(const Compile& c, const CNETWRDGRP& e, uint32_t w, uint32_t own,
                         uint64_t* out, uint32_t* n) {
  const CNETBLOCK& b = c.blocks[e.group];
  const CNETGROUPENT* members = c.entries.get() + b.firstSerial;
  const CNETGROUPENT* relations = members + b.memberCount;
  uint32_t k = *n;
  if (e.rel.category == CNET_CAT_MEMBER) {
    if (b.rel.category != CNET_CAT_NONE) {
      for (uint32_t t = 0; t < b.memberCount; ++t) {
        if (members[t].word != w)
          out[k++] = relationKey(members[t].word, b.rel, combine(members[t].strength, own));
      }
    }
    for (uint32_t t = 0; t < b.relCount; ++t) {
      const CNETGROUPENT& r = relations[t];
      out[k++] = relationKey(r.word, cnetRelReversed(r.rel), combine(r.strength, own));
    }
  } else {
    for (uint32_t t = 0; t < b.memberCount; ++t)
      out[k++] = relationKey(members[t].word, e.rel, combine(members[t].strength, own));
  }
  *n = k;
}

// Sorts n keys whose largest possible value is largest: a radix sort for long lists (scratch
// holds n keys), a plain sort for short ones.
void sortKeys(uint64_t* keys, uint32_t n, uint64_t* scratch, uint64_t largest) {
  constexpr uint32_t kLong = 1024;
  if (n < kLong) {
    std::sort(keys, keys + n);
    return;
  }
  constexpr uint32_t kBits = 11;
  constexpr uint32_t kDigits = 1u << kBits;
  uint32_t counts[kDigits];
  uint64_t* from = keys;
  uint64_t* to = scratch;
  for (uint32_t shift = 0; shift == 0 || (shift < 64 && (largest >> shift) != 0); shift += kBits) {
    std::fill(counts, counts + kDigits, 0u);
    for (uint32_t i = 0; i < n; ++i)
      ++counts[(from[i] >> shift) & (kDigits - 1)];
    uint32_t sum = 0;
    for (uint32_t& d : counts) {
      const uint32_t here = d;
      d = sum;
      sum += here;
    }
    for (uint32_t i = 0; i < n; ++i)
      to[counts[(from[i] >> shift) & (kDigits - 1)]++] = from[i];
    std::swap(from, to);
  }
  if (from != keys) std::memcpy(keys, from, sizeof(uint64_t) * n);
}

// Prints zolC706W for the word (in its display form).
void warnInconsistent(const CNETEXEC* exec, const char* definitionPath, const char* text,
                      uint32_t length, uint8_t codePage) {
  char display[CNET_WORD_MAX + 1];
  int32_t displayLength = 0;
  CNETSTATUS scratch{};
  cnetZOLunnormalizeWord(codePage, text, static_cast<int32_t>(length), display, CNET_WORD_MAX,
                         &displayLength, &scratch);
  if (scratch.retcode == 0) {
    display[displayLength] = '\0';
    cnetWarnf(exec, definitionPath,
              "zolC706W: Warning: Inconsistent definition of `%s' is found.\n", display);
  }
}

// The walk of cnetWdvRelCheck over a sorted list, whose elements entry() turns into relation
// entries: an entry equal to the last one kept is dropped, one that names the last kept target
// both higher and lower than word w is kept with zolC706W. Returns the number kept.
template <typename T, typename Entry>
uint32_t keepDistinct(T* list, uint32_t count, Entry entry, const CNETEXEC* exec,
                      const char* definitionPath, uint32_t w, const char* text, uint32_t length,
                      uint8_t codePage) {
  if (count == 0) return 0;
  // Entries of different targets are neither equal nor inconsistent: the two checks are made
  // only within a target.
  uint32_t kept = 1;
  CNETRELENT last = entry(list[0]);
  for (uint32_t i = 1; i < count; ++i) {
    const CNETRELENT next = entry(list[i]);
    if (last.target == next.target) {
      if (cnetWdvRelCmp(&last, &next) == 0) continue;
      if (cnetWdvRelInvalid(w, &last, &next) != 0)
        warnInconsistent(exec, definitionPath, text, length, codePage);
    }
    list[kept++] = list[i];
    last = next;
  }
  return kept;
}

// Memberships are visited in order, but their blocks and the blocks' entries lie anywhere:
// they are prefetched some memberships ahead, the block record first and its entries later.
// Inlined by force: a separate function of prefetches alone counts as free of side effects,
// and the compiler drops its calls.
__attribute__((always_inline)) inline void prefetchBlocks(const Compile& c, uint32_t m) {
  constexpr uint32_t kBlockAhead = 32, kEntriesAhead = 16;
  if (m + kBlockAhead < c.membershipCount)
    __builtin_prefetch(&c.blocks[c.memberships[m + kBlockAhead].group]);
  if (m + kEntriesAhead < c.membershipCount) {
    const CNETBLOCK& b = c.blocks[c.memberships[m + kEntriesAhead].group];
    const CNETGROUPENT* entries = c.entries.get() + b.firstSerial;
    __builtin_prefetch(entries);
    __builtin_prefetch(entries + b.memberCount + b.relCount - 1);
  }
}

// Step 3: the words in id order, then the groups, then the header.
void writeDictionary(Compile& c, CNETHEAD& head) {
  // Largest number of groups of one word, and of relation units (members and relation entries
  // of all its blocks), over the runs of equal word id.
  uint32_t maxGroups = 0;
  uint64_t maxUnits = 0;
  for (uint32_t m = 0; m < c.membershipCount;) {
    uint32_t end = m;
    uint64_t units = 0;
    while (end < c.membershipCount && c.memberships[end].wordId == c.memberships[m].wordId) {
      if (end + 32 < c.membershipCount)
        __builtin_prefetch(&c.blocks[c.memberships[end + 32].group]);
      const CNETBLOCK& b = c.blocks[c.memberships[end].group];
      units += uint64_t{b.memberCount} + b.relCount;
      ++end;
    }
    maxGroups = std::max(maxGroups, end - m);
    maxUnits = std::max(maxUnits, units);
    m = end;
  }
  if (c.membershipCount == 0 || maxGroups == 0 || maxUnits == 0) {
    c.failEmpty();
    return;
  }
  auto keys = allocate<uint64_t>(maxUnits);
  auto scratch = allocate<uint64_t>(maxUnits);
  auto rels = allocate<CNETRELENT>(maxUnits);
  auto groups = allocate<uint32_t>(maxGroups);
  if (!keys || !scratch || !rels || !groups) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrWordBuffers);
    return;
  }
  char text[CNET_WORD_MAX + 4];
  uint32_t pos = 0;
  const uint64_t largestKey = relationKey(c.wordCount - 1, REL{0xFF, 0xFF}, 0xFF);
  for (uint32_t s = 0; c.wordCount > 0 && !c.failed(); ++s) {
    uint32_t length = 0;
    cnetTmpRead(c.tmp.get(), nullptr, text, &length, nullptr, nullptr, c.status);
    if (c.failed() || length == 0 || s >= c.entryCount) break;
    if (!c.isFirst(s)) continue;
    const CNETGROUPENT& in = c.entries[s];
    const uint32_t w = in.word;
    while (pos < c.membershipCount && c.memberships[pos].wordId < w)
      ++pos;
    if (pos >= c.membershipCount || c.memberships[pos].wordId != w) {
      cnetFail(c.status, CNET_UNEXPECTED, kErrNoRun);
      break;
    }
    uint32_t groupCount = 0, relCount = 0;
    for (; pos < c.membershipCount && c.memberships[pos].wordId == w; ++pos) {
      prefetchBlocks(c, pos);
      const CNETWRDGRP& e = c.memberships[pos];
      groups[groupCount++] = e.group;
      addRelations(c, e, w, uint32_t{in.strength} - 1, keys.get(), &relCount);
    }
    // cnetWdvRelCheck on the relation keys.
    sortKeys(keys.get(), relCount, scratch.get(), largestKey);
    relCount = keepDistinct(keys.get(), relCount, relationOf, c.exec, c.definition->path, w, text,
                            length, c.code->codePage);
    for (uint32_t i = 0; i < relCount; ++i)
      rels[i] = relationOf(keys[i]);
    cnetWriteWord(c.work, kNone, groupCount, groups.get(), relCount, rels.get(), text, length,
                  c.status);
    head.maxWordGroups = std::max(head.maxWordGroups, groupCount);
    head.maxWordRels = std::max(head.maxWordRels, relCount);
    if (w == c.wordCount - 1) break;
  }
  if (c.failed()) return;

  // The entries of a block lie back to back in the entry array, as its group entries.
  for (uint32_t b = 0; b < c.blockCount && !c.failed(); ++b) {
    const CNETBLOCK& block = c.blocks[b];
    CNETGROUPREC rec{};
    rec.memberCount = block.memberCount;
    rec.relCount = block.relCount;
    rec.rel = block.rel;
    cnetWriteGroup(c.work, &rec, c.entries.get() + block.firstSerial, c.status);
    head.maxGroupMembers = std::max(head.maxGroupMembers, block.memberCount);
    head.maxGroupRels = std::max(head.maxGroupRels, block.relCount);
  }
  if (c.failed()) return;
  head.wordCount = c.wordCount;
  head.groupCount = c.blockCount;
  head.codePage = c.code->codePage;
  cnetWriteHead(c.work, &head, c.status);
}

void writeStep(Compile& c) {
  cnetOpen(c.work, "wb", c.status);
  CNETHEAD head{};
  if (!c.failed()) cnetWriteHead(c.work, &head, c.status);
  if (!c.failed()) cnetTmpOpen(c.tmp.get(), 'R', c.status);
  if (!c.failed()) writeDictionary(c, head);
  cnetTmpClose(c.tmp.get(), nullptr);
  CNETSTATUS scratch{};
  cnetClose(c.work, &scratch);
  if (!c.failed() && scratch.retcode != 0) *c.status = scratch;
}

}  // namespace

void cnetCompileSteps(CNETCTL* work, const CNETDEF* definition, const CNETCODE* code,
                      const CNETEXEC* exec, CNETSTATUS* status) {
  Compile c(work, definition, code, exec, status);
  if (!cnetTmpName(c.tmp.get(), work->directory, work->name)) {
    cnetFail(status, CNET_NAME_LENGTH, kErrBlocks);
    return;
  }
  cnetTimef(exec, "", "Step1 start...\n");
  readDefinition(c);
  if (!c.failed()) {
    cnetTimef(exec, "", "Step2 start...\n");
    assignWordIds(c);
    if (!c.failed()) dropDuplicateBlocks(c);
  }
  if (!c.failed()) {
    cnetTimef(exec, "", "Step3 start...\n");
    writeStep(c);
  }
  cnetTmpDelete(c.tmp.get(), nullptr);
}

extern "C" {

THES_EXPORT int32_t cnetWrdGrpCmp(const void* pa, const void* pb) {
  const auto* a = static_cast<const CNETWRDGRP*>(pa);
  const auto* b = static_cast<const CNETWRDGRP*>(pb);
  // Two records of dropped blocks are equal, so that the order stays consistent for a sort.
  if (a->group == kNone && b->group == kNone) return 0;
  if (b->group == kNone) return -1;
  if (a->group == kNone) return 1;
  if (a->wordId != b->wordId) return static_cast<int32_t>(a->wordId - b->wordId);
  if (a->rel.id != b->rel.id) return int32_t{a->rel.id} - int32_t{b->rel.id};
  return int32_t{a->rel.category} - int32_t{b->rel.category};
}

THES_EXPORT int32_t cnetWrdGrpIdCmp(const void* pa, const void* pb) {
  int32_t c = cnetWrdGrpCmp(pa, pb);
  if (c != 0) return c;
  const auto* a = static_cast<const CNETWRDGRP*>(pa);
  const auto* b = static_cast<const CNETWRDGRP*>(pb);
  return static_cast<int32_t>(a->group - b->group);
}

THES_EXPORT int32_t cnetWrdGrpGrpCmp(const void* pa, const void* pb) {
  const auto* a = static_cast<const CNETGRPRUN*>(pa);
  const auto* b = static_cast<const CNETGRPRUN*>(pb);
  if (a->count != b->count) return static_cast<int32_t>(a->count - b->count);
  for (uint32_t i = 0; i < a->count; ++i) {
    int32_t c = cnetWrdGrpCmp(&a->first[i], &b->first[i]);
    if (c != 0) return c;
  }
  return 0;
}

THES_EXPORT int32_t cnetWrdGrpGrpIdCmp(const void* pa, const void* pb) {
  int32_t c = cnetWrdGrpGrpCmp(pa, pb);
  if (c != 0) return c;
  const auto* a = static_cast<const CNETGRPRUN*>(pa);
  const auto* b = static_cast<const CNETGRPRUN*>(pb);
  return static_cast<int32_t>(a->block - b->block);
}

THES_EXPORT void cnetWdvRelCheck(const CNETEXEC* exec, const char* definitionPath, uint32_t w,
                                 const char* text, uint32_t length, CNETRELENT* list,
                                 uint32_t* count, uint8_t codePage) {
  std::sort(list, list + *count, [](const CNETRELENT& a, const CNETRELENT& b) {
    return relationKey(a) < relationKey(b);
  });
  *count = keepDistinct(
      list, *count, [](const CNETRELENT& e) { return e; }, exec, definitionPath, w, text, length,
      codePage);
}

}  // extern "C"
