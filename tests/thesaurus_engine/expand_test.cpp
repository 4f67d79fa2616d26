// Search-condition expansion on compiled dictionaries: the new condition text and terms of both
// forms, weights, unexpanded terms, references, entry checks, EBCDIC separators, summaries,
// reuse and release of the context, and the state left after a failure.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/dict_model.h"
#include "support/os_faults.h"
#include "support/temp_dir.h"
#include "zol_codepage.h"

namespace {

using testsupport::TempDir;
using Strings = std::vector<std::string>;

// car has two synonyms (strengths 80 and 50 as seen from car), garage none, house one related
// word of strength 33, which has one more (hut) at depth 2.
constexpr const char* kThesaurus =
    ":WORDS:SYNONYM\ncar\nautomobile :80\nauto :50\n"
    ":WORDS\ngarage\n"
    ":WORDS\nhouse\n.RELATED_TO home :33\n"
    ":WORDS\nhome\n.RELATED_TO hut\n";

// ASCII text encoded character by character in a code page.
std::string encode(uint8_t cp, const std::string& ascii) {
  std::string r;
  for (char ch : ascii) {
    char b[8];
    const size_t n = zol::encodeChar(cp, static_cast<unsigned char>(ch), b, sizeof b);
    EXPECT_GT(n, 0u) << ch;
    r.append(b, n);
  }
  return r;
}

class Expand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_OK(testsupport::compileText(dir_.path(), "thes", kThesaurus));
    lookup_.relations = CNET_REL_SYNONYM | CNET_REL_RELATED;
    lookup_.maxTerms = 10;
    lookup_.maxDepth = 1;
    lookup_.minStrength = 1;
    options_.mode = 1;
  }
  void TearDown() override {
    zolCNETexpandSearchCond_Release(&ctx_, &status_);
    EXPECT_OK(status_);
    EXPECT_EQ(ctx_, nullptr);
  }

  // Expands `query` (form 1 plain, 6 mixed, or an already converted condition).
  void expand(const ZOLSEARCHCOND& in) {
    std::memset(&out_, 0xAB, sizeof out_);
    summary_ = reinterpret_cast<CNETEXPSUMMARY*>(&out_);
    zolCNETexpandSearchCond(&ctx_, "thes", dir_.c_str(), &in, &lookup_, &options_, 0, &out_,
                            &summary_, &status_);
  }
  void expand(const std::string& query, uint8_t form = 1, uint8_t cp = 34) {
    query_ = query;
    ZOLSEARCHCOND in{};
    in.codePage = cp;
    in.form = form;
    in.queryText = query_.c_str();
    in.queryLength = -1;
    expand(in);
  }

  std::string text() const {
    const char* t = out_.form == 5 ? out_.mixConditionText : out_.conditionText;
    return t == nullptr ? "<null>" : t;
  }
  // The terms as "text^weight".
  Strings terms() const {
    Strings r;
    const int n = out_.form == 5 ? out_.mixTermCount : out_.termCount;
    for (int i = 0; i < n; ++i) {
      const ZOLTERM& t = out_.form == 5 ? out_.mixTerms[i].term : out_.terms[i];
      r.push_back(std::string(t.text, t.length) + "^" + std::to_string(t.weight));
    }
    return r;
  }
  std::string formatted() const {
    char buffer[512];
    int32_t length = 0;
    ZOLSTATUS st{};
    ZOLformatSearchCond(&out_, buffer, sizeof buffer, &length, &st);
    EXPECT_EQ(st.retcode, 0u);
    return std::string(buffer, static_cast<size_t>(length));
  }
  // The summary entries as "text depth strength parent".
  Strings summary() const {
    Strings r;
    for (uint32_t i = 0; summary_ != nullptr && i < summary_->count; ++i) {
      const CNETRESENT& e = summary_->entries[i];
      r.push_back(std::string(e.text, e.length) + " " + std::to_string(e.depth) + " " +
                  std::to_string(e.strength) + " " + std::to_string(e.parent));
    }
    return r;
  }
  // After a failure: output cleared, no summary, the context kept for release.
  void expectFailureState() {
    ZOLSEARCHCOND zero{};
    EXPECT_EQ(std::memcmp(&out_, &zero, sizeof zero), 0);
    EXPECT_EQ(summary_, nullptr);
    EXPECT_NE(ctx_, nullptr);
  }

  TempDir dir_;
  std::string query_;
  CNETCOND lookup_{};
  CNETEXPOPT options_{};
  void* ctx_ = nullptr;
  ZOLSEARCHCOND out_{};
  CNETEXPSUMMARY* summary_ = nullptr;
  CNETSTATUS status_{};
};

