// Names, directories, file paths of a set, shortened status names and status conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cnet_status.h"
#include "support/dict_model.h"
#include "support/temp_dir.h"
#include "thesaurus_engine/cnet.h"

namespace {

using testsupport::TempDir;

uint32_t correct(const char* name, const char* dirs) {
  return cnetCorrectNames(&name, &dirs);
}

TEST(Names, LengthLimitsOfNameAndDirectories) {
  std::string n2047(2047, 'n'), n2048(2048, 'n');
  EXPECT_EQ(correct(n2047.c_str(), "d"), 1u);
  EXPECT_EQ(correct(n2048.c_str(), "d"), 0u);
  EXPECT_EQ(correct("n", n2047.c_str()), 1u);
  EXPECT_EQ(correct("n", n2048.c_str()), 0u);
  EXPECT_EQ(correct("", "d"), 0u);
  EXPECT_EQ(correct("n", ""), 0u);
  EXPECT_EQ(correct(nullptr, "d"), 0u);
  EXPECT_EQ(correct("n", nullptr), 0u);
  EXPECT_EQ(cnetCorrectNames(nullptr, nullptr), 0u);

  // With a tab each part is limited on its own, and either part may be empty.
  EXPECT_EQ(correct("n", (n2047 + "\t" + n2047).c_str()), 1u);
  EXPECT_EQ(correct("n", (n2048 + "\tb").c_str()), 0u);
  EXPECT_EQ(correct("n", ("a\t" + n2048).c_str()), 0u);
  EXPECT_EQ(correct("n", "\t"), 1u);
  EXPECT_EQ(correct("n", "a\t"), 1u);
}

TEST(Names, SetPathsAndTheSecondDirectoryPreferredPerFile) {
  TempDir a, b;
  CNETCTL* ctl = new CNETCTL;
  cnetSetCNETCTL(ctl, "thes", a.c_str(), 0);
  EXPECT_EQ(ctl->files[0].path, a.file("thes.wdf"));
  EXPECT_EQ(ctl->files[3].path, a.file("thes.grv"));

  cnetSetCNETCTL(ctl, "thes", a.c_str(), 2);
  EXPECT_EQ(ctl->files[0].path, a.file("thes.w2f"));
  EXPECT_EQ(ctl->files[3].path, a.file("thes.g2v"));

  // wdv exists only in b, grf in both, the others in neither: each file decides on its own.
  testsupport::writeFile(b.file("thes.wdv"), "x");
  testsupport::writeFile(b.file("thes.grf"), "x");
  testsupport::writeFile(a.file("thes.grf"), "x");
  std::string dirs = a.path() + "\t" + b.path();
  cnetSetCNETCTL(ctl, "thes", dirs.c_str(), 0);
  EXPECT_EQ(ctl->twoDirectories, 1u);
  EXPECT_STREQ(ctl->directories, dirs.c_str());
  EXPECT_STREQ(ctl->altDirectory, b.c_str());
  EXPECT_EQ(ctl->files[0].path, a.file("thes.wdf"));
  EXPECT_EQ(ctl->files[1].path, b.file("thes.wdv"));
  EXPECT_EQ(ctl->files[2].path, b.file("thes.grf"));
  EXPECT_EQ(ctl->files[3].path, a.file("thes.grv"));

  // A lone separator is the empty directory: paths start at the root.
  cnetSetCNETCTL(ctl, "thes", "/", 1);
  EXPECT_STREQ(ctl->directory, "");
  EXPECT_STREQ(ctl->files[0].path, "/thes.w1f");
  cnetSetCNETCTL(ctl, "thes", "/\t/", 0);
  EXPECT_STREQ(ctl->altDirectory, "");
  EXPECT_STREQ(ctl->files[2].path, "/thes.grf");

  // The longest names still form whole paths.
  std::string longName(2047, 'n'), longDir(2047, 'd');
  cnetSetCNETCTL(ctl, longName.c_str(), longDir.c_str(), 0);
  EXPECT_EQ(std::string(ctl->files[1].path), longDir + "/" + longName + ".wdv");
  delete ctl;
}

TEST(Names, LongPathsAreShortenedAtASeparator) {
  char field[CNET_STATUS_NAME];
  std::string p511(511, 'x');
  cnetShortenName(field, p511.c_str());
  EXPECT_EQ(std::string(field), p511);

  // 600 characters with separators: "..." then the tail from the first '/' at or after
  // position 600 - 507 = 93.
  std::string p600 = std::string(90, 'a') + "/" + std::string(5, 'b') + "/" + std::string(503, 'c');
  ASSERT_EQ(p600.size(), 600u);
  cnetShortenName(field, p600.c_str());
  EXPECT_EQ(std::string(field), "..." + p600.substr(96));

  // A separator right at position 93 counts; the last character does not.
  std::string exact = std::string(93, 'a') + "/" + std::string(506, 'c');
  cnetShortenName(field, exact.c_str());
  EXPECT_EQ(std::string(field), "..." + exact.substr(93));
  std::string last = std::string(599, 'a') + "/";
  cnetShortenName(field, last.c_str());
  EXPECT_EQ(std::string(field), "..." + last.substr(600 - 507));
  EXPECT_EQ(std::strlen(field), 510u);

  cnetShortenName(field, nullptr);
  EXPECT_STREQ(field, "");
}

TEST(Names, EngineStatusEntersOnlyAClearStatus) {
  ZOLSTATUS engine{};
  engine.retcode = 16;
  engine.errcode = 7;
  std::strcpy(engine.filename, "/x/index.wix");
  CNETSTATUS st = testsupport::clearStatus();
  cnetConvertStatus_ZOL_CNET(&engine, &st);
  EXPECT_STATUS(st, 10016u, 10007u);
  EXPECT_STREQ(st.filename, "/x/index.wix");

  // The first error stays.
  engine.retcode = 20;
  cnetConvertStatus_ZOL_CNET(&engine, &st);
  EXPECT_EQ(st.retcode, 10016u);

  // A successful engine status changes nothing.
  CNETSTATUS clear = testsupport::clearStatus();
  ZOLSTATUS ok{};
  cnetConvertStatus_ZOL_CNET(&ok, &clear);
  EXPECT_OK(clear);

  // cnetFail keeps the first failure; cnetFailFile clears the second name.
  CNETSTATUS f = testsupport::clearStatus();
  std::strcpy(f.filename2, "stale");
  EXPECT_TRUE(cnetFailFile(&f, CNET_OPEN, 1, "/a"));
  EXPECT_FALSE(cnetFailFile(&f, CNET_READ, 2, "/b"));
  EXPECT_STATUS(f, 510u, 1u);
  EXPECT_STREQ(f.filename, "/a");
  EXPECT_STREQ(f.filename2, "");
}

// Two directories of which one part is empty (the root), and a name far longer than the word
// index once allowed: every operation finds the dictionary's files and its word index.
TEST(Names, AnEmptyPartOfTwoDirectoriesAndALongNameReachTheWordIndex) {
  TempDir dir;
  const std::string name(240, 'n');
  ASSERT_OK(testsupport::compileText(dir.path(), name, ":WORDS:SYNONYM\ncar\nauto\n"));
  for (const std::string& dirs : {dir.path() + "\t", "\t" + dir.path()}) {
    testsupport::Answer a = testsupport::lookUp(nullptr, dirs, name, "car",
                                                testsupport::condOf(CNET_REL_SYNONYM, 4, 1));
    EXPECT_OK(a.status);
    EXPECT_EQ(a.entries.size(), 1u);
    CNETSTATUS st = testsupport::clearStatus();
    CNETEXEC quiet{};
    zolCNETverify(name.c_str(), dirs.c_str(), &quiet, 0, 0, &st);
    EXPECT_OK(st);
  }
  CNETSTATUS st = testsupport::clearStatus();
  zolCNETclear(name.c_str(), (dir.path() + "\t").c_str(), &st);
  EXPECT_OK(st);
  // Used without the lock, the clear leaves the lock files; the word index goes with the rest.
  for (const std::string& file : dir.list()) {
    EXPECT_TRUE(file.find(".lk") != std::string::npos || file.find(".def") != std::string::npos)
        << file;
  }
}

}  // namespace
