// Writes definition files block by block for the import tool, so that the compiler accepts
// every block it is given without a warning: a block is written only once it holds a member and
// a relation line, or, in a synonym block, two different members, and a word that equals (after the
// engine's case folding) a word already in the block is left out and counted. Member lines come
// first, so that of equal words the member stays.
//
// Text (UTF-8) goes to a FILE* that the caller owns. Memory: the block's words are remembered
// for the duplicate check up to kRememberedWords; words beyond that are written unchecked. One
// thread.
#ifndef TOOLS_DEFINITION_WRITER_H
#define TOOLS_DEFINITION_WRITER_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace thestool {

class DefinitionWriter {
 public:
  static constexpr std::size_t kRememberedWords = 65536;

  explicit DefinitionWriter(FILE* out) : out_(out) {}

  // Writes a comment line ("* text").
  void comment(std::string_view text);
  // Starts a block: ":WORDS:SYNONYM" (members are synonyms) or ":WORDS" (they are not).
  void beginBlock(bool synonyms);
  // Adds a member with strength 1 to 100; all members come before the relation lines.
  void member(std::string_view word, unsigned strength);
  // Adds a relation line: keyword (".LOWER_THAN", ".RELATED_TO(3)", ...) and word.
  void relation(std::string_view keyword, std::string_view word);
  // Ends the block; returns true when it was written, false when it had too little to say.
  bool endBlock();

  uint64_t blocks() const { return blocks_; }
  uint64_t members() const { return members_; }
  uint64_t relations() const { return relations_; }
  uint64_t duplicates() const { return duplicates_; }
  // True when a write to the output failed.
  bool failed() const { return std::ferror(out_) != 0; }

 private:
  // True (and remembered) when word is new in the block.
  bool isNew(std::string_view word);
  // Writes the head line and the held member lines; the block is out from now on.
  void writeHeld();
  void emit(const std::string& line);

  FILE* out_;
  bool open_ = false;
  bool synonyms_ = false;          // the block is a synonym block
  bool written_ = false;           // the head line and the held lines are out
  std::vector<std::string> held_;  // lines waiting until the block is worth writing
  std::string head_;
  unsigned blockMembers_ = 0;
  std::unordered_set<std::string> seen_;  // folded words of the block
  std::string folded_;
  uint64_t blocks_ = 0, members_ = 0, relations_ = 0, duplicates_ = 0;
};

}  // namespace thestool

#endif  // TOOLS_DEFINITION_WRITER_H
