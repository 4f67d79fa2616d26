// The rules a word must keep to be written into a definition file as one line, checked before
// labels and synonyms from outside formats are written: at most 64 bytes, well-formed UTF-8, no
// control character, not starting with '.', ':', '*' or '#' (which the reader would take for a
// relation line, a block head or a comment), and no blank before a ':' (which would start a
// strength). Pure functions; any thread.
#ifndef TOOLS_WORD_RULES_H
#define TOOLS_WORD_RULES_H

#include <string_view>

namespace thestool {

// text without leading and trailing blanks (space and the control characters the reader trims).
std::string_view trimBlanks(std::string_view text);

// Why word (already trimmed) cannot be written, or null when it can.
const char* wordRuleBroken(std::string_view word);

}  // namespace thestool

#endif  // TOOLS_WORD_RULES_H
