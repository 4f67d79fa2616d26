// Compilation steps 1 and 2: definition file → occurrences → word ids, kept groups and
// memberships; the driver of the three steps and the exported membership comparators.
#include "cnet_compile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cnet_console.h"
#include "cnet_grow.h"
#include "cnet_os.h"
#include "cnet_status.h"
#include "cnet_tmp.h"

namespace {

constexpr uint32_t kBlockGrowth = 4096;

// Location numbers.
constexpr uint32_t kErrBlocks = 4110;
constexpr uint32_t kErrInfo = 4111;
constexpr uint32_t kErrRuns = 4112;
constexpr uint32_t kErrMemberships = 4113;
constexpr uint32_t kErrMembershipCount = 4114;
// A serial out of order: the work files are not what was written.
constexpr uint32_t kErrSerial = 4119;
constexpr uint32_t kEmptyDefinition = 1;

bool appendBlock(CnetCompile& c, const DEFCTL& def, uint32_t serial) {
  if (c.blockCount == c.blockCapacity &&
      !cnetGrowBuffer(&c.blocks, &c.blockCapacity, uint64_t{c.blockCount} + 1, kBlockGrowth,
                      UINT32_MAX)) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrBlocks);
    return false;
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
void readDefinition(CnetCompile& c) {
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
  if (!c.failed() && serial == 0)
    cnetFailFile(c.status, CNET_INPUT, kEmptyDefinition, c.definition->path);
  cnetTmpClose(c.tmp.get(), nullptr);
  cnetDefClose(def.get(), nullptr);
}

// Step 2a: word ids by first appearance, from the occurrences sorted by word. The sorted
// serials land all over the entry array: they are handled in batches whose entries are
// prefetched first, so that the cache misses overlap.
void assignWordIds(CnetCompile& c) {
  cnetTmpOpen(c.tmp.get(), 'S', c.status);
  c.entries = cnetAllocate<CNETGROUPENT>(c.entryCount);
  c.firsts = cnetAllocate<uint64_t>(c.entryCount / 64 + 1);
  if (!c.entries || !c.firsts) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrInfo);
    return;
  }
  CNETGROUPENT* entries = c.entries.get();
  for (uint32_t s = 0; s < c.entryCount; ++s)
    entries[s].word = kCnetNone;
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
      clash = clash || e.word != kCnetNone;
      e = CNETGROUPENT{p.first, p.strength, 0, p.rel};
    }
    pending = 0;
  };
  // The previous word: its length, its first 8 bytes as a number and the rest of its text.
  char previous[CNET_WORD_MAX];
  uint32_t previousLength = 0, currentFirst = kCnetNone;
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
    if (e.word == kCnetNone || e.word > s) {
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
  // Step 3 takes a word's own strength from here, the first occurrences in id order.
  c.own = cnetAllocate<uint8_t>(c.wordCount);
  if (!c.own) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrInfo);
    return;
  }
  for (uint32_t word = 0; word < c.entryCount / 64 + 1; ++word) {
    for (uint64_t bits = c.firsts[word]; bits != 0; bits &= bits - 1) {
      const CNETGROUPENT& e = entries[word * 64 + static_cast<uint32_t>(__builtin_ctzll(bits))];
      c.own[e.word] = e.strength;
    }
  }
}

