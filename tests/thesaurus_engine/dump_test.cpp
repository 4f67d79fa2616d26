// Dump, clear and information: the text of a whole dump and of one term's groups, the console
// output, every entry check with its location number, missing and damaged dictionaries, and what
// clearing leaves in the directory. (Dumps read back and compiled again: round_trip_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "support/dict_model.h"
#include "support/lock_holder.h"
#include "support/os_faults.h"
#include "support/temp_dir.h"

namespace {

using testsupport::DictModel;
using testsupport::TempDir;
using testsupport::termOf;

constexpr char kDefinition[] =
    ":WORDS:SYNONYM\nCar\nauto :80\n.HIGHER_THAN vehicle :70\n.RELATED_TO(3) road :60\n"
    ":WORDS:RELATED(5)\nroad\nlane\n.LOWER_THAN transport\n"
    ":WORDS\nvehicle\ntransport :50\n.SYNONYM_OF(2) conveyance\n"
    ":WORDS:SYNONYM\nrover\nroad :1\n";

// The dump of kDefinition: groups in the order of their blocks, words as stored (folded),
// relation lines before members, a numbered symmetric relation under its related keyword.
constexpr char kDump[] =
    ":WORDS:SYNONYM\n  .RELATED_TO(3)  road  :60\n  .HIGHER_THAN  vehicle  :70\n  auto  :80\n"
    "  car\n"
    ":WORDS:RELATED(5)\n  .LOWER_THAN  transport\n  lane\n  road\n"
    ":WORDS\n  .RELATED_TO(2)  conveyance\n  transport  :50\n  vehicle\n"
    ":WORDS:SYNONYM\n  road  :1\n  rover\n";

// The first group of kDump.
std::string firstGroup() {
  const std::string all = kDump;
  return all.substr(0, all.find(":WORDS:RELATED"));
}

class Dump : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_OK(testsupport::compileText(dir_.path(), "thes", kDefinition));
    ASSERT_EQ(testsupport::loadDictionary(dir_.path(), "thes", &m_), "");
    out_ = dir_.file("out.def");
    output_.kind = CNET_DEF_FILE;
    output_.path = out_.c_str();
  }

  CNETSTATUS dump(const CNETTERM* term = nullptr, uint16_t flags = CNET_EXEC_REPLACE,
                  std::string* console = nullptr) {
    CNETEXEC exec{};
    exec.flags = flags;
    CNETSTATUS st = testsupport::clearStatus();
    if (console != nullptr) testing::internal::CaptureStdout();
    zolCNETdump("thes", dir_.c_str(), term, &output_, &exec, 0, &st);
    if (console != nullptr) *console = testing::internal::GetCapturedStdout();
    return st;
  }

  std::string path(const std::string& ext) const { return dir_.file("thes." + ext); }
  void edit(const std::string& ext, const std::function<void(std::string*)>& f) {
    std::string s = testsupport::readFile(path(ext));
    f(&s);
    testsupport::writeFile(path(ext), s);
  }
  void put32(const std::string& ext, uint64_t at, uint32_t v) {
    edit(ext, [&](std::string* s) {
      for (int i = 0; i < 4; ++i)
        s->at(at + i) = static_cast<char>(v >> (24 - 8 * i));
    });
  }

  TempDir dir_;
  DictModel m_;
  std::string out_;
  CNETDEF output_{};
};

TEST_F(Dump, WholeDictionaryIsWrittenGroupByGroup) {
  ASSERT_EQ(m_.groupCount, 4u);
  std::string console;
  EXPECT_OK(dump(nullptr, CNET_EXEC_REPLACE | CNET_EXEC_PROGRESS, &console));
  EXPECT_EQ(testsupport::readFile(out_), kDump);
  // Start line, a counter after every group (id against count), 100 %, a newline, end line.
  EXPECT_TRUE(
      std::regex_search(console, std::regex("^... ... .. ..:..:.. ....: Dump start\\.\\.\\.\n")))
      << console;
  EXPECT_NE(console.find("          0%\r          25%\r          50%\r          75%\r"
                         "          100%\r\n"),
            std::string::npos)
      << console;
  EXPECT_TRUE(std::regex_search(console, std::regex("\n... ... .. ..:..:.. ....: Dump end\n$")))
      << console;
  // Without progress output nothing is printed.
  EXPECT_OK(dump(nullptr, CNET_EXEC_REPLACE, &console));
  EXPECT_EQ(console, "");
  EXPECT_EQ(testsupport::readFile(out_), kDump);
}

