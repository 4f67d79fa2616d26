// Tests of the search-condition conversion and formatter of the indexing engine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "indexing_engine/zol.h"
#include "zol_codepage.h"
#include "zol_query.h"

namespace {

namespace q = zol::query;
using enum q::ConvertErr;
using enum q::FormatErr;
constexpr uint32_t P = ZOL_RC_PARAMETER;

// One conversion; its handle is released with the object.
struct Conv {
  void* handle = nullptr;
  ZOLSEARCHCOND out{};
  ZOLSTATUS status{};
  ~Conv() { ZOLconvertSearchCond_Release(&handle, nullptr); }
  std::string text() const {
    const char* t = out.form == 5 ? out.mixConditionText : out.conditionText;
    return t == nullptr ? "<null>" : t;
  }
  // The terms of either form as "text/<kind><weight>[p]", with "@offset+length" of each engine
  // item when asked for.
  std::vector<std::string> terms(bool withItems = false) const {
    std::vector<std::string> r;
    for (int i = 0; i < (out.form == 5 ? out.mixTermCount : out.termCount); ++i) {
      const ZOLTERM& t = out.form == 5 ? out.mixTerms[i].term : out.terms[i];
      if (out.form == 5 && out.mixTerms[i].entryKind != 1) continue;
      r.push_back(std::string(t.text, t.length) + "/" + char(t.kind) + std::to_string(t.weight) +
                  (t.phrase ? "p" : ""));
      for (int j = 0; withItems && j < t.itemCount; ++j) {
        r.back() += '@';
        r.back() += std::to_string(t.items[j].offset);
        r.back() += '+';
        r.back() += std::to_string(t.items[j].length);
      }
    }
    return r;
  }
  // The entries of the mixed form: T for a term, else the operator and its text in the query.
  std::string entries() const {
    std::string r;
    for (int i = 0; i < out.mixTermCount; ++i) {
      const ZOLMIXTERM& e = out.mixTerms[i];
      r += e.entryKind == 1 && e.op == 0 ? std::string("T")
                                         : char(e.op) + std::string(e.term.text, e.term.length);
    }
    return r;
  }
};

using Terms = std::vector<std::string>;

ZOLSEARCHCOND queryCond(const std::string& query, uint8_t form = 1, uint8_t cp = 34) {
  ZOLSEARCHCOND c{};
  c.codePage = cp;
  c.form = form;
  c.queryText = query.data();
  c.queryLength = static_cast<int32_t>(query.size());
  return c;
}

void convert(Conv& c, const std::string& query, bool mixed, uint8_t cp = 34) {
  (mixed ? ZOLconvertSearchCond_Mix : ZOLconvertSearchCond)(&c.handle, queryCond(query, 1, cp),
                                                            &c.out, &c.status);
}

std::string format(const ZOLSEARCHCOND& c, ZOLSTATUS* status) {
  char buffer[512];
  int32_t length = -1;
  ZOLformatSearchCond(&c, buffer, sizeof buffer, &length, status);
  EXPECT_EQ(length, static_cast<int32_t>(std::strlen(buffer)));
  return buffer;
}

// ASCII text encoded character by character in a code page.
std::string encode(uint8_t cp, const std::string& ascii) {
  std::string r;
  for (char ch : ascii) {
    char b[8];
    r.append(b, zol::encodeChar(cp, static_cast<unsigned char>(ch), b, sizeof b));
  }
  return r;
}

ZOLTERM term(const char* text, int16_t weight = 100, uint8_t kind = 'W', uint8_t phrase = 0) {
  ZOLTERM t{};
  t.kind = kind;
  t.phrase = phrase;
  t.text = text;
  t.length = static_cast<int16_t>(std::strlen(text));
  t.weight = weight;
  return t;
}

ZOLSEARCHCOND plainCond(std::vector<ZOLTERM>& terms, const char* text, uint8_t cp = 34) {
  ZOLSEARCHCOND c{};
  c.codePage = cp;
  c.form = 3;
  c.termCount = static_cast<int32_t>(terms.size());
  c.terms = terms.data();
  c.conditionText = const_cast<char*>(text);
  return c;
}

TEST(QueryConvert, PlainFormNumbersTermsAndWritesImpliedAnd) {
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"car & garage", "1 & 2"}, {"(car | auto^50) !truck", "( 1 + 2 ) & ! 3"},
      {"a b c", "1 & 2 & 3"},    {"a + b|c", "1 + 2 + 3"}, {"!a", "! 1"}, {"((a))", "( ( 1 ) )"},
      {" \ta\n&\r\nb ", "1 & 2"},  {"a&!(b|c)\"d\"", "1 & ! ( 2 + 3 ) & 4"}};
  // clang-format on
  for (const auto& [query, expected] : cases) {
    Conv c;
    convert(c, query, false);
    EXPECT_EQ(c.text(), expected) << query;
  }
  const std::string query = "\"new york\"^80 & car* | auto^50";
  Conv c;
  convert(c, query, false);
  ASSERT_EQ(c.status.retcode, 0u);
  EXPECT_EQ(c.terms(true), (Terms{"new york/W80p@0+10", "car*/M100@16+4", "auto/W50@23+4"}));
  EXPECT_NE(c.out.terms[2].text, query.data() + 23);  // a copy owned by the handle
}

