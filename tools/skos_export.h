// Writes a dictionary as SKOS in Turtle, so that thesaurus-import reads it back to an
// equivalent dictionary.
//
// Each synonym group (and each group of a single word) becomes a concept: its strongest word
// the preferred label, words stronger than 50 alternative labels, the others hidden labels.
// Its relation lines become the SKOS properties of skos_terms.h, pointing at the concept whose
// preferred label is the word (or, when no group has it as its strongest word, at a concept
// made for the word that has only that label). Groups of related words, of numbered relations
// 1 to 3 and plain groups link their words pairwise. Concept IRIs are <base>c<group number,
// ten digits>-<word, percent-encoded>, so that sorting them gives the groups' order back.
// What SKOS cannot say (strengths of relations, other numbered relations) is counted as
// skipped. The dictionary is read twice; memory grows with 20 bytes per group. One thread.
#ifndef TOOLS_SKOS_EXPORT_H
#define TOOLS_SKOS_EXPORT_H

#include <cstdint>
#include <cstdio>
#include <string>

namespace thestool {

class DumpedDictionary;

struct ExportCounts {
  uint64_t groups = 0;     // groups written
  uint64_t words = 0;      // labels or synonym-file words written
  uint64_t relations = 0;  // relations written
  uint64_t skipped = 0;    // groups or relations the format cannot hold
  uint64_t small = 0;      // synonym groups left with fewer than two words
};

// Writes dict to out; base is the namespace of the concept IRIs, lang the language tag of the
// labels (empty: none). False with *error set when reading the dictionary fails.
bool exportSkos(DumpedDictionary* dict, FILE* out, const std::string& base, const std::string& lang,
                ExportCounts* counts, std::string* error);

// word percent-encoded for an IRI: everything but ASCII letters, digits, '-', '.' and '_'.
std::string iriEncode(const std::string& word);

}  // namespace thestool

#endif  // TOOLS_SKOS_EXPORT_H
