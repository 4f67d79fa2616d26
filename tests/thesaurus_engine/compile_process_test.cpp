// The compiler against readers in other processes and against being killed: a reader sees a
// locked or absent dictionary, or a complete old or new one, never a mixture; a compilation
// killed at any point leaves nothing a reader would accept as damaged, and the next
// compilation succeeds and cleans up.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "support/dict_model.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;
using Clock = std::chrono::steady_clock;

// Version v of a dictionary: words "v<v>w<i>", synonym blocks of four; versions differ in
// their word count so that a header of one and records of the other cannot pass.
uint32_t wordsOf(int version) {
  return version % 2 == 0 ? 4000 : 6000;
}

std::string definition(int version) {
  const int words = static_cast<int>(wordsOf(version));
  std::string text;
  for (int i = 0; i < words; ++i) {
    if (i % 4 == 0) text += ":WORDS:SYNONYM\n";
    text += testsupport::numbered("v", version % 2);
    text += testsupport::numbered("w", i);
    text += '\n';
  }
  return text;
}

// What a reader found.
enum class Seen { kWhole, kLocked, kAbsent, kDamaged };

// Reads the whole dictionary under the read lock, as a lookup would: every word record, and a
// word looked up through the word index. Returns which version it was, or how it failed.
Seen readWhole(const std::string& dir, int* versionOut) {
  CNETSTATUS st = testsupport::clearStatus();
  int handles[3] = {-1, -1, -1}, flags[3] = {0, 0, 0};
  CNETEXEC quiet{};
  cnetLock(&quiet, CNET_LOCK_READ, "thes", dir.c_str(), handles, flags, &st);
  if (st.retcode == CNET_LOCKED) return Seen::kLocked;
  if (st.retcode == CNET_NOT_EXIST) return Seen::kAbsent;
  if (st.retcode != 0) return Seen::kDamaged;
  auto ctl = std::make_unique<CNETCTL>();
  cnetSetCNETCTL(ctl.get(), "thes", dir.c_str(), 0);
  Seen seen = Seen::kDamaged;
  CNETHEAD head{};
  cnetOpen(ctl.get(), "rb", &st);
  if (st.retcode == 0) cnetReadHead(ctl.get(), &head, &st);
  int version = -1;
  bool whole = st.retcode == 0 && (head.wordCount == wordsOf(0) || head.wordCount == wordsOf(1));
  if (whole) version = head.wordCount == wordsOf(0) ? 0 : 1;
  std::string prefix = testsupport::numbered("v", version) + 'w';
  for (uint32_t id = 0; whole && id < head.wordCount; ++id) {
    char text[CNET_WORD_MAX + 4];
    uint32_t length = 0;
    if (cnetReadWord(ctl.get(), static_cast<int32_t>(id), nullptr, nullptr, nullptr, nullptr, text,
                     &length, &st) != 0 ||
        std::string(text, length).rfind(prefix, 0) != 0) {
      whole = false;
    }
  }
  if (whole) {
    std::string probe = prefix + "17";
    uint32_t count = 0;
    CNETOCC* ids = nullptr;
    cnetWord_WordID(nullptr, ctl.get(), &head, probe.data(), static_cast<uint32_t>(probe.size()), 0,
                    reinterpret_cast<const uint8_t*>("\0\0"), &count, &ids, &st);
    char text[CNET_WORD_MAX + 4];
    uint32_t length = 0;
    whole = st.retcode == 0 && count == 1 &&
            cnetReadWord(ctl.get(), static_cast<int32_t>(ids[0].wordId), nullptr, nullptr, nullptr,
                         nullptr, text, &length, &st) == 0 &&
            std::string(text, length) == probe;
    std::free(ids);
  }
  cnetClose(ctl.get(), nullptr);
  cnetUnlock(&quiet, CNET_LOCK_READ, "thes", dir.c_str(), handles, flags, nullptr);
  if (whole) {
    *versionOut = version;
    seen = Seen::kWhole;
  }
  return seen;
}

void expectClean(const TempDir& dir) {
  for (const std::string& f : dir.list()) {
    EXPECT_EQ(f.find('$'), std::string::npos) << f;
    for (const char* set : {".w1", ".g1", ".w2", ".g2"}) {
      EXPECT_EQ(f.find(set), std::string::npos) << f;
    }
  }
}

