// Reads the common synonym-file format into definition blocks, one line at a time:
//
//   # a comment
//   car, automobile, auto          equivalents: one synonym block, the first word strongest
//                                  (kFirstStrength, the others kOtherStrength)
//   lorry, truck => heavy goods vehicle
//                                  explicit mapping: a block of the words on the left, each
//                                  with kMappingKeyword to every word on the right
//
// A backslash takes the next character literally ("\," is a comma inside a word, "\=>" no
// mapping). Words are trimmed of blanks; words that break the word rules are skipped with a
// warning. Lines longer than kLineMax bytes, lines with two "=>" and lines that leave too few
// words are skipped and counted. Memory is bounded by kLineMax. One thread.
#ifndef TOOLS_SYNONYM_READER_H
#define TOOLS_SYNONYM_READER_H

#include <cstdint>
#include <cstdio>
#include <string>

namespace thestool {

class DefinitionWriter;
class ImportReport;

// The relation of an explicit mapping: the words on the left are narrower in relation 5 than
// the words they map to, so a lookup of a left word with BT(5) gives its replacement.
constexpr const char kMappingKeyword[] = ".LOWER_THAN(5)";
constexpr uint8_t kMappingCategory = 2;  // the lower-than family
constexpr unsigned kMappingNumber = 5;
constexpr std::size_t kLineMax = 65536;
constexpr unsigned kFirstStrength = 100;
constexpr unsigned kOtherStrength = 80;

// Reads in to its end; false when reading fails (errno tells why).
bool readSynonyms(FILE* in, DefinitionWriter* writer, ImportReport* report);

// Parses one line (without its end) into writer; used by readSynonyms and the fuzz target.
void readSynonymLine(const std::string& line, unsigned long lineNumber, DefinitionWriter* writer,
                     ImportReport* report);

}  // namespace thestool

#endif  // TOOLS_SYNONYM_READER_H
