// Definition files written block by block (see definition_writer.h).
#include "definition_writer.h"

#include "thesaurus_engine/cnet.h"

namespace thestool {

namespace {

constexpr uint8_t kUtf8 = 34;  // the engine's number of UTF-8

// word as the compiler will compare it: ASCII is folded here, other text by the engine.
void fold(std::string_view word, std::string* out) {
  bool ascii = true;
  out->assign(word);
  for (char& c : *out) {
    if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (ascii) return;
  char buffer[3 * CNET_TERM_MAX + 8];
  int32_t length = 0;
  CNETSTATUS status = {};
  cnetZOLnormalizeWord(kUtf8, word.data(), static_cast<int32_t>(word.size()), buffer,
                       static_cast<int32_t>(sizeof buffer), &length, &status);
  if (status.retcode == 0 && length >= 0) out->assign(buffer, static_cast<std::size_t>(length));
}

}  // namespace

void DefinitionWriter::comment(std::string_view text) {
  emit("* " + std::string(text) + "\n");
}

void DefinitionWriter::beginBlock(bool synonyms) {
  open_ = true;
  written_ = false;
  held_.clear();
  seen_.clear();
  synonyms_ = synonyms;
  head_ = synonyms ? ":WORDS:SYNONYM\n" : ":WORDS\n";
  blockMembers_ = 0;
}

bool DefinitionWriter::isNew(std::string_view word) {
  if (seen_.size() >= kRememberedWords) return true;
  fold(word, &folded_);
  if (seen_.insert(folded_).second) return true;
  ++duplicates_;
  return false;
}

void DefinitionWriter::member(std::string_view word, unsigned strength) {
  if (!open_ || !isNew(word)) return;
  std::string line = "  " + std::string(word);
  if (strength < 100) line += "  :" + std::to_string(strength);
  line += '\n';
  ++blockMembers_;
  if (written_) {
    emit(line);
    ++members_;
    return;
  }
  held_.push_back(std::move(line));
  // Two different synonyms make a block: write it out and go on line by line. Members of a
  // plain block wait for a relation line.
  if (synonyms_ && blockMembers_ >= 2) writeHeld();
}

void DefinitionWriter::writeHeld() {
  emit(head_);
  for (const std::string& held : held_)
    emit(held);
  members_ += held_.size();
  held_.clear();
  written_ = true;
}

void DefinitionWriter::relation(std::string_view keyword, std::string_view word) {
  if (!open_ || blockMembers_ == 0 || !isNew(word)) return;
  std::string line = "  " + std::string(keyword) + "  " + std::string(word) + "\n";
  // A member and a relation make a block as well.
  if (!written_) writeHeld();
  emit(line);
  ++relations_;
}

bool DefinitionWriter::endBlock() {
  open_ = false;
  held_.clear();
  if (!written_) return false;
  ++blocks_;
  return true;
}

void DefinitionWriter::emit(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), out_);
}

}  // namespace thestool