TEST(CompileProcesses, ReadersSeeAWholeOldOrNewDictionary) {
  TempDir dir;
  ASSERT_OK(testsupport::compileText(dir.path(), "thes", definition(0), 34, CNET_EXEC_REPLACE));
  testsupport::writeFile(dir.file("v0.def"), definition(0));
  testsupport::writeFile(dir.file("v1.def"), definition(1));

  int stop[2], report[2];
  ASSERT_EQ(pipe(stop), 0);
  ASSERT_EQ(pipe(report), 0);
  pid_t reader = fork();
  if (reader == 0) {
    close(stop[1]);
    close(report[0]);
    long counts[4] = {0, 0, 0, 0};
    long versions[2] = {0, 0};
    fcntl(stop[0], F_SETFL, O_NONBLOCK);
    char c;
    while (read(stop[0], &c, 1) < 0) {
      int version = -1;
      Seen s = readWhole(dir.path(), &version);
      ++counts[static_cast<int>(s)];
      if (s == Seen::kWhole) ++versions[version];
    }
    long out[4] = {versions[0], versions[1], counts[1] + counts[2], counts[3]};
    _exit(write(report[1], out, sizeof out) == sizeof out ? 0 : 1);
  }
  close(stop[0]);
  close(report[1]);
  for (int i = 1; i <= 8; ++i) {
    std::string def = dir.file(i % 2 ? "v1.def" : "v0.def");
    CNETSTATUS st = testsupport::compileFile(dir.path(), "thes", def, 34, CNET_EXEC_REPLACE);
    EXPECT_OK(st) << "compilation " << i;
  }
  close(stop[1]);
  long out[4] = {0, 0, 0, 0};
  ASSERT_EQ(read(report[0], out, sizeof out), static_cast<ssize_t>(sizeof out));
  int status = 0;
  waitpid(reader, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out[3], 0) << "a reader accepted a damaged or mixed dictionary";
  EXPECT_GT(out[0] + out[1], 0) << "the reader never got through";
  EXPECT_GT(out[1], 0) << "the reader never saw the new version";
  int version = -1;
  EXPECT_EQ(readWhole(dir.path(), &version), Seen::kWhole);
  EXPECT_EQ(version, 0);
  expectClean(dir);
}

TEST(CompileProcesses, KilledCompilationsLeaveNothingDamaged) {
  TempDir dir;
  testsupport::writeFile(dir.file("v0.def"), definition(0));
  testsupport::writeFile(dir.file("v1.def"), definition(1));
  ASSERT_OK(
      testsupport::compileFile(dir.path(), "thes", dir.file("v0.def"), 34, CNET_EXEC_REPLACE));
  // How long one compilation takes here, to spread the kills over it.
  auto start = Clock::now();
  ASSERT_OK(
      testsupport::compileFile(dir.path(), "thes", dir.file("v1.def"), 34, CNET_EXEC_REPLACE));
  auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
  int current = 1;
  int absent = 0, survived = 0, replaced = 0;
  for (int k = 0; k < 24; ++k) {
    int next = 1 - current;
    pid_t child = fork();
    if (child == 0) {
      CNETSTATUS st = testsupport::compileFile(
          dir.path(), "thes", dir.file(next ? "v1.def" : "v0.def"), 34, CNET_EXEC_REPLACE);
      _exit(st.retcode == 0 ? 0 : 1);
    }
    std::this_thread::sleep_for(took * (k % 12) / 11 + std::chrono::microseconds(200 * k));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    int version = -1;
    Seen seen = readWhole(dir.path(), &version);
    ASSERT_NE(seen, Seen::kDamaged) << "kill " << k;
    if (seen == Seen::kAbsent) {
      ++absent;  // killed while the live set was being replaced
    } else if (seen == Seen::kWhole) {
      (version == current ? survived : replaced) += 1;
      current = version;
    }
    // The next compilation succeeds and cleans up whatever was left.
    int after = 1 - current;
    ASSERT_OK(testsupport::compileFile(dir.path(), "thes", dir.file(after ? "v1.def" : "v0.def"),
                                       34, CNET_EXEC_REPLACE));
    current = after;
    ASSERT_EQ(readWhole(dir.path(), &version), Seen::kWhole);
    ASSERT_EQ(version, current);
    expectClean(dir);
    EXPECT_FALSE(testsupport::fileExists(dir.file("thes.wi$")));
  }
  EXPECT_GT(survived, 0) << "no kill landed before the replacement";
  RecordProperty("absent", absent);
  RecordProperty("replaced", replaced);
}

}  // namespace
