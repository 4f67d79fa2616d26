// Tests of the word index: building, committing and cancelling, exact and wildcard search in
// several code pages (checked against simple models), replacement of the index under a reused
// search handle, verification of damaged files, and deletion.
#include <fnmatch.h>
#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "indexing_engine/zol.h"
#include "support/temp_dir.h"
#include "zol_codepage.h"
#include "zol_index_format.h"

namespace {

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using Ids = std::vector<uint32_t>;

constexpr uint32_t kAny = UINT32_MAX;

::testing::AssertionResult zolIs(const ZOLSTATUS& st, uint32_t rc, uint32_t ec = kAny) {
  if (st.retcode == rc && (ec == kAny || st.errcode == ec)) return ::testing::AssertionSuccess();
  char text[ZOL_MESSAGE_SIZE];
  ZOLgetMessage(34, &st, text);
  return ::testing::AssertionFailure()
         << "status (" << st.retcode << ", " << st.errcode << ") \"" << text << "\", expected ("
         << rc << ", " << (ec == kAny ? -1 : int64_t(ec)) << ")";
}

// Text in a code page, converted by ICU from UTF-16; nothing when it has no mapping there.
std::optional<std::string> encode(uint8_t cp, const std::u16string& text) {
  UConverter* cnv = zol::openConverter(cp);
  char out[512];
  UErrorCode err = U_ZERO_ERROR;
  int32_t n =
      ucnv_fromUChars(cnv, out, sizeof out, text.data(), static_cast<int32_t>(text.size()), &err);
  zol::closeConverter(cnv);
  if (U_FAILURE(err)) return std::nullopt;
  return std::string(out, n);
}

std::u16string caseMapped(const std::u16string& s, bool upper) {
  UChar out[256];
  UErrorCode err = U_ZERO_ERROR;
  int32_t n = upper ? u_strToUpper(out, 256, s.data(), int32_t(s.size()), "", &err)
                    : u_strToLower(out, 256, s.data(), int32_t(s.size()), "", &err);
  return std::u16string(out, n);
}

struct Word {
  uint32_t id;
  std::string text;
};

ZOLSTATUS build(const std::string& dir, uint8_t cp, const std::vector<Word>& words,
                char action = 'G', char display = 'N') {
  ZOLINDEX* h = nullptr;
  ZOLINDEXDESC desc = {2, cp, 2, 1, {}};
  ZOLINDEXPARM parm = {0x200000, 0x100000, 0x18, static_cast<uint8_t>(display), {}};
  uint32_t last = 0;
  ZOLSTATUS st;
  ZOLcreateIndexInit(&h, "thes", dir.c_str(), dir.c_str(), 'N', 'B', &desc, &parm, &last, &st);
  if (st.retcode != 0) return st;
  EXPECT_EQ(last, 0xFFFFFFFFu);
  for (const Word& w : words) {
    ZOLINDEXDOC doc = {1, 'C', {}, w.text.data(), static_cast<uint16_t>(w.text.size()), {}};
    ZOLcreateItemIndexOneDoc(h, w.id, 1, &doc, &st);
    if (st.retcode != 0) return st;  // the build is abandoned
  }
  ZOLcreateIndexLast(h, &st);
  if (st.retcode != 0) return st;
  ZOLcreateIndexTerm(h, action, &st);
  return st;
}

struct Hits {
  ZOLSTATUS st;
  Ids ids;
};

// One search through the whole result protocol; the ids come back sorted.
Hits search(void** handle, const std::string& dirs, uint8_t cp, const std::string& term,
            uint8_t anyRun = 0, uint8_t anyOne = 0) {
  const auto length = static_cast<uint16_t>(term.size());
  ZOLWORDTERM t = {1, 'C', {}, term.data(), length, {anyRun, anyOne}, 100, 'N', {}};
  ZOLSEARCHCOND cond = {};
  cond.codePage = cp;
  cond.form = 4;
  cond.wordTermCount = 1;
  cond.wordTerms = &t;
  cond.wordConditionText = "1";
  ZOLSEARCHRESULT result = {2, 1, {}, 0, nullptr, 4096, {}};
  Hits h;
  ZOLsearchIndex(handle, "thes", dirs.c_str(), 0, cond, nullptr, nullptr, nullptr, &result, &h.st);
  if (h.st.retcode != 0) return h;
  std::vector<ZOLHIT> hits(result.hitCount);
  ZOLSTATUS st;
  ZOLsearchIndex_OpenResult(result.resultHandle, 0, &st);
  EXPECT_TRUE(zolIs(st, 0));
  ZOLsearchIndex_GetResult(result.resultHandle, 0, result.hitCount, hits.data(), nullptr, nullptr,
                           &st);
  EXPECT_TRUE(zolIs(st, 0));
  ZOLsearchIndex_CloseResult(result.resultHandle, 0, &st);
  ZOLsearchIndex_ReleaseResult(result.resultHandle, &st);
  for (const ZOLHIT& hit : hits) {
    EXPECT_EQ(hit.rank, 100);
    h.ids.push_back(hit.docId);
  }
  std::sort(h.ids.begin(), h.ids.end());
  return h;
}

Ids searchIds(void** handle, const std::string& dirs, uint8_t cp, const std::string& term,
              uint8_t anyRun = 0, uint8_t anyOne = 0) {
  Hits h = search(handle, dirs, cp, term, anyRun, anyOne);
  EXPECT_TRUE(zolIs(h.st, 0)) << term;
  return h.ids;
}

void release(void** handle) {
  ZOLSTATUS st;
  ZOLsearchIndex_Release(handle, &st);
  EXPECT_TRUE(zolIs(st, 0));
  EXPECT_EQ(*handle, nullptr);
}

std::string randomText(std::mt19937& rng, const std::string& letters, size_t maxLength) {
  std::string s;
  for (size_t n = 1 + rng() % maxLength; n > 0; --n)
    s += letters[rng() % letters.size()];
  return s;
}

// Random words over a small alphabet with both cases of some letters, so that many words are
// prefixes of others and many fold to the same key; the model folds the few letters itself.
std::vector<Word> randomWords(std::mt19937& rng, size_t count, std::map<std::string, Ids>* model) {
  static const std::vector<std::pair<std::string, std::string>> kLetters = {
      {"a", "a"}, {"A", "a"}, {"b", "b"}, {"B", "b"}, {"é", "é"},
      {"É", "é"}, {"ж", "ж"}, {"Ж", "ж"}, {"c", "c"}};
  std::vector<Word> words;
  std::set<std::string> seen;
  uint32_t id = 5;
  while (words.size() < count) {
    std::string text, key;
    for (size_t n = 1 + rng() % 6; n > 0; --n) {
      const auto& l = kLetters[rng() % kLetters.size()];
      text += l.first;
      key += l.second;
    }
    if (!seen.insert(text).second) continue;
    id += 1 + rng() % 3;
    words.push_back({id, text});
    (*model)[key].push_back(id);
  }
  return words;
}

TEST(WordIndex, ExactSearchAgreesWithAModel) {
  TempDir dir;
  std::mt19937 rng(7);
  std::map<std::string, Ids> model;
  std::vector<Word> words = randomWords(rng, 3000, &model);
  ASSERT_TRUE(zolIs(build(dir.path(), 34, words), 0));
  // The file holds the model's keys in byte order, shorter first, ids ascending within a key.
  const std::string file = readFile(dir.file("thes.wix"));
  const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
  const size_t keyArea = zol::kHeaderSize + words.size() * zol::kEntrySize;
  ASSERT_EQ(zol::load32(bytes + zol::kHeaderCount), words.size());
  std::vector<std::pair<std::string, uint32_t>> stored, expected;
  for (size_t i = 0; i < words.size(); ++i) {
    zol::IndexEntry e = zol::decodeEntry(bytes + zol::kHeaderSize + i * zol::kEntrySize);
    stored.emplace_back(file.substr(keyArea + e.keyOffset, e.keyLength), e.docId);
  }
  for (const auto& [key, ids] : model) {
    for (uint32_t id : ids)
      expected.emplace_back(key, id);
  }
  EXPECT_EQ(stored, expected);

  void* handle = nullptr;
  // Every key (so the first and the last, keys that are prefixes of others, long equal runs).
  for (const auto& [key, ids] : model)
    EXPECT_EQ(searchIds(&handle, dir.path(), 34, key), ids);
  // Absent keys: before the first, after the last, and between neighbours.
  for (std::string absent : {"0", "zzz", "\xFF"}) {
    EXPECT_TRUE(searchIds(&handle, dir.path(), 34, absent).empty()) << absent;
  }
  for (auto it = model.begin(); it != model.end(); ++it) {
    std::string between = it->first + "c\x01";
    if (!model.count(between)) {
      EXPECT_TRUE(searchIds(&handle, dir.path(), 34, between).empty()) << between;
    }
  }
  release(&handle);
}

TEST(WordIndex, FindsWordsCaseInsensitivelyInSeveralCodePages) {
  const std::vector<std::u16string> common = {u"Apfel", u"Apfelbaum", u"Birne", u"ÄRGER", u"Zebra"};
  const std::map<uint8_t, std::vector<std::u16string>> extra = {
      {34, {u"ΣΟΦΙΑ", u"ПРИВЕТ", u"Éclair", u"日本"}},
      {8, {u"ŒUVRE", u"ŠKODA"}},
      {1, {u"ＡＢＣ", u"ДОМ", u"カタカナ", u"漢字Ａ"}},
      {11, {u"ＡＢＣ", u"漢字ＸＹ", u"漢字ABC", u"ABC漢"}},
      {25, {u"ÉTÉ"}},
  };
  for (const auto& [cp, more] : extra) {
    SCOPED_TRACE("code page " + std::to_string(cp));
    TempDir dir;
    std::vector<std::u16string> texts = common;
    texts.insert(texts.end(), more.begin(), more.end());
    std::vector<Word> words;
    std::vector<std::u16string> kept;
    for (const auto& t : texts) {
      if (auto e = encode(cp, t)) {
        words.push_back({uint32_t(10 + words.size()), *e});
        kept.push_back(t);
      }
    }
    ASSERT_GE(words.size(), common.size());
    ASSERT_TRUE(zolIs(build(dir.path(), cp, words), 0));
    const uint8_t star = static_cast<uint8_t>((*encode(cp, u"*"))[0]);
    const uint8_t what = static_cast<uint8_t>((*encode(cp, u"?"))[0]);
    void* handle = nullptr;
    for (size_t i = 0; i < words.size(); ++i) {
      const Ids want = {words[i].id};
      for (bool upper : {false, true}) {
        auto variant = encode(cp, caseMapped(kept[i], upper));
        ASSERT_TRUE(variant) << i;
        EXPECT_EQ(searchIds(&handle, dir.path(), cp, *variant), want) << i << upper;
      }
      // Wildcards: a run after the first two characters, one character for the first.
      auto lower = caseMapped(kept[i], false);
      auto head = encode(cp, lower.substr(0, 2) + u"*");
      Ids prefixed = searchIds(&handle, dir.path(), cp, *head, star, what);
      EXPECT_TRUE(std::count(prefixed.begin(), prefixed.end(), words[i].id)) << i;
      std::u16string masked = lower;
      masked[0] = u'?';
      auto tail = encode(cp, masked);
      EXPECT_EQ(searchIds(&handle, dir.path(), cp, *tail, star, what), want) << i;
      // A leading run: the pattern starts with the wildcard, then the word from its second
      // character (in the stateful code pages this starts in or out of double-byte mode).
      std::u16string leading(1, u'*');
      leading.append(lower, 1);
      auto lead = encode(cp, leading);
      Ids led = searchIds(&handle, dir.path(), cp, *lead, star, what);
      EXPECT_TRUE(std::count(led.begin(), led.end(), words[i].id)) << i;
    }
    auto apf = encode(cp, u"apf*");
    EXPECT_EQ(searchIds(&handle, dir.path(), cp, *apf, star, what), (Ids{10, 11}));
    release(&handle);
  }
}

TEST(WordIndex, WildcardsMatchLikeAGlob) {
  TempDir dir;
  std::mt19937 rng(11);
  std::vector<Word> words;
  std::set<std::string> seen;
  while (words.size() < 400) {
    std::string w = randomText(rng, "abcABC", 6);
    if (seen.insert(w).second) words.push_back({uint32_t(words.size() * 2), w});
  }
  words.push_back({5000, "Äpfel"});
  words.push_back({5001, "äpfelbaum"});
  ASSERT_TRUE(zolIs(build(dir.path(), 34, words), 0));
  void* handle = nullptr;
  for (int round = 0; round < 300; ++round) {
    std::string pattern = randomText(rng, "abcAB*?", 5);
    std::string folded = pattern;
    for (char& c : folded)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Ids want;
    for (const Word& w : words) {
      std::string key = w.text;
      for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (w.id >= 5000) key = w.id == 5000 ? "#pfel" : "#pfelbaum";  // '#' stands for ä
      if (fnmatch(folded.c_str(), key.c_str(), 0) == 0) want.push_back(w.id);
    }
    EXPECT_EQ(searchIds(&handle, dir.path(), 34, pattern, '*', '?'), want) << pattern;
  }
  // A two-byte character is one character for '?'; other bytes may serve as wildcards, even
  // letters, which normalization must not touch.
  EXPECT_EQ(searchIds(&handle, dir.path(), 34, "?PFEL", '*', '?'), (Ids{5000}));
  EXPECT_EQ(searchIds(&handle, dir.path(), 34, "ÄPFEL%", '%', '_'), (Ids{5000, 5001}));
  EXPECT_EQ(searchIds(&handle, dir.path(), 34, "äpfelXaum", 'B', 'X'), (Ids{5001}));
  EXPECT_EQ(searchIds(&handle, dir.path(), 34, "*baum", '*', 0), (Ids{5001}));
  EXPECT_EQ(search(&handle, dir.path(), 34, "a*", '*', '*').st.retcode, unsigned(ZOL_RC_MASK));
  release(&handle);
}

TEST(WordIndex, CommitCancelAndAbandonLeaveTheRightFiles) {
  TempDir dir;
  const std::vector<Word> words = {{1, "one"}, {2, "two"}};
  EXPECT_TRUE(zolIs(build(dir.path(), 34, words, 'C'), 0));
  EXPECT_TRUE(dir.list().empty());
  // An empty index is sound and finds nothing.
  ASSERT_TRUE(zolIs(build(dir.path(), 34, {}), 0));
  ZOLSTATUS empty;
  ZOLverifyIndex("thes", dir.c_str(), 0, 8, 0, &empty);
  EXPECT_TRUE(zolIs(empty, 0));
  EXPECT_TRUE(searchIds(nullptr, dir.path(), 34, "one").empty());
  // A commit leaves only the live file.
  testing::internal::CaptureStdout();
  EXPECT_TRUE(zolIs(build(dir.path(), 34, words, 'G'), 0));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(dir.list(), (std::vector<std::string>{"thes.wix"}));
  const std::string live = readFile(dir.file("thes.wix"));
  // Descending ids, a text too long and a wrong item count abandon the build, which leaves
  // the live index as it was.
  EXPECT_TRUE(zolIs(build(dir.path(), 34, {{5, "a"}, {5, "b"}}), ZOL_RC_PARAMETER, 227));
  EXPECT_TRUE(zolIs(build(dir.path(), 34, {{1, std::string(193, 'x')}}), ZOL_RC_PARAMETER, 226));
  EXPECT_EQ(dir.list(), (std::vector<std::string>{"thes.wix"}));
  EXPECT_EQ(readFile(dir.file("thes.wix")), live);
  // Display mode 'D' prints one line at the end.
  testing::internal::CaptureStdout();
  EXPECT_TRUE(zolIs(build(dir.path(), 34, {{3, "three"}}, 'G', 'D'), 0));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  void* h = nullptr;
  EXPECT_EQ(searchIds(&h, dir.path(), 34, "THREE"), (Ids{3}));
  EXPECT_TRUE(searchIds(&h, dir.path(), 34, "one").empty());
  release(&h);

  // Calling sequence and parameters.
  ZOLINDEX* b = nullptr;
  ZOLINDEXDESC desc = {2, 34, 2, 1, {}};
  ZOLINDEXPARM parm = {0x200000, 0x100000, 0x18, 'N', {}};
  uint32_t last = 0;
  ZOLSTATUS st;
  auto init = [&](const char* name, char mode, char kind) {
    ZOLcreateIndexInit(&b, name, dir.c_str(), dir.c_str(), mode, kind, &desc, &parm, &last, &st);
  };
  writeFile(dir.file("thes.wi$"), "stale");
  init("thes", 'N', 'B');
  ASSERT_TRUE(zolIs(st, 0));
  EXPECT_FALSE(testsupport::fileExists(dir.file("thes.wi$")));  // removed at the start
  ZOLcreateIndexTerm(b, 'G', &st);  // without Last: refused, handle freed, nothing pending
  EXPECT_TRUE(zolIs(st, ZOL_RC_SEQUENCE));
  EXPECT_EQ(dir.list(), (std::vector<std::string>{"thes.wix"}));
  init("thes", 'A', 'B');
  EXPECT_TRUE(zolIs(st, ZOL_RC_PARAMETER, 205));
  EXPECT_EQ(b, nullptr);
  init("thes", 'N', 'X');
  EXPECT_TRUE(zolIs(st, ZOL_RC_PARAMETER, 206));
  init("a/b", 'N', 'B');
  EXPECT_TRUE(zolIs(st, ZOL_RC_PARAMETER, 202));
  desc.codePage = 37;
  init("thes", 'N', 'B');
  EXPECT_TRUE(zolIs(st, ZOL_RC_PARAMETER, 208));
}

TEST(WordIndex, ReusedHandleFollowsReplacementAndDirectoryChoice) {
  TempDir a, b;
  ASSERT_TRUE(zolIs(build(a.path(), 34, {{1, "alpha"}}), 0));
  void* h = nullptr;
  EXPECT_EQ(searchIds(&h, a.path(), 34, "alpha"), (Ids{1}));
  ASSERT_TRUE(zolIs(build(a.path(), 34, {{7, "alpha"}}), 0));  // same size, new file
  EXPECT_EQ(searchIds(&h, a.path(), 34, "alpha"), (Ids{7}));
  // Two directories: the second is used when it has the index, else the first.
  const std::string both = a.path() + "\t" + b.path();
  EXPECT_EQ(searchIds(&h, both, 34, "alpha"), (Ids{7}));
  ASSERT_TRUE(zolIs(build(b.path(), 34, {{9, "alpha"}}), 0));
  EXPECT_EQ(searchIds(&h, both, 34, "alpha"), (Ids{9}));
  EXPECT_EQ(searchIds(nullptr, both, 34, "alpha"), (Ids{9}));  // no cell: a temporary state
  ZOLSTATUS st;
  ZOL_deleteIndex(3, "thes", both.c_str(), &st);
  ASSERT_TRUE(zolIs(st, 0));
  EXPECT_TRUE(a.list().empty());
  EXPECT_TRUE(b.list().empty());
  Hits gone = search(&h, both, 34, "alpha");
  EXPECT_TRUE(zolIs(gone.st, ZOL_RC_INDEX_NOT_EXIST));
  EXPECT_EQ(std::string(gone.st.filename), a.path() + "/thes.wix");
  ZOL_deleteIndex(3, "thes", both.c_str(), &st);  // missing files are no error
  EXPECT_TRUE(zolIs(st, 0));
  ZOL_deleteIndex(2, "thes", both.c_str(), &st);
  EXPECT_TRUE(zolIs(st, ZOL_RC_PARAMETER));
  release(&h);
}

TEST(WordIndex, RejectsBadConditionsAndResultMisuse) {
  TempDir dir;
  ASSERT_TRUE(zolIs(build(dir.path(), 34, {{1, "x"}}), 0));
  void* h = nullptr;
  // An index written in another code page than the condition's does not belong to it.
  EXPECT_TRUE(zolIs(search(&h, dir.path(), 8, "x").st, ZOL_RC_INDEX_INVALID, 314));
  EXPECT_TRUE(zolIs(search(&h, dir.path(), 34, std::string(193, 'x')).st, ZOL_RC_PARAMETER));
  // Either part of two directories may be empty (the root); a second tab is refused.
  EXPECT_TRUE(zolIs(search(&h, dir.path() + "\t", 34, "x").st, 0));
  EXPECT_TRUE(zolIs(search(&h, "\t" + dir.path(), 34, "x").st, 0));
  EXPECT_TRUE(zolIs(search(&h, dir.path() + "\t\t", 34, "x").st, ZOL_RC_PARAMETER));
  ZOLWORDTERM t = {1, 'C', {}, "x", 1, {0, 0}, 100, 'N', {}};
  ZOLSEARCHCOND cond = {};
  cond.codePage = 34;
  cond.wordTerms = &t;
  ZOLSEARCHRESULT result = {2, 1, {}, 0, nullptr, 4096, {}};
  ZOLSTATUS st;
  auto run = [&](uint8_t form, int32_t terms) {
    cond.form = form;
    cond.wordTermCount = terms;
    ZOLsearchIndex(&h, "thes", dir.c_str(), 0, cond, nullptr, nullptr, nullptr, &result, &st);
  };
  run(3, 1);
  EXPECT_TRUE(zolIs(st, ZOL_RC_PARAMETER, 308));
  run(4, 2);
  EXPECT_TRUE(zolIs(st, ZOL_RC_PARAMETER, 309));
  run(4, 1);
  ASSERT_TRUE(zolIs(st, 0));
  ASSERT_EQ(result.hitCount, 1);
  ZOLHIT hit;
  ZOLsearchIndex_GetResult(result.resultHandle, 0, 1, &hit, nullptr, nullptr, &st);
  EXPECT_TRUE(zolIs(st, ZOL_RC_SEQUENCE));  // not opened
  ZOLsearchIndex_OpenResult(result.resultHandle, 1, &st);
  EXPECT_TRUE(zolIs(st, ZOL_RC_PARAMETER));
  ZOLsearchIndex_ReleaseResult(result.resultHandle, &st);
  EXPECT_TRUE(zolIs(st, 0));
  ZOLsearchIndex_ReleaseResult(nullptr, &st);
  EXPECT_TRUE(zolIs(st, 0));
  release(&h);
}

// ---- Damaged files -------------------------------------------------------------------------

ZOLSTATUS verify(const std::string& dir) {
  ZOLSTATUS st;
  ZOLverifyIndex("thes", dir.c_str(), 0, 8, 0, &st);
  return st;
}

// Searches every word and everything, reading the file (temporary state) and mapping it
// (reused state); on a damaged file each search must end cleanly.
void searchAll(const std::string& dir, const std::vector<Word>& words) {
  void* h = nullptr;
  for (int pass = 0; pass < 2; ++pass) {
    for (const Word& w : words) {
      uint32_t rc = search(pass == 0 ? nullptr : &h, dir, 34, w.text).st.retcode;
      EXPECT_TRUE(rc == 0 || rc == ZOL_RC_INDEX_INVALID) << rc;
    }
    uint32_t rc = search(pass == 0 ? nullptr : &h, dir, 34, "*", '*', '?').st.retcode;
    EXPECT_TRUE(rc == 0 || rc == ZOL_RC_INDEX_INVALID) << rc;
  }
  release(&h);
}

TEST(WordIndex, VerifyNamesEveryKindOfDamageAndSearchSurvivesIt) {
  TempDir dir;
  const std::vector<Word> words = {{1, "ant"}, {2, "bee"}, {3, "cat"}, {4, "dög"}};
  ASSERT_TRUE(zolIs(build(dir.path(), 34, words), 0));
  const std::string path = dir.file("thes.wix");
  const std::string sound = readFile(path);
  EXPECT_TRUE(zolIs(verify(dir.path()), 0));
  testing::internal::CaptureStdout();
  ZOLSTATUS st;
  ZOLverifyIndex("thes", dir.c_str(), 0, 0, 0, &st);
  std::string line = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(zolIs(st, 0));
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;

  const size_t entry = zol::kHeaderSize;
  const size_t keys = entry + words.size() * zol::kEntrySize;
  auto put32 = [](std::string& f, size_t at, uint32_t v) {
    zol::store32(reinterpret_cast<uint8_t*>(&f[at]), v);
  };
  struct Damage {
    const char* what;
    std::function<void(std::string&)> apply;
    uint32_t errcode;
  };
  const std::vector<Damage> damages = {
      {"header cut", [](std::string& f) { f.resize(20); }, 601},
      {"magic", [](std::string& f) { f[3] ^= 0x20; }, 602},
      {"version", [&](std::string& f) { put32(f, zol::kHeaderVersion, 2); }, 603},
      {"code page", [](std::string& f) { f[zol::kHeaderCodePage] = 0; }, 604},
      {"reserved", [](std::string& f) { f[zol::kHeaderReserved2] = 1; }, 605},
      {"truncated", [](std::string& f) { f.pop_back(); }, 606},
      {"count", [&](std::string& f) { put32(f, zol::kHeaderCount, 5); }, 606},
      {"flags", [&](std::string& f) { f[entry + zol::kEntryFlags] = 1; }, 411},
      {"key length", [&](std::string& f) { f[entry + 12 + zol::kEntryKeyLength] = 0; }, 412},
      {"key offset", [&](std::string& f) { put32(f, entry + 24, 12); }, 413},
      {"unsorted",
       [&](std::string& f) { std::swap_ranges(&f[entry], &f[entry + 12], &f[entry + 12]); }, 414},
      {"duplicate id", [&](std::string& f) { put32(f, entry + 12 + zol::kEntryDocId, 1); }, 415},
      {"last key byte", [&](std::string& f) { f[keys + 12] = 'h'; }, 416},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    std::string file = sound;
    d.apply(file);
    writeFile(path, file);
    EXPECT_TRUE(zolIs(verify(dir.path()), ZOL_RC_INDEX_INVALID, d.errcode));
    searchAll(dir.path(), words);
  }
  // A key outside the key area is seen by the search too.
  std::string file = sound;
  put32(file, entry + 12 + zol::kEntryKeyOffset, 1000);
  writeFile(path, file);
  void* h = nullptr;
  for (int pass = 0; pass < 2; ++pass) {  // read, then mapped
    EXPECT_TRUE(zolIs(search(&h, dir.path(), 34, "*", '*', 0).st, ZOL_RC_INDEX_INVALID, 315));
  }
  release(&h);

  // Every single flipped bit, low or high, is detected.
  for (size_t i = 0; i < sound.size(); ++i) {
    for (uint8_t mask : {uint8_t{0x01}, uint8_t{0x80}}) {
      file = sound;
      file[i] = static_cast<char>(file[i] ^ mask);
      writeFile(path, file);
      EXPECT_TRUE(zolIs(verify(dir.path()), ZOL_RC_INDEX_INVALID)) << "byte " << i;
      searchAll(dir.path(), words);
    }
  }
  std::filesystem::remove(path);
  EXPECT_TRUE(zolIs(verify(dir.path()), ZOL_RC_INDEX_NOT_EXIST));
  EXPECT_TRUE(zolIs(search(&h, dir.path(), 34, "ant").st, ZOL_RC_INDEX_NOT_EXIST));
  release(&h);
}

}  // namespace
