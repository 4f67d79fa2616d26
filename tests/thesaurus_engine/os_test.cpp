#include "cnet_os.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

TEST(OsTable, DefaultsWorkAndEntriesCanBeReplaced) {
  testsupport::TempDir dir;
  std::string path = dir.file("f");
  int fd = cnetOs()->openFile(path.c_str(), CNET_OS_CREATE_WRITE);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(cnetOs()->writeFile(fd, "abcd", 4), 4);
  EXPECT_EQ(cnetOs()->closeFile(fd), 0);
  EXPECT_EQ(testsupport::readFile(path), "abcd");
  EXPECT_EQ(cnetOs()->access(path.c_str()), 0);

  cnetOs()->access = [](const char*) {
    errno = EIO;
    return -1;
  };
  EXPECT_EQ(cnetOs()->access(path.c_str()), -1);
  EXPECT_EQ(errno, EIO);
  *cnetOs() = cnetOsDefaults();
  EXPECT_EQ(cnetOs()->access(path.c_str()), 0);
}

}  // namespace