TEST(QueryConvert, MixedFormMakesEveryTokenAnEntry) {
  Conv c;
  convert(c, "(car | auto^50) !truck", true);
  ASSERT_EQ(c.status.retcode, 0u);
  EXPECT_EQ(c.out.form, 5);
  EXPECT_EQ(c.text(), "1 2 3 4 5 6 7");  // the implied AND is no entry
  EXPECT_EQ(c.entries(), "((T+|T))!!T");
  EXPECT_EQ(c.terms(true), (Terms{"car/W100@1+3", "auto/W50@7+4", "truck/W100@17+5"}));
}

TEST(QueryConvert, ConvertedInputIsCopiedOnlyByItsOwnFunction) {
  Conv plain, mixed;
  convert(plain, "a | b", false);
  convert(mixed, "a | b", true);
  for (const Conv* in : {&plain, &mixed}) {
    for (bool mix : {false, true}) {
      const bool copied = (in->out.form == 5) == mix;  // each function copies its own form
      Conv c;
      (mix ? ZOLconvertSearchCond_Mix : ZOLconvertSearchCond)(&c.handle, in->out, &c.out,
                                                              &c.status);
      EXPECT_EQ(c.handle, nullptr);
      EXPECT_EQ(c.status.errcode, copied ? 0u : kErrOtherForm);
      EXPECT_EQ(c.out.form, copied ? in->out.form : 0);
      EXPECT_TRUE(c.out.terms == (copied ? in->out.terms : nullptr) &&
                  c.out.mixConditionText == (copied ? in->out.mixConditionText : nullptr));
    }
  }
  Conv form6;  // a query for mixed conversion given to the plain function gives form 3
  ZOLconvertSearchCond(&form6.handle, queryCond("a b", 6), &form6.out, &form6.status);
  EXPECT_EQ(form6.out.form, 3);
  EXPECT_EQ(form6.text(), "1 & 2");
}

TEST(QueryConvert, SyntaxErrorsGiveTheirStatusAndOffset) {
  const uint32_t g = kErrGrammarBase;
  // clang-format off
  const struct {
    const char* query;
    uint32_t retcode, errcode, offset;
  } cases[] = {
      {"", ZOL_RC_EMPTY_QUERY, kErrEmptyQuery, 0}, {" \t ", ZOL_RC_EMPTY_QUERY, kErrEmptyQuery, 0},
      {"a ((b) c", P, g + 5, 2}, {"(a) b)", P, g + 4, 5}, {"a ()", P, g + 3, 3},
      {"& a", P, g + 1, 0},      {"a |", P, g + 2, 2},    {"(a & ) b", P, g + 2, 3},
      {"a !", P, g + 2, 2},      {"a \"bc", P, kErrUnterminatedQuote, 2},
      {"a \" \"", P, kErrEmptyPhrase, 2},  {"a ^5", P, kErrWeightWithoutTerm, 2},
      {"(a)^5", P, kErrWeightWithoutTerm, 3}, {"a^0", P, kErrWeightRange, 1},
      {"a^101", P, kErrWeightRange, 1},   {"ab^x", P, kErrWeightSyntax, 2},
      {"a^", P, kErrWeightSyntax, 1},     {"a^5x", P, kErrWeightSyntax, 1},
      {"a & *?*", ZOL_RC_MASK, kErrMaskOnly, 4}};
  // clang-format on
  for (const auto& k : cases) {
    Conv c;
    convert(c, "previous", false);  // a held conversion is released by the failing one
    convert(c, k.query, false);
    EXPECT_EQ(c.status.retcode, k.retcode) << k.query;
    EXPECT_EQ(c.status.errcode, k.errcode) << k.query;
    EXPECT_EQ(c.status.kernelInfo, k.offset) << k.query;
    EXPECT_TRUE(c.status.context == ZOL_CTX_CONVERT && c.handle == nullptr && c.out.form == 0);
  }
}

