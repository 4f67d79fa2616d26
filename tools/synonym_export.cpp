// A dictionary written as a synonym file (see synonym_export.h).
#include "synonym_export.h"

#include <algorithm>
#include <vector>

#include "dumped_dictionary.h"
#include "synonym_reader.h"
#include "text_encoding.h"

namespace thestool {

namespace {

std::string escaped(const std::string& word) {
  std::string out;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const char c = word[i];
    if (c == ',' || c == '\\' || c == '=' || (c == '#' && i == 0)) out += '\\';
    out += c;
  }
  return out;
}

// The words of at least minStrength, strongest first (equals in their order), joined by ", ".
std::string joined(std::vector<const BlockWord*> words, uint16_t ccsid, std::size_t* count) {
  std::stable_sort(words.begin(), words.end(), [](const BlockWord* a, const BlockWord* b) {
    return a->strength > b->strength;
  });
  std::string out;
  for (const BlockWord* w : words)
    out += (out.empty() ? "" : ", ") + escaped(toUtf8(w->text, ccsid));
  *count = words.size();
  return out;
}

// The relation of an explicit mapping, as the synonym-file import writes it.
bool isMapping(const BlockWord& w) {
  return w.category == kMappingCategory && w.id == kMappingNumber + 127;
}

}  // namespace

bool exportSynonyms(DumpedDictionary* dict, FILE* out, unsigned minStrength, ExportCounts* counts,
                    std::string* error) {
  Block block;
  error->clear();
  while (dict->next(&block, error)) {
    std::vector<const BlockWord*> left, right;
    for (const BlockWord& w : block.members) {
      if (w.strength >= minStrength) left.push_back(&w);
    }
    bool mappingGroup = block.category == 0 && !block.relations.empty();
    for (const BlockWord& w : block.relations) {
      mappingGroup = mappingGroup && isMapping(w);
      if (w.strength >= minStrength) right.push_back(&w);
    }
    const bool synonyms = block.category == 3 && block.id == 1;
    std::size_t n = 0, m = 0;
    if (synonyms && left.size() >= 2) {
      std::fprintf(out, "%s\n", joined(left, dict->ccsid(), &n).c_str());
    } else if (mappingGroup && !left.empty() && !right.empty()) {
      std::string from = joined(left, dict->ccsid(), &n);
      std::fprintf(out, "%s => %s\n", from.c_str(), joined(right, dict->ccsid(), &m).c_str());
      counts->relations += n * m;
    } else {
      ++(synonyms || mappingGroup ? counts->small : counts->skipped);
      continue;
    }
    ++counts->groups;
    counts->words += n + m;
  }
  return error->empty();
}

}  // namespace thestool
