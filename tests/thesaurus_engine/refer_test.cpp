// Term lookup on compiled dictionaries: breadth-first order, shortest depths, parents, strength
// thresholds, limits, numbered relations, wildcard hits, top terms, the entry checks and the
// three ways of keeping the search context.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cnet_os_cache.h"
#include "support/dict_model.h"
#include "support/temp_dir.h"

namespace {

using testsupport::condOf;
using testsupport::TempDir;
using testsupport::termOf;

// A dictionary in a fresh directory, and lookups on it that render each entry as
// "text depth strength type.number parent".
class Refer : public ::testing::Test {
 protected:
  void compile(const std::string& text) {
    ASSERT_OK(testsupport::compileText(dir_.path(), "thes", text));
  }

  std::vector<std::string> run(const CNETTERM* term, const CNETCOND& cond, void** cell = nullptr) {
    entries_.assign(cond.maxTerms + 1, CNETRESENT{});
    for (CNETRESENT& e : entries_)
      std::memset(&e, 0xAB, sizeof e);
    CNETRESULT result{entries_.data(), 0};
    status_ = testsupport::clearStatus();
    zolCNETrefer(cell, "thes", dir_.c_str(), term, &cond, 0, &result, &status_);
    std::vector<std::string> out;
    for (uint32_t i = 0; i < result.count; ++i) {
      const CNETRESENT& e = entries_[i];
      out.push_back(std::string(e.text, e.length) + " " + std::to_string(e.depth) + " " +
                    std::to_string(e.strength) + " " + std::to_string(e.relation.type) + "." +
                    std::to_string(e.relation.number) + " " + std::to_string(e.parent));
    }
    // Nothing is written beyond the entries counted.
    EXPECT_EQ(entries_[result.count].length, 0xABABu);
    return out;
  }

  std::vector<std::string> run(const std::string& word, const CNETCOND& cond) {
    CNETTERM term = termOf(word);
    return run(&term, cond);
  }

