// Reads SKOS in Turtle or N-Triples, streaming with serd, and writes one synonym block per
// concept (see skos_terms.h for the mapping), in bounded memory whatever the file's size.
//
// A concept's block needs its own labels and the preferred label of every concept it points
// at, which may stand anywhere in the file. So the reader keeps only what it needs of each
// triple as a record in one of two external sorts: labels by subject, relations by object.
// Merging the relations with the labels of their objects gives each relation its target word,
// sorted again by subject; a last merge of labels and these relations writes the blocks in the
// order of the concepts' IRIs. The first label of a concept, in the order preferred,
// alternative, hidden label and then language (see SkosOptions), is its preferred word.
//
// Memory: three sorters of SkosOptions::sortMemory / 3 bytes each, the merge buffers and serd's
// own stack. Temporary files are anonymous. One thread.
#ifndef TOOLS_SKOS_READER_H
#define TOOLS_SKOS_READER_H

#include <cstdio>
#include <string>

namespace thestool {

class DefinitionWriter;
class ImportReport;

struct SkosOptions {
  bool turtle = true;  // else N-Triples
  std::string lang;    // chosen language; empty: untagged labels first, then "en"
  std::string tempDirectory = "/tmp";
  std::size_t sortMemory = 42u << 20;  // bytes for the three sorters together
  std::size_t maxFanIn = 64;           // runs merged at once
};

// Reads in (named name in messages) to its end. False with *error set on a syntax error
// ("<name>:<line>:<column>: <what>"), a failed read or a failed temporary file.
bool readSkos(FILE* in, const std::string& name, const SkosOptions& options,
              DefinitionWriter* writer, ImportReport* report, std::string* error);

}  // namespace thestool

#endif  // TOOLS_SKOS_READER_H