TEST_F(Dump, OneTermWritesEachOfItsGroupsOnceInAscendingId) {
  // "road" is a relation word of group 0 and a member of groups 1 and 3.
  const CNETTERM road = termOf("ROAD");
  std::string console;
  EXPECT_OK(dump(&road, CNET_EXEC_REPLACE | CNET_EXEC_PROGRESS, &console));
  EXPECT_EQ(testsupport::readFile(out_),
            ":WORDS:SYNONYM\n  .RELATED_TO(3)  road  :60\n  .HIGHER_THAN  vehicle  :70\n"
            "  auto  :80\n  car\n"
            ":WORDS:RELATED(5)\n  .LOWER_THAN  transport\n  lane\n  road\n"
            ":WORDS:SYNONYM\n  road  :1\n  rover\n");
  EXPECT_EQ(console.find('%'), std::string::npos) << "no counters for one term";
  EXPECT_NE(console.find("Dump end\n"), std::string::npos);

  // "ro*" finds "road" and "rover", which share group 3: it is written once, after 0 and 1.
  const CNETTERM prefix = termOf("ro*", '*');
  EXPECT_OK(dump(&prefix));
  EXPECT_EQ(testsupport::readFile(out_),
            ":WORDS:SYNONYM\n  .RELATED_TO(3)  road  :60\n  .HIGHER_THAN  vehicle  :70\n"
            "  auto  :80\n  car\n"
            ":WORDS:RELATED(5)\n  .LOWER_THAN  transport\n  lane\n  road\n"
            ":WORDS:SYNONYM\n  road  :1\n  rover\n");

  // A term of length 0 dumps the whole dictionary.
  CNETTERM none = termOf("");
  EXPECT_OK(dump(&none));
  EXPECT_EQ(testsupport::readFile(out_), kDump);
}

TEST_F(Dump, TermsWithoutGroupsAreNotFound) {
  const CNETTERM absent = termOf("bicycle");
  EXPECT_STATUS(dump(&absent), CNET_NOT_FOUND, 4222);
  // A word that the index finds but whose record names no group.
  const int rover = m_.wordId("rover");
  ASSERT_GE(rover, 0);
  put32("wdf", CNET_HEADER_SIZE + CNET_RECORD_SIZE * rover + 12, 0);
  const CNETTERM term = termOf("rover");
  EXPECT_STATUS(dump(&term), CNET_NOT_FOUND, 4224);
  // The same when the word's record is marked absent.
  edit("wdf",
       [&](std::string* s) { s->at(CNET_HEADER_SIZE + CNET_RECORD_SIZE * rover + 16) = '\x80'; });
  EXPECT_STATUS(dump(&term), CNET_NOT_FOUND, 4224);
}

TEST_F(Dump, ExistingOutputNeedsReplace) {
  testsupport::writeFile(out_, "old");
  CNETSTATUS st = testsupport::clearStatus();
  testing::internal::CaptureStdout();
  zolCNETdump("thes", dir_.c_str(), nullptr, &output_, nullptr, 0, &st);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "stops before the start line";
  EXPECT_STATUS(st, CNET_OUTPUT_EXISTS, 4279);
  EXPECT_EQ(std::string(st.filename), out_);
  EXPECT_EQ(testsupport::readFile(out_), "old");
  EXPECT_STATUS(dump(nullptr, CNET_EXEC_PROGRESS), CNET_OUTPUT_EXISTS, 4279);
  EXPECT_OK(dump(nullptr, CNET_EXEC_REPLACE));
  EXPECT_EQ(testsupport::readFile(out_), kDump);

  // Replacing a file of the dictionary itself is refused before anything is opened.
  const std::string wdv = path("wdv");
  const std::string before = testsupport::readFile(wdv);
  output_.path = wdv.c_str();
  st = dump(nullptr, CNET_EXEC_REPLACE);
  EXPECT_STATUS(st, CNET_PARAMETER, 4234);
  EXPECT_EQ(std::string(st.filename), wdv);
  EXPECT_EQ(testsupport::readFile(wdv), before);
}