  using Lines = std::vector<std::string>;
  TempDir dir_;
  std::vector<CNETRESENT> entries_;
  CNETSTATUS status_{};
};

TEST_F(Refer, BreadthFirstWithShortestDepthsAndParents) {
  // a - b - c - a is a cycle; c is reachable from a at depth 1 and through b at depth 2; d only
  // through b.
  compile(
      ":WORDS\na\n.RELATED_TO b\n.RELATED_TO c\n"
      ":WORDS\nb\n.RELATED_TO c\n.RELATED_TO d\n"
      ":WORDS\nc\n.RELATED_TO a\n");
  const CNETCOND cond = condOf(CNET_REL_RELATED, 10, 3);
  // The input word is a hit: not returned, but expanded. c comes once, at depth 1; d was queued
  // after b had been returned, so its parent is b's entry; c was queued before any entry.
  EXPECT_EQ(run("a", cond), (Lines{"b 1 100 2.0 -1", "c 1 100 2.0 -1", "d 2 100 2.0 0"}));
  ASSERT_OK(status_);
  // From d: b at 1, then a and c at 2 (both queued after b was returned), nothing returns to d.
  EXPECT_EQ(run("D", cond), (Lines{"b 1 100 2.0 -1", "a 2 100 2.0 0", "c 2 100 2.0 0"}));
  // Depth limits: 1 stops before d; 0 gives only hits, and the only hit is the input itself.
  EXPECT_EQ(run("a", condOf(CNET_REL_RELATED, 10, 1)), (Lines{"b 1 100 2.0 -1", "c 1 100 2.0 -1"}));
  EXPECT_EQ(run("a", condOf(CNET_REL_RELATED, 10, 0)), Lines{});
  EXPECT_OK(status_);
  EXPECT_EQ(status_.termsOmitted, 0u);
  // Relations that are not selected are not followed.
  EXPECT_EQ(run("a", condOf(CNET_REL_SYNONYM | CNET_REL_HIGHER, 10, 3)), Lines{});
  EXPECT_OK(status_);
}

TEST_F(Refer, WeakRelationsAreNotFollowed) {
  compile(":WORDS\na\n.RELATED_TO c :10\n.RELATED_TO b :90\n:WORDS\nb\n.RELATED_TO c :90\n");
  EXPECT_EQ(run("a", condOf(CNET_REL_RELATED, 10, 2, 1)),
            (Lines{"b 1 90 2.0 -1", "c 1 10 2.0 -1"}));
  // c's direct link is too weak, so it is reached through b at depth 2, with b's first
  // strength (90) combined with c's (90): 81.
  EXPECT_EQ(run("a", condOf(CNET_REL_RELATED, 10, 2, 50)),
            (Lines{"b 1 90 2.0 -1", "c 2 81 2.0 0"}));
  // A threshold equal to the strength still follows it; one above does not.
  EXPECT_EQ(run("a", condOf(CNET_REL_RELATED, 10, 2, 81)),
            (Lines{"b 1 90 2.0 -1", "c 2 81 2.0 0"}));
  EXPECT_EQ(run("a", condOf(CNET_REL_RELATED, 10, 2, 82)), Lines{"b 1 90 2.0 -1"});
  EXPECT_EQ(run("a", condOf(CNET_REL_RELATED, 10, 2, 91)), Lines{});
  EXPECT_OK(status_);
}

TEST_F(Refer, WideLevelsKeepTheirOrderAcrossQueueGrowth) {
  // hub has 300 related words, each with one related word of its own: more than two blocks of
  // 128 queued words, whose relations are taken in turn.
  auto word = [](char prefix, int i) {
    char text[16];
    std::snprintf(text, sizeof text, "%c%03d", prefix, i);
    return std::string(text);
  };
  std::string text = ":WORDS\nhub\n";
  for (int i = 0; i < 300; ++i)
    text += ".RELATED_TO " + word('n', i) + "\n";
  for (int i = 0; i < 300; ++i)
    text += ":WORDS\n" + word('n', i) + "\n.RELATED_TO " + word('c', i) + "\n";
  compile(text);
  Lines expected;
  for (int i = 0; i < 300; ++i)
    expected.push_back(word('n', i) + " 1 100 2.0 -1");
  for (int i = 0; i < 300; ++i)
    expected.push_back(word('c', i) + " 2 100 2.0 " + std::to_string(i));
  const Lines firstTwo(expected.begin(), expected.begin() + 2);
  // The same answers whether the relation lists are read from the files or from their contents
  // held in memory (from the second open on, with no wait for the files to settle).
  for (const bool held : {false, true}) {
    SCOPED_TRACE(held ? "content held" : "read from the files");
    cnetReadCacheSetLimits(64, held ? uint64_t{256} << 20 : 0, 0);
    for (int pass = 0; pass < 2; ++pass) {
      EXPECT_EQ(run("hub", condOf(CNET_REL_RELATED, 1000, 2)), expected);
      EXPECT_OK(status_);
      // A limit ends the traversal inside hub's list.
      EXPECT_EQ(run("hub", condOf(CNET_REL_RELATED, 2, 2)), firstTwo);
      EXPECT_EQ(status_.termsOmitted, 1u);
      // The relations are symmetric: from the far end the path runs back through n299 to hub.
      EXPECT_EQ(run("c299", condOf(CNET_REL_RELATED, 3, 2)),
                (Lines{"n299 1 100 2.0 -1", "hub 2 100 2.0 0"}));
    }
    CnetReadFile* data = cnetReadFileOpen((dir_.path() + "/thes.wdv").c_str());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(cnetReadFileResident(data), held);
    cnetReadFileRelease(data);
  }
  cnetReadCacheSetLimits(64, uint64_t{256} << 20);
  testsupport::dropCachedFiles();
}

TEST_F(Refer, TermLimit) {
  compile(":WORDS:SYNONYM\na\nb\nc\n");
  const Lines all = run("a", condOf(CNET_REL_SYNONYM, 2, 1));
  EXPECT_EQ(all, (Lines{"b 1 100 1.0 -1", "c 1 100 1.0 -1"}));
  EXPECT_EQ(status_.termsOmitted, 0u);
  EXPECT_EQ(run("a", condOf(CNET_REL_SYNONYM, 1, 1)), Lines{"b 1 100 1.0 -1"});
  EXPECT_OK(status_);
  EXPECT_EQ(status_.termsOmitted, 1u);
  // A limit of 0 needs no result array.
  CNETTERM term = termOf("a");
  CNETCOND cond = condOf(CNET_REL_SYNONYM, 0, 1);
  CNETRESULT result{nullptr, 7};
  status_ = testsupport::clearStatus();
  zolCNETrefer(nullptr, "thes", dir_.c_str(), &term, &cond, 0, &result, &status_);
  EXPECT_OK(status_);
  EXPECT_EQ(result.count, 0u);
  EXPECT_EQ(status_.termsOmitted, 1u);
}

TEST_F(Refer, NumberedRelationsOneByOneAndByFamily) {
  // hub is higher than up5 in relation 5 and lower than down7 in relation 7: hub's own entries
  // carry the reverse relations.
  compile(
      ":WORDS\nhub\n.RELATED_TO(3) sym3\n.RELATED_TO(4) sym4\n.HIGHER_THAN(5) up5\n"
      ".LOWER_THAN(7) down7\n.RELATED_TO plain\n");
  auto byList = [&](uint8_t type, uint8_t number) {
    RELATION r{};
    r.type = type;
    r.number = number;
    CNETCOND cond = condOf(0, 10, 1);
    cond.userCount = 1;
    cond.userList = &r;
    return run("hub", cond);
  };
  EXPECT_EQ(byList(CNET_RELTYPE_USER_SYMMETRIC, 3), Lines{"sym3 1 100 5.3 -1"});
  EXPECT_EQ(byList(CNET_RELTYPE_USER_SYMMETRIC, 4), Lines{"sym4 1 100 5.4 -1"});
  EXPECT_EQ(byList(CNET_RELTYPE_USER_LOWER, 5), Lines{"up5 1 100 7.5 -1"});
  EXPECT_EQ(byList(CNET_RELTYPE_USER_HIGHER, 7), Lines{"down7 1 100 6.7 -1"});
  EXPECT_EQ(byList(CNET_RELTYPE_USER_HIGHER, 5), Lines{});
  EXPECT_EQ(byList(CNET_RELTYPE_USER_SYMMETRIC, 128), Lines{});
  EXPECT_OK(status_);

  CNETCOND family = condOf(0, 10, 1);
  family.userFamilies = CNET_USER_SYMMETRIC;
  EXPECT_EQ(run("hub", family), (Lines{"sym3 1 100 5.3 -1", "sym4 1 100 5.4 -1"}));
  family.userFamilies = CNET_USER_HIGHER | CNET_USER_LOWER;
  EXPECT_EQ(run("hub", family), (Lines{"down7 1 100 6.7 -1", "up5 1 100 7.5 -1"}));
  // The named relation 'related' is not its numbered relatives.
  EXPECT_EQ(run("hub", condOf(CNET_REL_RELATED, 10, 1)), Lines{"plain 1 100 2.0 -1"});

  // A bad list entry stops the lookup with the converter's status (its cases: rel_test.cpp).
  byList(CNET_RELTYPE_RELATED, 1);
  EXPECT_STATUS(status_, CNET_PARAMETER, 4310u);
}

TEST_F(Refer, WildcardHitsComeFirstAtDepthZero) {
  compile(
      ":WORDS\ncart\n.RELATED_TO wheel\n:WORDS\ncar\n.RELATED_TO road\n"
      ":WORDS\ncab\n.RELATED_TO taxi\n");
  CNETTERM term = termOf("car*");
  term.options[0] = '*';
  // Hits in word id order with the engine's rank, parent 0 and no relation; then their related
  // words, each with the entry of the hit it came from as parent.
  EXPECT_EQ(
      run(&term, condOf(CNET_REL_RELATED, 10, 1)),
      (Lines{"cart 0 100 0.0 0", "car 0 100 0.0 0", "wheel 1 100 2.0 0", "road 1 100 2.0 1"}));
  EXPECT_OK(status_);
  term = termOf("ca?");
  term.options[1] = '?';
  EXPECT_EQ(run(&term, condOf(CNET_REL_RELATED, 10, 0)),
            (Lines{"car 0 100 0.0 0", "cab 0 100 0.0 0"}));
  // The same word without its wildcard option is looked up literally.
  run("car*", condOf(CNET_REL_RELATED, 10, 1));
  EXPECT_STATUS(status_, CNET_NOT_FOUND, 4212u);
}

TEST_F(Refer, TopTerms) {
  // car is lower than vehicle; of the synonyms auto and car only the lower id (auto) is listed.
  // tree is higher than oak; of the related bush and hedge only bush (the lower id) is listed.
  compile(
      ":WORDS:SYNONYM\ncar\nauto\n:WORDS\ncar\n.LOWER_THAN vehicle\n"
      ":WORDS\ntree\n.HIGHER_THAN oak\n:WORDS\nbush\n.RELATED_TO hedge\n");
  CNETCOND cond = condOf(0, 10, 0);
  EXPECT_EQ(run(nullptr, cond),
            (Lines{"auto 0 0 0.0 -1", "vehicle 0 0 0.0 -1", "tree 0 0 0.0 -1", "bush 0 0 0.0 -1"}));
  EXPECT_OK(status_);
  // Each listed entry is cleared first: only text, length and parent (-1) are set.
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(&entries_[0]);
  for (size_t i = entries_[0].length; i < sizeof(CNETRESENT); ++i) {
    if (i == 192) continue;  // length
    EXPECT_EQ(raw[i], i >= 224 && i < 228 ? 0xFF : 0) << i;
  }
  cond.maxTerms = 2;
  EXPECT_EQ(run(nullptr, cond), (Lines{"auto 0 0 0.0 -1", "vehicle 0 0 0.0 -1"}));
  EXPECT_OK(status_);
  EXPECT_EQ(status_.termsOmitted, 2u);
  // A related-term lookup writes only its fields: the caller's reserved bytes stay.
  run("car", condOf(CNET_REL_SYNONYM, 10, 1));
  EXPECT_EQ(entries_[0].reserved2[0], 0xAB);
  EXPECT_EQ(entries_[0].reserved1[0], 0xAB);
  // The top-term condition allows no relations, depth or list.
  cond.maxDepth = 1;
  run(nullptr, cond);
  EXPECT_STATUS(status_, CNET_PARAMETER, 4209u);
}

TEST_F(Refer, EntryChecks) {
  compile(":WORDS:SYNONYM\ncar\nauto\n");
  const CNETCOND cond = condOf(CNET_REL_SYNONYM, 10, 1);
  CNETTERM term = termOf("car");
  CNETRESENT entries[10];
  CNETRESULT result{entries, 0};
  auto call = [&](const char* name, const CNETTERM* t, const CNETCOND* c, int32_t reserved,
                  CNETRESULT* r) {
    status_ = testsupport::clearStatus();
    zolCNETrefer(nullptr, name, dir_.c_str(), t, c, reserved, r, &status_);
    return status_;
  };
  EXPECT_STATUS(call("", &term, &cond, 0, &result), CNET_NAME_LENGTH, 4204u);
  EXPECT_STATUS(call("thes", &term, nullptr, 0, &result), CNET_PARAMETER, 4205u);
  EXPECT_STATUS(call("thes", &term, &cond, 0, nullptr), CNET_PARAMETER, 4205u);
  EXPECT_STATUS(call("thes", &term, &cond, 1, &result), CNET_RESERVED, 4207u);
  CNETTERM reservedTerm = term;
  reservedTerm.reserved[9] = 1;
  EXPECT_STATUS(call("thes", &reservedTerm, &cond, 0, &result), CNET_RESERVED, 4207u);
  CNETCOND reservedCond = cond;
  reservedCond.reserved1[14] = 1;
  EXPECT_STATUS(call("thes", &term, &reservedCond, 0, &result), CNET_RESERVED, 4207u);
  EXPECT_STATUS(call("other", &term, &cond, 0, &result), CNET_NOT_EXIST, 4208u);
  CNETTERM bad = term;
  bad.length = 65;
  EXPECT_STATUS(call("thes", &bad, &cond, 0, &result), CNET_PARAMETER, 4210u);
  bad.length = 0;
  EXPECT_STATUS(call("thes", &bad, &cond, 0, &result), CNET_PARAMETER, 4210u);
  bad = term;
  bad.weight = 99;
  EXPECT_STATUS(call("thes", &bad, &cond, 0, &result), CNET_PARAMETER, 4210u);
  EXPECT_STATUS(call("thes", &term, &cond, 0, &result), 0u, 0u);
  EXPECT_EQ(result.count, 1u);
  // A word that folds to a known word is found; an unknown word is 552.
  CNETTERM upper = termOf("AUTO");
  EXPECT_STATUS(call("thes", &upper, &cond, 0, &result), 0u, 0u);
  ASSERT_EQ(result.count, 1u);
  EXPECT_EQ(std::string(entries[0].text, entries[0].length), "car");
  CNETTERM unknown = termOf("bus");
  EXPECT_STATUS(call("thes", &unknown, &cond, 0, &result), CNET_NOT_FOUND, 4212u);
  EXPECT_EQ(result.count, 0u);
}

TEST_F(Refer, SearchContextCells) {
  compile(":WORDS:SYNONYM\ncar\nauto :80\n:WORDS\nauto\n.RELATED_TO garage :50\n");
  const CNETCOND cond = condOf(CNET_REL_SYNONYM | CNET_REL_RELATED, 10, 2);
  CNETTERM term = termOf("Car");
  // auto's own strength is its first one (80): combined with garage's 50 that gives 40; from
  // garage (own 50) to auto's occurrence in the second block (100) it is 50.
  const Lines expected{"auto 1 80 1.0 -1", "garage 2 40 2.0 0"};
  // No cell: a temporary context per call.
  EXPECT_EQ(run(&term, cond, nullptr), expected);
  ASSERT_OK(status_);
  // A cell holding null gets a context, which later lookups reuse.
  void* cell = nullptr;
  EXPECT_EQ(run(&term, cond, &cell), expected);
  ASSERT_NE(cell, nullptr);
  void* const kept = cell;
  CNETTERM other = termOf("garage");
  EXPECT_EQ(run(&other, cond, &cell), (Lines{"auto 1 50 2.0 -1", "car 2 80 1.0 0"}));
  EXPECT_EQ(run(&term, cond, &cell), expected);
  EXPECT_EQ(cell, kept);
  // A failed lookup keeps the context for release.
  CNETTERM unknown = termOf("bus");
  run(&unknown, cond, &cell);
  EXPECT_STATUS(status_, CNET_NOT_FOUND, 4212u);
  EXPECT_EQ(cell, kept);
  status_ = testsupport::clearStatus();
  zolCNETrefer_Release(&cell, &status_);
  EXPECT_OK(status_);
  EXPECT_EQ(cell, nullptr);
  zolCNETrefer_Release(&cell, &status_);
  zolCNETrefer_Release(nullptr, &status_);
  EXPECT_OK(status_);
}

}  // namespace
