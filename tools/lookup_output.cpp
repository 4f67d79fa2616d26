// Output formats of thesaurus-lookup (see lookup_output.h).
#include "lookup_output.h"

#include <cstdio>

#include "text_encoding.h"
#include "thesaurus_engine/cnet.h"

namespace thestool {

namespace {

std::string dotQuote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string json(const Subject& subject, const std::string& text) {
  return quotedString(toUtf8(text, subject.ccsid));
}

// The opening of a JSON document: {"dictionary": ..., then the caller's fields.
void openJson(const Subject& subject) {
  // The path is the user's, not in the dictionary's code page.
  std::printf("{\"dictionary\": %s", quotedString(toUtf8(subject.dictionary, 1208)).c_str());
}

}  // namespace

bool parseFormat(const std::string& name, Format* out) {
  if (name == "text")
    *out = Format::kText;
  else if (name == "tsv")
    *out = Format::kTsv;
  else if (name == "dot")
    *out = Format::kDot;
  else if (name == "json")
    *out = Format::kJson;
  else
    return false;
  return true;
}

std::string relationName(unsigned type, unsigned number) {
  switch (type) {
    case CNET_RELTYPE_SYNONYM:
      return "UF";
    case CNET_RELTYPE_RELATED:
      return "RT";
    case CNET_RELTYPE_HIGHER:
      return "BT";
    case CNET_RELTYPE_LOWER:
      return "NT";
    case CNET_RELTYPE_USER_SYMMETRIC:
      return "RT(" + std::to_string(number) + ")";
    case CNET_RELTYPE_USER_HIGHER:
      return "BT(" + std::to_string(number) + ")";
    case CNET_RELTYPE_USER_LOWER:
      return "NT(" + std::to_string(number) + ")";
    default:
      return "-";
  }
}

void printEntries(Format format, const Subject& subject, const std::string& term, bool complete,
                  const std::vector<Entry>& entries) {
  switch (format) {
    case Format::kTsv:
      std::printf("index\tdepth\tterm\trelation\tstrength\tparent\n");
      for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        std::printf("%zu\t%u\t%s\t%s\t%u\t%d\n", i, e.depth, e.text.c_str(),
                    relationName(e.type, e.number).c_str(), e.strength, e.parent);
      }
      return;
    case Format::kJson:
      openJson(subject);
      std::printf(", \"term\": %s, \"complete\": %s, \"results\": [", json(subject, term).c_str(),
                  complete ? "true" : "false");
      for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        std::printf(
            "%s\n  {\"index\": %zu, \"depth\": %u, \"term\": %s, \"relation\": \"%s\", "
            "\"strength\": %u, \"parent\": %d}",
            i == 0 ? "" : ",", i, e.depth, json(subject, e.text).c_str(),
            relationName(e.type, e.number).c_str(), e.strength, e.parent);
      }
      std::printf("%s]}\n", entries.empty() ? "" : "\n");
      return;
    case Format::kDot:
      std::printf("digraph thesaurus {\n  root [label=%s, shape=box];\n", dotQuote(term).c_str());
      for (std::size_t i = 0; i < entries.size(); ++i) {
        std::printf("  t%zu [label=%s];\n", i, dotQuote(entries[i].text).c_str());
      }
      for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        // Terms found directly, and terms queued before any result, hang from the root.
        std::string from = "root";
        if (e.depth > 0 && e.parent >= 0 && static_cast<std::size_t>(e.parent) < i) {
          from = "t";
          from += std::to_string(e.parent);  // appended: GCC 12 -O3 misreads "t" + temporary
        }
        std::string label = e.depth == 0
                                ? "match"
                                : relationName(e.type, e.number) + " " + std::to_string(e.strength);
        std::printf("  %s -> t%zu [label=%s];\n", from.c_str(), i, dotQuote(label).c_str());
      }
      std::printf("}\n");
      return;
    case Format::kText:
      for (const Entry& e : entries) {
        std::printf("%s%s [%s %u]\n", std::string(2 * e.depth, ' ').c_str(), e.text.c_str(),
                    relationName(e.type, e.number).c_str(), e.strength);
      }
      return;
  }
}

void printTopTerms(Format format, const Subject& subject, bool global, uint32_t words,
                   uint32_t groups, const std::vector<Entry>& entries) {
  if (format == Format::kJson) {
    openJson(subject);
    if (global) std::printf(", \"words\": %u, \"groups\": %u", words, groups);
    std::printf(", \"topTerms\": [");
    for (std::size_t i = 0; i < entries.size(); ++i) {
      std::printf("%s\n  {\"index\": %zu, \"term\": %s}", i == 0 ? "" : ",", i,
                  json(subject, entries[i].text).c_str());
    }
    std::printf("%s]}\n", entries.empty() ? "" : "\n");
    return;
  }
  if (global) std::printf("Words: %u\nGroups: %u\nTop terms:\n", words, groups);
  if (format == Format::kTsv) std::printf("index\tterm\n");
  if (format == Format::kDot) std::printf("digraph thesaurus {\n");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const char* text = entries[i].text.c_str();
    if (format == Format::kTsv)
      std::printf("%zu\t%s\n", i, text);
    else if (format == Format::kDot)
      std::printf("  t%zu [label=%s];\n", i, dotQuote(entries[i].text).c_str());
    else
      std::printf("%s%s\n", global ? "  " : "", text);
  }
  if (format == Format::kDot) std::printf("}\n");
}

void printExpansion(Format format, const Subject& subject, const std::string& query,
                    const std::string& expanded) {
  if (format != Format::kJson) {
    std::printf("%s\n", expanded.c_str());
    return;
  }
  openJson(subject);
  std::printf(", \"query\": %s, \"expanded\": %s}\n", json(subject, query).c_str(),
              json(subject, expanded).c_str());
}

}  // namespace thestool