TEST_F(Dump, EntryChecksInOrder) {
  CNETEXEC exec{};
  exec.flags = CNET_EXEC_REPLACE;
  auto run = [&](const char* name, const CNETTERM* term, const CNETDEF* output, const CNETEXEC* e,
                 int32_t reserved) {
    CNETSTATUS st = testsupport::clearStatus();
    st.retcode = 999;  // cleared on entry
    zolCNETdump(name, dir_.c_str(), term, output, e, reserved, &st);
    return st;
  };
  const CNETTERM good = termOf("car");
  EXPECT_STATUS(run("", &good, &output_, &exec, 0), CNET_NAME_LENGTH, 4214);
  EXPECT_STATUS(run("", &good, nullptr, &exec, 1), CNET_NAME_LENGTH, 4214);
  EXPECT_STATUS(run("thes", &good, nullptr, &exec, 1), CNET_PARAMETER, 4215);

  CNETTERM term = good;
  term.length = CNET_TERM_MAX + 1;
  EXPECT_STATUS(run("thes", &term, &output_, &exec, 1), CNET_PARAMETER, 4216);
  term = good;
  term.weight = 99;
  EXPECT_STATUS(run("thes", &term, &output_, &exec, 0), CNET_PARAMETER, 4216);

  auto withOutput = [&](const std::function<void(CNETDEF*)>& change, int32_t reserved = 0) {
    CNETDEF o = output_;
    change(&o);
    return run("thes", &good, &o, &exec, reserved);
  };
  EXPECT_STATUS(withOutput([](CNETDEF* o) { o->kind = 1; }, 1), CNET_PARAMETER, 4211);
  EXPECT_STATUS(withOutput([](CNETDEF* o) { o->kind = 3; }), CNET_PARAMETER, 4220);
  EXPECT_STATUS(withOutput([](CNETDEF* o) { o->kind = 0; }), CNET_PARAMETER, 4220);
  EXPECT_STATUS(withOutput([](CNETDEF* o) { o->path = nullptr; }), CNET_PARAMETER, 4219);
  EXPECT_STATUS(withOutput([](CNETDEF* o) { o->path = ""; }), CNET_PARAMETER, 4219);
  EXPECT_STATUS(withOutput([](CNETDEF* o) { o->format = 1; }, 1), CNET_PARAMETER, 4221);
  const std::string longPath = "/tmp/" + std::string(CNET_NAME_MAX - 4, 'p');
  EXPECT_STATUS(withOutput([&](CNETDEF* o) { o->path = longPath.c_str(); }, 1), CNET_PARAMETER,
                4280);

  EXPECT_STATUS(run("thes", &good, &output_, &exec, 1), CNET_RESERVED, 4217);
  EXPECT_STATUS(withOutput([](CNETDEF* o) { o->reserved0[13] = 1; }), CNET_RESERVED, 4217);
  EXPECT_STATUS(withOutput([](CNETDEF* o) { o->reserved1[0] = 1; }), CNET_RESERVED, 4217);
  EXPECT_STATUS(withOutput([](CNETDEF* o) { o->reserved2[15] = 1; }), CNET_RESERVED, 4217);
  // The bytes that are not examined are not examined.
  EXPECT_OK(withOutput([](CNETDEF* o) { std::memset(o->notExamined, 0xFF, 8); }));
  term = good;
  term.reserved[9] = 1;
  EXPECT_STATUS(run("thes", &term, &output_, &exec, 0), CNET_RESERVED, 4217);
  CNETEXEC bad = exec;
  bad.reserved[0] = 1;
  EXPECT_STATUS(run("thes", &good, &output_, &bad, 0), CNET_RESERVED, 4217);
  bad = exec;
  bad.flags = 0x0008;
  EXPECT_STATUS(run("thes", &good, &output_, &bad, 0), CNET_RESERVED, 4217);

  // A term of 64 bytes passes the checks (and is simply not found).
  term = termOf(std::string(CNET_TERM_MAX, 'z'));
  EXPECT_STATUS(run("thes", &term, &output_, &exec, 0), CNET_NOT_FOUND, 4222);
  EXPECT_STATUS(run("other", &good, &output_, &exec, 0), CNET_NOT_EXIST, 4272);
}

