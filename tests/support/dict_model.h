// Test helpers for compiled dictionaries: compiling inline definition text, and reading the
// four dictionary files back with decoding code of the tests' own (big-endian by hand), so that
// the engine's writers are checked against an independent reader.
#ifndef TESTS_SUPPORT_DICT_MODEL_H
#define TESTS_SUPPORT_DICT_MODEL_H

#include <cstdint>
#include <string>
#include <vector>

#include "thesaurus_engine/cnet.h"

namespace testsupport {

struct ModelRel {
  uint32_t target;
  uint8_t category, id, strength, zero;
};

struct ModelWord {
  uint32_t offset, textLength, relCount, groupCount;
  uint8_t flags;
  uint8_t reserved[3];
  std::string text;     // as stored (normalized)
  std::string padding;  // the bytes after the text up to the multiple of 4
  std::vector<uint32_t> groups;
  std::vector<ModelRel> rels;
};

struct ModelGroupEntry {
  uint32_t word;
  uint8_t strength, zero, category, id;
};

struct ModelGroup {
  uint32_t offset, size, memberCount, relCount;
  uint8_t category, id, flags, reserved;
  std::vector<ModelGroupEntry> entries;
};

struct DictModel {
  std::string header;  // the 80 bytes
  uint32_t version = 0, wordCount = 0, groupCount = 0, absentWords = 0, absentGroups = 0;
  uint32_t maxWordGroups = 0, maxWordRels = 0, maxGroupMembers = 0, maxGroupRels = 0;
  uint8_t codePage = 0;
  std::vector<ModelWord> words;
  std::vector<ModelGroup> groups;
  uint64_t wdvSize = 0, grvSize = 0;

  // The id of the word with this stored text, or -1.
  int wordId(const std::string& text) const;
  // The relations of a word as "target-text category,id strength" strings, in stored order.
  std::vector<std::string> relationsOf(const std::string& text) const;
};

// Reads dir/<name>.wdf, .wdv, .grf, .grv. Returns an empty string on success, else what is wrong.
std::string loadDictionary(const std::string& dir, const std::string& name, DictModel* out);

// Writes text to dir/<name>.def and compiles it into dictionary `name` in dir.
CNETSTATUS compileText(const std::string& dir, const std::string& name, const std::string& text,
                       uint8_t codePage = 34, uint16_t flags = CNET_EXEC_REPLACE);

// Compiles an existing definition file.
CNETSTATUS compileFile(const std::string& dir, const std::string& name, const std::string& path,
                       uint8_t codePage = 34, uint16_t flags = CNET_EXEC_REPLACE);
// Dumps the whole dictionary `name` of dir to the definition file path, replacing it, quietly.
CNETSTATUS dumpFile(const std::string& dir, const std::string& name, const std::string& path);
// A lookup term of weight 100; wildcard is its many-character mask (0: none).
CNETTERM termOf(const std::string& text, uint8_t wildcard = 0);
// A lookup condition: the named relations, at most maxTerms entries, down to maxDepth.
CNETCOND condOf(uint8_t relations, uint32_t maxTerms, int32_t maxDepth, uint8_t minStrength = 1);
// What zolCNETrefer answers for word in dictionary `name` of dirs, with cell as the search
// context (null: a temporary one).
struct Answer {
  CNETSTATUS status;
  std::vector<CNETRESENT> entries;
};
Answer lookUp(void** cell, const std::string& dirs, const std::string& name,
              const std::string& word, const CNETCOND& cond);
// An answer's entries as "text depth strength type.number parent", each followed by separator.
std::string describe(const std::vector<CNETRESENT>& entries, const std::string& separator = "\n");

}  // namespace testsupport

#endif  // TESTS_SUPPORT_DICT_MODEL_H
