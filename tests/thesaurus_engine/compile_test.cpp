// The compiler end to end: file formats byte for byte (read back by the tests' own decoder),
// word ids, derived relations and strengths, dropped blocks, warnings, progress lines, argument
// checks, replacement and clean-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/dict_model.h"
#include "support/temp_dir.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;
using testsupport::compileText;
using testsupport::DictModel;
using testsupport::loadDictionary;
using testsupport::TempDir;

constexpr uint16_t kQuiet = CNET_EXEC_REPLACE;

DictModel load(const TempDir& dir, const std::string& name = "thes") {
  DictModel m;
  std::string error = loadDictionary(dir.path(), name, &m);
  EXPECT_EQ(error, "");
  return m;
}

TEST(Compile, FilesMatchTheFormatByteForByte) {
  TempDir dir;
  CNETSTATUS st = compileText(dir.path(), "thes",
                              "* cars\n"
                              ":WORDS:SYNONYM\n"
                              "car\n"
                              "automobile  :80\n"
                              ".HIGHER_THAN  sports car\n"
                              ".RELATED_TO(5)  garage :40\n",
                              34, kQuiet);
  ASSERT_OK(st);
  DictModel m = load(dir);
  // Header: magic, version 256 as 00 00 01 00, counts, largest values, code page at 40.
  EXPECT_EQ(m.header.substr(0, 8), std::string("CNET\0\0\1\0", 8));
  // Words, groups, absent words and groups, then the largest: groups of a word, relations of a
  // word (automobile: car, garage, sports car), members and relations of a group.
  EXPECT_EQ(
      (std::vector<uint32_t>{m.wordCount, m.groupCount, m.absentWords, m.absentGroups,
                             m.maxWordGroups, m.maxWordRels, m.maxGroupMembers, m.maxGroupRels}),
      (std::vector<uint32_t>{4, 1, 0, 0, 1, 3, 2, 2}));
  EXPECT_EQ(m.header.substr(40, 40), std::string("\x22") + std::string(39, '\0'));

  // Word ids in order of first appearance; a block delivers its members sorted, then the
  // relation entries sorted: automobile, car, garage, sports car.
  std::vector<std::string> texts;
  for (const auto& w : m.words)
    texts.push_back(w.text);
  ASSERT_EQ(texts, (std::vector<std::string>{"automobile", "car", "garage", "sports car"}));

  // Records follow each other in wdv: padded text, 4 bytes a group, 8 a relation.
  uint64_t offset = 0;
  for (const auto& w : m.words) {
    EXPECT_EQ(w.offset, offset) << w.text;
    EXPECT_EQ(w.padding, std::string(w.padding.size(), '\0')) << w.text;
    EXPECT_EQ((w.textLength + w.padding.size()) % 4, 0u);
    EXPECT_LT(w.padding.size(), 4u);
    EXPECT_EQ(w.flags, 0);
    offset += w.textLength + w.padding.size() + 4 * w.groupCount + 8 * w.relCount;
    EXPECT_EQ(w.groups, std::vector<uint32_t>{0});
    for (const auto& r : w.rels)
      EXPECT_EQ(r.zero, 0);
  }
  EXPECT_EQ(m.wdvSize, offset);

  // Relations sorted by target id, then REL; strengths combined.
  EXPECT_EQ(m.relationsOf("automobile"),
            (std::vector<std::string>{"car 3,1 80", "garage 3,132 32", "sports car 2,1 80"}));
  EXPECT_EQ(m.relationsOf("car"), (std::vector<std::string>{"automobile 3,1 80", "garage 3,132 40",
                                                            "sports car 2,1 100"}));
  EXPECT_EQ(m.relationsOf("garage"),
            (std::vector<std::string>{"automobile 3,132 32", "car 3,132 40"}));
  EXPECT_EQ(m.relationsOf("sports car"),
            (std::vector<std::string>{"automobile 1,1 80", "car 1,1 100"}));

  // The group: members first, then relation entries, each part sorted as the reader did.
  ASSERT_EQ(m.groups.size(), 1u);
  const auto& g = m.groups[0];
  EXPECT_EQ((std::vector<uint32_t>{g.offset, g.memberCount, g.relCount, g.category, g.id, g.flags}),
            (std::vector<uint32_t>{0, 2, 2, 3, 1, 0}));
  ASSERT_EQ(g.entries.size(), 4u);
  const uint8_t want[4][4] = {{0, 80, 255, 0}, {1, 100, 255, 0}, {2, 40, 3, 132}, {3, 100, 1, 1}};
  for (int i = 0; i < 4; ++i) {
    const auto& e = g.entries[i];
    EXPECT_EQ((std::vector<uint32_t>{e.word, e.strength, e.category, e.id, e.zero}),
              (std::vector<uint32_t>{want[i][0], want[i][1], want[i][2], want[i][3], 0}))
        << i;
  }
  EXPECT_EQ(m.grvSize, 32u);
  // Word index committed; no work files or working sets left.
  EXPECT_EQ(dir.list(),
            (std::vector<std::string>{"thes.def", "thes.grf", "thes.grv", "thes.lk1", "thes.lk2",
                                      "thes.lk3", "thes.wdf", "thes.wdv", "thes.wix"}));
}