// Sort key of a membership: orders as cnetWrdGrpCmp does, without the group, for word ids below
// 2^31, compared inline (the comparators through their exported entry points cost a fifth of a
// compilation).
inline uint64_t membershipKey(const CNETWRDGRP& m) {
  return (uint64_t{m.wordId} << 32) | (uint64_t{m.rel.id} << 24) | (uint64_t{m.rel.category} << 16);
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
bool sortMemberships(CnetCompile& c) {
  const uint32_t n = c.entryCount;
  constexpr uint32_t kRelDigits = 1u << 16;
  constexpr uint32_t kBits = 11;
  constexpr uint32_t kWordDigits = 1u << kBits;
  auto other = cnetAllocate<CNETWRDGRP>(n);
  auto counts = cnetAllocate<uint32_t>(kRelDigits);
  if (!other || !counts) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrMemberships);
    return false;
  }
  CNETWRDGRP* from = c.memberships.get();
  CNETWRDGRP* to = other.get();
  // The dropped ones go to the end at once, in any order: step 3 reads only the others.
  uint32_t kept = 0;
  for (uint32_t i = 0; i < n; ++i) {
    if (from[i].group != kCnetNone) from[kept++] = from[i];
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

// Puts the kept groups, by then the blocks, into the group image and makes every membership of
// a kept group name the slot of its head. The memberships are still in block order, so that
// their groups ascend. The entry and block arrays are released: step 3 needs the image only.
bool buildGroupImage(CnetCompile& c) {
  uint64_t slots = 0;
  for (uint32_t g = 0; g < c.blockCount; ++g)
    slots += 2 + uint64_t{c.blocks[g].memberCount} + c.blocks[g].relCount;
  if (slots > UINT32_MAX) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrMemberships);
    return false;
  }
  c.image = cnetAllocate<CNETGROUPENT>(slots);
  if (!c.image) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrMemberships);
    return false;
  }
  uint32_t slot = 0;
  for (uint32_t g = 0; g < c.blockCount; ++g) {
    const CNETBLOCK& b = c.blocks[g];
    const uint32_t count = b.memberCount + b.relCount;
    const CnetGroupHead head{b.memberCount, b.relCount, b.rel, {0, 0}, g};
    std::memcpy(&c.image[slot], &head, sizeof head);
    std::memcpy(&c.image[slot + 2], &c.entries[b.firstSerial], sizeof(CNETGROUPENT) * count);
    slot += 2 + count;
  }
  uint32_t group = 0;
  slot = 0;
  for (uint32_t m = 0; m < c.entryCount; ++m) {
    CNETWRDGRP& e = c.memberships[m];
    if (e.group == kCnetNone) continue;
    for (; group < e.group; ++group)
      slot += 2 + c.blocks[group].memberCount + c.blocks[group].relCount;
    e.group = slot;
  }
  c.entries.reset();
  std::free(c.blocks);
  c.blocks = nullptr;
  c.blockCapacity = 0;
  return true;
}

// Step 2b: memberships per block, equivalent blocks dropped, group ids given.
void dropDuplicateBlocks(CnetCompile& c) {
  auto runs = cnetAllocate<BlockRun>(c.blockCount);
  if (!runs) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrRuns);
    return;
  }
  c.memberships = cnetAllocate<CNETWRDGRP>(c.entryCount);
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
    c.blocks[b].duplicateOf = kCnetNone;
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
      first[k].group = kCnetNone;
    ++dropped;
  }
  runs.reset();
  if (dropped > 0) {
    uint32_t next = 0;
    for (uint32_t b = 0; b < c.blockCount; ++b) {
      CNETBLOCK& block = c.blocks[b];
      block.groupId = block.duplicateOf == kCnetNone ? next++ : c.blocks[block.duplicateOf].groupId;
    }
    for (uint32_t m = 0; m < c.entryCount; ++m) {
      CNETWRDGRP& w = c.memberships[m];
      if (w.group != kCnetNone) w.group = c.blocks[w.group].groupId;
    }
    uint32_t keep = 0;
    for (uint32_t b = 0; b < c.blockCount; ++b) {
      if (c.blocks[b].duplicateOf == kCnetNone) c.blocks[keep++] = c.blocks[b];
    }
    c.blockCount = keep;
  } else {
    for (uint32_t b = 0; b < c.blockCount; ++b)
      c.blocks[b].groupId = b;
  }
  if (buildGroupImage(c)) sortMemberships(c);
}

}  // namespace

void* cnetCompileAllocate(size_t bytes) {
  constexpr size_t kLarge = size_t{4} << 20;
  return bytes >= kLarge ? cnetOsAllocateLarge(bytes) : std::malloc(bytes);
}

void cnetCompileSteps(CNETCTL* work, const CNETDEF* definition, const CNETCODE* code,
                      const CNETEXEC* exec, CNETSTATUS* status) {
  CnetCompile c(work, definition, code, exec, status);
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
    cnetCompileWriteStep(c);
  }
  cnetTmpDelete(c.tmp.get(), nullptr);
}

THES_EXPORT int32_t cnetWrdGrpCmp(const void* pa, const void* pb) {
  const auto* a = static_cast<const CNETWRDGRP*>(pa);
  const auto* b = static_cast<const CNETWRDGRP*>(pb);
  // Two records of dropped blocks are equal, so that the order stays consistent for a sort.
  if (a->group == kCnetNone && b->group == kCnetNone) return 0;
  if (b->group == kCnetNone) return -1;
  if (a->group == kCnetNone) return 1;
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
