// A dictionary written as SKOS in Turtle (see skos_export.h).
#include "skos_export.h"

#include <unordered_map>
#include <unordered_set>

#include "dumped_dictionary.h"
#include "skos_terms.h"
#include "text_encoding.h"

namespace thestool {

namespace {

// A word's identity for the maps: two independent 64-bit hashes, so that two words that share
// one are still told apart.
struct WordKey {
  uint64_t a, b;
  bool operator==(const WordKey& o) const { return a == o.a && b == o.b; }
};
struct WordKeyHash {
  std::size_t operator()(const WordKey& k) const { return static_cast<std::size_t>(k.a); }
};

WordKey keyOf(const std::string& text) {
  uint64_t a = 1469598103934665603ull, b = 0x9E3779B97F4A7C15ull;
  for (unsigned char c : text) {
    a = (a ^ c) * 1099511628211ull;
    b = (b + c) * 0xBF58476D1CE4E5B9ull;
    b ^= b >> 31;
  }
  return {a, b ^ text.size()};
}

// A group that becomes one concept: synonyms, or a single word with its relations.
bool isConceptGroup(const Block& block) {
  return (block.category == 3 && block.id == 1) || block.members.size() == 1;
}

// The index of the strongest member; the first of equals.
std::size_t strongest(const Block& block) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < block.members.size(); ++i) {
    if (block.members[i].strength > block.members[best].strength) best = i;
  }
  return best;
}

// The SKOS property of a relation, or null when SKOS has none for it.
const char* propertyOf(uint8_t category, uint8_t id) {
  for (const SkosRelation& r : kSkosRelations) {
    if (r.category == category && r.id == id) return r.localName;
  }
  return nullptr;
}

class TurtleWriter {
 public:
  TurtleWriter(FILE* out, const std::string& base, const std::string& lang, uint16_t ccsid,
               ExportCounts* counts)
      : out_(out), base_(base), lang_(lang), ccsid_(ccsid), counts_(counts) {}

  // Pass 1: the concept of each strongest word, the first group's when several share it.
  void remember(const Block& block) {
    if (isConceptGroup(block))
      concepts_.emplace(keyOf(block.members[strongest(block)].text), conceptNumber_++);
  }

  void header() {
    std::fprintf(out_, "@prefix skos: <%s> .\n\n%s a skos:ConceptScheme .\n", kSkosNamespace,
                 scheme().c_str());
  }

  // Pass 2: one group.
  void write(const Block& block) {
    ++counts_->groups;
    if (isConceptGroup(block))
      writeConcept(block);
    else
      writeLinks(block);
    std::fputs(stubs_.c_str(), out_);
    stubs_.clear();
  }

 private:
  std::string scheme() const { return "<" + base_ + "scheme>"; }

  std::string label(const std::string& text) const {
    return quotedString(toUtf8(text, ccsid_)) + (lang_.empty() ? "" : "@" + lang_);
  }

  std::string conceptIri(uint32_t number, const std::string& text) const {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010u", number);
    return "<" + base_ + "c" + digits + "-" + iriEncode(toUtf8(text, ccsid_)) + ">";
  }

  // The concept whose preferred label is text; a concept of that label alone when no group
  // has text as its strongest word.
  std::string target(const std::string& text) {
    auto it = concepts_.find(keyOf(text));
    if (it != concepts_.end()) return conceptIri(it->second, text);
    std::string iri = "<" + base_ + "w-" + iriEncode(toUtf8(text, ccsid_)) + ">";
    if (stubsMade_.insert(keyOf(text)).second) {
      stubs_ += iri + " a skos:Concept ;\n    skos:inScheme " + scheme() +
                " ;\n    skos:prefLabel " + label(text) + " .\n";
      ++counts_->words;
    }
    return iri;
  }

  void writeConcept(const Block& block) {
    const std::size_t best = strongest(block);
    // Built by appending: GCC 12 at -O3 misreads a literal joined to a temporary string.
    std::string text = "\n";
    text += conceptIri(writtenConcepts_++, block.members[best].text);
    text += " a skos:Concept ;\n    skos:inScheme ";
    text += scheme();
    auto addLabel = [&](const BlockWord& w, bool preferred) {
      const char* kind = preferred                                   ? kLabelNames[kPrefLabel]
                         : w.strength > kLabelStrength[kHiddenLabel] ? kLabelNames[kAltLabel]
                                                                     : kLabelNames[kHiddenLabel];
      text += std::string(" ;\n    skos:") + kind + " " + label(w.text);
      ++counts_->words;
    };
    addLabel(block.members[best], true);
    for (std::size_t i = 0; i < block.members.size(); ++i) {
      if (i != best) addLabel(block.members[i], false);
    }
    for (const BlockWord& r : block.relations) {
      if (r.category == 3 && r.id == 1) {  // a word named a synonym of the group
        addLabel(r, false);
      } else if (const char* property = propertyOf(r.category, r.id)) {
        text += std::string(" ;\n    skos:") + property + " " + target(r.text);
        ++counts_->relations;
      } else {
        ++counts_->skipped;
      }
    }
    std::fprintf(out_, "%s .\n", text.c_str());
  }

  // A group that is no concept: its block relation between every two members, and its
  // relation lines from every member.
  void writeLinks(const Block& block) {
    const char* groupProperty = propertyOf(block.category, block.id);
    if (groupProperty == nullptr && block.category != 0) ++counts_->skipped;
    if (groupProperty == nullptr && block.relations.empty()) return;
    std::string text = "\n";
    for (const BlockWord& m : block.members) {
      const std::string subject = target(m.text);
      if (groupProperty != nullptr) {
        for (const BlockWord& other : block.members) {
          if (&other == &m) continue;
          text += subject + " skos:" + groupProperty + " " + target(other.text) + " .\n";
          ++counts_->relations;
        }
      }
      for (const BlockWord& r : block.relations) {
        const char* property = propertyOf(r.category, r.id);
        if (property == nullptr) {
          ++counts_->skipped;
          continue;
        }
        text += subject + " skos:" + property + " " + target(r.text) + " .\n";
        ++counts_->relations;
      }
    }
    std::fputs(text.c_str(), out_);
  }

  FILE* out_;
  const std::string& base_;
  const std::string& lang_;
  uint16_t ccsid_;
  ExportCounts* counts_;
  std::unordered_map<WordKey, uint32_t, WordKeyHash> concepts_;
  std::unordered_set<WordKey, WordKeyHash> stubsMade_;
  std::string stubs_;  // concepts made for words, written after the current group
  uint32_t conceptNumber_ = 0;
  uint32_t writtenConcepts_ = 0;
};

}  // namespace

std::string iriEncode(const std::string& word) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : word) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

bool exportSkos(DumpedDictionary* dict, FILE* out, const std::string& base, const std::string& lang,
                ExportCounts* counts, std::string* error) {
  TurtleWriter writer(out, base, lang, dict->ccsid(), counts);
  Block block;
  error->clear();
  while (dict->next(&block, error))
    writer.remember(block);
  if (!error->empty() || !dict->rewind(error)) return false;
  writer.header();
  while (dict->next(&block, error))
    writer.write(block);
  return error->empty();
}

}  // namespace thestool
