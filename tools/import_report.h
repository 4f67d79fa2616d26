// What an import tells its user: one warning line per thing it left out (unless quiet), and at
// the end what it wrote and what it skipped, counted. Warnings and the summary go to standard
// error, so that a definition written to standard output stays clean. One thread.
#ifndef TOOLS_IMPORT_REPORT_H
#define TOOLS_IMPORT_REPORT_H

#include <cstdint>
#include <string>

namespace thestool {

class DefinitionWriter;

struct ImportCounts {
  uint64_t labelsSkipped = 0;         // words that break the word rules
  uint64_t otherLanguages = 0;        // labels in languages not chosen
  uint64_t relationsSkipped = 0;      // relations with an end without a label in the language
  uint64_t conceptsWithoutLabel = 0;  // subjects with relations but no label in the language
  uint64_t conceptsAlone = 0;         // concepts with one label and no relation: nothing to write
  uint64_t linesSkipped = 0;          // synonym-file lines with nothing to write or malformed
};

class ImportReport {
 public:
  // skos names what was written concepts and labels, else groups and words.
  ImportReport(const char* tool, std::string source, bool quiet, bool skos)
      : tool_(tool), source_(std::move(source)), quiet_(quiet), skos_(skos) {}

  // Prints "<tool>: <source>: <text>" unless quiet.
  void warn(const std::string& text) const;
  // Prints the closing lines: what the writer wrote, then what was skipped.
  void summary(const DefinitionWriter& writer, const std::string& target) const;

  ImportCounts counts;

 private:
  const char* tool_;
  std::string source_;
  bool quiet_;
  bool skos_;
};

}  // namespace thestool

#endif  // TOOLS_IMPORT_REPORT_H
