// Tests of the normalizers: the factories' choices, the edge cases of normalize and
// getNormalizedLength, the table-based normalizer swept over every UTF-16 unit with each flag
// combination, and the Unicode normalizers with the table over every unit and over long texts
// (one call and resumed) against the model. (Agreement with ICU on short random texts in one
// call and in resumed calls is checked by the normalization fuzz target's replay.)
#include <gtest/gtest.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "support/normalization_model.h"
#include "support/thrown.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_normalization.h"

namespace {

struct Destroy {
  void operator()(TykClNormalization* n) const { TykClNormalization::destroyNormalizer(n); }
};
using Normalizer = std::unique_ptr<TykClNormalization, Destroy>;

constexpr TykEnUnicodeNormalization kNone = TYK_UNICODE_NORMALIZATION_NONE;
constexpr TykEnUnicodeNormalization kNfc = TYK_UNICODE_NORMALIZATION_NFC;
constexpr TykEnUnicodeNormalization kNfkc = TYK_UNICODE_NORMALIZATION_NFKC;
constexpr TykEnUnicodeNormalization kForm3 = static_cast<TykEnUnicodeNormalization>(3);
constexpr uint16_t kUtf8 = 1208;
constexpr uint16_t kUcs2 = 1200;
constexpr uint16_t kLatin1 = 850;
constexpr uint32_t kThai = 120;

Normalizer make(TykEnUnicodeNormalization form, bool accent, bool letter, uint16_t ccsid = kUtf8,
                uint32_t language = 0) {
  return Normalizer(TykClNormalization::createNormalizer(
      TykClIndexConfig(form, accent, letter), CosClCCSID(ccsid), CosClLanguage(language)));
}

struct Call {
  std::u16string out;
  unsigned int unconsumed;
};

// One normalize call; nothing may be written beyond the capacity, nor more consumed than given.
Call run(TykClNormalization& n, std::u16string_view in, unsigned int capacity) {
  std::vector<uint16_t> buf(capacity + 8, 0xBEEF);
  unsigned int count = static_cast<unsigned int>(in.size());
  const unsigned int written =
      n.normalize(buf.data(), capacity, reinterpret_cast<const uint16_t*>(in.data()), count);
  EXPECT_LE(written, capacity);
  EXPECT_LE(count, in.size());
  for (size_t i = capacity; i < buf.size(); ++i)
    EXPECT_EQ(buf[i], 0xBEEF) << "unit " << i << " written beyond capacity " << capacity;
  return {std::u16string(buf.begin(), buf.begin() + std::min(written, capacity)), count};
}

// Calls of the given capacity, each resumed from the rest the one before left; a call that
// cannot place its first result is repeated with twice the room.
std::u16string resumed(TykClNormalization& n, std::u16string_view rest, unsigned int capacity) {
  std::u16string joined;
  while (!rest.empty()) {
    unsigned int room = capacity;
    Call r = run(n, rest, room);
    while (r.unconsumed == rest.size()) {
      EXPECT_TRUE(r.out.empty()) << "output without consumed input";
      if (room > 1024) {
        ADD_FAILURE() << "no progress with room " << room;
        return joined;
      }
      r = run(n, rest, room *= 2);
    }
    joined += r.out;
    rest.remove_prefix(rest.size() - r.unconsumed);
  }
  return joined;
}

std::u16string one(char16_t unit) {
  return std::u16string(1, unit);
}

// ---- Factories -----------------------------------------------------------------------------

// What normalizing the probe text shows about a normalizer: "ﬁ" (NFKC folds it), Ä (letter
// expansion), À (accent folding) and e with a combining acute (NFC composes it).
const std::u16string kProbe = u"ﬁÄÀe\u0301";

TEST(NormalizationFactory, ChoosesByLanguageCodePageFormAndSwitches) {
  struct Case {
    const char* what;
    TykEnUnicodeNormalization form;
    bool accent, letter;
    uint16_t ccsid;
    uint32_t language;
    const std::type_info* type;  // null: no normalizer
    uint32_t kind, factor;
    std::u16string probe;
  };
  const Case cases[] = {
      {"Thai on UTF-8 with NFC and switches", kNfc, true, true, kUtf8, kThai,
       &typeid(TykClNormalizationThai), 2, 2, u""},
      {"Thai on a non-Unicode code page with form 3", kForm3, false, false, kLatin1, kThai,
       &typeid(TykClNormalizationThai), 2, 2, u""},
      {"form 1 on a non-Unicode code page", kNfc, false, false, kLatin1, 0,
       &typeid(TykClNormalizationMemcopy), 0, 1, kProbe},
      {"form 1 on a non-Unicode code page, accent folding", kNfc, true, false, kLatin1, 0,
       &typeid(TykClNormalizationTableBased), 4, 3, u"ﬁÄAe\u0301"},
      {"form 3 on a non-Unicode code page is taken as 0", kForm3, false, false, kLatin1, 0,
       &typeid(TykClNormalizationMemcopy), 0, 1, kProbe},
      {"form 0, both switches", kNone, true, true, kUtf8, 0, &typeid(TykClNormalizationTableBased),
       4, 3, u"ﬁAeAe\u0301"},
      {"form 0, letter expansion only", kNone, false, true, kUtf8, 0,
       &typeid(TykClNormalizationTableBased), 4, 3, u"ﬁAeÀe\u0301"},
      {"form 1 on UCS-2", kNfc, false, false, kUcs2, 0, &typeid(TykClNormalizationUnicode), 1, 3,
       u"ﬁÄÀé"},
      {"form 2 on UTF-8, switches off: NFKC", kNfkc, false, false, kUtf8, 0,
       &typeid(TykClNormalizationUnicode), 1, 3, u"fiÄÀé"},
      {"form 1 on UTF-8, both switches", kNfc, true, true, kUtf8, 0,
       &typeid(TykClNormalizationUnicodeAndTableBased), 5, 3, u"ﬁAeAe"},
      {"form 2 on UTF-8, accent folding", kNfkc, true, false, kUtf8, 0,
       &typeid(TykClNormalizationUnicodeAndTableBased), 5, 3, u"fiÄAe"},
      {"form 3 on UTF-8", kForm3, true, true, kUtf8, 0, nullptr, 0, 0, u""},
      {"form -1 on UCS-2", static_cast<TykEnUnicodeNormalization>(-1), false, false, kUcs2, 0,
       nullptr, 0, 0, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Normalizer n = make(c.form, c.accent, c.letter, c.ccsid, c.language);
    if (c.type == nullptr) {
      EXPECT_EQ(n, nullptr);
      continue;
    }
    ASSERT_NE(n, nullptr);
    const TykClNormalization& made = *n;
    EXPECT_EQ(typeid(made), *c.type);
    EXPECT_EQ(n->getKind(), c.kind);
    EXPECT_EQ(n->getNormalizeUnicodeFactor(), c.factor);
    if (!c.probe.empty()) {
      EXPECT_EQ(run(*n, kProbe, 32).out, c.probe);
    }
  }
  TykClNormalization::destroyNormalizer(nullptr);
}

TEST(NormalizationFactory, KeepsTheCurrentNormalizerWhenItsKindFits) {
  enum Outcome { kKept, kReplaced, kNull };
  struct Case {
    const char* what;
    TykEnUnicodeNormalization currentForm;  // how the current normalizer was made
    bool currentAccent, currentLetter;
    uint32_t currentLanguage;
    TykEnUnicodeNormalization form;  // what is asked for
    bool accent, letter;
    uint16_t ccsid;
    uint32_t language;
    Outcome outcome;
    const std::type_info* type;  // of the result
  };
  const Case cases[] = {
      {"Thai stays Thai", kNone, false, false, kThai, kNfc, true, true, kUtf8, kThai, kKept,
       &typeid(TykClNormalizationThai)},
      {"Thai replaces a copy", kNone, false, false, 0, kNone, false, false, kLatin1, kThai,
       kReplaced, &typeid(TykClNormalizationThai)},
      {"Unicode stays on Unicode text whatever is asked", kNfc, false, false, 0, kNone, true, true,
       kUtf8, 0, kKept, &typeid(TykClNormalizationUnicode)},
      {"Unicode stays even for form 3", kNfkc, true, false, 0, kForm3, false, false, kUcs2, 0,
       kKept, &typeid(TykClNormalizationUnicodeAndTableBased)},
      {"Unicode on non-Unicode text becomes the table", kNfc, false, false, 0, kNfc, true, false,
       kLatin1, 0, kReplaced, &typeid(TykClNormalizationTableBased)},
      {"a table stays even with other switches", kNone, true, false, 0, kNone, false, true, kLatin1,
       0, kKept, &typeid(TykClNormalizationTableBased)},
      {"a table becomes a copy without switches", kNone, true, true, 0, kNone, false, false, kUtf8,
       0, kReplaced, &typeid(TykClNormalizationMemcopy)},
      {"a copy stays a copy", kNone, false, false, 0, kNfkc, false, false, kLatin1, 0, kKept,
       &typeid(TykClNormalizationMemcopy)},
      {"a copy becomes Unicode with a table", kNone, false, false, 0, kNfkc, false, true, kUtf8, 0,
       kReplaced, &typeid(TykClNormalizationUnicodeAndTableBased)},
      {"Thai becomes Unicode", kNone, false, false, kThai, kNfc, false, false, kUtf8, 0, kReplaced,
       &typeid(TykClNormalizationUnicode)},
      {"form 3 gives null and leaves the current one alone", kNone, false, false, 0, kForm3, true,
       false, kUtf8, 0, kNull, &typeid(TykClNormalizationMemcopy)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TykClNormalization* current =
        make(c.currentForm, c.currentAccent, c.currentLetter, kUtf8, c.currentLanguage).release();
    ASSERT_NE(current, nullptr);
    TykClNormalization* result = TykClNormalization::createNormalizer(
        TykClIndexConfig(c.form, c.accent, c.letter), CosClCCSID(c.ccsid),
        CosClLanguage(c.language), current);
    switch (c.outcome) {
      case kKept:
        EXPECT_EQ(result, current);
        break;
      case kReplaced:
        ASSERT_NE(result, nullptr);
        EXPECT_NE(result, current);  // current is destroyed (the sanitizers check it)
        break;
      case kNull:
        EXPECT_EQ(result, nullptr);
        // Still alive and unchanged: it normalizes as before.
        EXPECT_EQ(run(*current, kProbe, 32).out, kProbe);
        result = current;
        break;
    }
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(typeid(*result), *c.type);
    TykClNormalization::destroyNormalizer(result);
  }
  // A null current is taken as none.
  Normalizer fresh(TykClNormalization::createNormalizer(TykClIndexConfig(kNfc), CosClCCSID(kUtf8),
                                                        CosClLanguage(), nullptr));
  EXPECT_EQ(fresh->getKind(), TYK_NORMALIZATION_KIND_UNICODE);
}

// ---- Edge cases of normalize and getNormalizedLength ---------------------------------------

TEST(Normalization, NormalizeEdgeCases) {
  struct Case {
    const char* what;
    TykEnUnicodeNormalization form;
    bool accent, letter;
    std::u16string in;
    unsigned int capacity;
    std::u16string out;
    unsigned int unconsumed;
  };
  const Case cases[] = {
      {"ß with room for one unit: nothing written, nothing consumed", kNone, false, true, u"ß", 1,
       u"", 1},
      {"a pair that does not fit stops the call", kNone, true, true, u"aßb", 2, u"a", 2},
      {"copy: the capacity bounds the count", kNone, false, false, u"abc", 2, u"ab", 1},
      {"NFC: a step that does not fit is not consumed", kNfc, false, false, u"ab\u0301", 2, u"a",
       2},
      {"NFC: a surrogate pair with room for one unit", kNfc, false, false, u"\U0001F600", 1, u"",
       2},
      {"NFC and table: the pair of a step that does not fit", kNfc, false, true, u"xA\u0308", 2,
       u"x", 2},
      {"NFC and table: a step the room cuts is left whole", kNfc, false, true, u"ßx\u0334", 3,
       u"ss", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Normalizer n = make(c.form, c.accent, c.letter);
    Call r = run(*n, c.in, c.capacity);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.unconsumed, c.unconsumed);
  }
  // No input or no room: nothing at all.
  for (bool table : {false, true}) {
    Normalizer n = make(kNfc, table, table);
    EXPECT_EQ(run(*n, u"", 8).out, u"");
    EXPECT_EQ(run(*n, u"a", 0).unconsumed, 1u);
  }
}

TEST(Normalization, NormalizedLengthEdgeCases) {
  struct Case {
    const char* what;
    TykEnUnicodeNormalization form;
    bool accent, letter;
    const char* text;  // the character asked about starts at offset
    unsigned int offset;
    unsigned int length, byteLength;
  };
  const Case cases[] = {
      {"NFC: e before U+0301", kNfc, false, false, "e\xCC\x81", 0, 1, 1},
      {"NFC: U+0301 after e adds nothing", kNfc, false, false, "e\xCC\x81", 1, 0, 2},
      {"NFC: a four-byte character", kNfc, false, false, "\xF0\x9F\x98\x80", 0, 1, 4},
      {"NFKC: the ligature fi", kNfkc, false, false, "\xEF\xAC\x81", 0, 2, 3},
      {"NFC and table: Ä expands", kNfc, false, true, "\xC3\x84", 0, 2, 2},
      {"NFC and table: U+0308 after A makes Ä, which expands", kNfc, false, true, "A\xCC\x88", 1, 1,
       2},
      {"NFKC and table: a four-byte character", kNfkc, true, true, "\xF0\x9F\x98\x80", 0, 1, 4},
      {"copy: a five-byte lead", kNone, false, false, "\xF8\x88\x80\x80\x80", 0, 1, 5},
      {"copy: a continuation byte", kNone, false, false, "\x80", 0, 1, 1},
      {"copy: 0xFC", kNone, false, false, "\xFC", 0, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Normalizer n = make(c.form, c.accent, c.letter);
    unsigned int byteLength = 99;
    EXPECT_EQ(n->getNormalizedLength(c.text + c.offset, byteLength), c.length);
    EXPECT_EQ(byteLength, c.byteLength);
  }
}

TEST(Normalization, ThaiNormalizesWordsButHasNoNormalizedLength) {
  Normalizer thai = make(kNone, false, false, kUtf8, kThai);
  EXPECT_EQ(run(*thai, u"แมวกินปลา", 32).out, u"แมว กิน ปลา");
  unsigned int byteLength = 0;
  TykClException e = testsupport::thrownBy([&] { thai->getNormalizedLength("a", byteLength); });
  EXPECT_EQ(e.getReturnCode(), TYK_RC_ERROR);
  EXPECT_EQ(e.getReasonCode(), TYK_REASON_NOT_SUPPORTED);
  EXPECT_STREQ(e.getOrigin(), "source/tyk_common/tyk_normalization:1030");
}

// ---- The table -----------------------------------------------------------------------------

TEST(NormalizationTable, HasTheRowsOfTheBuiltInTable) {
  const TykClNormalizationTable table(true, true);
  unsigned int one = 0, two = 0, unchanged = 0;
  for (uint32_t cp = TYK_NORMALIZATION_TABLE_FIRST; cp <= TYK_NORMALIZATION_TABLE_LAST; ++cp) {
    const TykStNormalizationRow* row = table.findRow(cp);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->usCodePoint, cp);
    if (row->usSecond != 0) {
      ++two;
    } else if (row->usFirst == cp) {
      ++unchanged;
    } else {
      ++one;
    }
  }
  EXPECT_EQ(one, 285u);
  EXPECT_EQ(two, 46u);
  EXPECT_EQ(unchanged, 41u);
  const struct {
    uint16_t cp, first, second;
  } rows[] = {{0xC0, 'A', 0},    {0xC4, 'A', 'e'},  {0xD7, 0xD7, 0},   {0xDF, 's', 's'},
              {0x131, 'l', 0},   {0x132, 'I', 'J'}, {0x1A3, 'O', 'i'}, {0x1C6, 'd', 'z'},
              {0x21D, 0x21D, 0}, {0x233, 'y', 0}};
  for (const auto& r : rows) {
    const TykStNormalizationRow* row = table.findRow(r.cp);
    EXPECT_EQ(row->usFirst, r.first) << std::hex << r.cp;
    EXPECT_EQ(row->usSecond, r.second) << std::hex << r.cp;
  }
  EXPECT_EQ(table.findRow(0xBF), nullptr);
  EXPECT_EQ(table.findRow(0x234), nullptr);
}

// Every UTF-16 unit through the table-based normalizer with each flag combination, against the
// built-in rows with the flags applied.
TEST(NormalizationTable, EveryUnitWithEachFlagCombinationFollowsTheTable) {
  const TykClNormalizationTable raw(true, true);
  for (int flags = 0; flags < 4; ++flags) {
    const bool accent = (flags & 1) != 0, letter = (flags & 2) != 0;
    SCOPED_TRACE(testing::Message() << "accent " << accent << " letter " << letter);
    TykClNormalizationTableBased n(new TykClNormalizationTable(accent, letter));
    std::u16string all, expectedAll;
    for (uint32_t u = 0; u <= 0xFFFF; ++u) {
      const auto unit = static_cast<char16_t>(u);
      const TykStNormalizationRow* row = raw.findRow(u);
      std::u16string expected = one(unit);
      if (row != nullptr && row->usSecond != 0 && letter) {
        expected = {static_cast<char16_t>(row->usFirst), static_cast<char16_t>(row->usSecond)};
      } else if (row != nullptr && row->usSecond == 0 && accent) {
        expected = one(static_cast<char16_t>(row->usFirst));
      }
      all += unit;
      expectedAll += expected;
      Call r = run(n, one(unit), 2);
      ASSERT_EQ(r.out, expected) << std::hex << u;
      ASSERT_EQ(r.unconsumed, 0u);
      const bool pair = expected.size() == 2;
      ASSERT_EQ(n.getTable().utf16CharResultsInTwoCodePoints(unit), pair) << std::hex << u;
      if (pair) {
        ASSERT_EQ(run(n, one(unit), 1).unconsumed, 1u) << std::hex << u;
      }
      if (!U_IS_SURROGATE(u)) {
        uint8_t utf8[4] = {};
        int32_t size = 0;
        U8_APPEND_UNSAFE(utf8, size, u);
        unsigned int byteLength = 0;
        ASSERT_EQ(n.getNormalizedLength(reinterpret_cast<const char*>(utf8), byteLength),
                  pair ? 2u : 1u)
            << std::hex << u;
        ASSERT_EQ(byteLength, static_cast<unsigned int>(size));
      }
    }
    // The whole range in calls of seven units, so that pairs meet the end of the room.
    EXPECT_EQ(resumed(n, all, 7), expectedAll);
  }
}

// ---- Unicode normalizers with the table ----------------------------------------------------

// Every single UTF-16 unit through the Unicode normalizers with both table switches against the
// model, so that ICU's results of one unit meet the table wherever they can.
TEST(NormalizationUnicode, EveryUnitWithTheTableFollowsTheModel) {
  const TykClNormalizationTable table(true, true);
  for (TykEnUnicodeNormalization form : {kNfc, kNfkc}) {
    Normalizer n = make(form, true, true);
    for (uint32_t u = 0; u <= 0xFFFF; ++u) {
      const std::u16string in = one(static_cast<char16_t>(u));
      ASSERT_EQ(run(*n, in, 40).out, testsupport::modelNormalize(in, form == kNfkc, &table))
          << std::hex << u;
    }
  }
}

// Long texts through the Unicode normalizers, with and without the table, in one call and in
// calls resumed with small buffers, against the model: steps that cross where a call stops
// looking ahead, more steps than ICU is given at once, steps too long to be given with others,
// the unit that separates steps given together, surrogates, and pairs of the table next to
// steps, at every offset from the end of a buffer.
TEST(NormalizationUnicode, LongTextsInOneCallAndResumedFollowTheModel) {
  const std::u16string marks300(300, u'\u0301');
  const struct {
    const char* what;
    std::u16string piece;
    int repeat;
  } texts[] = {
      {"sparse steps in several scripts",
       u"Le général Ärger ß. Việt Nam có nhữ cảnh đẹp: ﬁle ① ｆｕｌｌ 5㎏ ½. "
       u"Ελληνικά ά. 한국어 조선 ᄀ\u1161\u11A8. 日本語 か\u3099. ล้าน อ\u0e48. ",
       80},
      {"dense steps", u"o\u0301A\u0308ße\u0323\u0302ǅ", 400},
      {"steps of twenty units", u"x" + std::u16string(19, u'\u0334') + u"ä", 120},
      {"steps longer than a batch", u"ab" + marks300 + u"Ä\u0301 ", 6},
      {"the separator unit", u"\uFFFF\u0301a\uFFFF é\uFFFFe\u0301\uFFFF", 300},
      {"surrogates",
       u"\U0001D400\u0308 \U0001F600\u0301" + std::u16string(1, 0xD800) + u"a\u0301" +
           std::u16string(1, 0xDC00) + u"\u0308ß",
       300},
  };
  const TykClNormalizationTable table(true, true);
  for (const auto& t : texts) {
    std::u16string text;
    for (int i = 0; i < t.repeat; ++i)
      text += t.piece;
    for (TykEnUnicodeNormalization form : {kNfc, kNfkc}) {
      for (bool withTable : {false, true}) {
        SCOPED_TRACE(testing::Message() << t.what << ", form " << form << ", table " << withTable);
        Normalizer n = make(form, withTable, withTable);
        const std::u16string expected =
            testsupport::modelNormalize(text, form == kNfkc, withTable ? &table : nullptr);
        Call whole = run(*n, text, static_cast<unsigned int>(text.size() * 18));
        EXPECT_EQ(whole.unconsumed, 0u);
        EXPECT_EQ(whole.out, expected);
        for (unsigned int capacity : {1u, 2u, 3u, 64u, 65u}) {
          EXPECT_EQ(resumed(*n, text, capacity), expected) << "capacity " << capacity;
        }
      }
    }
  }
  // One step of three units after every length of plain text up to a few thousand units, so
  // that it meets the end of the look-ahead of one call wherever that lies.
  for (bool withTable : {false, true}) {
    Normalizer n = make(withTable ? kNfkc : kNfc, withTable, withTable);
    std::u16string text;
    for (unsigned int plain = 0; plain <= 4200; ++plain) {
      text.assign(plain, u'a');
      text += u"A\u0308\u0304b";  // Ǟ, which the table folds to A
      const std::u16string expected = std::u16string(plain, u'a') + (withTable ? u"Ab" : u"Ǟb");
      Call whole = run(*n, text, static_cast<unsigned int>(text.size()));
      ASSERT_EQ(whole.out, expected) << plain << " plain units";
    }
  }
}

}  // namespace
