// The lookup object: the CCSID mapping, its defaults, relation settings, the term check before
// the engine, name limits, and the settings that a top-term listing leaves behind.
#include "tyk_cnet/tyk_thesaurus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/dict_model.h"
#include "support/temp_dir.h"
#include "support/thrown.h"
#include "tyk_cnet/tyk_context.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_thes_output.h"

namespace {

using testsupport::TempDir;

using testsupport::thrownBy;

std::unique_ptr<TykClThesOutputList> newList(TykClErrorInfo& info, uint32_t capacity) {
  std::unique_ptr<TykClThesOutputList> list(
      new TykClThesOutputList(TYK_LIST_TYPE_THES_OUTPUT, info));
  list->setResultStore(new TykClThesOutput(capacity));
  list->init();
  return list;
}

std::vector<std::string> texts(const TykClThesOutputList& list) {
  std::vector<std::string> out;
  const TykClThesOutput* store = list.getResultStore();
  for (uint32_t i = 0; i < store->getCount(); ++i)
    out.emplace_back(store->getEntry(i)->text, store->getEntry(i)->length);
  return out;
}

class Thesaurus : public ::testing::Test {
 protected:
  TempDir dir_;
  TykClErrorInfo info_;
  TykClContext context_{info_};
};

TEST(TykCcsid, MapsEverySupportedCcsidAndRejectsTheRest) {
  const std::vector<std::pair<uint16_t, uint8_t>> table = {
      {932, 1},   {942, 1},   {943, 1},   {5039, 1},  {950, 2},   {949, 3},   {970, 3},
      {1363, 3},  {850, 5},   {819, 7},   {1252, 8},  {1381, 9},  {1383, 9},  {1386, 9},
      {1250, 16}, {1251, 17}, {1253, 18}, {1254, 19}, {1255, 20}, {1256, 21}, {1257, 22},
      {1258, 23}, {874, 24},  {1208, 34}, {954, 35}};
  for (const auto& [ccsid, codePage] : table)
    EXPECT_EQ(map2ZOLCCSID(ccsid), codePage) << ccsid;
  for (uint16_t bad : {0, 1200, 13488, 1249, 1259, 37, 65535}) {
    // The flat API's creation test checks the whole record of a refused CCSID.
    EXPECT_EQ(thrownBy([&] { map2ZOLCCSID(bad); }).getReasonCode(), TYK_REASON_INVALID_CCSID);
  }
}

TEST_F(Thesaurus, DefaultsAndNameLimits) {
  TykClThesaurus thesaurus("/some/dir", "thes", 1208, 25, context_);
  EXPECT_EQ(thesaurus.getLastListCount(), 0u);  // no list yet

  // 260 characters fit (261 are refused: the flat API's creation tests give their reasons).
  const std::string fits(260, 'd'), tooLong(261, 'd');
  TykClThesaurus longest(fits.c_str(), fits.c_str(), 943, 1, context_);
  EXPECT_EQ(std::string(longest.getDirectories()), fits);
  EXPECT_EQ(std::string(longest.getName()), fits);
  // The CCSID is checked first.
  TykClException ccsid =
      thrownBy([&] { TykClThesaurus t(tooLong.c_str(), "n", 1200, 1, context_); });
  EXPECT_EQ(ccsid.getReasonCode(), TYK_REASON_INVALID_CCSID);
  EXPECT_EQ(thrownBy([&] { TykClThesaurus t(nullptr, "n", 1208, 1, context_); }).getReasonCode(),
            TYK_REASON_INVALID_PARAMETER);
}

TEST_F(Thesaurus, RelationsAccumulateAndTheListGrows) {
  TykClThesaurus thesaurus("d", "thes", 1208, 10, context_);
  thesaurus.addRelation(TYK_THES_SYNONYM, 0);
  thesaurus.addRelation(TYK_THES_NARROWER, 0);
  EXPECT_EQ(thesaurus.getCondition().relations, 0x90);
  const unsigned families[] = {TYK_THES_RELATED, TYK_THES_BROADER, TYK_THES_NARROWER};
  const uint8_t kinds[] = {CNET_RELTYPE_USER_SYMMETRIC, CNET_RELTYPE_USER_HIGHER,
                           CNET_RELTYPE_USER_LOWER};
  for (unsigned short n = 1; n <= 25; ++n) {
    thesaurus.addRelation(families[n % 3], static_cast<unsigned short>(n * 5));
    const uint32_t expected = n <= 10 ? 10u : n <= 20 ? 20u : 30u;
    EXPECT_EQ(thesaurus.getRelationCapacity(), expected) << n;
  }
  ASSERT_EQ(thesaurus.getCondition().userCount, 25u);
  EXPECT_EQ(thesaurus.getCondition().userList, thesaurus.getRelations());
  for (unsigned n = 1; n <= 25; ++n) {
    const RELATION& r = thesaurus.getRelations()[n - 1];
    EXPECT_EQ(r.type, kinds[n % 3]) << n;
    EXPECT_EQ(r.number, n * 5) << n;
  }

  // 128 is the highest number (the flat API's settings test refuses 129 and adds nothing).
  thesaurus.addRelation(TYK_THES_RELATED, 128);
  EXPECT_EQ(thesaurus.getCondition().userCount, 26u);

  // Family 0 with a number starts the settings over and leaves one entry of kind 0.
  thesaurus.getCondition().minStrength = 40;
  thesaurus.addRelation(0, 7);
  const CNETCOND& c = thesaurus.getCondition();
  EXPECT_EQ(c.relations | c.maxTerms | c.minStrength, 0u);
  EXPECT_EQ(c.maxDepth, 0);
  ASSERT_EQ(c.userCount, 1u);
  EXPECT_EQ(thesaurus.getRelations()[0].type, 0);
  EXPECT_EQ(thesaurus.getRelations()[0].number, 7);
  EXPECT_EQ(thesaurus.getRelations()[1].number, 0);
}

TEST_F(Thesaurus, TermLengthIsCheckedBeforeTheEngine) {
  const std::string word64(64, 'q');
  ASSERT_OK(
      testsupport::compileText(dir_.path(), "thes", ":WORDS:SYNONYM\n" + word64 + "\nshort\n"));
  TykClThesaurus thesaurus(dir_.c_str(), "thes", 1208, 10, context_);
  thesaurus.addRelation(TYK_THES_SYNONYM, 0);
  auto list = newList(info_, 10);
  thesaurus.process(word64.data(), 64, list.get());
  EXPECT_EQ(texts(*list), std::vector<std::string>{"short"});
  EXPECT_EQ(thesaurus.getLastListCount(), 1u);

  // A missing dictionary would give reason 100: 343 shows the engine was not reached.
  TykClThesaurus missing(dir_.file("none").c_str(), "thes", 1208, 10, context_);
  const std::string word65(65, 'q');
  auto other = newList(info_, 10);
  TykClException e = thrownBy([&] { missing.process(word65.data(), 65, other.get()); });
  EXPECT_EQ(e.getReasonCode(), TYK_REASON_TERM_TOO_LONG);
  EXPECT_EQ(e.getLine(), 133u);
  EXPECT_EQ(other->getNumberOfElements(), 0u);
  EXPECT_EQ(thrownBy([&] { missing.process("short", 5, other.get()); }).getReasonCode(),
            TYK_REASON_NOT_EXISTING);
  // No list is a bad argument, not a crash (no term text: the flat API's lookup test).
  EXPECT_EQ(thrownBy([&] { thesaurus.process("short", 5, nullptr); }).getReasonCode(),
            TYK_REASON_INVALID_PARAMETER);
}

TEST_F(Thesaurus, TopTermsClearTheRelationSettingsForLaterLookups) {
  ASSERT_OK(testsupport::compileText(dir_.path(), "thes",
                                     ":WORDS:SYNONYM\ncar\nauto\n:WORDS\ncar\n.LOWER_THAN vehicle\n"
                                     ":WORDS\ntree\n.HIGHER_THAN oak\n"));
  TykClThesaurus thesaurus(dir_.c_str(), "thes", 1208, 10, context_);
  thesaurus.addRelation(TYK_THES_SYNONYM, 0);
  thesaurus.addRelation(TYK_THES_RELATED, 3);
  thesaurus.getCondition().userFamilies = TYK_THES_RELATED;
  thesaurus.getTerm().options[0] = '*';
  auto before = newList(info_, 10);
  thesaurus.process("car", 3, before.get());
  EXPECT_EQ(texts(*before), std::vector<std::string>{"auto"});

  auto top = newList(info_, 10);
  thesaurus.processHighestTerms(top.get());
  // Of the synonyms only the lower-numbered auto is listed; car and oak have broader terms.
  EXPECT_EQ(texts(*top), (std::vector<std::string>{"auto", "vehicle", "tree"}));
  EXPECT_EQ(top->getResultStore()->getEntry(0)->parent, -1);
  const CNETCOND& c = thesaurus.getCondition();
  EXPECT_EQ(c.relations | c.userFamilies | c.userCount | c.maxDepth, 0u);
  EXPECT_EQ(thesaurus.getTerm().options[0], 0);
  EXPECT_EQ(thesaurus.getTerm().weight, 100);

  auto after = newList(info_, 10);
  thesaurus.process("car", 3, after.get());
  EXPECT_TRUE(after->isEmpty());
  EXPECT_FALSE(thesaurus.isTruncated());

  // A limit below the number of top terms truncates.
  auto small = newList(info_, 1);
  thesaurus.processHighestTerms(small.get());
  EXPECT_EQ(small->getNumberOfElements(), 1u);
  EXPECT_TRUE(thesaurus.isTruncated());
  EXPECT_EQ(thesaurus.getLastListCount(), 1u);
  small.reset();
  EXPECT_EQ(thesaurus.getLastListCount(), 0u);
}

}  // namespace
