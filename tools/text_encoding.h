// Text helpers of the tools' output formats: UTF-8 checks, conversion of a dictionary's code
// page to UTF-8 for JSON and Turtle, and the quoting rules of JSON and Turtle strings.
// Pure functions; any thread.
#ifndef TOOLS_TEXT_ENCODING_H
#define TOOLS_TEXT_ENCODING_H

#include <cstdint>
#include <string>
#include <string_view>

namespace thestool {

// True when text is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool isUtf8(std::string_view text);

// Converts text in the code page of ccsid to UTF-8. Bytes that do not convert, and every
// ill-formed sequence of UTF-8 input (CCSID 1208 or a code page without a converter), become
// U+FFFD, so the result is always well-formed.
std::string toUtf8(std::string_view text, uint16_t ccsid);

// text as a string literal with its double quotes, in the escapes that JSON and Turtle share
// (\" \\ \n \r \t and \uXXXX for other control characters); text must be UTF-8.
std::string quotedString(std::string_view text);

}  // namespace thestool

#endif  // TOOLS_TEXT_ENCODING_H
