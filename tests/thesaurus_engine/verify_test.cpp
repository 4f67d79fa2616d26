// Verification of compiled dictionaries: the console output, the entry checks, and the location
// number of each consistency check on dictionaries damaged by editing their files.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "support/dict_model.h"
#include "support/temp_dir.h"

namespace {

using testsupport::DictModel;
using testsupport::TempDir;

constexpr char kDefinition[] =
    ":WORDS:SYNONYM\ncar\nauto:80\n.HIGHER_THAN vehicle:70\n.RELATED_TO(3) road:60\n"
    ":WORDS:RELATED(5)\nroad\nlane\n.LOWER_THAN transport\n"
    ":WORDS\nvehicle\ntransport:50\n.SYNONYM_OF(2) conveyance\n";

// Members are public: the damage cases of the table reach them through a Verify*.
class Verify : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_OK(testsupport::compileText(dir_.path(), "thes", kDefinition));
    ASSERT_EQ(testsupport::loadDictionary(dir_.path(), "thes", &m_), "");
    car_ = m_.wordId("car");
    ASSERT_GE(car_, 0);
    ASSERT_GE(m_.words[car_].rels.size(), 2u);
  }

  std::string path(const std::string& ext) const { return dir_.file("thes." + ext); }
  void edit(const std::string& ext, const std::function<void(std::string*)>& f) {
    std::string s = testsupport::readFile(path(ext));
    f(&s);
    testsupport::writeFile(path(ext), s);
  }
  void putByte(const std::string& ext, uint64_t at, uint8_t v) {
    edit(ext, [&](std::string* s) { s->at(at) = static_cast<char>(v); });
  }
  void put32(const std::string& ext, uint64_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      putByte(ext, at + i, static_cast<uint8_t>(v >> (24 - 8 * i)));
  }
  // Byte positions in "wdv" of group i and relation i of word w, and in "grv" of entry i of g.
  uint64_t wordGroup(int w, uint32_t i) const {
    const auto& word = m_.words[w];
    return word.offset + ((word.textLength + 3) & ~3u) + 4 * i;
  }
  uint64_t wordRel(int w, uint32_t i) const { return wordGroup(w, m_.words[w].groupCount) + 8 * i; }
  uint64_t entry(int g, uint32_t i) const { return m_.groups[g].offset + 8 * i; }

  CNETSTATUS verify(uint16_t flags = 0, std::string* out = nullptr) {
    CNETEXEC exec{};
    exec.flags = flags;
    CNETSTATUS st = testsupport::clearStatus();
    if (out != nullptr) testing::internal::CaptureStdout();
    zolCNETverify("thes", dir_.c_str(), &exec, 0, 0, &st);
    if (out != nullptr) *out = testing::internal::GetCapturedStdout();
    return st;
  }

  TempDir dir_;
  DictModel m_;
  int car_ = -1;
};

TEST_F(Verify, SoundDictionaryPrintsStartPercentagesAndEnd) {
  std::string out;
  EXPECT_OK(verify(CNET_EXEC_PROGRESS, &out));
  EXPECT_TRUE(
      std::regex_search(out, std::regex("^... ... .. ..:..:.. ....: Verify start\\.\\.\\.\n")));
  EXPECT_TRUE(out.ends_with("Verify end\n")) << out;
  // One counter before every record of the four passes, then the total.
  const uint64_t w = m_.wordCount, g = m_.groupCount, total = 5 * w + 4 * g;
  std::vector<uint64_t> steps;
  for (uint64_t i = 0; i < g; ++i)
    steps.push_back(i);
  for (uint64_t i = 0; i < w; ++i)
    steps.push_back(g + 2 * i);
  for (uint64_t i = 0; i < g; ++i)
    steps.push_back(g + 2 * w + 3 * i);
  for (uint64_t i = 0; i < w; ++i)
    steps.push_back(4 * g + 2 * w + 3 * i);
  std::string expected;
  for (uint64_t s : steps)
    expected += "          " + std::to_string(s * 100 / total) + "%\r";
  expected += "          100%\r\n";
  EXPECT_NE(out.find(expected), std::string::npos) << out;

  EXPECT_EQ(verify(0, &out).retcode, 0u);
  EXPECT_EQ(out, "");
  // A failure ends the counter line and prints no end line.
  put32("wdf", 16, 1);
  EXPECT_STATUS(verify(CNET_EXEC_PROGRESS, &out), CNET_INTEGRITY, 4259);
  EXPECT_TRUE(out.ends_with("%\r\n")) << out;
}

