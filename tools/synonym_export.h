// Writes a dictionary in the common synonym-file format, for the synonym filters of search
// engines: one line per synonym group ("car, automobile, auto", the strongest word first), and
// one line per group of explicit mappings ("lorry, truck => heavy goods vehicle", the relation
// that the synonym-file import makes of "=>"). Only words of at least a minimum strength are
// written; a group left with fewer than two words is skipped and counted, and so is every other
// kind of group. Commas, backslashes, '=' and a leading '#' in words are escaped with a
// backslash. One pass over the dictionary; one thread.
#ifndef TOOLS_SYNONYM_EXPORT_H
#define TOOLS_SYNONYM_EXPORT_H

#include <cstdio>
#include <string>

#include "skos_export.h"

namespace thestool {

class DumpedDictionary;

// Writes dict to out; minStrength is 0 to 100. False with *error set when reading fails.
bool exportSynonyms(DumpedDictionary* dict, FILE* out, unsigned minStrength, ExportCounts* counts,
                    std::string* error);

}  // namespace thestool

#endif  // TOOLS_SYNONYM_EXPORT_H
