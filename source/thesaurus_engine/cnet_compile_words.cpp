// Compilation step 3: each word in id order with its groups and the relations its groups give
// it, then the groups and the header; and the exported relation list check.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "cnet_compile.h"
#include "cnet_console.h"
#include "cnet_dict.h"
#include "cnet_relset.h"
#include "cnet_status.h"
#include "cnet_tmp.h"

namespace {

// Location numbers.
constexpr uint32_t kErrWordBuffers = 4115;
constexpr uint32_t kErrNoRun = 4116;
constexpr uint32_t kEmptyDefinition = 1;

// The strength of a relation from a word of strength own + 1 to one of strength `strength`.
inline uint8_t combine(uint8_t strength, uint32_t own) {
  return static_cast<uint8_t>((uint32_t{strength} - 1) * own / 99 + 1);
}

// Relation keys order as cnetWdvRelCmp orders relation entries, for word ids below 2^31; an
// entry is rebuilt from its key.
inline uint64_t relationKey(uint32_t target, REL rel, uint8_t strength) {
  return (uint64_t{target} << 24) | (uint64_t{rel.category} << 16) | (uint64_t{rel.id} << 8) |
         strength;
}
inline uint64_t relationKey(const CNETRELENT& r) {
  return relationKey(r.target, r.rel, r.strength);
}
inline CNETRELENT relationOf(uint64_t key) {
  return CNETRELENT{static_cast<uint32_t>(key >> 24),
                    REL{static_cast<uint8_t>(key >> 16), static_cast<uint8_t>(key >> 8)},
                    static_cast<uint8_t>(key), 0};
}

// Makes buffer, of capacity elements, hold n (at least twice as many as before), keeping what it
// holds; capacity becomes the new size. False, with both unchanged, when memory runs out.
template <typename T>
bool growKeeping(CnetBuffer<T>& buffer, size_t& capacity, size_t n) {
  const size_t grown = std::max(n, capacity * 2);
  CnetBuffer<T> more = cnetAllocate<T>(grown);
  if (!more) return false;
  if (capacity > 0) std::memcpy(more.get(), buffer.get(), sizeof(T) * capacity);
  buffer = std::move(more);
  capacity = grown;
  return true;
}

// Buffers of one word, grown as words need them (520 with errcode 4115 when memory runs out).
struct WordBuffers {
  CnetBuffer<uint64_t> keys;     // relation keys
  CnetBuffer<uint64_t> scratch;  // for sorting them
  CnetBuffer<CNETRELENT> rels;   // the entries written
  CnetBuffer<uint32_t> groups;   // group ids
  size_t keyCapacity = 0;
  size_t groupCapacity = 0;

