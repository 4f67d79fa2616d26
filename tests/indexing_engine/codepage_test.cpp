#include "zol_codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Char {
  size_t offset;
  size_t length;
  int32_t codePoint;
};

std::vector<Char> readAll(uint8_t cp, const std::string& text) {
  zol::CharReader reader(cp, text.data(), text.size());
  EXPECT_TRUE(reader.valid()) << "code page " << int(cp);
  std::vector<Char> chars;
  Char c;
  while (reader.next(&c.offset, &c.length, &c.codePoint))
    chars.push_back(c);
  return chars;
}

TEST(CodePage, EveryDictionaryCodePageHasAWorkingConverter) {
  for (int cp = 1; cp <= zol::kCodePageMax; ++cp) {
    const zol::CodePageInfo* info = zol::codePageInfo(static_cast<uint8_t>(cp));
    ASSERT_NE(info, nullptr) << cp;
    UConverter* cnv = zol::openConverter(static_cast<uint8_t>(cp));
    EXPECT_NE(cnv, nullptr) << info->converter;
    zol::closeConverter(cnv);
    // The blank and the letter A exist in every code page, and read back as themselves.
    char buf[8];
    size_t n = zol::encodeChar(static_cast<uint8_t>(cp), 'A', buf, sizeof buf);
    ASSERT_EQ(n, 1u) << cp;
    auto chars = readAll(static_cast<uint8_t>(cp), std::string(buf, n));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].codePoint, 'A');
    n = zol::encodeChar(static_cast<uint8_t>(cp), ' ', buf, sizeof buf);
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(static_cast<uint8_t>(buf[0]), zol::blankByte(static_cast<uint8_t>(cp))) << cp;
  }
  EXPECT_EQ(zol::codePageInfo(0), nullptr);
  EXPECT_EQ(zol::codePageInfo(37), nullptr);
}

// The characters of text as "offset+length:code point" each.
std::string steps(uint8_t cp, const std::string& text) {
  std::string out;
  for (const Char& c : readAll(cp, text)) {
    out += std::to_string(c.offset) + '+' + std::to_string(c.length) + ':' +
           std::to_string(c.codePoint) + ' ';
  }
  return out;
}

TEST(CodePage, ReaderStepsByCharacterAndKeepsInvalidBytes) {
  // UTF-8: a two-byte, a three-byte character, an invalid byte, ASCII.
  EXPECT_EQ(steps(34, "\xC3\xA9\xE2\x82\xAC\xFFz"), "0+2:233 2+3:8364 5+1:-1 6+1:122 ");
  // Shift-JIS: a double-byte character is one step; a truncated one at the end is one invalid
  // unit.
  EXPECT_EQ(steps(1, "\x83\x7C|a\x83"), "0+2:12509 2+1:124 3+1:97 4+1:-1 ");
}

}  // namespace
