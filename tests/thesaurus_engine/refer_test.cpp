// First checks of term lookup on a compiled dictionary: related terms breadth-first with their
// depths and strengths, a missing term, and the kept search context.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/dict_model.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

CNETTERM termOf(const std::string& text) {
  CNETTERM t{};
  std::memcpy(t.text, text.data(), text.size());
  t.length = static_cast<uint16_t>(text.size());
  t.weight = 100;
  return t;
}

std::vector<std::string> lookup(const TempDir& dir, void** cache, const std::string& word,
                                int32_t depth, CNETSTATUS* st) {
  CNETTERM term = termOf(word);
  CNETCOND cond{};
  cond.relations = CNET_REL_SYNONYM | CNET_REL_RELATED;
  cond.maxTerms = 10;
  cond.maxDepth = depth;
  cond.minStrength = 1;
  std::vector<CNETRESENT> entries(10);
  CNETRESULT result{entries.data(), 0};
  zolCNETrefer(cache, "thes", dir.c_str(), &term, &cond, 0, &result, st);
  std::vector<std::string> out;
  for (uint32_t i = 0; i < result.count; ++i) {
    const CNETRESENT& e = entries[i];
    out.push_back(std::string(e.text, e.length) + " " + std::to_string(e.depth) + " " +
                  std::to_string(e.strength));
  }
  return out;
}

TEST(ReferSmoke, RelatedTermsBreadthFirst) {
  TempDir dir;
  ASSERT_OK(testsupport::compileText(dir.path(), "thes",
                                     ":WORDS:SYNONYM\ncar\nauto :80\n"
                                     ":WORDS\nauto\n.RELATED_TO garage :50\n"));
  void* cache = nullptr;
  CNETSTATUS st = testsupport::clearStatus();
  std::vector<std::string> got = lookup(dir, &cache, "Car", 2, &st);
  ASSERT_OK(st);
  // The input word is not returned; auto keeps its first strength (80) in the second block,
  // so garage is reached with ((50 - 1) x 79) / 99 + 1 = 40.
  EXPECT_EQ(got, (std::vector<std::string>{"auto 1 80", "garage 2 40"}));
  EXPECT_EQ(lookup(dir, &cache, "car", 0, &st), std::vector<std::string>{});
  EXPECT_OK(st);
  EXPECT_EQ(lookup(dir, &cache, "car", 1, &st), std::vector<std::string>{"auto 1 80"});
  EXPECT_NE(cache, nullptr);
  lookup(dir, &cache, "bus", 2, &st);
  EXPECT_EQ(st.retcode, CNET_NOT_FOUND);
  st = testsupport::clearStatus();
  zolCNETrefer_Release(&cache, &st);
  EXPECT_OK(st);
  EXPECT_EQ(cache, nullptr);
}

}  // namespace
