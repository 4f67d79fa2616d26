// The synonym-file reader (see synonym_reader.h).
#include "synonym_reader.h"

#include <vector>

#include "definition_writer.h"
#include "import_report.h"
#include "word_rules.h"

namespace thestool {

namespace {

// The words of one side of a line: split at unescaped commas, escapes removed, trimmed.
struct Side {
  std::vector<std::string> words;
};

// Splits line into its sides at unescaped "=>"; returns false for more than one "=>".
bool splitLine(const std::string& line, std::vector<Side>* sides) {
  sides->assign(1, Side{});
  std::string word;
  // The definition format trims its words too, so a blank taken literally is trimmed as well.
  auto finishWord = [&]() {
    std::string_view trimmed = trimBlanks(word);
    if (!trimmed.empty()) sides->back().words.emplace_back(trimmed);
    word.clear();
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\\' && i + 1 < line.size()) {
      word += line[++i];
    } else if (c == ',') {
      finishWord();
    } else if (c == '=' && i + 1 < line.size() && line[i + 1] == '>') {
      finishWord();
      if (sides->size() == 2) return false;
      sides->push_back(Side{});
      ++i;
    } else {
      word += c;
    }
  }
  finishWord();
  return true;
}

}  // namespace

void readSynonymLine(const std::string& line, unsigned long lineNumber, DefinitionWriter* writer,
                     ImportReport* report) {
  std::string_view text = trimBlanks(line);
  if (text.empty() || text.front() == '#') return;
  const std::string where = "line " + std::to_string(lineNumber) + ": ";
  std::vector<Side> sides;
  if (!splitLine(line, &sides)) {
    report->warn(where + "more than one '=>'; line skipped");
    ++report->counts.linesSkipped;
    return;
  }
  // Words that break the rules are left out, each with its warning.
  for (Side& side : sides) {
    std::vector<std::string> kept;
    for (std::string& w : side.words) {
      if (const char* broken = wordRuleBroken(w)) {
        report->warn(where + "'" + w + "' " + broken + "; word skipped");
        ++report->counts.labelsSkipped;
      } else {
        kept.push_back(std::move(w));
      }
    }
    side.words = std::move(kept);
  }
  const bool mapping = sides.size() == 2;
  writer->beginBlock(!mapping);
  // The first word of equivalents is the preferred one; the words of a mapping are equals.
  for (std::size_t i = 0; i < sides[0].words.size(); ++i)
    writer->member(sides[0].words[i], mapping || i == 0 ? kFirstStrength : kOtherStrength);
  if (mapping) {
    for (const std::string& w : sides[1].words)
      writer->relation(kMappingKeyword, w);
  }
  if (!writer->endBlock()) {
    report->warn(where +
                 (mapping ? "a mapping needs a word on each side"
                          : "an equivalence needs two different words") +
                 "; line skipped");
    ++report->counts.linesSkipped;
  }
}

bool readSynonyms(FILE* in, DefinitionWriter* writer, ImportReport* report) {
  std::string line;
  unsigned long lineNumber = 0;
  bool tooLong = false;
  std::vector<char> buffer(65536);
  // Ends the current line: parses it, or reports it when it was too long.
  auto endLine = [&]() {
    ++lineNumber;
    if (tooLong) {
      report->warn("line " + std::to_string(lineNumber) + ": longer than " +
                   std::to_string(kLineMax) + " bytes; line skipped");
      ++report->counts.linesSkipped;
    } else {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      readSynonymLine(line, lineNumber, writer, report);
    }
    line.clear();
    tooLong = false;
  };
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
    std::string_view chunk(buffer.data(), n);
    while (!chunk.empty()) {
      std::size_t end = chunk.find('\n');
      std::string_view part = chunk.substr(0, end);
      if (!tooLong && line.size() + part.size() > kLineMax) {
        tooLong = true;
        line.clear();
      }
      if (!tooLong) line.append(part);
      if (end == std::string_view::npos) break;
      endLine();
      chunk.remove_prefix(end + 1);
    }
  }
  if (!line.empty() || tooLong) endLine();
  return std::ferror(in) == 0;
}

}  // namespace thestool
