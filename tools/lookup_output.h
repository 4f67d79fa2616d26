// Output formats of thesaurus-lookup: indented text, tab-separated columns, a Graphviz graph
// and one JSON document, for related terms, top terms and expanded queries. Everything goes to
// standard output; one thread.
#ifndef TOOLS_LOOKUP_OUTPUT_H
#define TOOLS_LOOKUP_OUTPUT_H

#include <cstdint>
#include <string>
#include <vector>

namespace thestool {

// One result entry as the tool prints it.
struct Entry {
  std::string text;       // in the dictionary's code page
  unsigned depth = 0;     // 0 for a term found directly
  unsigned strength = 0;  // 1 to 100
  unsigned type = 0;      // CNET_RELTYPE_* of the relation it was reached by
  unsigned number = 0;    // the relation number of a numbered relation
  int parent = -1;        // index of the entry it was reached from; -1 for the term itself
};

enum class Format { kText, kTsv, kDot, kJson };

// Reads a -format value; false for an unknown name.
bool parseFormat(const std::string& name, Format* out);

// What the JSON document names besides the entries.
struct Subject {
  std::string dictionary;  // directory/name as the user gave it
  uint16_t ccsid = 1208;   // code page of the texts, converted to UTF-8 for JSON
};

// "UF", "RT", "BT", "NT" for the named relations, "RT(n)", "BT(n)", "NT(n)" for numbered ones
// and "-" for a term found directly.
std::string relationName(unsigned type, unsigned number);

// Prints the terms related to term.
void printEntries(Format format, const Subject& subject, const std::string& term, bool complete,
                  const std::vector<Entry>& entries);

// Prints the top terms; with global (words and groups non-negative) the dictionary's counts
// come first.
void printTopTerms(Format format, const Subject& subject, bool global, uint32_t words,
                   uint32_t groups, const std::vector<Entry>& entries);

// Prints an expanded query (text: the query alone; JSON: the query and its expansion).
void printExpansion(Format format, const Subject& subject, const std::string& query,
                    const std::string& expanded);

}  // namespace thestool

#endif  // TOOLS_LOOKUP_OUTPUT_H
