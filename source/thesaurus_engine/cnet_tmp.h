// Sorted temporary files of the compiler: what the compile driver needs beside the exported
// cnetTmp functions, and what the set (cnet_tmp.cpp) and its runs (cnet_tmp_merge.cpp) share.
//
// Work files, named from the working set's primary directory and the dictionary name:
//   <name>.$00 / .$01   sorted runs, one per flush, back to back: records / their texts
//   <name>.$10 / .$11   runs merged from groups of the runs above, when there are more runs
//                       than one merge may read at once; then the pairs exchange their names
//   <name>.$20 / .$21   every record in the order written
//
// Record file (16 bytes per record, host byte order, CNETTMPREC):
//   offset  size  meaning
//   0       4     serial
//   4       4     offset of the text in the pair's text file
//   8       4     text length, 1 to 192
//   12      1     strength, 1 to 100
//   13      1     zero
//   14      2     REL (category, id)
// Text file: the texts back to back in record order, so that each record's text offset is the
// sum of the lengths of the records before it in the file (across runs).
//
// A set belongs to one thread at a time.
#ifndef THESAURUS_ENGINE_CNET_TMP_H
#define THESAURUS_ENGINE_CNET_TMP_H

#include <cstring>

#include "thesaurus_engine/cnet.h"

// Memory limits of the set: records and text bytes held before a flush writes a run.
constexpr uint32_t kCnetTmpMaxRecords = 65536;
constexpr uint32_t kCnetTmpMaxText = 1048576;
// Most runs one merge reads at once; each has 64 KiB of buffers, 16 MiB in all.
constexpr uint32_t kCnetTmpMergeRuns = 256;

// Clears the set and names its six files. Returns false when a path does not fit.
bool cnetTmpName(CNETTMPSET* set, const char* directory, const char* name);

// Lowers the number of runs one merge reads at once (at least 2) for this set, so that tests
// reach merges in groups with few records. Returns false when out of memory.
bool cnetTmpLimitMerge(CNETTMPSET* set, uint32_t runs);

// The next record in sort order without a copy: *rec and *text stay valid until the next call
// or the close of the set. Returns false at the end or when a status is set.
bool cnetTmpNextSorted(CNETTMPSET* set, const CNETTMPREC** rec, const char** text,
                       CNETSTATUS* status);

// ---- Shared by the set and its runs ----------------------------------------------------------

// Sort order of occurrences: text as cnetWordCmp compares it, then serial.
inline int cnetTmpCompare(const char* textA, const CNETTMPREC& a, const char* textB,
                          const CNETTMPREC& b) {
  const uint32_t n = a.length < b.length ? a.length : b.length;
  const int c = std::memcmp(textA, textB, n);
  if (c != 0) return c;
  if (a.length != b.length) return a.length < b.length ? -1 : 1;
  if (a.serial != b.serial) return a.serial < b.serial ? -1 : 1;
  return 0;
}

// The first 8 bytes of a text as a big-endian number, zero-padded: when the prefixes of two
// texts differ, they order the texts as cnetTmpCompare does.
inline uint64_t cnetTmpPrefix(const char* text, uint32_t length) {
  uint64_t v = 0;
  const uint32_t n = length < 8 ? length : 8;
  for (uint32_t i = 0; i < n; ++i)
    v = (v << 8) | static_cast<uint8_t>(text[i]);
  return n == 8 ? v : v << (8 * (8 - n));
}

// Opens a pair for reading ("rb") or writing ("wb"); a pair closed empty is at its end at once
// and is not opened for reading. Closes the pair's files, keeping their byte counts.
void cnetTmpPairOpen(CNETTMPPAIR& pair, const char* mode, CNETSTATUS* status);
void cnetTmpPairClose(CNETTMPPAIR& pair, CNETSTATUS* status);
// Appends a record (its text offset becomes the pair's text count) and its text.
void cnetTmpPairWrite(CNETTMPPAIR& pair, const CNETTMPREC& rec, const char* text,
                      CNETSTATUS* status);

// Appends count records and their texts at once: the records' text offsets, relative to text,
// become offsets in the pair's text file.
void cnetTmpPairWriteBlock(CNETTMPPAIR& pair, CNETTMPREC* recs, uint32_t count, const char* text,
                           uint32_t textBytes, CNETSTATUS* status);

// Sorts the memory records (not their texts) into the sort order; the sort's scratch memory is
// kept with the runs (a plain sort serves when there is none).
void cnetTmpSortMemory(CNETTMPSET* set);
// Writes the sorted memory as a new run at the end of pair 0 (a flush).
void cnetTmpWriteRun(CNETTMPSET* set, CNETSTATUS* status);
// Starts the sorted read: merges groups of runs while there are more than one merge reads,
// then readies the merge of the runs with the memory.
void cnetTmpStartMerge(CNETTMPSET* set, CNETSTATUS* status);
// Releases the merge's buffers (the runs stay); frees everything of the runs.
void cnetTmpEndMerge(CNETTMPSET* set);
void cnetTmpFreeRuns(CNETTMPSET* set);

#endif  // THESAURUS_ENGINE_CNET_TMP_H