TEST_F(Dump, DamagedDictionaryGivesAStatus) {
  const char* const exts[4] = {"wdf", "wdv", "grf", "grv"};
  std::string pristine[4];
  for (int i = 0; i < 4; ++i)
    pristine[i] = testsupport::readFile(path(exts[i]));
  const uint32_t lane = static_cast<uint32_t>(m_.wordId("lane"));
  const int rover = m_.wordId("rover");
  const CNETTERM roverTerm = termOf("rover"), last = termOf(m_.words.back().text);
  const struct {
    const char* what;
    std::function<void()> damage;
    const CNETTERM* term;
    uint32_t errcode;
  } cases[] = {
      {"a group entry naming an absent word",
       [&] { put32("wdf", CNET_HEADER_SIZE + CNET_RECORD_SIZE * lane + 16, 0x80000000u); }, nullptr,
       4226},
      {"a group entry naming a word beyond the count",
       [&] { put32("grv", m_.groups[2].offset, 0x7FFFFFF0); }, nullptr, 4226},
      {"a word naming a group beyond the count",
       [&] {
         put32("wdv", m_.words[rover].offset + ((m_.words[rover].textLength + 3) & ~3u), 4000);
       },
       &roverTerm, 4233},
      // The word index knows one word more than the header: the last word's hit is beyond it.
      {"a word count one short", [&] { put32("wdf", 8, m_.wordCount - 1); }, &last, 4232},
      {"a bad magic", [&] { put32("wdf", 0, 0x434E4558); }, nullptr, 4313},
      {"more groups than the record file holds",
       [&] { edit("grf", [](std::string* s) { s->resize(s->size() - 10); }); }, nullptr, 4391},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.damage();
    EXPECT_STATUS(dump(c.term), CNET_INTEGRITY, c.errcode);
    if (&c == cases) {  // the group before the damaged one is in the file
      EXPECT_EQ(testsupport::readFile(out_), firstGroup());
    }
    for (int i = 0; i < 4; ++i)
      testsupport::writeFile(path(exts[i]), pristine[i]);
  }
  EXPECT_OK(dump());
  EXPECT_EQ(testsupport::readFile(out_), kDump);
}

TEST_F(Dump, FailedWriteLeavesThePartAlreadyWrittenAndReleasesTheLock) {
  {
    testsupport::OsFaults faults;
    faults.failNth(testsupport::OsCall::kWriteStream, 6, EIO);
    std::string console;
    CNETSTATUS st = dump(nullptr, CNET_EXEC_REPLACE | CNET_EXEC_PROGRESS, &console);
    EXPECT_STATUS(st, CNET_WRITE, 4452);
    EXPECT_EQ(std::string(st.filename), out_);
    EXPECT_EQ(console.find("Dump end"), std::string::npos);
    EXPECT_TRUE(console.ends_with("%\r\n")) << console;
  }
  // The first group (five lines) was written before the sixth write failed.
  EXPECT_EQ(testsupport::readFile(out_), firstGroup());
  // The read lock was released: clearing needs the access lock file exclusively.
  CNETSTATUS st = testsupport::clearStatus();
  zolCNETclear("thes", dir_.c_str(), &st);
  EXPECT_OK(st);
}

TEST(Clear, LeavesNoDictionaryWorkSetIndexOrLockFile) {
  TempDir dir;
  ASSERT_OK(testsupport::compileText(dir.path(), "thes", kDefinition));
  ASSERT_OK(testsupport::compileText(dir.path(), "other", kDefinition));
  const std::vector<std::string> before = dir.list();
  // Working sets 1 and 2 left behind by an interrupted compilation go too.
  for (const char* f : {"thes.w1f", "thes.g1v", "thes.w2v", "thes.g2f", "thes.wi$"})
    testsupport::writeFile(dir.file(f), "x");
  CNETSTATUS st = testsupport::clearStatus();
  st.retcode = 1;
  zolCNETclear("thes", dir.c_str(), &st);
  EXPECT_OK(st);
  std::vector<std::string> expected;
  for (const std::string& f : before)
    if (f.rfind("thes.", 0) != 0) expected.push_back(f);
  expected.push_back("thes.def");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.list(), expected);
  // The other dictionary beside it is intact.
  CNETSTATUS info = testsupport::clearStatus();
  EXPECT_GT(zolCNETgetInfo("other", dir.c_str(), 0, nullptr, 0, &info), 0u);
  EXPECT_OK(info);

  // Clearing again (nothing left) succeeds and leaves nothing behind. The clear lock finds no
  // access lock file and counts as taken; the location of that attempt stays in errcode.
  zolCNETclear("thes", dir.c_str(), &st);
  EXPECT_EQ(st.retcode, 0u);
  EXPECT_EQ(dir.list(), expected);
  EXPECT_FALSE(testsupport::fileExists(dir.file("thes.lk2")));

  const std::string longName(CNET_NAME_MAX + 1, 'n');
  zolCNETclear(longName.c_str(), dir.c_str(), &st);
  EXPECT_STATUS(st, CNET_NAME_LENGTH, 4118);
  zolCNETclear("thes", "", &st);
  EXPECT_STATUS(st, CNET_NAME_LENGTH, 4118);
}

