// Files the engine creates are never reached through a symbolic link, and what the compiler
// puts in place is on disk before it is renamed there.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "cnet_os.h"
#include "support/dict_model.h"
#include "support/temp_dir.h"
#include "thesaurus_engine/cnet.h"

namespace {

using testsupport::TempDir;

const char kDefinition[] = ":WORDS:SYNONYM\ncar\nauto :80\n:WORDS:RELATED\nbike\ncycle\n";

TEST(FileSafety, PlantedLinksAreNeverFollowed) {
  // Every file the compiler creates: the work set, sorted work files, the pending word index and
  // the lock files; then the output of a dump.
  const std::vector<std::string> planted = {"thes.w1f", "thes.g1v", "thes.$00", "thes.$21",
                                            "thes.wi$", "thes.lk1", "thes.lk2", "thes.lk3"};
  for (bool dangling : {false, true}) {
    for (const std::string& name : planted) {
      TempDir dir, elsewhere;
      const std::string victim = elsewhere.file("victim");
      if (!dangling) testsupport::writeFile(victim, "victim");
      ASSERT_EQ(::symlink(victim.c_str(), dir.file(name).c_str()), 0);
      const CNETSTATUS st = testsupport::compileText(dir.path(), "thes", kDefinition);
      if (dangling) {
        EXPECT_FALSE(testsupport::fileExists(victim)) << name << ": the link's target was made";
      } else {
        EXPECT_EQ(testsupport::readFile(victim), "victim") << name;
      }
      if (st.retcode != 0) continue;  // a lock file that is a link stops the compiler
      struct stat live {};
      ASSERT_EQ(::lstat(dir.file("thes.wdf").c_str(), &live), 0);
      EXPECT_TRUE(S_ISREG(live.st_mode)) << name << ": the live file is a link";
      CNETSTATUS verified = testsupport::clearStatus();
      zolCNETverify("thes", dir.c_str(), nullptr, 0, 0, &verified);
      EXPECT_OK(verified) << name;
    }
  }
  TempDir dir, elsewhere;
  ASSERT_OK(testsupport::compileText(dir.path(), "thes", kDefinition));
  const std::string victim = elsewhere.file("victim");
  testsupport::writeFile(victim, "victim");
  ASSERT_EQ(::symlink(victim.c_str(), dir.file("out.def").c_str()), 0);
  EXPECT_STATUS(testsupport::dumpFile(dir.path(), "thes", dir.file("out.def")), CNET_OPEN, 4450u);
  EXPECT_EQ(testsupport::readFile(victim), "victim");
}

// The order of the flushes and renames of one compilation.
std::vector<std::string> gEvents;

TEST(FileSafety, DictionaryFilesAreOnDiskBeforeTheyAreRenamed) {
  TempDir dir;
  gEvents.clear();
  cnetOs()->syncStream = [](FILE* stream) {
    gEvents.push_back("sync");
    return cnetOsDefaults().syncStream(stream);
  };
  cnetOs()->rename = [](const char* from, const char* to) {
    gEvents.push_back(std::string("rename ") + std::strrchr(from, '.'));
    return cnetOsDefaults().rename(from, to);
  };
  cnetOs()->syncDirectoryOf = [](const char* path) {
    gEvents.push_back("sync directory");
    return cnetOsDefaults().syncDirectoryOf(path);
  };
  const CNETSTATUS st = testsupport::compileText(dir.path(), "thes", kDefinition);
  *cnetOs() = cnetOsDefaults();
  ASSERT_OK(st);
  EXPECT_EQ(gEvents,
            (std::vector<std::string>{"sync", "sync", "sync", "sync", "rename .w1f", "rename .w1v",
                                      "rename .g1f", "rename .g1v", "sync directory"}));
}

}  // namespace
