#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <string>

#include "common_services/cos_exception.h"
#include "common_services/cos_file.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

TEST(CosFilename, ComposesAndSplitsNames) {
  EXPECT_STREQ(CosClFilenameABase("/d", "thes", "an").getFullName(), "/d/thes.an");
  EXPECT_STREQ(CosClFilenameABase("/d/", "thes", "an").getFullName(), "/d/thes.an");
  EXPECT_STREQ(CosClFilenameABase("", "thes", "an").getFullName(), "thes.an");
  EXPECT_STREQ(CosClFilenameABase("/d", "thes", "").getFullName(), "/d/thes");
  CosClFilenameABase split("/a/b.c/name.ext");
  EXPECT_STREQ(split.getDirectory(), "/a/b.c");
  EXPECT_STREQ(split.getBaseName(), "name");
  EXPECT_STREQ(split.getExtension(), "ext");
  EXPECT_STREQ(CosClFilenameABase("/a/b.c/noext").getExtension(), "");

  CosClFilename name(CosClLocation("/idx"), "main", "an");
  name.setNewExtension("an$");
  EXPECT_STREQ(name.getFullName(), "/idx/main.an$");
}

TEST(CosFile, CopyRenameRemove) {
  TempDir dir;
  testsupport::writeFile(dir.file("a.map"), "contents");
  testsupport::writeFile(dir.file("b.map"), "old");
  CosClLocation location(dir.c_str());
  CosClFilename a(location, "a", "map"), b(location, "b", "map"), c(location, "c", "map");
  CosClFile file(a, nullptr);
  EXPECT_TRUE(file.isExistent());
  EXPECT_STREQ(static_cast<const char*>(file), a.getFullName());

  EXPECT_FALSE(file.copyTo(b, false));  // no replace: target kept
  EXPECT_EQ(testsupport::readFile(dir.file("b.map")), "old");
  EXPECT_TRUE(file.copyTo(b, true));
  EXPECT_EQ(testsupport::readFile(dir.file("b.map")), "contents");
  EXPECT_TRUE(file.copyTo(a, true));  // onto itself: contents survive
  EXPECT_EQ(testsupport::readFile(dir.file("a.map")), "contents");

  EXPECT_FALSE(file.renameAs(b));  // the target exists
  EXPECT_TRUE(a.isExistent());
  EXPECT_TRUE(file.renameAs(c));
  EXPECT_FALSE(a.isExistent());
  EXPECT_EQ(testsupport::readFile(dir.file("c.map")), "contents");

  CosClFile missing(a, nullptr);
  EXPECT_FALSE(missing.copyTo(c, true));
  EXPECT_FALSE(missing.remove());
  EXPECT_FALSE(missing.renameAs(c));
  CosClFile cFile(c, nullptr);
  EXPECT_TRUE(cFile.remove());
  EXPECT_FALSE(c.isExistent());
}

TEST(CosFile, TimesComeFromTheFileAndAMissingFileThrows) {
  TempDir dir;
  std::string path = dir.file("t.an");
  testsupport::writeFile(path, "x");
  struct timespec times[2] = {{1000000000, 0}, {1200000000, 0}};  // access, modification
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  CosClFile file(CosClFilename(path.c_str()), nullptr);
  EXPECT_EQ(file.getDateTimeOfLastAccess(), 1000000000);
  EXPECT_EQ(file.getDateTimeOfLastModification(), 1200000000);
  int64_t created = file.getDateTimeOfCreation();
  EXPECT_GT(created, time(nullptr) - 3600);  // birth or change time: now, not the set times
  try {
    CosClFileABase::getDateTimeOfLastModification(dir.file("none").c_str());
    FAIL() << "no exception";
  } catch (const CosClException& e) {
    EXPECT_EQ(e.getError().iv_ulId, COS_ERROR_FILE_STATUS);
  }
}

}  // namespace