// Records beyond the first 256 ids are marked and found like the first ones.
TEST(VerifyLarge, ThousandWordsAndGroupsVerify) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 1000; ++i)
    text += ":WORDS:SYNONYM\nw" + std::to_string(i) + "\nw" + std::to_string(i + 1) + "\n";
  ASSERT_OK(testsupport::compileText(dir.path(), "big", text));
  CNETEXEC quiet{};
  CNETSTATUS st = testsupport::clearStatus();
  zolCNETverify("big", dir.c_str(), &quiet, 0, 0, &st);
  EXPECT_OK(st);
}

TEST_F(Verify, EntryChecks) {
  CNETEXEC exec{};
  CNETSTATUS st = testsupport::clearStatus();
  const std::string longName(CNET_NAME_MAX + 1, 'n');
  zolCNETverify(longName.c_str(), dir_.c_str(), &exec, 0, 0, &st);
  EXPECT_STATUS(st, CNET_NAME_LENGTH, 4200);
  zolCNETverify("thes", dir_.c_str(), &exec, 1, 0, &st);
  EXPECT_STATUS(st, CNET_RESERVED, 4201);
  zolCNETverify("thes", dir_.c_str(), &exec, 0, 1, &st);
  EXPECT_STATUS(st, CNET_RESERVED, 4201);
  exec.flags = 0x0008;
  zolCNETverify("thes", dir_.c_str(), &exec, 0, 0, &st);
  EXPECT_STATUS(st, CNET_RESERVED, 4201);
  exec.flags = 0;
  exec.reserved[13] = 1;
  zolCNETverify("thes", dir_.c_str(), &exec, 0, 0, &st);
  EXPECT_STATUS(st, CNET_RESERVED, 4201);
  exec.reserved[13] = 0;
  zolCNETverify("none", dir_.c_str(), &exec, 0, 0, &st);
  EXPECT_STATUS(st, CNET_NOT_EXIST, 4253);
}

