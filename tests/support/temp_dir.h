// Test helpers: a fresh temporary directory per test, file helpers, output capture and a
// matcher-style check for CNETSTATUS.
#ifndef TESTS_SUPPORT_TEMP_DIR_H
#define TESTS_SUPPORT_TEMP_DIR_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "thesaurus_engine/cnet.h"

namespace testsupport {

// A new empty directory under /tmp, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  // A new empty directory under base (for tests whose files need not reach a disk).
  explicit TempDir(const std::string& base);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  const char* c_str() const { return path_.c_str(); }
  // path() + "/" + name
  std::string file(const std::string& name) const;
  // Names of the entries of the directory, sorted.
  std::vector<std::string> list() const;

 private:
  std::string path_;
};

bool fileExists(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
long fileSize(const std::string& path);

// prefix followed by n in decimal ("w" and 12 give "w12"), for the names of generated words.
std::string numbered(const char* prefix, long long n);

// The number of descriptors this process holds open, to find leaks. The files the library keeps
// open between calls are let go first.
int openDescriptorCount();

// Lets go of the files the library keeps open between calls (its caches of dictionary files
// and word index files).
void dropCachedFiles();

// The message zolCNETgetMessage gives for a status (code page 34).
std::string statusText(const CNETSTATUS& status);

// Success when the status holds exactly this retcode and errcode.
::testing::AssertionResult statusIs(const CNETSTATUS& status, uint32_t retcode, uint32_t errcode);

// A cleared status record.
CNETSTATUS clearStatus();

}  // namespace testsupport

#define EXPECT_STATUS(st, rc, ec) EXPECT_TRUE(::testsupport::statusIs((st), (rc), (ec)))
#define ASSERT_STATUS(st, rc, ec) ASSERT_TRUE(::testsupport::statusIs((st), (rc), (ec)))
#define EXPECT_OK(st) EXPECT_TRUE(::testsupport::statusIs((st), 0, 0))
#define ASSERT_OK(st) ASSERT_TRUE(::testsupport::statusIs((st), 0, 0))

#endif  // TESTS_SUPPORT_TEMP_DIR_H
