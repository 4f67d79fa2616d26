// Compilation steps: definition file → occurrences → word ids and groups → dictionary files.
#include "cnet_compile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "cnet_console.h"
#include "cnet_dict.h"
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
constexpr uint32_t kErrGroupBuffer = 4117;
// A serial out of order: the work files are not what was written.
constexpr uint32_t kErrSerial = 4119;
constexpr uint32_t kEmptyDefinition = 1;

// Memory that is freed when the compilation ends, whatever the path.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Buffer = std::unique_ptr<T[], FreeDeleter>;

template <typename T>
Buffer<T> allocate(size_t n) {
  return Buffer<T>(static_cast<T*>(std::malloc(std::max<size_t>(n, 1) * sizeof(T))));
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
  Buffer<CNETENTINFO> info;
  uint32_t wordCount = 0;  // W
  Buffer<CNETWRDGRP> memberships;
  uint32_t membershipCount = 0;  // M

  ~Compile() { std::free(blocks); }

  bool failed() const { return cnetFailed(status); }
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

// Step 2a: word ids by first appearance, from the occurrences sorted by word.
void assignWordIds(Compile& c) {
  cnetTmpOpen(c.tmp.get(), 'S', c.status);
  c.info = allocate<CNETENTINFO>(c.entryCount);
  if (!c.info) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrInfo);
    return;
  }
  for (uint32_t s = 0; s < c.entryCount; ++s)
    c.info[s].firstSerial = kNone;
  char text[CNET_WORD_MAX], previous[CNET_WORD_MAX];
  uint32_t previousLength = 0, currentFirst = kNone;
  for (;;) {
    uint32_t serial = 0, length = 0;
    uint8_t strength = 0;
    REL rel{};
    cnetTmpReadSorted(c.tmp.get(), &serial, text, &length, &strength, &rel, c.status);
    if (c.failed() || length == 0) break;
    if (serial >= c.entryCount || c.info[serial].firstSerial != kNone) {
      cnetFail(c.status, CNET_UNEXPECTED, kErrSerial);
      break;
    }
    if (length != previousLength || std::memcmp(text, previous, length) != 0) {
      currentFirst = serial;
      std::memcpy(previous, text, length);
      previousLength = length;
    }
    CNETENTINFO& in = c.info[serial];
    in.firstSerial = currentFirst;
    in.strength = strength;
    in.zero = 0;
    in.rel = rel;
  }
  cnetTmpClose(c.tmp.get(), nullptr);
  if (c.failed()) return;
  for (uint32_t s = 0; s < c.entryCount; ++s) {
    CNETENTINFO& in = c.info[s];
    if (in.firstSerial == kNone || in.firstSerial > s) {
      cnetFail(c.status, CNET_UNEXPECTED, kErrSerial);
      return;
    }
    in.wordId = in.firstSerial == s ? c.wordCount++ : c.info[in.firstSerial].wordId;
  }
}

// Sort keys that order as cnetWrdGrpCmp (without the group) and cnetWdvRelCmp do for word ids
// below 2^31, compared inline: the comparators through their exported entry points cost a
// fifth of a compilation.
inline uint64_t membershipKey(const CNETWRDGRP& m) {
  return (uint64_t{m.wordId} << 32) | (uint64_t{m.rel.id} << 24) | (uint64_t{m.rel.category} << 16);
}
inline uint64_t relationKey(const CNETRELENT& r) {
  return (uint64_t{r.target} << 24) | (uint64_t{r.rel.category} << 16) | (uint64_t{r.rel.id} << 8) |
         r.strength;
}

// Step 2b: memberships per block, equivalent blocks dropped, group ids given.
void dropDuplicateBlocks(Compile& c) {
  auto runs = allocate<CNETGRPRUN>(c.blockCount);
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
    runs[b] = CNETGRPRUN{b, static_cast<uint32_t>(count), &c.memberships[made]};
    for (uint32_t t = block.firstSerial; t < block.firstSerial + count; ++t) {
      c.memberships[made++] = CNETWRDGRP{c.info[t].wordId, b, c.info[t].rel, {0, 0}};
    }
  }
  if (made != c.entryCount) {
    cnetFail(c.status, CNET_UNEXPECTED, kErrMembershipCount);
    return;
  }
  std::sort(runs.get(), runs.get() + c.blockCount, [](const CNETGRPRUN& a, const CNETGRPRUN& b) {
    return cnetWrdGrpGrpIdCmp(&a, &b) < 0;
  });
  uint32_t dropped = 0, droppedMemberships = 0;
  for (uint32_t b = 0; b < c.blockCount; ++b)
    c.blocks[b].duplicateOf = kNone;
  const CNETGRPRUN* kept = c.blockCount > 0 ? &runs[0] : nullptr;
  for (uint32_t i = 1; i < c.blockCount; ++i) {
    const CNETGRPRUN& run = runs[i];
    if (cnetWrdGrpGrpCmp(&run, kept) != 0) {
      kept = &run;
      continue;
    }
    cnetWarnf(c.exec, c.definition->path,
              "zolC704W: Warning: line %lu: Equivalent to the block in line %lu.  Discarded.\n",
              static_cast<unsigned long>(c.blocks[run.block].headLine),
              static_cast<unsigned long>(c.blocks[kept->block].headLine));
    c.blocks[run.block].duplicateOf = kept->block;
    for (uint32_t k = 0; k < run.count; ++k)
      run.first[k].group = kNone;
    ++dropped;
    droppedMemberships += run.count;
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
  // Records of dropped blocks go to the end; among themselves their order does not matter.
  std::sort(c.memberships.get(), c.memberships.get() + c.entryCount,
            [](const CNETWRDGRP& a, const CNETWRDGRP& b) {
              const bool droppedA = a.group == kNone, droppedB = b.group == kNone;
              if (droppedA || droppedB) return !droppedA;
              const uint64_t ka = membershipKey(a), kb = membershipKey(b);
              return ka != kb ? ka < kb : a.group < b.group;
            });
  c.membershipCount = c.entryCount - droppedMemberships;
}