  // Room for n keys: the keys held so far are kept, the sorting scratch and the entries are
  // made anew as large. Until they are, the capacity counts as 0, so a failure is retried whole.
  bool reserveKeys(size_t n) {
    if (n <= keyCapacity) return true;
    size_t grown = keyCapacity;
    if (!growKeeping(keys, grown, n)) return false;
    keyCapacity = 0;
    scratch = cnetAllocate<uint64_t>(grown);
    rels = cnetAllocate<CNETRELENT>(grown);
    if (!scratch || !rels) return false;
    keyCapacity = grown;
    return true;
  }
  // Room for n group ids; the ids held so far are kept.
  bool reserveGroups(size_t n) {
    return n <= groupCapacity || growKeeping(groups, groupCapacity, n);
  }
};

// The relations that the group with its head at `slot` gives word w (whose own strength is
// own + 1), through membership e, as relation keys appended at out + *n.
inline void addRelations(const CnetCompile& c, const CNETWRDGRP& e, const CnetGroupHead& g,
                         uint32_t w, uint32_t own, uint64_t* out, uint32_t* n) {
  const CNETGROUPENT* members = &c.image[e.group + 2];
  const CNETGROUPENT* relations = members + g.memberCount;
  uint32_t k = *n;
  if (e.rel.category == CNET_CAT_MEMBER) {
    if (g.rel.category != CNET_CAT_NONE) {
      for (uint32_t t = 0; t < g.memberCount; ++t) {
        if (members[t].word != w)
          out[k++] = relationKey(members[t].word, g.rel, combine(members[t].strength, own));
      }
    }
    for (uint32_t t = 0; t < g.relCount; ++t) {
      const CNETGROUPENT& r = relations[t];
      out[k++] = relationKey(r.word, cnetRelReversed(r.rel), combine(r.strength, own));
    }
  } else {
    for (uint32_t t = 0; t < g.memberCount; ++t)
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

// Memberships are visited in order, but their groups lie anywhere in the image: the two cache
// lines at a group's head are prefetched some memberships ahead. Inlined by force: a separate
// function of prefetches alone counts as free of side effects, and the compiler drops its calls.
__attribute__((always_inline)) inline void prefetchGroup(const CnetCompile& c, uint32_t m) {
  constexpr uint32_t kAhead = 16;
  if (m + kAhead < c.membershipCount) {
    const CNETGROUPENT* head = &c.image[c.memberships[m + kAhead].group];
    __builtin_prefetch(head);
    __builtin_prefetch(head + 8);
  }
}

// The words in id order, then the groups, then the header.
void writeDictionary(CnetCompile& c, CNETHEAD& head) {
  if (c.membershipCount == 0) {
    cnetFailFile(c.status, CNET_INPUT, kEmptyDefinition, c.definition->path);
    return;
  }
  WordBuffers buffers;
  char text[CNET_WORD_MAX + 4];
  uint32_t pos = 0;
  uint32_t w = 0;  // first occurrences come in id order
  const uint64_t largestKey = relationKey(c.wordCount - 1, REL{0xFF, 0xFF}, 0xFF);
  for (uint32_t s = 0; c.wordCount > 0 && !c.failed(); ++s) {
    uint32_t length = 0;
    cnetTmpRead(c.tmp.get(), nullptr, text, &length, nullptr, nullptr, c.status);
    if (c.failed() || length == 0 || s >= c.entryCount) break;
    if (!c.isFirst(s)) continue;
    while (pos < c.membershipCount && c.memberships[pos].wordId < w)
      ++pos;
    if (pos >= c.membershipCount || c.memberships[pos].wordId != w) {
      cnetFail(c.status, CNET_UNEXPECTED, kErrNoRun);
      break;
    }
    const uint32_t own = uint32_t{c.own[w]} - 1;
    uint32_t groupCount = 0, relCount = 0;
    for (; pos < c.membershipCount && c.memberships[pos].wordId == w; ++pos) {
      prefetchGroup(c, pos);
      const CNETWRDGRP& e = c.memberships[pos];
      const CnetGroupHead g = c.headAt(e.group);
      if (!buffers.reserveGroups(size_t{groupCount} + 1) ||
          !buffers.reserveKeys(size_t{relCount} + g.memberCount + g.relCount)) {
        cnetFail(c.status, CNET_NO_MEMORY, kErrWordBuffers);
        return;
      }
      buffers.groups[groupCount++] = g.group;
      addRelations(c, e, g, w, own, buffers.keys.get(), &relCount);
    }
    // cnetWdvRelCheck on the relation keys.
    sortKeys(buffers.keys.get(), relCount, buffers.scratch.get(), largestKey);
    relCount = keepDistinct(buffers.keys.get(), relCount, relationOf, c.exec, c.definition->path, w,
                            text, length, c.code->codePage);
    for (uint32_t i = 0; i < relCount; ++i)
      buffers.rels[i] = relationOf(buffers.keys[i]);
    cnetWriteWord(c.work, kCnetNone, groupCount, buffers.groups.get(), relCount, buffers.rels.get(),
                  text, length, c.status);
    head.maxWordGroups = std::max(head.maxWordGroups, groupCount);
    head.maxWordRels = std::max(head.maxWordRels, relCount);
    if (w == c.wordCount - 1) break;
    ++w;
  }
  if (c.failed()) return;

  // The groups lie in the image in id order, each head followed by its group entries.
  uint32_t slot = 0;
  for (uint32_t group = 0; group < c.blockCount && !c.failed(); ++group) {
    const CnetGroupHead g = c.headAt(slot);
    CNETGROUPREC rec{};
    rec.memberCount = g.memberCount;
    rec.relCount = g.relCount;
    rec.rel = g.rel;
    cnetWriteGroup(c.work, &rec, &c.image[slot + 2], c.status);
    head.maxGroupMembers = std::max(head.maxGroupMembers, g.memberCount);
    head.maxGroupRels = std::max(head.maxGroupRels, g.relCount);
    slot += 2 + g.memberCount + g.relCount;
  }
  if (c.failed()) return;
  head.wordCount = c.wordCount;
  head.groupCount = c.blockCount;
  head.codePage = c.code->codePage;
  cnetWriteHead(c.work, &head, c.status);
}

}  // namespace

void cnetCompileWriteStep(CnetCompile& c) {
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
