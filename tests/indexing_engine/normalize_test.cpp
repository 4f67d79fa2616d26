// Tests of word normalization: case folding per kind of code page, bytes that are no
// character, the caller's capacity and the growth bounds, and argument checks.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <set>
#include <string>
#include <vector>

#include "indexing_engine/zol.h"
#include "zol_codepage.h"

namespace {

// Text in a code page, converted by ICU from UTF-16.
std::string encode(uint8_t cp, const std::u16string& text) {
  UConverter* cnv = zol::openConverter(cp);
  EXPECT_NE(cnv, nullptr);
  char out[512];
  UErrorCode err = U_ZERO_ERROR;
  int32_t n =
      ucnv_fromUChars(cnv, out, sizeof out, text.data(), static_cast<int32_t>(text.size()), &err);
  zol::closeConverter(cnv);
  EXPECT_TRUE(U_SUCCESS(err)) << u_errorName(err);
  return std::string(out, U_SUCCESS(err) ? n : 0);
}

struct Normalized {
  uint32_t retcode;
  uint32_t errcode;
  std::string text;
};

Normalized normalize(uint8_t cp, const std::string& word, int32_t capacity) {
  std::vector<char> buf(capacity + 16, '#');
  int32_t n = -1;
  ZOLSTATUS st;
  ZOLnormalizeWord(cp, word.data(), static_cast<int32_t>(word.size()), buf.data(), capacity, &n, 2,
                   &st);
  // Nothing may be written beyond the capacity.
  for (size_t i = capacity; i < buf.size(); ++i)
    EXPECT_EQ(buf[i], '#') << "byte " << i;
  return {st.retcode, st.errcode, std::string(buf.data(), st.retcode == 0 ? n : 0)};
}

std::string fold(uint8_t cp, const std::string& word) {
  Normalized r = normalize(cp, word, 600);
  EXPECT_EQ(r.retcode, 0u) << "code page " << int(cp);
  return r.text;
}

TEST(Normalize, FoldsCaseInEachKindOfCodePageAndKeepsBytesThatAreNoCharacter) {
  const struct {
    uint8_t cp;
    std::string word, folded;
  } cases[] = {
      // UTF-8: Latin with accents, Greek (both sigmas fold alike), Cyrillic, capital sharp s
      // (three bytes become two), two bytes that become three, no simple folding, CJK.
      {34, "ÀÉÎõ Straße", "àéîõ straße"},
      {34, "ΣΟΦΊΑ σοφίας", "σοφία σοφίασ"},
      {34, "ПРИВЕТ Мир", "привет мир"},
      {34, "ẞ", "ß"},
      {34, "ȺȾ", "ⱥⱦ"},
      {34, "İ", "İ"},
      {34, "日本語", "日本語"},
      // Windows-1252 (single byte): Š 0x8A folds to š 0x9A, Ÿ 0x9F to ÿ 0xFF; -1251 and -1253.
      {8, std::string("\x8A\x9F\xC0") + "Ab", std::string("\x9A\xFF\xE0") + "ab"},
      {17, encode(17, u"ПРИВЕТ"), encode(17, u"привет")},
      {18, encode(18, u"ΑΘΗΝΑ"), encode(18, u"αθηνα")},
      // Shift-JIS: ASCII, full-width Latin and Cyrillic fold; kana, kanji and half-width kana stay.
      {1, encode(1, u"ABＡＢＺДアｱ漢"), encode(1, u"abａｂｚдアｱ漢")},
      // EBCDIC single byte (ibm-37): A is 0xC1, a is 0x81; mixed (stateful): single-byte letters
      // and double-byte letters between shifts.
      {25, "\xC1\xC2\x81\xF1", "\x81\x82\x81\xF1"},
      {11, encode(11, u"ABＡＢ漢c"), encode(11, u"abａｂ漢c")},
      {10, encode(10, u"アＡ"), encode(10, u"アａ")},
      // Bytes that are no character stay: invalid and truncated UTF-8, an encoded surrogate, a
      // Shift-JIS lead byte at the end or 0xFF, and a word the stateful code pages cannot convert.
      {34, std::string("A\xFF") + "B\xC3", std::string("a\xFF") + "b\xC3"},
      {34, "\xED\xA0\x80Z", "\xED\xA0\x80z"},
      {1, "A\x82", "a\x82"},
      {1, std::string("\xFF") + "A", std::string("\xFF") + "a"},
      {11, "\xC1\x0E\x41", "\xC1\x0E\x41"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(fold(c.cp, c.word), c.folded) << int(c.cp) << " " << c.word;
}

TEST(Normalize, StaysWithinTheCapacityExactly) {
  struct Case {
    uint8_t cp;
    std::string word;
  };
  const Case cases[] = {
      {34, "ÀBCȺ"},
      {8, std::string("\x8A") + "BC"},
      {1, encode(1, u"AＡア")},
      {11, encode(11, u"AＡ漢")},
      {25, "\xC1\xC2"},
  };
  for (const Case& c : cases) {
    std::string full = fold(c.cp, c.word);
    ASSERT_FALSE(full.empty());
    Normalized exact = normalize(c.cp, c.word, static_cast<int32_t>(full.size()));
    EXPECT_EQ(exact.retcode, 0u);
    EXPECT_EQ(exact.text, full);
    for (int32_t cap = 0; cap < static_cast<int32_t>(full.size()); ++cap) {
      Normalized small = normalize(c.cp, c.word, cap);
      EXPECT_EQ(small.retcode, unsigned(ZOL_RC_NORMALIZE)) << int(c.cp) << " cap " << cap;
      EXPECT_EQ(small.errcode, 108u);
    }
  }
}

TEST(Normalize, NeverGrowsBeyondTheBoundAndIsStable) {
  // Every one- and two-byte string in each code page, and every BMP character in UTF-8: the
  // result fits twice the input (three times in UTF-8) and normalizing it again changes nothing.
  auto check = [](uint8_t cp, const std::string& word) {
    int32_t bound = static_cast<int32_t>(word.size()) * (cp == 34 ? 3 : 2);
    Normalized r = normalize(cp, word, bound);
    ASSERT_EQ(r.retcode, 0u) << "code page " << int(cp) << " word size " << word.size();
    ASSERT_EQ(fold(cp, r.text), r.text) << "code page " << int(cp);
  };
  for (int cp = 1; cp <= 36; ++cp) {
    for (int a = 0; a < 256; ++a) {
      check(static_cast<uint8_t>(cp), std::string(1, static_cast<char>(a)));
      if (cp == 34 || a < 0x80) continue;
      for (int b = 0x40; b < 256; b += (zol::codePageInfo(cp)->singleByte ? 37 : 1)) {
        check(static_cast<uint8_t>(cp), {static_cast<char>(a), static_cast<char>(b)});
      }
    }
  }
  for (UChar32 c = 0x80; c < 0x10000; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    char s[4];
    int32_t n = 0;
    U8_APPEND_UNSAFE(s, n, c);
    check(34, std::string(s, n));
  }
}

TEST(Normalize, WorksInPlace) {
  char buf[16] = "ȺȺB";  // 5 bytes that fold to 7
  int32_t n = 0;
  ZOLSTATUS st;
  ZOLnormalizeWord(34, buf, 5, buf, sizeof buf, &n, 2, &st);
  EXPECT_EQ(st.retcode, 0u);
  EXPECT_EQ(std::string(buf, n), "ⱥⱥb");
}

TEST(Normalize, RejectsBadArgumentsWithDistinctCodes) {
  char out[8];
  int32_t n = 0;
  ZOLSTATUS st;
  std::set<uint32_t> codes;
  auto expectParameter = [&](uint8_t cp, const char* w, int32_t len, char* o, int32_t cap,
                             int32_t* on, int32_t mode) {
    ZOLnormalizeWord(cp, w, len, o, cap, on, mode, &st);
    EXPECT_EQ(st.retcode, unsigned(ZOL_RC_PARAMETER));
    codes.insert(st.errcode);
  };
  expectParameter(34, nullptr, 1, out, 8, &n, 2);
  expectParameter(34, "a", -1, out, 8, &n, 2);
  expectParameter(34, "a", 1, nullptr, 8, &n, 2);
  expectParameter(34, "a", 1, out, 8, nullptr, 2);
  expectParameter(34, "a", 1, out, -1, &n, 2);
  expectParameter(34, "a", 1, out, 8, &n, 1);
  expectParameter(0, "a", 1, out, 8, &n, 2);
  expectParameter(37, "a", 1, out, 8, &n, 2);
  EXPECT_EQ(codes.size(), 7u);  // code page 0 and 37 share their check
  EXPECT_EQ(st.context, ZOL_CTX_NORMALIZE);

  // An empty word is no error.
  ZOLnormalizeWord(34, "", 0, out, 0, &n, 2, &st);
  EXPECT_EQ(st.retcode, 0u);
  EXPECT_EQ(n, 0);
}

TEST(Unnormalize, CopiesTheStoredFormWithinCapacity) {
  char out[8] = {};
  int32_t n = 0;
  ZOLSTATUS st;
  ZOLunnormalizeWord(34, "àbc", 4, out, 4, &n, 2, &st);
  EXPECT_EQ(st.retcode, 0u);
  EXPECT_EQ(std::string(out, n), "àbc");
  ZOLunnormalizeWord(34, "àbc", 4, out, 3, &n, 2, &st);
  EXPECT_EQ(st.retcode, unsigned(ZOL_RC_NORMALIZE));
  EXPECT_EQ(st.errcode, 109u);
  EXPECT_EQ(n, 0);
  ZOLunnormalizeWord(34, "abc", 3, out, 8, &n, 3, &st);
  EXPECT_EQ(st.retcode, unsigned(ZOL_RC_PARAMETER));
}

}  // namespace