TEST(Clear, FailedDeleteKeepsTheFirstErrorAndTriesTheRest) {
  TempDir dir;
  ASSERT_OK(testsupport::compileText(dir.path(), "thes", kDefinition));
  CNETSTATUS st = testsupport::clearStatus();
  {
    testsupport::OsFaults faults;
    // The first removal is the existence marker's; the second the word record file's.
    faults.failNth(testsupport::OsCall::kRemove, 2, EACCES);
    zolCNETclear("thes", dir.c_str(), &st);
    EXPECT_TRUE(faults.fired());
  }
  EXPECT_STATUS(st, CNET_DELETE, 4361);
  EXPECT_EQ(std::string(st.filename), dir.file("thes.wdf"));
  EXPECT_EQ(dir.list(), (std::vector<std::string>{"thes.def", "thes.wdf"}));
}

TEST(Clear, ReaderHoldingTheLockKeepsTheDictionary) {
  TempDir dir;
  ASSERT_OK(testsupport::compileText(dir.path(), "thes", kDefinition));
  testsupport::LockHolder reader(CNET_LOCK_READ, "thes", dir.path());
  ASSERT_EQ(reader.retcode(), 0u);
  CNETSTATUS st = testsupport::clearStatus();
  zolCNETclear("thes", dir.c_str(), &st);
  EXPECT_EQ(st.retcode, uint32_t{CNET_LOCKED});
  EXPECT_TRUE(testsupport::fileExists(dir.file("thes.wdf")));
  EXPECT_TRUE(testsupport::fileExists(dir.file("thes.wix")));
  reader.release();
  // The marker is gone (the dictionary counts as absent) until clearing completes.
  zolCNETclear("thes", dir.c_str(), &st);
  EXPECT_OK(st);
  EXPECT_EQ(dir.list(), (std::vector<std::string>{"thes.def"}));
}

TEST_F(Dump, InformationCountsAndChecks) {
  CNETINFO info;
  std::memset(&info, 0xAB, sizeof info);
  CNETSTATUS st = testsupport::clearStatus();
  const uint32_t words = zolCNETgetInfo("thes", dir_.c_str(), 0, &info, 0, &st);
  ASSERT_OK(st);
  EXPECT_EQ(words, m_.wordCount);
  EXPECT_EQ(m_.wordCount, 8u);  // car auto vehicle road lane transport conveyance rover
  EXPECT_EQ(std::string(info.magic, 4), "CNET");
  EXPECT_EQ(info.version, 256u);
  EXPECT_EQ(info.words, 8u);
  EXPECT_EQ(info.groups, 4u);
  EXPECT_EQ(info.codePage, 34);
  EXPECT_FALSE(cnetMemNonZero(info.reserved, sizeof info.reserved));
  EXPECT_EQ(zolCNETgetInfo("thes", dir_.c_str(), 0, nullptr, 0, &st), 8u);
  EXPECT_OK(st);

  // Absent records are not counted; more absent records than records is damage.
  put32("wdf", 16, 2);
  put32("wdf", 20, 1);
  EXPECT_EQ(zolCNETgetInfo("thes", dir_.c_str(), 0, &info, 0, &st), 6u);
  EXPECT_EQ(info.words, 6u);
  EXPECT_EQ(info.groups, 3u);
  put32("wdf", 20, 5);
  EXPECT_EQ(zolCNETgetInfo("thes", dir_.c_str(), 0, &info, 0, &st), 0u);
  EXPECT_STATUS(st, CNET_INTEGRITY, 4276);
  put32("wdf", 20, 0);
  put32("wdf", 4, 257);
  EXPECT_EQ(zolCNETgetInfo("thes", dir_.c_str(), 0, &info, 0, &st), 0u);
  EXPECT_STATUS(st, CNET_VERSION, 4314);

  // Entry checks; the record is cleared first in every case.
  auto failing = [&](const char* name, const char* dirs, int32_t r1, int32_t r2) {
    std::memset(&info, 0xAB, sizeof info);
    EXPECT_EQ(zolCNETgetInfo(name, dirs, r1, &info, r2, &st), 0u);
    EXPECT_FALSE(cnetMemNonZero(reinterpret_cast<const uint8_t*>(&info), sizeof info));
    return st;
  };
  EXPECT_STATUS(failing(nullptr, dir_.c_str(), 1, 1), CNET_NAME_LENGTH, 4273);
  EXPECT_STATUS(failing("thes", nullptr, 0, 0), CNET_NAME_LENGTH, 4273);
  EXPECT_STATUS(failing("thes", dir_.c_str(), 1, 0), CNET_RESERVED, 4274);
  EXPECT_STATUS(failing("thes", dir_.c_str(), 0, -1), CNET_RESERVED, 4274);
  EXPECT_STATUS(failing("none", dir_.c_str(), 0, 0), CNET_NOT_EXIST, 4275);
}

}  // namespace
