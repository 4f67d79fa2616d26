// Sorted temporary files of the compiler: what the compile driver needs beside the exported
// cnetTmp functions.
//
// Work files, named from the working set's primary directory and the dictionary name:
//   <name>.$00 / .$01   sorted run: 16-byte records / their texts (alternates with $10/$11)
//   <name>.$10 / .$11   output of a merge
//   <name>.$20 / .$21   every record in the order written
// Records are CNETTMPREC in host byte order; a pair's texts lie back to back in the same order,
// so each record's text offset is the sum of the lengths before it.
#ifndef THESAURUS_ENGINE_CNET_TMP_H
#define THESAURUS_ENGINE_CNET_TMP_H

#include "thesaurus_engine/cnet.h"

// Memory limits of the set: records and text bytes held before a flush into the run.
constexpr uint32_t kCnetTmpMaxRecords = 65536;
constexpr uint32_t kCnetTmpMaxText = 1048576;

// Clears the set and names its six files. Returns false when a path does not fit.
bool cnetTmpName(CNETTMPSET* set, const char* directory, const char* name);

#endif  // THESAURUS_ENGINE_CNET_TMP_H
