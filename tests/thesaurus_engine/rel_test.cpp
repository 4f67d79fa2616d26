// Relation model: reverse, validity, descriptors, filters and the order of relation entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/temp_dir.h"
#include "thesaurus_engine/cnet.h"

namespace {

REL rel(uint8_t c, uint8_t id) {
  return REL{c, id};
}

bool same(const REL& a, const REL& b) {
  return a.category == b.category && a.id == b.id;
}

CNETRELENT entry(uint32_t target, uint8_t c, uint8_t id, uint8_t strength) {
  return CNETRELENT{target, REL{c, id}, strength, 0};
}

TEST(Relation, ReverseAndValidity) {
  const struct {
    REL in, out;
  } reverse[] = {{rel(3, 2), rel(3, 2)},
                 {rel(1, 1), rel(2, 1)},
                 {rel(2, 200), rel(1, 200)},
                 {rel(255, 0), rel(255, 0)},
                 {rel(0, 0), rel(0, 0)}};
  for (const auto& c : reverse) {
    REL out;
    cnetRelReverse(&out, &c.in);
    EXPECT_TRUE(same(out, c.out)) << int(c.in.category) << "," << int(c.in.id);
  }

  for (REL ok : {rel(255, 0), rel(0, 0), rel(3, 128), rel(1, 255), rel(2, 2), rel(3, 1)}) {
    EXPECT_EQ(cnetRelValid(&ok), 1) << int(ok.category) << "," << int(ok.id);
  }
  for (REL bad : {rel(4, 1), rel(3, 3), rel(3, 127), rel(254, 1), rel(1, 100)}) {
    EXPECT_EQ(cnetRelValid(&bad), 0) << int(bad.category) << "," << int(bad.id);
  }

  REL a = rel(1, 200), b = rel(2, 1), c = rel(1, 1);
  EXPECT_LT(cnetRelCmp(&a, &b), 0);
  EXPECT_GT(cnetRelCmp(&a, &c), 0);
  EXPECT_EQ(cnetRelCmp(&a, &a), 0);
}

TEST(Relation, DescriptorOfEveryFamily) {
  const struct {
    REL in;
    uint8_t type, number;
  } cases[] = {{rel(3, 1), 1, 0},   {rel(3, 2), 2, 0},   {rel(1, 1), 3, 0},
               {rel(2, 1), 4, 0},   {rel(3, 128), 5, 1}, {rel(1, 255), 6, 128},
               {rel(2, 130), 7, 3}, {rel(255, 0), 0, 0}, {rel(0, 0), 0, 0}};
  for (const auto& c : cases) {
    RELATION out;
    std::memset(&out, 0xAB, sizeof out);
    cnetRelConvert_REL_RELATION(&out, &c.in);
    EXPECT_EQ(out.type, c.type) << int(c.in.category) << "," << int(c.in.id);
    EXPECT_EQ(out.number, c.number) << int(c.in.category) << "," << int(c.in.id);
    for (uint8_t byte : out.reserved)
      EXPECT_EQ(byte, 0);
  }
}

TEST(Relation, BitsAreNumberedFromOneMostSignificantFirst) {
  uint8_t set[32] = {};
  for (uint32_t bit : {1u, 8u, 9u, 256u})
    cnetSetBit(set, bit);
  EXPECT_EQ(std::vector<int>({set[0], set[1], set[31]}), std::vector<int>({0x81, 0x80, 0x01}));
  for (uint32_t bit = 0; bit <= 257; ++bit)
    EXPECT_EQ(cnetCheckBit(set, bit) != 0, bit == 1 || bit == 8 || bit == 9 || bit == 256) << bit;
  // Out-of-range bit numbers touch nothing.
  uint8_t guard[34] = {};
  cnetSetBit(guard + 1, 0);
  cnetSetBit(guard + 1, 257);
  EXPECT_EQ(cnetMemNonZero(guard, sizeof guard), nullptr);
}

// Which relations a filter made from flags, families and a list of numbered relations takes.
TEST(Relation, FilterFromFlagsAndList) {
  RELATION list[3] = {};
  list[0].type = 5;  // single numbered relations, one per family
  list[0].number = 1;
  list[1].type = 6;
  list[1].number = 128;
  list[2].type = 7;
  list[2].number = 64;
  const struct {
    uint8_t relations, families;
    int32_t count;
    std::vector<REL> in, out;
  } cases[] = {
      {0,
       CNET_USER_SYMMETRIC,
       0,
       {rel(3, 128), rel(3, 255)},
       {rel(3, 2), rel(3, 127), rel(1, 128)}},
      {CNET_REL_HIGHER, 0, 0, {rel(1, 1)}, {rel(2, 1)}},
      // Categories other than 1 and 3 are tested against the third set.
      {CNET_REL_SYNONYM | CNET_REL_RELATED | CNET_REL_LOWER,
       CNET_USER_LOWER,
       0,
       {rel(3, 1), rel(3, 2), rel(2, 1), rel(2, 200), rel(255, 1)},
       {rel(1, 1)}},
      {0, 0, 3, {rel(3, 128), rel(1, 255), rel(2, 191)}, {rel(3, 129), rel(2, 255), rel(3, 1)}},
  };
  for (const auto& c : cases) {
    CNETSTATUS st = testsupport::clearStatus();
    RELSET set;
    cnetRelConvert(c.relations, c.families, c.count, list, &set, &st);
    EXPECT_OK(st);
    for (const REL& r : c.in)
      EXPECT_NE(cnetRelSame(set, r), 0u) << int(r.category) << "," << int(r.id);
    for (const REL& r : c.out)
      EXPECT_EQ(cnetRelSame(set, r), 0u) << int(r.category) << "," << int(r.id);
  }
}

TEST(Relation, BadListEntriesStopWithTheirLocation) {
  RELSET set;
  RELATION list[2] = {};
  const struct {
    uint8_t type, number;
    uint32_t errcode;
  } bad[] = {{1, 5, 4310}, {5, 0, 4309}, {9, 200, 4309}, {8, 3, 4310}, {5, 129, 4309}};
  for (const auto& b : bad) {
    CNETSTATUS st = testsupport::clearStatus();
    list[0] = RELATION{};
    list[0].type = 5;
    list[0].number = 2;
    list[1] = RELATION{};
    list[1].type = b.type;
    list[1].number = b.number;
    cnetRelConvert(CNET_REL_SYNONYM, 0, 2, list, &set, &st);
    EXPECT_STATUS(st, 503u, b.errcode);
    // Bits set before the failure stay.
    EXPECT_NE(cnetRelSame(set, rel(3, 129)), 0u);
    EXPECT_NE(cnetRelSame(set, rel(3, 1)), 0u);
  }
  // A count below 1 ignores the list.
  CNETSTATUS st = testsupport::clearStatus();
  cnetRelConvert(0, 0, -1, list, &set, &st);
  EXPECT_OK(st);
}

int qsortCmp(const void* a, const void* b) {
  return cnetWdvRelCmp(static_cast<const CNETRELENT*>(a), static_cast<const CNETRELENT*>(b));
}

TEST(Relation, EntriesSortByTargetRelationAndStrength) {
  std::vector<CNETRELENT> v = {entry(9, 3, 1, 50), entry(2, 3, 2, 100), entry(9, 1, 1, 10),
                               entry(9, 3, 1, 20), entry(2, 255, 0, 5), entry(2, 3, 130, 1),
                               entry(0, 2, 1, 100)};
  std::qsort(v.data(), v.size(), sizeof v[0], qsortCmp);
  const CNETRELENT want[] = {entry(0, 2, 1, 100), entry(2, 3, 2, 100), entry(2, 3, 130, 1),
                             entry(2, 255, 0, 5), entry(9, 1, 1, 10),  entry(9, 3, 1, 20),
                             entry(9, 3, 1, 50)};
  ASSERT_EQ(v.size(), std::size(want));
  for (size_t i = 0; i < v.size(); ++i)
    EXPECT_EQ(cnetWdvRelCmp(&v[i], &want[i]), 0) << i;
  CNETRELENT a = entry(5, 3, 1, 50), b = entry(5, 3, 1, 51);
  EXPECT_LT(cnetWdvRelCmp(&a, &b), 0);
  EXPECT_GT(cnetWdvRelCmp(&b, &a), 0);
}

TEST(Relation, InconsistentHigherAndLowerTowardsOneTarget) {
  // Word 9 above target 7 and also below it, or word 5 likewise: which entry is wrong.
  const CNETRELENT higher = entry(7, 1, 1, 100), lower = entry(7, 2, 130, 100);
  const struct {
    uint32_t word;
    CNETRELENT a, b;
    int verdict;
  } cases[] = {{9, higher, lower, 1},
               {9, lower, higher, -1},
               {5, higher, lower, -1},
               {5, lower, higher, 1},
               {9, higher, entry(8, 2, 1, 100), 0},  // another target
               {9, higher, entry(7, 3, 1, 100), 0},  // a symmetric relation
               {9, higher, entry(7, 1, 200, 100), 0}};
  for (const auto& c : cases)
    EXPECT_EQ(cnetWdvRelInvalid(c.word, &c.a, &c.b), c.verdict) << (&c - cases);
}

}  // namespace