TEST_F(Expand, WordTermsBecomeWeightedOrGroupsInBothForms) {
  expand("car & garage");
  ASSERT_OK(status_);
  EXPECT_EQ(out_.form, 3);
  EXPECT_EQ(text(), "( 1 + 3 + 4 ) & 2");
  EXPECT_EQ(terms(), (Strings{"car^100", "garage^100", "auto^50", "automobile^80"}));
  EXPECT_EQ(formatted(), "(car | auto^50 | automobile^80) & garage");
  // Related terms are copies of their term: marker, kind and engine item come along.
  EXPECT_EQ(out_.terms[3].marker, 'N');
  EXPECT_EQ(out_.terms[3].kind, 'W');
  ASSERT_EQ(out_.terms[3].itemCount, 1);
  EXPECT_EQ(out_.terms[3].items[0].offset, 0u);
  EXPECT_EQ(out_.terms[3].items[0].length, 3u);
  EXPECT_EQ(out_.terms[1].items[0].offset, 6u);
  EXPECT_EQ(summary(),
            (Strings{"car 0 0 -1", "garage 0 0 -1", "auto 1 50 0", "automobile 1 80 0"}));
  EXPECT_EQ(status_.termsOmitted, 0u);

  // The same context again, mixed: every token is an entry, the operator entry is not expanded.
  expand("car & garage", 6);
  ASSERT_OK(status_);
  EXPECT_EQ(out_.form, 5);
  EXPECT_EQ(text(), "( 1 + 4 + 5 ) 2 3");
  EXPECT_EQ(terms(), (Strings{"car^100", "&^0", "garage^100", "auto^50", "automobile^80"}));
  EXPECT_EQ(out_.mixTerms[3].entryKind, 1);
  EXPECT_EQ(formatted(), "(car | auto^50 | automobile^80) & garage");
  EXPECT_EQ(summary(), (Strings{"car 0 0 -1", " 0 0 -2", "garage 0 0 -1", "auto 1 50 0",
                                "automobile 1 80 0"}));
}

TEST_F(Expand, WeightsScaleWithStrengthAndUnexpandedTermsStayReferences) {
  // 80 x 80 / 100 = 64, 50 x 80 / 100 = 40, 33 x 50 / 100 = 16.5 truncated to 16.
  expand("car^80 house^50");
  ASSERT_OK(status_);
  EXPECT_EQ(text(), "( 1 + 3 + 4 ) & ( 2 + 5 )");
  EXPECT_EQ(terms(), (Strings{"car^80", "house^50", "auto^40", "automobile^64", "home^16"}));
  // A weight that truncates to 0 would read as 100: it is 1 at least.
  expand("car^1");
  ASSERT_OK(status_);
  EXPECT_EQ(terms(), (Strings{"car^1", "auto^1", "automobile^1"}));
  // A masked term, a word not in the thesaurus and one without relations stay as they are;
  // the parentheses and operators around them are copied unchanged.
  expand("(ca* | bicycle) !garage");
  ASSERT_OK(status_);
  EXPECT_EQ(text(), "( 1 + 2 ) & ! 3");
  EXPECT_EQ(terms(), (Strings{"ca*^100", "bicycle^100", "garage^100"}));
  EXPECT_EQ(out_.terms[0].marker, 0);
  EXPECT_EQ(out_.terms[1].marker, 'N');
  // Parents within one lookup are shifted to the term's place among all entries: hut was
  // reached from home, entry 4. Home keeps the strength of its first occurrence (33) as its own
  // in its second block, so its relation to hut has strength 33 too.
  lookup_.maxDepth = 2;
  expand("car house");
  ASSERT_OK(status_);
  EXPECT_EQ(text(), "( 1 + 3 + 4 ) & ( 2 + 5 + 6 )");
  EXPECT_EQ(summary(), (Strings{"car 0 0 -1", "house 0 0 -1", "auto 1 50 0", "automobile 1 80 0",
                                "home 1 33 1", "hut 2 33 4"}));
  lookup_.maxDepth = 1;
  // The limit applies per term: one related term of car fits, the other is reported omitted.
  lookup_.maxTerms = 1;
  expand("car house");
  ASSERT_OK(status_);
  EXPECT_EQ(text(), "( 1 + 3 ) & ( 2 + 4 )");
  EXPECT_EQ(status_.termsOmitted, 1u);
  expand("house");
  EXPECT_EQ(status_.termsOmitted, 0u);
}

