// The caches of open dictionary and word index files: a dictionary replaced, rewritten in place
// or cleared is never answered from them, a file shrunk in place under a reader never crashes
// it, and their bounds hold.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cnet_os_cache.h"
#include "support/dict_model.h"
#include "support/temp_dir.h"
#include "zol_index_cache.h"

namespace {

using testsupport::TempDir;

const char* const kFiles[] = {"wdf", "wdv", "grf", "grv", "wix"};

// The synonyms of "car" as "a,b,", or "#<retcode>" when the lookup failed.
std::string synonymsOfCar(const std::string& dir, const char* name = "thes") {
  const testsupport::Answer a =
      testsupport::lookUp(nullptr, dir, name, "car", testsupport::condOf(CNET_REL_SYNONYM, 8, 1));
  if (a.status.retcode != 0) return testsupport::numbered("#", a.status.retcode);
  std::string s;
  for (const CNETRESENT& e : a.entries)
    s.append(e.text, e.length) += ',';
  return s;
}

// Copies the files of dictionary `from` over those of `to` in place (same inodes), as cp does.
void copyInPlace(const std::string& dir, const std::string& from, const std::string& to) {
  for (const char* ext : kFiles) {
    testsupport::writeFile(dir + "/" + to + "." + ext,
                           testsupport::readFile(dir + "/" + from + "." + ext));
  }
}

class ReadCache : public ::testing::Test {
 protected:
  // Content is copied into memory at the second open, without waiting for files to settle.
  void SetUp() override {
    cnetReadCacheSetLimits(64, uint64_t{256} << 20, 0);
    zol::setIndexCacheLimits(32, uint64_t{128} << 20, 0);
  }
  void TearDown() override {
    cnetReadCacheSetLimits(64, uint64_t{256} << 20);
    zol::setIndexCacheLimits(32, uint64_t{128} << 20);
    testsupport::dropCachedFiles();
  }
  TempDir dir_;
};

TEST_F(ReadCache, ReplacedRewrittenAndClearedDictionariesAreNotAnsweredFromIt) {
  ASSERT_OK(testsupport::compileText(dir_.path(), "thes", ":WORDS:SYNONYM\ncar\nauto\n"));
  ASSERT_OK(testsupport::compileText(dir_.path(), "other",
                                     ":WORDS:SYNONYM\ncar\nmotorcar\nautomobile\n"));
  EXPECT_EQ(synonymsOfCar(dir_.path()), "auto,");
  EXPECT_EQ(synonymsOfCar(dir_.path()), "auto,");  // from memory now
  CnetReadFile* held = cnetReadFileOpen(dir_.file("thes.wdv").c_str());
  ASSERT_NE(held, nullptr);
  EXPECT_TRUE(cnetReadFileResident(held));
  cnetReadFileRelease(held);

  // Replaced by a compilation: the first lookup after it sees the new dictionary.
  ASSERT_OK(testsupport::compileText(dir_.path(), "thes", ":WORDS:SYNONYM\ncar\nwagon\n"));
  EXPECT_EQ(synonymsOfCar(dir_.path()), "wagon,");
  EXPECT_EQ(synonymsOfCar(dir_.path()), "wagon,");
  // Rewritten in place with other sizes.
  copyInPlace(dir_.path(), "other", "thes");
  EXPECT_EQ(synonymsOfCar(dir_.path()), "automobile,motorcar,");
  // Cleared: not existing, whatever was cached.
  CNETSTATUS st = testsupport::clearStatus();
  zolCNETclear("thes", dir_.c_str(), &st);
  ASSERT_OK(st);
  EXPECT_EQ(synonymsOfCar(dir_.path()), "#543");
}

TEST_F(ReadCache, FilesShrunkInPlaceUnderAReaderNeverCrashIt) {
  ASSERT_OK(testsupport::compileText(dir_.path(), "thes", ":WORDS:SYNONYM\ncar\nauto\n"));
  std::string text = ":WORDS:SYNONYM\ncar\nautomobile\n";
  for (int i = 0; i < 2000; ++i)
    text += ":WORDS:RELATED\nw" + std::to_string(i) + "\nx\n";
  ASSERT_OK(testsupport::compileText(dir_.path(), "big", text));
  const pid_t reader = ::fork();
  ASSERT_GE(reader, 0);
  if (reader == 0) {
    for (int i = 0; i < 3000; ++i) {
      const std::string s = synonymsOfCar(dir_.path());
      // Whatever the files hold at the moment: an answer of one of the two or a failure.
      if (s != "auto," && s != "automobile," && s[0] != '#') ::_exit(1);
    }
    ::_exit(0);
  }
  for (int round = 0; round < 200; ++round) {
    copyInPlace(dir_.path(), round % 2 == 0 ? "big" : "thes", "thes");
  }
  int wstatus = 0;
  ASSERT_EQ(::waitpid(reader, &wstatus, 0), reader);
  EXPECT_TRUE(WIFEXITED(wstatus)) << "the reader died of signal " << WTERMSIG(wstatus);
  EXPECT_EQ(WEXITSTATUS(wstatus), 0) << "a wrong answer";
}

TEST_F(ReadCache, BoundsOnFilesAndBytesHold) {
  // Two files and the content of one small file at most; three dictionaries in turn.
  cnetReadCacheSetLimits(2, 4096, 0);
  zol::setIndexCacheLimits(1, 4096, 0);
  const std::vector<std::string> names = {"a", "b", "c"};
  for (const std::string& n : names) {
    ASSERT_OK(testsupport::compileText(dir_.path(), n, ":WORDS:SYNONYM\ncar\n" + n + "1\n"));
  }
  const int before = testsupport::openDescriptorCount();
  for (int round = 0; round < 5; ++round) {
    for (const std::string& n : names)
      EXPECT_EQ(synonymsOfCar(dir_.path(), n.c_str()), n + "1,");
  }
  // openDescriptorCount() lets the caches go first: count what they hold by hand.
  int held = 0;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)e;
    ++held;
  }
  EXPECT_LE(held - before, 3) << "two dictionary files and one word index at most";
}

}  // namespace