// The relations that block b gives word w (whose own strength is own), through membership e.
void addRelations(const Compile& c, const CNETWRDGRP& e, uint32_t w, uint32_t own, CNETRELENT* out,
                  uint32_t* n) {
  const CNETBLOCK& b = c.blocks[e.group];
  uint32_t firstRelation = b.firstSerial + b.memberCount;
  auto add = [&](uint32_t t, REL rel) {
    out[(*n)++] = CNETRELENT{c.info[t].wordId, rel, combine(c.info[t].strength, own), 0};
  };
  if (e.rel.category == CNET_CAT_MEMBER) {
    if (b.rel.category != CNET_CAT_NONE) {
      for (uint32_t t = b.firstSerial; t < firstRelation; ++t) {
        if (c.info[t].wordId != w) add(t, b.rel);
      }
    }
    for (uint32_t t = firstRelation; t < firstRelation + b.relCount; ++t) {
      REL reverse;
      cnetRelReverse(&reverse, &c.info[t].rel);
      add(t, reverse);
    }
  } else {
    for (uint32_t t = b.firstSerial; t < firstRelation; ++t)
      add(t, e.rel);
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
  auto rels = allocate<CNETRELENT>(maxUnits);
  auto groups = allocate<uint32_t>(maxGroups);
  if (!rels || !groups) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrWordBuffers);
    return;
  }
  char text[CNET_WORD_MAX + 4];
  uint32_t pos = 0;
  for (uint32_t s = 0; c.wordCount > 0 && !c.failed(); ++s) {
    uint32_t length = 0;
    cnetTmpRead(c.tmp.get(), nullptr, text, &length, nullptr, nullptr, c.status);
    if (c.failed() || length == 0 || s >= c.entryCount) break;
    const CNETENTINFO& in = c.info[s];
    if (in.firstSerial != s) continue;
    uint32_t w = in.wordId;
    while (pos < c.membershipCount && c.memberships[pos].wordId < w)
      ++pos;
    if (pos >= c.membershipCount || c.memberships[pos].wordId != w) {
      cnetFail(c.status, CNET_UNEXPECTED, kErrNoRun);
      break;
    }
    uint32_t groupCount = 0, relCount = 0;
    for (; pos < c.membershipCount && c.memberships[pos].wordId == w; ++pos) {
      const CNETWRDGRP& e = c.memberships[pos];
      groups[groupCount++] = e.group;
      addRelations(c, e, w, uint32_t{in.strength} - 1, rels.get(), &relCount);
    }
    cnetWdvRelCheck(c.exec, c.definition->path, w, text, length, rels.get(), &relCount,
                    c.code->codePage);
    cnetWriteWord(c.work, kNone, groupCount, groups.get(), relCount, rels.get(), text, length,
                  c.status);
    head.maxWordGroups = std::max(head.maxWordGroups, groupCount);
    head.maxWordRels = std::max(head.maxWordRels, relCount);
    if (w == c.wordCount - 1) break;
  }
  if (c.failed()) return;

  uint32_t maxEntries = 0;
  for (uint32_t b = 0; b < c.blockCount; ++b) {
    maxEntries = std::max(maxEntries, c.blocks[b].memberCount + c.blocks[b].relCount);
  }
  auto entries = allocate<CNETGROUPENT>(maxEntries);
  if (!entries) {
    cnetFail(c.status, CNET_NO_MEMORY, kErrGroupBuffer);
    return;
  }
  for (uint32_t b = 0; b < c.blockCount && !c.failed(); ++b) {
    const CNETBLOCK& block = c.blocks[b];
    uint32_t count = block.memberCount + block.relCount;
    for (uint32_t k = 0; k < count; ++k) {
      const CNETENTINFO& in = c.info[block.firstSerial + k];
      entries[k] = CNETGROUPENT{in.wordId, in.strength, 0, in.rel};
    }
    CNETGROUPREC rec{};
    rec.memberCount = block.memberCount;
    rec.relCount = block.relCount;
    rec.rel = block.rel;
    cnetWriteGroup(c.work, &rec, entries.get(), c.status);
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
  if (!c.failed()) cnetSync(c.work, c.status);
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
  if (*count == 0) return;
  std::sort(list, list + *count, [](const CNETRELENT& a, const CNETRELENT& b) {
    return relationKey(a) < relationKey(b);
  });
  uint32_t kept = 1;
  for (uint32_t i = 1; i < *count; ++i) {
    const CNETRELENT& last = list[kept - 1];
    if (cnetWdvRelCmp(&last, &list[i]) == 0) continue;
    if (cnetWdvRelInvalid(w, &last, &list[i]) != 0) {
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
    list[kept++] = list[i];
  }
  *count = kept;
}

}  // extern "C"