TEST_F(Expand, ReferencesOutsideTheTermsAreRejected) {
  ZOLTERM words[2] = {};
  words[0].kind = words[1].kind = 'W';
  words[0].text = "car";
  words[0].length = 3;
  words[1].text = "garage";
  words[1].length = 6;
  ZOLSEARCHCOND in{};
  in.codePage = 34;
  in.form = 3;
  in.termCount = 2;
  in.terms = words;
  for (const char* bad : {"1 & 0", "2 + 3", "99999999999999999999"}) {
    in.conditionText = const_cast<char*>(bad);
    expand(in);
    EXPECT_STATUS(status_, CNET_PARAMETER, 4619) << bad;
    expectFailureState();
  }
  // Weight 0 counts as 100; in an ASCII code page 0x40 is no separator, so "1@2" is one token
  // whose reference is 1 and whose rest is copied.
  in.conditionText = const_cast<char*>("1@2");
  expand(in);
  ASSERT_OK(status_);
  EXPECT_EQ(text(), "( 1 + 3 + 4 )@2");
  EXPECT_EQ(terms()[0], "car^100");
  // The mixed form reports the same check under its own number.
  ZOLMIXTERM mix[1] = {};
  mix[0].entryKind = 1;
  mix[0].term = words[0];
  ZOLSEARCHCOND m{};
  m.codePage = 34;
  m.form = 5;
  m.mixTermCount = 1;
  m.mixTerms = mix;
  m.mixConditionText = const_cast<char*>("2");
  expand(m);
  EXPECT_STATUS(status_, CNET_PARAMETER, 4639);
  m.mixConditionText = nullptr;
  expand(m);
  EXPECT_STATUS(status_, CNET_PARAMETER, 4630);
  in.termCount = 0;
  in.conditionText = const_cast<char*>("1");
  expand(in);
  EXPECT_STATUS(status_, CNET_UNEXPECTED, 4613);
  expectFailureState();
}

TEST_F(Expand, EntryChecksInOrder) {
  ZOLSEARCHCOND in{};
  in.codePage = 34;
  in.form = 1;
  in.queryText = "car";
  in.queryLength = -1;
  auto run = [&](const char* name, const ZOLSEARCHCOND* cond, const CNETCOND* look,
                 const CNETEXPOPT* opt, int32_t reserved) {
    summary_ = reinterpret_cast<CNETEXPSUMMARY*>(&in);
    zolCNETexpandSearchCond(&ctx_, name, dir_.c_str(), cond, look, opt, reserved, &out_, &summary_,
                            &status_);
    EXPECT_EQ(summary_, nullptr);
    EXPECT_EQ(out_.form, 0);
  };
  const std::string longName(2048, 'n');
  run(longName.c_str(), nullptr, nullptr, nullptr, 1);
  EXPECT_STATUS(status_, CNET_NAME_LENGTH, 4602);
  run("", &in, &lookup_, &options_, 0);
  EXPECT_STATUS(status_, CNET_NAME_LENGTH, 4602);
  run("thes", &in, nullptr, &options_, 1);
  EXPECT_STATUS(status_, CNET_PARAMETER, 4603);
  CNETCOND look = lookup_;
  look.maxTerms = 65;
  options_.mode = 2;
  run("thes", &in, &look, &options_, 1);
  EXPECT_STATUS(status_, CNET_RESERVED, 4604);
  options_.reserved[30] = 1;
  run("thes", &in, &lookup_, &options_, 0);
  EXPECT_STATUS(status_, CNET_RESERVED, 4604);
  options_.reserved[30] = 0;
  run("thes", &in, &look, &options_, 0);
  EXPECT_STATUS(status_, CNET_PARAMETER, 4605);
  look.maxTerms = 0;
  run("thes", &in, &look, &options_, 0);
  EXPECT_STATUS(status_, CNET_PARAMETER, 4605);
  run("thes", &in, &lookup_, &options_, 0);
  EXPECT_STATUS(status_, CNET_PARAMETER, 4606);
  options_.mode = 1;
  run("other", &in, &lookup_, &options_, 0);
  EXPECT_STATUS(status_, CNET_NOT_EXIST, 4601);
  // Without a cell the results could never be released.
  zolCNETexpandSearchCond(nullptr, "thes", dir_.c_str(), &in, &lookup_, &options_, 0, &out_,
                          nullptr, &status_);
  EXPECT_STATUS(status_, CNET_PARAMETER, 4608);
  // An engine failure of the conversion comes through as an engine status.
  in.queryText = "car &";
  run("thes", &in, &lookup_, &options_, 0);
  EXPECT_EQ(status_.retcode, CNET_ENGINE_BASE + ZOL_RC_PARAMETER);
}