TEST(QueryConvert, LimitsAndArgumentsAreChecked) {
  auto errcodeOf = [](const std::string& query, uint8_t cp = 34, uint8_t form = 1) {
    Conv c;
    ZOLconvertSearchCond(&c.handle, queryCond(query, form, cp), &c.out, &c.status);
    return c.status.errcode;
  };
  EXPECT_EQ(errcodeOf(std::string(32767, 'x')), 0u);
  EXPECT_EQ(errcodeOf("a " + std::string(32768, 'x')), kErrTermTooLong);
  std::string terms;
  for (int i = 0; i < 10000; ++i)
    terms += "t ";
  EXPECT_EQ(errcodeOf(terms), 0u);
  EXPECT_EQ(errcodeOf(terms + "t"), kErrTooManyTerms);
  // Deep nesting is checked without recursion; too many tokens stop early.
  EXPECT_EQ(errcodeOf(std::string(20000, '(') + "a" + std::string(20000, ')')), 0u);
  EXPECT_EQ(errcodeOf(std::string(25000, '(') + "a" + std::string(25000, ')')), kErrTooManyTokens);
  EXPECT_EQ(errcodeOf(std::string((1 << 20) + 1, 'x')), kErrQueryTooLong);
  EXPECT_EQ(errcodeOf("a", 0), kErrCodePage);
  EXPECT_EQ(errcodeOf("a", 37), kErrCodePage);
  EXPECT_EQ(errcodeOf("a", 34, 2), kErrForm);

  ZOLSTATUS st{};
  ZOLSEARCHCOND out{};
  void* h = nullptr;
  ZOLconvertSearchCond(nullptr, queryCond("a"), &out, &st);
  EXPECT_EQ(st.errcode, kErrNoHandleCell);
  ZOLconvertSearchCond(&h, queryCond("a"), nullptr, &st);
  EXPECT_EQ(st.errcode, kErrNoOutput);
  ZOLSEARCHCOND noText = queryCond("abc");
  noText.queryText = nullptr;
  ZOLconvertSearchCond(&h, noText, &out, &st);
  EXPECT_EQ(st.errcode, kErrNoQueryText);
  ZOLSEARCHCOND zeroTerminated = queryCond("");
  zeroTerminated.queryText = "a|b";
  zeroTerminated.queryLength = -1;
  ZOLconvertSearchCond(&h, zeroTerminated, &out, &st);
  EXPECT_EQ(st.retcode, 0u);
  EXPECT_STREQ(out.conditionText, "1 + 2");
  ZOLconvertSearchCond_Release(&h, &st);
  EXPECT_EQ(h, nullptr);
}

TEST(QueryConvert, SyntaxIsFoundByCharacterInEveryCodePage) {
  // EBCDIC: syntax characters and blanks are EBCDIC bytes; the condition text has 0x40 blanks.
  Conv e;
  convert(e, encode(25, "(car | auto^50) !\"big truck\""), false, 25);
  ASSERT_EQ(e.status.retcode, 0u);
  EXPECT_EQ(e.text(), "(@1@+@2@)@&@!@3");
  EXPECT_EQ(e.terms(), (Terms{encode(25, "car") + "/W100", encode(25, "auto") + "/W50",
                              encode(25, "big truck") + "/W100p"}));
  // Shift-JIS: 0x7C as the trail byte of a double-byte character is no '|'.
  Conv s;
  convert(s, "\x83\x7C\x83\x7C|b \x83\x7C", false, 1);
  ASSERT_EQ(s.status.retcode, 0u);
  EXPECT_EQ(s.text(), "1 + 2 & 3");
  EXPECT_EQ(s.terms()[0], "\x83\x7C\x83\x7C/W100");
  // Mixed EBCDIC: the shift-in closing a double-byte word stays with the word.
  char word[16];
  size_t n = zol::encodeChar(10, 0x65E5, word, sizeof word);
  ASSERT_GT(n, 2u);
  const std::string dbcs(word, n);
  Conv m;
  convert(m, dbcs + "\x40\x50" + dbcs, false, 10);
  ASSERT_EQ(m.status.retcode, 0u);
  EXPECT_EQ(m.text(), "1@&@2");
  EXPECT_EQ(m.terms(), (Terms{dbcs + "/W100", dbcs + "/W100"}));
}

