// A compiled dictionary read group by group, for the export formats: the engine dumps it as a
// definition file into a temporary directory, and the engine's definition reader gives it back
// one block at a time (members and relation entries with their strengths and relations). The
// temporary directory goes when the object goes. One thread.
#ifndef TOOLS_DUMPED_DICTIONARY_H
#define TOOLS_DUMPED_DICTIONARY_H

#include <cstdint>
#include <string>
#include <vector>

#include "thesaurus_engine/cnet.h"
#include "tool_common.h"

namespace thestool {

struct BlockWord {
  std::string text;  // as stored: case-folded, in the dictionary's code page
  unsigned strength = 100;
  uint8_t category = 0;  // of the relation entry's REL (255 for a member)
  uint8_t id = 0;
};

struct Block {
  uint8_t category = 0;  // the block relation
  uint8_t id = 0;
  std::vector<BlockWord> members;
  std::vector<BlockWord> relations;
};

class DumpedDictionary {
 public:
  DumpedDictionary() = default;
  ~DumpedDictionary();
  DumpedDictionary(const DumpedDictionary&) = delete;
  DumpedDictionary& operator=(const DumpedDictionary&) = delete;

  // Dumps the dictionary; false with *error set when that fails.
  bool open(const DictionaryPath& dict, std::string* error);
  // Starts reading at the first group (again); false with *error set on failure.
  bool rewind(std::string* error);
  // The next group; false at the end, or on failure with *error set.
  bool next(Block* block, std::string* error);

  // The dictionary's CCSID (0 when its code page is none the tools know).
  uint16_t ccsid() const { return ccsid_; }

 private:
  void closeReader();

  std::string directory_;
  std::string path_;
  uint8_t codePage_ = 0;
  uint16_t ccsid_ = 0;
  DEFCTL reader_ = {};
  bool reading_ = false;
};

}  // namespace thestool

#endif  // TOOLS_DUMPED_DICTIONARY_H
