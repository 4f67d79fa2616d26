// Round trip of a large generated thesaurus: compile, dump, compile the dump into a second
// dictionary, dump that. The two dumps must be byte-identical and both dictionaries must answer
// every lookup alike.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/dict_model.h"
#include "support/synthetic_definition.h"
#include "support/temp_dir.h"

namespace {

using testsupport::DictModel;
using testsupport::dumpFile;
using testsupport::TempDir;

constexpr uint32_t kMaxTerms = 100;
// Every word is looked up at depth 1, every kDeepStep-th word also at depth 3.
constexpr size_t kDeepStep = 32;
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer build looks up every fourth word, so that its run stays within minutes.
constexpr size_t kWordStep = 4;
#else
constexpr size_t kWordStep = 1;
#endif

// The fields of the answer for one word (every relation, at most kMaxTerms) that must agree, as
// text: the status, then per entry the text, depth, strength, relation type and number, and
// parent; "!" for reserved bytes that are set.
std::string describe(void** cell, const TempDir& dir, const char* name, const std::string& word,
                     int32_t depth) {
  CNETCOND cond = testsupport::condOf(
      CNET_REL_SYNONYM | CNET_REL_RELATED | CNET_REL_HIGHER | CNET_REL_LOWER, kMaxTerms, depth);
  cond.userFamilies = CNET_USER_SYMMETRIC | CNET_USER_HIGHER | CNET_USER_LOWER;
  const testsupport::Answer a = testsupport::lookUp(cell, dir.path(), name, word, cond);
  std::string s = std::to_string(a.status.retcode) + "/" + std::to_string(a.status.termsOmitted) +
                  ": " + testsupport::describe(a.entries, "; ");
  for (const CNETRESENT& e : a.entries)
    s += cnetMemNonZero(e.relation.reserved, sizeof e.relation.reserved) ? "!" : "";
  return s;
}

// The digest of a successful lookup without results.
const size_t kEmptyDigest = std::hash<std::string>{}("0/0: ");

// The digest of every word's answer at depth 1 and of every deepStep-th word's answer at depth 3,
// with one search context for all lookups.
std::vector<size_t> digests(const TempDir& dir, const char* name,
                            const std::vector<std::string>& words) {
  std::vector<size_t> out;
  out.reserve(words.size() + words.size() / kDeepStep + 1);
  void* cell = nullptr;
  for (const std::string& w : words)
    out.push_back(std::hash<std::string>{}(describe(&cell, dir, name, w, 1)));
  for (size_t i = 0; i < words.size(); i += kDeepStep)
    out.push_back(std::hash<std::string>{}(describe(&cell, dir, name, words[i], 3)));
  CNETSTATUS st = testsupport::clearStatus();
  zolCNETrefer_Release(&cell, &st);
  if (st.retcode != 0) out.clear();
  return out;
}

TEST(RoundTrip, DumpOfTheDumpIsIdenticalAndLookupsAgree) {
  TempDir dir;
  synthetic::Options options;
  // About 105,000 distinct words.
  options.occurrences = 500000;
  options.vocabulary = 400000;
  const std::string source = dir.file("source.def");
  ASSERT_EQ(synthetic::writeDefinition(source, options), options.occurrences);
  ASSERT_OK(testsupport::compileFile(dir.path(), "first", source));

  // The generated thesaurus uses every relation kind, numbered relations and strengths.
  DictModel m;
  ASSERT_EQ(testsupport::loadDictionary(dir.path(), "first", &m), "");
  ASSERT_GE(m.wordCount, 100000u);
  std::set<std::pair<uint8_t, uint8_t>> rels;
  std::set<uint8_t> strengths;
  for (const auto& g : m.groups) {
    rels.insert({g.category, g.id});
    for (const auto& e : g.entries) {
      rels.insert({e.category, e.id});
      strengths.insert(e.strength);
    }
  }
  for (auto [category, id] :
       std::vector<std::pair<uint8_t, uint8_t>>{{0, 0}, {3, 1}, {3, 2}, {1, 1}, {2, 1}, {255, 0}}) {
    EXPECT_TRUE(rels.count({category, id})) << int(category) << "," << int(id);
  }
  for (uint8_t category : {1, 2, 3}) {
    auto numbered = rels.lower_bound({category, 128});
    EXPECT_TRUE(numbered != rels.end() && numbered->first == category) << int(category);
  }
  EXPECT_GT(strengths.size(), 50u);

  const std::string dump1 = dir.file("first.dump");
  const std::string dump2 = dir.file("second.dump");
  ASSERT_OK(dumpFile(dir.path(), "first", dump1));
  ASSERT_OK(testsupport::compileFile(dir.path(), "second", dump1));
  ASSERT_OK(dumpFile(dir.path(), "second", dump2));
  const std::string text1 = testsupport::readFile(dump1);
  ASSERT_GT(text1.size(), 100000u);
  // Compared as a whole, not with EXPECT_EQ, so a failure does not print megabytes.
  EXPECT_TRUE(text1 == testsupport::readFile(dump2)) << "the dumps differ";

  CNETSTATUS info = testsupport::clearStatus();
  EXPECT_EQ(zolCNETgetInfo("second", dir.c_str(), 0, nullptr, 0, &info), m.wordCount);

  // Each dictionary answers every word in a thread of its own; the answers are compared by
  // digest, and the first words whose answers differ are shown in full.
  std::vector<std::string> words;
  for (size_t i = 0; i < m.words.size(); i += kWordStep) {
    ASSERT_LE(m.words[i].text.size(), size_t{CNET_TERM_MAX});
    words.push_back(m.words[i].text);
  }
  std::vector<size_t> digest1, digest2;
  std::thread other([&] { digest2 = digests(dir, "second", words); });
  digest1 = digests(dir, "first", words);
  other.join();
  ASSERT_GT(digest1.size(), words.size());
  ASSERT_EQ(digest2.size(), digest1.size());
  size_t mismatches = 0;
  for (size_t i = 0; i < digest1.size(); ++i) {
    if (digest1[i] == digest2[i] || ++mismatches > 3) continue;
    const bool deep = i >= words.size();
    const std::string& word = deep ? words[(i - words.size()) * kDeepStep] : words[i];
    const std::string a = describe(nullptr, dir, "first", word, deep ? 3 : 1);
    const std::string b = describe(nullptr, dir, "second", word, deep ? 3 : 1);
    ADD_FAILURE() << "lookups of '" << word << "' differ:\n" << a << "\n" << b;
  }
  EXPECT_EQ(mismatches, 0u);
  // Every word has related terms (no lookup failed or came back empty).
  size_t empty = 0;
  for (size_t i = 0; i < words.size(); ++i)
    empty += digest1[i] == kEmptyDigest ? 1 : 0;
  EXPECT_EQ(empty, 0u);
}

// Words the reader accepts that sit close to its syntax: blanks, strength markers inside a word
// or at its start, keyword and comment characters, 64-byte words, strengths written oddly.
// Whatever of them compiles must dump to a definition that compiles to the same dump.
TEST(RoundTrip, OddWordsCompileBackToTheSameDump) {
  TempDir dir;
  std::mt19937 rng(20261208);
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  const std::vector<std::string> pieces = {"new", "York", ":york", "a:b", ":5", ".x",  "*y",
                                           "#z",  ":",    "::",    "(1)", "b",  "C d", "\t"};
  const std::vector<std::string> strengths = {"", "", " :100", " :1", " :+7", " : 42", " :099"};
  auto word = [&] {
    std::string w = pieces[pick(pieces.size())];
    for (size_t n = pick(4); n > 0; --n)
      w += (pick(2) == 0 ? " " : "") + pieces[pick(pieces.size())];
    if (pick(8) == 0) w.resize(64, 'w');
    return w + strengths[pick(strengths.size())];
  };
  const std::vector<std::string> heads = {":WORDS:SYNONYM", ":WORDS:RELATED", ":WORDS",
                                          ":WORDS:RELATED(9)"};
  const std::vector<std::string> keywords = {".SYNONYM_OF", ".RELATED_TO(3)", ".LOWER_THAN",
                                             ".HIGHER_THAN"};
  std::vector<std::string> lines;
  for (int block = 0; block < 120; ++block) {
    lines.push_back(heads[pick(heads.size())]);
    for (size_t n = 2 + pick(3); n > 0; --n)
      lines.push_back(word());
    for (size_t n = pick(3); n > 0; --n)
      lines.push_back(keywords[pick(keywords.size())] + "  " + word());
  }
  // Lines the reader refuses are dropped one at a time until the rest compiles.
  CNETSTATUS st{};
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string text;
    for (const std::string& l : lines)
      text += l + '\n';
    st = testsupport::compileText(dir.path(), "first", text);
    if (st.retcode != CNET_INPUT) break;
    ASSERT_GE(st.line, 1u);
    ASSERT_LE(st.line, lines.size());
    lines.erase(lines.begin() + (st.line - 1));
  }
  ASSERT_OK(st);
  DictModel m;
  ASSERT_EQ(testsupport::loadDictionary(dir.path(), "first", &m), "");
  EXPECT_GT(m.wordCount, 150u);

  const std::string dump1 = dir.file("first.dump");
  const std::string dump2 = dir.file("second.dump");
  ASSERT_OK(dumpFile(dir.path(), "first", dump1));
  const std::string text1 = testsupport::readFile(dump1);
  // The cases that matter are there: a marker after a blank and a 64-byte word.
  EXPECT_NE(text1.find(" :york"), std::string::npos);
  EXPECT_NE(text1.find(std::string(20, 'w')), std::string::npos);
  ASSERT_OK(testsupport::compileFile(dir.path(), "second", dump1));
  ASSERT_OK(dumpFile(dir.path(), "second", dump2));
  EXPECT_EQ(text1, testsupport::readFile(dump2));
}

}  // namespace
