// The rules of a definition word (see word_rules.h).
#include "word_rules.h"

#include "text_encoding.h"
#include "thesaurus_engine/cnet.h"

namespace thestool {

namespace {

// The blank class of the reader in ASCII-based code pages.
bool isBlank(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b <= 0x20 || b == 0x7F;
}

}  // namespace

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

const char* wordRuleBroken(std::string_view word) {
  if (word.empty()) return "is empty";
  if (word.size() > CNET_TERM_MAX) return "is longer than 64 bytes";
  const char first = word.front();
  if (first == '.' || first == ':' || first == '*' || first == '#') {
    return "starts with '.', ':', '*' or '#'";
  }
  for (std::size_t i = 0; i < word.size(); ++i) {
    const auto b = static_cast<unsigned char>(word[i]);
    if (b < 0x20 || b == 0x7F) return "holds a control character";
    if (word[i] == ':' && i > 0 && isBlank(word[i - 1])) return "has a blank before ':'";
  }
  if (!isUtf8(word)) return "is not UTF-8";
  return nullptr;
}

}  // namespace thestool
