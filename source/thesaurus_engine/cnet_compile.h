// The three compilation steps that turn a definition file into the four files of a working
// set: step 1 reads the blocks and records every word occurrence in the temporary files, step
// 2 gives every distinct word an id (in order of first appearance) and drops blocks that
// repeat an earlier one, step 3 writes each word with its groups and derived relations, then
// the groups and the header. Steps 1 and 2 are in cnet_compile.cpp, step 3 in
// cnet_compile_words.cpp; this header also holds the state they hand on.
//
// After step 2 the kept groups lie back to back in one array, the group image, each as a
// CnetGroupHead (two entry slots) followed by its entries, 8 bytes each:
//   slot   size    meaning
//   0      16      member count, relation-entry count, block REL, 2 zero bytes, group id
//   2      8 x n   the group's entries, members first (word id, strength, zero, REL)
// A membership names its group by the slot of the group's head, so that step 3 finds a group's
// counts and words in one place.
//
// A compilation belongs to one thread.
#ifndef THESAURUS_ENGINE_CNET_COMPILE_H
#define THESAURUS_ENGINE_CNET_COMPILE_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cnet_status.h"
#include "cnet_tmp.h"
#include "thesaurus_engine/cnet.h"

// Compiles the definition into the set named by `work` (opened for writing and closed here).
// The work files go into the set's primary directory; they are deleted on every path.
void cnetCompileSteps(CNETCTL* work, const CNETDEF* definition, const CNETCODE* code,
                      const CNETEXEC* exec, CNETSTATUS* status);

// ---- Shared by the steps ---------------------------------------------------------------------

constexpr uint32_t kCnetNone = 0xFFFFFFFF;

// Memory that is freed when the compilation ends, whatever the path.
struct CnetFreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using CnetBuffer = std::unique_ptr<T[], CnetFreeDeleter>;

// Memory for n elements; arrays from 4 MiB on are read and written at random and get memory
// that may be backed by huge pages. Empty when out of memory.
void* cnetCompileAllocate(size_t bytes);
template <typename T>
CnetBuffer<T> cnetAllocate(size_t n) {
  if (n > SIZE_MAX / sizeof(T)) return CnetBuffer<T>();
  return CnetBuffer<T>(static_cast<T*>(cnetCompileAllocate((n > 0 ? n : 1) * sizeof(T))));
}

// The head of a group in the group image.
struct CnetGroupHead {
  uint32_t memberCount;
  uint32_t relCount;
  REL rel;
  uint8_t zero[2];
  uint32_t group;
};
static_assert(sizeof(CnetGroupHead) == 2 * sizeof(CNETGROUPENT), "a head takes two slots");

// Everything the steps hand on to each other.
struct CnetCompile {
  CnetCompile(CNETCTL* w, const CNETDEF* d, const CNETCODE* cp, const CNETEXEC* e, CNETSTATUS* st)
      : work(w), definition(d), code(cp), exec(e), status(st) {}
  ~CnetCompile() { std::free(blocks); }
  CnetCompile(const CnetCompile&) = delete;
  CnetCompile& operator=(const CnetCompile&) = delete;

  CNETCTL* work;
  const CNETDEF* definition;
  const CNETCODE* code;
  const CNETEXEC* exec;
  CNETSTATUS* status;
  std::unique_ptr<CNETTMPSET> tmp = std::make_unique<CNETTMPSET>();
  CNETBLOCK* blocks = nullptr;  // block records (malloc'd: grows with realloc); freed by step 2
  uint32_t blockCount = 0;      // B: blocks, then kept groups
  uint32_t blockCapacity = 0;
  uint32_t entryCount = 0;  // N occurrences
  // What step 2 learns of each occurrence, by serial, in the 8 bytes of a group entry: word id
  // (while ids are given: the serial of the word's first occurrence), strength and REL; freed
  // once the group image holds the kept ones.
  CnetBuffer<CNETGROUPENT> entries;
  CnetBuffer<uint64_t> firsts;         // bit s: occurrence s is its word's first
  uint32_t wordCount = 0;              // W
  CnetBuffer<uint8_t> own;             // by word id: the strength of the word's first occurrence
  CnetBuffer<CNETGROUPENT> image;      // the group image (see above)
  CnetBuffer<CNETWRDGRP> memberships;  // sorted; group = slot of the group's head in the image
  uint32_t membershipCount = 0;        // M

  bool failed() const { return cnetFailed(status); }
  bool isFirst(uint32_t s) const { return (firsts[s / 64] >> (s % 64)) & 1; }
  CnetGroupHead headAt(uint32_t slot) const {
    CnetGroupHead h;
    std::memcpy(&h, &image[slot], sizeof h);
    return h;
  }
};

// Step 3: writes the words in id order, then the groups, then the header, into the working
// set, which it opens and closes.
void cnetCompileWriteStep(CnetCompile& c);

#endif  // THESAURUS_ENGINE_CNET_COMPILE_H