// Each case damages a freshly compiled dictionary. Recompiling for the next case also shows that
// the failed verification released its read lock.
TEST_F(Verify, DamageGivesTheLocationOfTheFailedCheck) {
  struct Case {
    const char* what;
    std::function<void(Verify*)> damage;
    uint32_t retcode, errcode;
  };
  const Case cases[] = {
      {"absent groups", [](Verify* t) { t->put32("wdf", 20, 1); }, CNET_INTEGRITY, 4256},
      {"absent words", [](Verify* t) { t->put32("wdf", 16, 1); }, CNET_INTEGRITY, 4259},
      {"max members", [](Verify* t) { t->put32("wdf", 32, t->m_.maxGroupMembers - 1); },
       CNET_INTEGRITY, 4260},
      {"max group rels", [](Verify* t) { t->put32("wdf", 36, t->m_.maxGroupRels - 1); },
       CNET_INTEGRITY, 4261},
      {"block rel", [](Verify* t) { t->putByte("grf", 16, 9); }, CNET_INTEGRITY, 4262},
      {"entry word", [](Verify* t) { t->put32("grv", t->entry(0, 0), t->m_.wordCount); },
       CNET_INTEGRITY, 4263},
      {"entry strength", [](Verify* t) { t->putByte("grv", t->entry(0, 0) + 4, 0); },
       CNET_INTEGRITY, 4264},
      {"entry rel", [](Verify* t) { t->putByte("grv", t->entry(0, 0) + 6, 4); }, CNET_INTEGRITY,
       4265},
      {"member becomes relation entry", [](Verify* t) { t->putByte("grv", t->entry(0, 0) + 6, 3); },
       CNET_INTEGRITY, 4278},
      {"max word groups", [](Verify* t) { t->put32("wdf", 24, t->m_.maxWordGroups - 1); },
       CNET_INTEGRITY, 4266},
      {"max word rels", [](Verify* t) { t->put32("wdf", 28, t->m_.maxWordRels - 1); },
       CNET_INTEGRITY, 4267},
      {"word group", [](Verify* t) { t->put32("wdv", t->wordGroup(t->car_, 0), 99); },
       CNET_INTEGRITY, 4268},
      {"rel target", [](Verify* t) { t->put32("wdv", t->wordRel(t->car_, 0), 1000); },
       CNET_INTEGRITY, 4269},
      {"rel", [](Verify* t) { t->putByte("wdv", t->wordRel(t->car_, 0) + 4, 4); }, CNET_INTEGRITY,
       4270},
      {"rel strength", [](Verify* t) { t->putByte("wdv", t->wordRel(t->car_, 0) + 6, 0); },
       CNET_INTEGRITY, 4271},
      {"rel strength 101", [](Verify* t) { t->putByte("wdv", t->wordRel(t->car_, 0) + 6, 101); },
       CNET_INTEGRITY, 4271},
      {"absent word in a group",
       [](Verify* t) {
         t->putByte("wdf", 80 + 20 * t->car_ + 16, CNET_ABSENT);
         t->put32("wdf", 16, 1);
       },
       CNET_INTEGRITY, 4263},
      {"word in an absent group",
       [](Verify* t) {
         t->putByte("grf", 20 * t->m_.words[t->car_].groups[0] + 18, CNET_ABSENT);
         t->put32("wdf", 20, 1);
       },
       CNET_INTEGRITY, 4268},
      {"word count one short", [](Verify* t) { t->put32("wdf", 8, t->m_.wordCount - 1); },
       CNET_INTEGRITY, 4263},
      {"group count one short", [](Verify* t) { t->put32("wdf", 12, t->m_.groupCount - 1); },
       CNET_INTEGRITY, 4268},
      // First failure wins: pass order, then groups before relations, then last entry first.
      {"passes in order",
       [](Verify* t) {
         t->putByte("wdv", t->wordRel(t->car_, 0) + 6, 0);
         t->put32("wdf", 20, 1);
       },
       CNET_INTEGRITY, 4256},
      {"groups before relations",
       [](Verify* t) {
         t->putByte("wdv", t->wordRel(t->car_, 0) + 6, 0);
         t->put32("wdv", t->wordGroup(t->car_, 0), 99);
       },
       CNET_INTEGRITY, 4268},
      {"last relation first",
       [](Verify* t) {
         t->putByte("wdv", t->wordRel(t->car_, 0) + 6, 0);
         t->put32("wdv", t->wordRel(t->car_, t->m_.words[t->car_].relCount - 1), 1000);
       },
       CNET_INTEGRITY, 4269},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (&c != cases) SetUp();
    c.damage(this);
    CNETSTATUS st = verify();
    EXPECT_STATUS(st, c.retcode, c.errcode);
  }
}

TEST_F(Verify, EmptyDictionaryGoesStraightToTheWordIndex) {
  put32("wdf", 8, 0);
  put32("wdf", 12, 0);
  std::string out;
  EXPECT_OK(verify(CNET_EXEC_PROGRESS, &out));
  EXPECT_EQ(out.find('%'), std::string::npos) << out;
  // The word index is still checked, and its failure is the engine's.
  edit("wix", [](std::string* s) { s->back() = static_cast<char>(s->back() ^ 0x55); });
  EXPECT_EQ(verify().retcode, CNET_ENGINE_BASE + ZOL_RC_INDEX_INVALID);
  std::remove(path("wix").c_str());
  EXPECT_EQ(verify().retcode, CNET_ENGINE_BASE + ZOL_RC_INDEX_NOT_EXIST);
}

}  // namespace