TEST(QueryConvert, ReleaseFreesAndReconversionReplaces) {
  ZOLSTATUS st{};
  ZOLconvertSearchCond_Release(nullptr, &st);
  EXPECT_EQ(st.retcode, 0u);
  void* h = nullptr;
  ZOLconvertSearchCond_Release(&h, &st);
  EXPECT_EQ(st.retcode, 0u);
  ZOLSEARCHCOND out{};
  ZOLconvertSearchCond(&h, queryCond("alpha | beta"), &out, &st);
  // A query that lies in the held conversion's memory converts before that is released.
  ZOLSEARCHCOND next = queryCond("");
  next.queryText = out.terms[0].text;
  next.queryLength = out.terms[0].length;
  ZOLconvertSearchCond_Mix(&h, next, &out, &st);
  ASSERT_EQ(st.retcode, 0u);
  EXPECT_EQ(std::string(out.mixTerms[0].term.text, 5), "alpha");
  ZOLconvertSearchCond_Release(&h, &st);
  EXPECT_EQ(h, nullptr);
  uint32_t foreign[8] = {};
  void* other = foreign;
  ZOLconvertSearchCond_Release(&other, &st);
  EXPECT_EQ(st.errcode, kErrReleaseForeign);
  EXPECT_EQ(other, foreign);
}

TEST(QueryFormat, ConvertedQueriesFormatBackToEquivalentQueries) {
  const char* queries[] = {
      "car & garage",         "(car | auto^50) !truck", "\"new york\"^80 city", "a ! (b + c) d",
      "((a | b) & (c | !d))", "car* | ?uto^7",          "\"a*b\" \"x|y\"^1",    "!!a",
      "\"  spaced  \" b"};
  for (bool mixed : {false, true}) {
    for (const char* query : queries) {
      Conv first, second;
      convert(first, query, mixed);
      ASSERT_EQ(first.status.retcode, 0u) << query;
      ZOLSTATUS st{};
      const std::string text = format(first.out, &st);
      ASSERT_EQ(st.retcode, 0u) << query;
      convert(second, text, mixed);
      ASSERT_EQ(second.status.retcode, 0u) << text;
      EXPECT_EQ(second.text(), first.text()) << query << " -> " << text;
      EXPECT_EQ(second.terms(), first.terms()) << query << " -> " << text;
    }
  }
  Conv plain, mixed, ebcdic;
  convert(plain, "(car | auto^50)!truck", false);
  convert(mixed, "(car | auto^50)!truck", true);
  convert(ebcdic, encode(25, "a \"b c\"^9"), false, 25);
  ZOLSTATUS st{};
  EXPECT_EQ(format(plain.out, &st), "(car | auto^50) & !truck");
  EXPECT_EQ(format(mixed.out, &st), "(car | auto^50) !truck");
  EXPECT_EQ(format(ebcdic.out, &st), encode(25, "a & \"b c\"^9"));
}