TEST(Compile, WordIdsStrengthsAndDerivedRelations) {
  TempDir dir;
  ASSERT_OK(compileText(dir.path(), "thes",
                        ":WORDS:SYNONYM\n"
                        "zebra\n"
                        "apple\n"
                        ":WORDS:SYNONYM\n"
                        "ant :50\n"
                        "bee :80\n"
                        ":WORDS\n"
                        "ant\n"
                        "bee\n"
                        ".HIGHER_THAN fox\n"
                        ":WORDS:RELATED(3)\n"
                        "zebra\n"
                        "cat\n",
                        34, kQuiet));
  DictModel m = load(dir);
  // apple 0, zebra 1 (sorted within the first block), then ant, bee, fox, cat.
  std::vector<std::string> texts;
  for (const auto& w : m.words)
    texts.push_back(w.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"apple", "zebra", "ant", "bee", "fox", "cat"}));
  // Strengths 50 and 80 combine to ((80 - 1) x 49) / 99 + 1 = 40 both ways. A plain block
  // relates members only to the relation word, and ant keeps its first strength 50 there too.
  EXPECT_EQ(m.relationsOf("ant"), (std::vector<std::string>{"bee 3,1 40", "fox 2,1 50"}));
  EXPECT_EQ(m.relationsOf("bee"), (std::vector<std::string>{"ant 3,1 40", "fox 2,1 80"}));
  EXPECT_EQ(m.relationsOf("fox"), (std::vector<std::string>{"ant 1,1 100", "bee 1,1 100"}));
  EXPECT_EQ(m.relationsOf("zebra"), (std::vector<std::string>{"apple 3,1 100", "cat 3,130 100"}));
  EXPECT_EQ(m.words[m.wordId("zebra")].groups, (std::vector<uint32_t>{0, 3}));
  EXPECT_EQ(m.words[m.wordId("ant")].groups, (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(m.maxWordGroups, 2u);
}

TEST(Compile, EquivalentBlocksAreDroppedAndInconsistenciesWarned) {
  TempDir dir;
  CaptureStderr();
  CNETSTATUS st = compileText(dir.path(), "thes",
                              ":WORDS:SYNONYM\n"  // line 1, group 0
                              "car\n"
                              "auto\n"
                              ":WORDS:RELATED\n"  // line 4: same words, dropped
                              "auto :30\n"
                              "car\n"
                              ":WORDS\n"  // line 7, group 1
                              "car\n"
                              ".HIGHER_THAN fox\n"
                              ":WORDS\n"  // line 10, group 2
                              "car\n"
                              ".LOWER_THAN fox\n"
                              ":WORDS:SYNONYM\n"  // line 13: same as line 1 again
                              "auto\n"
                              "car\n",
                              34, CNET_EXEC_REPLACE | CNET_EXEC_WARNINGS);
  std::string err = GetCapturedStderr();
  ASSERT_OK(st);
  std::string path = dir.file("thes.def");
  EXPECT_NE(err.find(path + ": zolC704W: Warning: line 4: Equivalent to the block in line 1.  "
                            "Discarded.\n"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find(path + ": zolC704W: Warning: line 13: Equivalent to the block in line 1."),
            std::string::npos)
      << err;
  EXPECT_NE(err.find(path + ": zolC706W: Warning: Inconsistent definition of `car' is found.\n"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("Inconsistent definition of `fox'"), std::string::npos) << err;
  DictModel m = load(dir);
  EXPECT_EQ(m.groupCount, 3u);
  EXPECT_EQ(m.words[m.wordId("car")].groups, (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(m.words[m.wordId("auto")].groups, (std::vector<uint32_t>{0}));
  // Both directions to fox are kept; the synonym is stored once.
  EXPECT_EQ(m.relationsOf("car"),
            (std::vector<std::string>{"auto 3,1 100", "fox 1,1 100", "fox 2,1 100"}));
}

// Many dropped blocks among many kept ones: their memberships must sort out of the way
// without disturbing the kept ones (a sort that is not a strict order runs off its array).
TEST(Compile, ManyEquivalentBlocksAmongManyOthers) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 300; ++i) {
    text += ":WORDS:SYNONYM\nw" + std::to_string(i) + "\nx" + std::to_string(i) + "\n";
    text += ":WORDS:SYNONYM\nx" + std::to_string(i) + "\nw" + std::to_string(i) + "\n";
  }
  ASSERT_OK(compileText(dir.path(), "thes", text));
  DictModel m = load(dir);
  EXPECT_EQ(m.wordCount, 600u);
  ASSERT_EQ(m.groupCount, 300u);
  for (int i = 0; i < 300; i += 37) {
    const std::string w = testsupport::numbered("w", i), x = testsupport::numbered("x", i);
    ASSERT_GE(m.wordId(w), 0);
    EXPECT_EQ(m.words[m.wordId(w)].groups, (std::vector<uint32_t>{static_cast<uint32_t>(i)}));
    EXPECT_EQ(m.relationsOf(w), (std::vector<std::string>{x + " 3,1 100"}));
  }
}

// (The progress and stage lines of each flag: console_test.cpp and the compile tool's tests.)

TEST(Compile, ArgumentChecksInOrder) {
  TempDir dir;
  std::string path = dir.file("x.def");
  testsupport::writeFile(path, ":WORDS:SYNONYM\na\nb\n");
  CNETDEF def{};
  def.kind = CNET_DEF_FILE;
  def.path = path.c_str();
  CNETCODE code{};
  code.codePage = 34;
  CNETEXEC exec{};
  auto run = [&](const char* name, const CNETDEF* d, const CNETCODE* c, const CNETEXEC* e,
                 void* reserved) {
    CNETSTATUS st = testsupport::clearStatus();
    zolCNETregist(name, dir.c_str(), d, c, e, reserved, &st);
    return st;
  };
  EXPECT_STATUS(run("", &def, &code, &exec, nullptr), 502u, 4100u);
  EXPECT_STATUS(run("x", nullptr, &code, &exec, nullptr), 503u, 4101u);
  EXPECT_STATUS(run("x", &def, nullptr, &exec, nullptr), 503u, 4101u);
  int dummy = 0;
  EXPECT_STATUS(run("x", &def, &code, &exec, &dummy), 504u, 4102u);
  // One field changed at a time, in the order of the checks.
  const std::string longPath(2048, 'p');
  const struct {
    std::function<void(CNETDEF&, CNETCODE&, CNETEXEC&)> change;
    uint32_t retcode, errcode;
  } cases[] = {
      {[](CNETDEF& d, CNETCODE&, CNETEXEC&) { d.kind = 1; }, 503, 4103},
      {[](CNETDEF& d, CNETCODE&, CNETEXEC&) { d.kind = 3; }, 503, 4105},
      {[](CNETDEF& d, CNETCODE&, CNETEXEC&) { d.path = ""; }, 503, 4104},
      {[](CNETDEF& d, CNETCODE&, CNETEXEC&) { d.path = nullptr; }, 503, 4104},
      {[](CNETDEF& d, CNETCODE&, CNETEXEC&) { d.format = 1; }, 503, 4106},
      {[&](CNETDEF& d, CNETCODE&, CNETEXEC&) { d.path = longPath.c_str(); }, 503, 4135},
      {[](CNETDEF&, CNETCODE& c, CNETEXEC&) { c.codePage = 0; }, 503, 4107},
      {[](CNETDEF&, CNETCODE& c, CNETEXEC&) { c.codePage = 37; }, 503, 4107},
      {[](CNETDEF& d, CNETCODE&, CNETEXEC&) { d.reserved1[3] = 1; }, 504, 4102},
      {[](CNETDEF&, CNETCODE& c, CNETEXEC&) { c.reserved[14] = 1; }, 504, 4102},
      {[](CNETDEF&, CNETCODE&, CNETEXEC& e) { e.flags = 0x8; }, 504, 4102},
      {[](CNETDEF&, CNETCODE&, CNETEXEC& e) { e.reserved[0] = 1; }, 504, 4102},
  };
  for (const auto& c : cases) {
    CNETDEF d = def;
    CNETCODE k = code;
    CNETEXEC e = exec;
    c.change(d, k, e);
    EXPECT_STATUS(run("x", &d, &k, &e, nullptr), c.retcode, c.errcode) << (&c - cases);
  }
  // None of these touched the directory beyond the definition file.
  EXPECT_EQ(dir.list(), std::vector<std::string>{"x.def"});
  CNETDEF d = def;
  d.notExamined[5] = 7;  // not examined
  EXPECT_OK(run("x", &d, &code, &exec, nullptr));
}

TEST(Compile, ReplacingKeepsTheOldDictionaryUntilTheNewOneIsComplete) {
  TempDir dir;
  ASSERT_OK(compileText(dir.path(), "thes", ":WORDS:SYNONYM\nold\nolder\n", 34, 0));
  std::string before = testsupport::readFile(dir.file("thes.wdv"));
  std::string index = testsupport::readFile(dir.file("thes.wix"));

  // Without the replace flag an existing dictionary is refused.
  EXPECT_STATUS(compileText(dir.path(), "thes", ":WORDS:SYNONYM\nnew\nnewer\n", 34, 0), 544u,
                4109u);
  // A syntax error on line 12 and an empty definition leave it exactly as it was.
  std::string bad = ":WORDS:SYNONYM\na\nb\n";
  for (int i = 4; i < 12; ++i)
    bad += testsupport::numbered("w", i) + '\n';
  bad += "x :0\n";
  CNETSTATUS st = compileText(dir.path(), "thes", bad, 34, kQuiet);
  EXPECT_STATUS(st, 567u, 10u);
  EXPECT_EQ(st.line, 12u);
  EXPECT_EQ(std::string(st.filename), dir.file("thes.def"));
  EXPECT_STATUS(compileText(dir.path(), "thes", "* nothing\n\n", 34, kQuiet), 567u, 1u);
  EXPECT_EQ(testsupport::readFile(dir.file("thes.wdv")), before);
  EXPECT_EQ(testsupport::readFile(dir.file("thes.wix")), index);
  for (const std::string& f : dir.list()) {
    EXPECT_EQ(f.find('$'), std::string::npos) << f;
    EXPECT_EQ(f.find(".w1"), std::string::npos) << f;
    EXPECT_EQ(f.find(".g2"), std::string::npos) << f;
  }
  // A failed compilation releases the compile lock by removing its file; the dictionary stays
  // usable.
  EXPECT_TRUE(testsupport::fileExists(dir.file("thes.lk3")));
  EXPECT_FALSE(testsupport::fileExists(dir.file("thes.lk2")));

  ASSERT_OK(compileText(dir.path(), "thes", ":WORDS:SYNONYM\nnew\nnewer\nnewest\n", 34, kQuiet));
  DictModel m = load(dir);
  EXPECT_EQ(m.wordCount, 3u);
  EXPECT_EQ(m.words[0].text, "new");
}

TEST(Compile, PartialLiveSetStopsACompilationWithoutReplace) {
  TempDir dir;
  testsupport::writeFile(dir.file("thes.wdf"), "x");
  testsupport::writeFile(dir.file("thes.wdv"), "x");
  CNETSTATUS st = compileText(dir.path(), "thes", ":WORDS:SYNONYM\na\nb\n", 34, 0);
  EXPECT_STATUS(st, 541u, 4304u);
  EXPECT_TRUE(testsupport::fileExists(dir.file("thes.lk2"))) << "created by the compile lock";
  EXPECT_FALSE(testsupport::fileExists(dir.file("thes.w1f")));
  EXPECT_OK(compileText(dir.path(), "thes", ":WORDS:SYNONYM\na\nb\n", 34, kQuiet));
}

}  // namespace
