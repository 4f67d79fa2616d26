// What an import tells its user (see import_report.h).
#include "import_report.h"

#include <cstdio>

#include "definition_writer.h"

namespace thestool {

namespace {

// "<n> <what>" with a plural s after what when n is not 1.
std::string counted(uint64_t n, const char* what, const char* rest = "") {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s") + rest;
}

}  // namespace

void ImportReport::warn(const std::string& text) const {
  if (!quiet_) std::fprintf(stderr, "%s: %s: %s\n", tool_, source_.c_str(), text.c_str());
}

void ImportReport::summary(const DefinitionWriter& writer, const std::string& target) const {
  std::fprintf(stderr, "%s: %s: %s, %s and %s written to %s\n", tool_, source_.c_str(),
               counted(writer.blocks(), skos_ ? "concept" : "group").c_str(),
               counted(writer.members(), skos_ ? "label" : "word").c_str(),
               counted(writer.relations(), "relation").c_str(), target.c_str());
  std::string skipped;
  auto add = [&skipped](uint64_t n, const char* what, const char* rest) {
    if (n == 0) return;
    skipped += (skipped.empty() ? "" : ", ") + counted(n, what, rest);
  };
  add(counts.labelsSkipped, skos_ ? "label" : "word", " that break the word rules");
  add(writer.duplicates(), "repeated word", skos_ ? " within a concept" : " within a line");
  add(counts.relationsSkipped, "relation", " without a label at one end");
  add(counts.conceptsWithoutLabel, "concept", " without a label in the language");
  add(counts.conceptsAlone, "concept", " with one label and no relation");
  add(counts.otherLanguages, "label", " in other languages");
  add(counts.linesSkipped, "line", " with fewer than two words or malformed");
  std::fprintf(stderr, "%s: %s: skipped: %s\n", tool_, source_.c_str(),
               skipped.empty() ? "nothing" : skipped.c_str());
}

}  // namespace thestool