TEST_F(Expand, EbcdicDictionarySeparatesTokensAtItsBlank) {
  // The definition reader counts bytes 16 to 63 as blanks in EBCDIC and reads strengths with
  // strtol, so an EBCDIC definition carries no strengths: every synonym has strength 100.
  const uint8_t cp = 12;
  TempDir ebcdic;
  ASSERT_OK(testsupport::compileText(
      ebcdic.path(), "thes", encode(cp, ":WORDS:SYNONYM\ncar\nautomobile\nauto\n:WORDS\ngarage\n"),
      cp));
  const std::string query = encode(cp, "car & garage");
  ZOLSEARCHCOND in{};
  in.codePage = cp;
  in.form = 1;
  in.queryText = query.c_str();
  in.queryLength = -1;
  auto run = [&]() {
    zolCNETexpandSearchCond(&ctx_, "thes", ebcdic.c_str(), &in, &lookup_, &options_, 0, &out_,
                            nullptr, &status_);
  };
  run();
  ASSERT_OK(status_);
  EXPECT_EQ(text(), "(@1@+@3@+@4@)@&@2");
  EXPECT_EQ(terms(), (Strings{encode(cp, "car") + "^100", encode(cp, "garage") + "^100",
                              encode(cp, "auto") + "^100", encode(cp, "automobile") + "^100"}));
  EXPECT_EQ(formatted(), encode(cp, "(car | auto | automobile) & garage"));
  // The text that is one token in an ASCII code page is two references here.
  const std::string car = encode(cp, "car"), garage = encode(cp, "garage");
  ZOLTERM words[2] = {};
  words[0].kind = words[1].kind = 'W';
  words[0].text = car.data();
  words[0].length = 3;
  words[1].text = garage.data();
  words[1].length = 6;
  in.form = 3;
  in.termCount = 2;
  in.terms = words;
  in.conditionText = const_cast<char*>("1@2");
  run();
  ASSERT_OK(status_);
  EXPECT_EQ(text(), "(@1@+@3@+@4@)@2");
}

TEST_F(Expand, FailedLookupLeavesTheContextForReleaseAndReuse) {
  // The last read of the expansion, in garage's lookup, fails. Both lookups run on the
  // expansion's one session; the files are opened afresh (not from memory) each time.
  int reads = 0;
  {
    testsupport::dropCachedFiles();
    testsupport::OsFaults count;
    expand("car & garage");
    ASSERT_OK(status_);
    reads = count.calls(testsupport::OsCall::kReadAt);
    EXPECT_EQ(count.calls(testsupport::OsCall::kLockFile), 1) << "one read lock for all terms";
  }
  {
    testsupport::dropCachedFiles();
    testsupport::OsFaults faults;
    faults.failNth(testsupport::OsCall::kReadAt, reads, EIO);
    expand("car & garage");
    EXPECT_TRUE(faults.fired());
  }
  EXPECT_EQ(status_.retcode, CNET_READ);
  expectFailureState();
  expand("garage | car");
  ASSERT_OK(status_);
  EXPECT_EQ(text(), "1 + ( 2 + 3 + 4 )");
  EXPECT_EQ(summary(),
            (Strings{"garage 0 0 -1", "car 0 0 -1", "auto 1 50 1", "automobile 1 80 1"}));
  // Release accepts no cell and an empty cell, and clears the status.
  status_.retcode = 1;
  zolCNETexpandSearchCond_Release(nullptr, &status_);
  EXPECT_OK(status_);
  void* empty = nullptr;
  zolCNETexpandSearchCond_Release(&empty, nullptr);
  EXPECT_EQ(empty, nullptr);
}

}  // namespace