TEST(QueryFormat, ExpansionStyleConditionsFormat) {
  std::vector<ZOLTERM> terms = {term("car"), term("garage"), term("automobile", 80),
                                term("auto", 50)};
  ZOLSTATUS st{};
  const std::string group = "(car | automobile^80 | auto^50)";
  EXPECT_EQ(format(plainCond(terms, "( 1 + 3 + 4 ) & 2"), &st), group + " & garage");
  EXPECT_EQ(format(plainCond(terms, "( 1 + 3 + 4 ) 2"), &st), group + " garage");
  // EBCDIC: the expansion's 0x20 blanks inside a text separated by 0x40.
  std::vector<ZOLTERM> e = {term("\x83\x81\x99"), term("\xC7")};
  EXPECT_EQ(format(plainCond(e, "( 1 + 2 )@&@!@2", 25), &st), encode(25, "(car | G) & !G"));
  // Mixed: references name term or operator entries; literal tokens come from the expansion.
  std::vector<ZOLMIXTERM> mix = {{1, 0, {}, terms[0]},
                                 {2, '&', {}, {}},
                                 {1, 0, {}, terms[1]},
                                 {1, 0, {}, terms[2]},
                                 {1, 0, {}, terms[3]}};
  ZOLSEARCHCOND m = plainCond(terms, nullptr);
  m.form = 5;
  std::tie(m.mixTermCount, m.mixTerms) = std::make_pair(5, mix.data());
  m.mixConditionText = const_cast<char*>("( 1 + 4 + 5 ) 2 3");
  EXPECT_EQ(format(m, &st), group + " & garage");
  EXPECT_EQ(st.retcode, 0u);
}

TEST(QueryFormat, TermsAreQuotedAndWeightedAsNeeded) {
  std::vector<ZOLTERM> terms = {term("big truck"), term("a|b", 0), term("5*", 99),
                                term("x", 100, 'W', 1), term("ca?", 1, 'M')};
  ZOLSTATUS st{};
  EXPECT_EQ(format(plainCond(terms, "1 2 3 4 5"), &st),
            "\"big truck\" \"a|b\" \"5*\"^99 \"x\" ca?^1");
  ZOLWORDTERM word{1, 'C', {}, "ab%", 3, {'%', 0}, 100, 'N', {}};  // single-word form
  ZOLSEARCHCOND c = plainCond(terms, nullptr);
  c.form = 4;
  std::tie(c.wordTermCount, c.wordTerms, c.wordConditionText) = std::make_tuple(1, &word, "1");
  EXPECT_EQ(format(c, &st), "ab*");
  std::vector<std::pair<ZOLTERM, uint32_t>> bad = {{term("say \"hi\""), kErrFormatQuoteInTerm},
                                                   {term("a b*", 100, 'M'), kErrFormatMaskQuoted},
                                                   {term("x", 101), kErrFormatWeight},
                                                   {term(""), kErrFormatTermText}};
  for (auto& [t, errcode] : bad) {
    std::vector<ZOLTERM> one = {t};
    format(plainCond(one, "1"), &st);
    EXPECT_EQ(st.errcode, errcode) << t.text;
  }
}

TEST(QueryFormat, BadConditionsAndSmallBuffersFailCleanly) {
  std::vector<ZOLTERM> terms = {term("car"), term("garage", 50)};
  const struct {
    const char* text;
    uint32_t errcode, offset;
  } cases[] = {{"1 & 0", kErrFormatReference, 4},           {"1 & 3", kErrFormatReference, 4},
               {"1 & 99999999999", kErrFormatReference, 4}, {"1 x", kErrFormatToken, 2},
               {"( 1 &", kErrFormatGrammarBase + 2, 4},     {"  ", kErrFormatEmpty, 0}};
  ZOLSTATUS st{};
  for (const auto& k : cases) {
    EXPECT_EQ(format(plainCond(terms, k.text), &st), "") << k.text;
    EXPECT_EQ(st.errcode, k.errcode) << k.text;
    EXPECT_EQ(st.kernelInfo, k.offset) << k.text;
  }
  ZOLSEARCHCOND wrongForm = plainCond(terms, "1");
  wrongForm.form = 1;
  format(wrongForm, &st);
  EXPECT_EQ(st.errcode, kErrFormatForm);
  // "car & garage^50" is 15 bytes: every smaller buffer fails without writing past its end.
  const ZOLSEARCHCOND c = plainCond(terms, "1 & 2");
  for (int32_t capacity = 0; capacity <= 16; ++capacity) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    int32_t length = -1;
    ZOLformatSearchCond(&c, buffer, capacity, &length, &st);
    EXPECT_EQ(buffer[capacity], '#') << capacity;
    if (capacity == 0) continue;
    EXPECT_STREQ(buffer, capacity == 16 ? "car & garage^50" : "") << capacity;
    EXPECT_EQ(st.errcode, capacity == 16 ? 0u : kErrFormatTooSmall) << capacity;
    EXPECT_EQ(length, capacity == 16 ? 15 : 0);
  }
}

}  // namespace
