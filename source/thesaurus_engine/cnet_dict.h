// Internal interface of the dictionary file set: the damage checks of its readers and the
// positioned I/O that every record operation uses.
//
// The file names and the on-disk formats (offset, size and meaning of every field) are given
// in thesaurus_engine/cnet.h, beside the records they are read into.
//
// Damage checks of the readers (CNET_INTEGRITY), so that no buffer is ever sized from a bad
// value: 4380 word text longer than 192 bytes, 4381 word data beyond the end of "wdv", 4383
// group data beyond the end of "grv", 4384 group size not 8 x (members + relation entries).
#ifndef THESAURUS_ENGINE_CNET_DICT_H
#define THESAURUS_ENGINE_CNET_DICT_H

#include <cstddef>
#include <cstdint>

#include "thesaurus_bytes.h"
#include "thesaurus_engine/cnet.h"

constexpr int64_t kCnetHere = -1;  // offset of a positioned read or write: the current position
constexpr uint64_t kCnetNoLimit = UINT64_MAX;  // CNETFILE.size of a file opened for writing

constexpr uint32_t kCnetErrWordText = 4380;
constexpr uint32_t kCnetErrWordData = 4381;
constexpr uint32_t kCnetErrGroupData = 4383;
constexpr uint32_t kCnetErrGroupSize = 4384;
// Some but not all files of a set exist (also the errcode of cnetExist's allocation failure).
constexpr uint32_t kCnetErrPartialSet = 4304;

// The existence test of cnetExist on a set whose paths are formed: 1 when all four files exist;
// 0 with no status when the first is missing, 0 with CNET_INTEGRITY 4304 when a later one is.
uint32_t cnetSetExists(const CNETCTL* ctl, CNETSTATUS* status);

// Reads size bytes at offset (kCnetHere: the current position). The seek is skipped when the
// last operation was a read and the offset is the current position. 513 seek, 519 end of file,
// 511 read error, with errcode and the file's path. Size 0 only positions.
bool cnetFileRead(CNETFILE* file, int64_t offset, void* data, uint32_t size, uint32_t errcode,
                  CNETSTATUS* status);
// As cnetFileRead for writing (512 for a short write); keeps CNETFILE.end at the largest
// position written.
bool cnetFileWrite(CNETFILE* file, int64_t offset, const void* data, uint32_t size,
                   uint32_t errcode, CNETSTATUS* status);

// Bytes of word data for a text length and counts (64 bits: damaged counts cannot overflow).
inline uint64_t cnetWordDataSize(uint32_t textLength, uint32_t groups, uint32_t rels) {
  return ((uint64_t{textLength} + 3) & ~uint64_t{3}) + 4 * uint64_t{groups} + 8 * uint64_t{rels};
}

// A word's text and relation entries where they are stored (see cnetViewWord).
struct CnetWordView {
  const char* text;  // textLength bytes, not terminated
  uint32_t textLength;
  const uint8_t* rels;  // relCount entries of 8 bytes as stored (see cnetRelEntryAt), or null
  uint32_t relCount;
  bool stays;  // true when it points into content held until the set is closed
};

// Reads word id of a set opened for reading, with the checks and statuses of cnetReadWord: -1 on
// failure, 1 for an absent word, 0 when read. Nothing is copied or converted: when the data
// file's content is held by the cache of open files the view points into it and stays valid
// until the set is closed (`stays`), otherwise into the set's word buffer, valid until the next
// read. The relation entries are given only when withRels is set.
int32_t cnetViewWord(CNETCTL* ctl, uint32_t id, bool withRels, CnetWordView* out,
                     CNETSTATUS* status);

// Relation entry i of a view, in host order.
inline CNETRELENT cnetRelEntryAt(const uint8_t* rels, uint32_t i) {
  const uint8_t* e = rels + 8 * size_t{i};
  CNETRELENT r;
  r.target = cnetGetBE32(e);
  r.rel.category = e[4];
  r.rel.id = e[5];
  r.strength = e[6];
  r.zero = e[7];
  return r;
}

// Opens the files of a set named by the bits of `files` (bit i: file i in CNETCTL order) for
// reading, through the process-wide cache of open files; the others stay closed. cnetOpen with
// a reading mode opens all four. 510 with errcode 4357 for a file that cannot be opened.
constexpr unsigned kCnetAllFiles = 0xF;
constexpr unsigned kCnetWordFiles = 0x3;  // "wdf" and "wdv": what a lookup reads
void cnetOpenForReading(CNETCTL* ctl, unsigned files, CNETSTATUS* status);

// Flushes every open file of a set written by the compiler to disk, so that what is renamed
// into place later is whole after a power cut; a failure is 512 with errcode 4363.
void cnetSync(CNETCTL* ctl, CNETSTATUS* status);

// Flushes the directories of a set's files and of its word index to disk after they were
// renamed into them. A failure does not undo the rename and is not reported.
void cnetSyncDirectories(const CNETCTL* ctl);

// Gives every file of set `from` that exists a second name, the path of the same file in set
// `to` (after removing a leftover there). Removing or replacing the files of `from` then frees
// no disk blocks; deleting `to` later does. Failures are ignored: without the second names the
// blocks are freed at the replacement, as usual.
void cnetLinkSet(const CNETCTL* from, const CNETCTL* to);

#endif  // THESAURUS_ENGINE_CNET_DICT_H
