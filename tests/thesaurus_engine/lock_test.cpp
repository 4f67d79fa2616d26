// Dictionary lock between processes and threads, its files, and its failure paths. The waits
// that run into their time-outs are in lock_slow_test.cpp.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cnet_os.h"
#include "support/dict_model.h"
#include "support/lock_holder.h"
#include "support/os_faults.h"
#include "support/temp_dir.h"
#include "thesaurus_engine/cnet.h"

namespace {

using testsupport::LockHolder;
using testsupport::OsCall;
using testsupport::OsFaults;
using testsupport::readFile;
using testsupport::TempDir;
using Clock = std::chrono::steady_clock;

// One caller's lock state.
struct LockState {
  int handles[3] = {-1, -1, -1};
  int flags[3] = {0, 0, 0};
  CNETSTATUS status = testsupport::clearStatus();
};

class DictionaryLock : public ::testing::Test {
 protected:
  CNETEXEC quiet_{};  // no console output
  TempDir dir_;
  const char* name_ = "thes";

  std::string lk(int n) const { return dir_.file("thes.lk" + std::to_string(n)); }

  void lock(uint32_t mode, LockState& s) {
    s.status = testsupport::clearStatus();
    cnetLock(&quiet_, mode, name_, dir_.c_str(), s.handles, s.flags, &s.status);
  }
  void unlock(uint32_t mode, LockState& s, bool withStatus = true) {
    s.status = testsupport::clearStatus();
    cnetUnlock(&quiet_, mode, name_, dir_.c_str(), s.handles, s.flags,
               withStatus ? &s.status : nullptr);
  }
  // A usable dictionary as the compiler's update step leaves it: ".lk1" and ".lk3" exist.
  void makeUsable() {
    LockState s;
    lock(CNET_LOCK_UPDATE, s);
    ASSERT_OK(s.status);
    unlock(CNET_LOCK_UPDATE, s);
    ASSERT_OK(s.status);
  }
};

TEST_F(DictionaryLock, ReaderNeedsTheExistenceMarker) {
  LockState r;
  lock(CNET_LOCK_READ, r);
  EXPECT_STATUS(r.status, 543u, 820u);
  EXPECT_EQ(std::string(r.status.filename), lk(3));
  EXPECT_TRUE(dir_.list().empty()) << "a reader creates no lock file";

  // Marker present but the access lock file missing: integrity lost at 822 + 2.
  testsupport::writeFile(lk(3), "CL03");
  lock(CNET_LOCK_READ, r);
  EXPECT_STATUS(r.status, 541u, 824u);
  EXPECT_EQ(std::string(r.status.filename), lk(1));
}

TEST_F(DictionaryLock, UpdateLockReplacesTheMarkerAndWritesTheFiles) {
  testsupport::writeFile(lk(3), "CL03");
  LockState u;
  lock(CNET_LOCK_UPDATE, u);
  ASSERT_OK(u.status);
  EXPECT_GE(u.handles[0], 0);
  EXPECT_EQ(u.flags[0], 1) << ".lk1 was created";
  EXPECT_EQ(u.flags[2], 1) << ".lk3 was removed";
  EXPECT_FALSE(testsupport::fileExists(lk(3)));
  EXPECT_EQ(readFile(lk(1)), "CL01");

  // A quiet release does not mark the dictionary usable again.
  unlock(CNET_LOCK_UPDATE, u, false);
  EXPECT_EQ(u.handles[0], -1);
  EXPECT_FALSE(testsupport::fileExists(lk(3)));

  lock(CNET_LOCK_UPDATE, u);
  ASSERT_OK(u.status);
  EXPECT_EQ(u.flags[0], 0) << "an existing .lk1 is reused";
  EXPECT_EQ(u.flags[2], 0) << "there was no marker to remove";
  unlock(CNET_LOCK_UPDATE, u);
  EXPECT_OK(u.status);
  EXPECT_EQ(readFile(lk(3)), "CL03");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(u.handles[i], -1);
    EXPECT_EQ(u.flags[i], 0);
  }
}

TEST_F(DictionaryLock, ReadersShareAcrossThreadsAndProcesses) {
  makeUsable();
  LockState a, b;
  lock(CNET_LOCK_READ, a);
  ASSERT_OK(a.status);
  lock(CNET_LOCK_READ, b);  // second reader in the same process
  EXPECT_OK(b.status);
  {
    LockHolder child(CNET_LOCK_READ, name_, dir_.path());
    EXPECT_EQ(child.retcode(), 0u) << "a reader in another process";
  }
  LockState t;
  std::thread([&] { lock(CNET_LOCK_READ, t); }).join();
  EXPECT_OK(t.status);
  unlock(CNET_LOCK_READ, t);
  unlock(CNET_LOCK_READ, b);
  unlock(CNET_LOCK_READ, a);
  EXPECT_OK(a.status);
  EXPECT_EQ(a.handles[0], -1);
}

TEST_F(DictionaryLock, UpdateLockTurnsReadersAwayAtOnce) {
  makeUsable();
  LockState u;
  lock(CNET_LOCK_UPDATE, u);
  ASSERT_OK(u.status);
  // Marker gone while the update holds: a reader sees no dictionary.
  LockState r;
  lock(CNET_LOCK_READ, r);
  EXPECT_STATUS(r.status, 543u, 820u);

  // With the marker back (as between the update's rename and its release) the access lock
  // itself turns the reader away, in another thread and in another process, without waiting.
  testsupport::writeFile(lk(3), "CL03");
  auto start = Clock::now();
  std::thread([&] { lock(CNET_LOCK_READ, r); }).join();
  EXPECT_STATUS(r.status, 531u, 822u);
  EXPECT_EQ(std::string(r.status.filename), lk(1));
  {
    LockHolder child(CNET_LOCK_READ, name_, dir_.path());
    EXPECT_EQ(child.retcode(), 531u);
  }
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(900)) << "readers never wait";
  unlock(CNET_LOCK_UPDATE, u);
  ASSERT_OK(u.status);
  lock(CNET_LOCK_READ, r);
  EXPECT_OK(r.status);
  unlock(CNET_LOCK_READ, r);
}

TEST_F(DictionaryLock, UpdateLockWaitsForAReaderThatFinishes) {
  makeUsable();
  LockState r;
  lock(CNET_LOCK_READ, r);
  ASSERT_OK(r.status);
  LockState u;
  const auto start = Clock::now();
  std::thread updater([&] { lock(CNET_LOCK_UPDATE, u); });
  // At first the update step tries for the lock with the marker in place: readers still come in.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  LockState early;
  lock(CNET_LOCK_READ, early);
  EXPECT_OK(early.status) << "readers are let in while the update step waits for a gap";
  unlock(CNET_LOCK_READ, early);
  // A reader that stays makes it remove the marker and wait: newcomers are turned away.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  LockState late;
  lock(CNET_LOCK_READ, late);
  EXPECT_STATUS(late.status, 543u, 820u);
  unlock(CNET_LOCK_READ, r);
  updater.join();
  EXPECT_OK(u.status) << "the update step got the lock once the reader let go";
  // It tries again every few milliseconds, not once a second: readers are turned away (the
  // marker is gone) only for about as long as the last of them needs.
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(900));
  unlock(CNET_LOCK_UPDATE, u);
}

// Runs an action once, right after the next open of a lock file: what another process does
// between a caller's open and its lock.
std::function<void()> gAfterOpen;
int openThenAct(const char* path, int mode) {
  const int fd = cnetOsDefaults().openFile(path, mode);
  if (gAfterOpen) {
    const std::function<void()> act = std::move(gAfterOpen);
    gAfterOpen = nullptr;
    act();
  }
  return fd;
}

TEST_F(DictionaryLock, ALockFileDeletedBetweenOpenAndLockIsNotHeld) {
  // A compilation whose steps fail releases its compile lock in mode 3, which deletes ".lk2".
  // The next compilation opens ".lk2" just before that; it must end up holding the file at the
  // path, so that a third compilation is kept out.
  LockState failing, next, third;
  lock(CNET_LOCK_COMPILE, failing);
  ASSERT_OK(failing.status);
  gAfterOpen = [&] { unlock(CNET_LOCK_CLEAR, failing); };
  cnetOs()->openFile = openThenAct;
  lock(CNET_LOCK_COMPILE, next);
  *cnetOs() = cnetOsDefaults();
  ASSERT_OK(next.status);
  struct stat held {
  }, named{};
  ASSERT_EQ(::fstat(next.handles[1], &held), 0);
  ASSERT_EQ(::stat(lk(2).c_str(), &named), 0);
  EXPECT_EQ(held.st_ino, named.st_ino) << "the holder holds the file at the path";
  lock(CNET_LOCK_COMPILE, third);
  EXPECT_STATUS(third.status, 531u, 802u);
  unlock(CNET_LOCK_COMPILE, third, false);
  unlock(CNET_LOCK_COMPILE, next);
}

// Lock calls and lock file deletions of a racing process, each after a pause that widens the
// gaps a race needs; installed in child processes only.
int pausedLock(int fd, int kind) {
  std::this_thread::sleep_for(std::chrono::microseconds(500));
  return cnetOsDefaults().lockFile(fd, kind);
}
int pausedRemove(const char* path) {
  if (std::strstr(path, ".lk") != nullptr)
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  return cnetOsDefaults().remove(path);
}

TEST_F(DictionaryLock, FailingCompileClearAndCompilesRaceWithoutOverlap) {
  const std::string good = dir_.file("good.def"), bad = dir_.file("bad.def");
  std::string text;
  for (int i = 0; i < 40; ++i)
    text += ":WORDS:SYNONYM\nw" + std::to_string(i) + "\nx\n";
  testsupport::writeFile(good, text);
  testsupport::writeFile(bad, text + ":WORDS:SYNONYM\nbroken :0\ny\n");
  auto compile = [&](const std::string& path) {
    return testsupport::compileFile(dir_.path(), name_, path).retcode;
  };
  auto clear = [&] {
    CNETSTATUS st = testsupport::clearStatus();
    zolCNETclear(name_, dir_.c_str(), &st);
    return st.retcode;
  };
  // What each racer may answer: done, locked out, or (clear) nothing to clear.
  const std::vector<std::pair<std::function<uint32_t()>, std::set<uint32_t>>> racers = {
      {[&] { return compile(bad); }, {CNET_INPUT, CNET_LOCKED}},
      {clear, {0, CNET_LOCKED, CNET_NOT_EXIST}},
      {[&] { return compile(good); }, {0, CNET_LOCKED}},
      {[&] { return compile(good); }, {0, CNET_LOCKED}},
  };
  for (int round = 0; round < 40; ++round) {
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    for (const auto& racer : racers) {
      const pid_t pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        ::close(gate[1]);
        char go;
        if (::read(gate[0], &go, 1) != 0) ::_exit(99);
        cnetOs()->lockFile = pausedLock;
        cnetOs()->remove = pausedRemove;
        const uint32_t rc = racer.first();
        ::_exit(rc == 0 ? 0 : rc >= 500 && rc < 600 ? static_cast<int>(rc - 500) : 98);
      }
      children.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);  // all start at once
    for (size_t i = 0; i < children.size(); ++i) {
      int wstatus = 0;
      ASSERT_EQ(::waitpid(children[i], &wstatus, 0), children[i]);
      ASSERT_TRUE(WIFEXITED(wstatus));
      const int code = WEXITSTATUS(wstatus);
      const uint32_t rc = code == 0 ? 0 : static_cast<uint32_t>(code + 500);
      EXPECT_TRUE(racers[i].second.count(rc)) << "round " << round << ", racer " << i << ": " << rc;
    }
    // Whatever won, a dictionary that says it exists is whole.
    if (testsupport::fileExists(lk(3))) {
      CNETSTATUS st = testsupport::clearStatus();
      zolCNETverify(name_, dir_.c_str(), &quiet_, 0, 0, &st);
      EXPECT_OK(st) << "round " << round;
    }
  }
}

TEST_F(DictionaryLock, CompileLockExcludesASecondCompile) {
  LockState c1, c2;
  lock(CNET_LOCK_COMPILE, c1);
  ASSERT_OK(c1.status);
  EXPECT_EQ(c1.flags[1], 1);
  EXPECT_EQ(readFile(lk(2)), "CL02");
  lock(CNET_LOCK_COMPILE, c2);
  EXPECT_STATUS(c2.status, 531u, 802u);
  {
    LockHolder child(CNET_LOCK_COMPILE, name_, dir_.path());
    EXPECT_EQ(child.retcode(), 531u);
  }
  // Compiling does not keep readers or the update step away.
  LockState u;
  lock(CNET_LOCK_UPDATE, u);
  EXPECT_OK(u.status);
  unlock(CNET_LOCK_UPDATE, u);

  unlock(CNET_LOCK_COMPILE, c1);
  EXPECT_OK(c1.status);
  EXPECT_TRUE(testsupport::fileExists(lk(2))) << "the compile lock file stays";
  {
    LockHolder child(CNET_LOCK_COMPILE, name_, dir_.path());
    EXPECT_EQ(child.retcode(), 0u);
    lock(CNET_LOCK_COMPILE, c2);
    EXPECT_STATUS(c2.status, 531u, 802u) << "held by the other process now";
  }
  lock(CNET_LOCK_COMPILE, c2);
  EXPECT_OK(c2.status);
  EXPECT_EQ(c2.flags[1], 0) << "reused, not re-created";
  unlock(CNET_LOCK_COMPILE, c2);
}

TEST_F(DictionaryLock, CompileLockKeepsAFailureTheCallerLeft) {
  LockState c;
  c.status.retcode = CNET_INTEGRITY;
  c.status.errcode = 4304;
  cnetLock(&quiet_, CNET_LOCK_COMPILE, name_, dir_.c_str(), c.handles, c.flags, &c.status);
  EXPECT_STATUS(c.status, 541u, 4304u);
  EXPECT_EQ(c.handles[1], -1) << "not opened";
  EXPECT_TRUE(testsupport::fileExists(lk(2))) << "but created";
}

TEST_F(DictionaryLock, ClearRemovesEveryLockFile) {
  // Without an access lock file clearing takes the lock at once.
  LockState c;
  OsFaults watch;
  lock(CNET_LOCK_CLEAR, c);
  // The dropped failure keeps its other fields: location 817 + 2 and the file.
  EXPECT_STATUS(c.status, 0u, 819u);
  EXPECT_EQ(std::string(c.status.filename), lk(1));
  EXPECT_EQ(watch.sleptMs(), 0);
  unlock(CNET_LOCK_CLEAR, c);
  EXPECT_OK(c.status);
  EXPECT_TRUE(dir_.list().empty());

  makeUsable();
  lock(CNET_LOCK_CLEAR, c);
  ASSERT_OK(c.status);
  EXPECT_EQ(c.flags[2], 1) << "marker removed";
  EXPECT_GE(c.handles[0], 0);
  EXPECT_GE(c.handles[1], 0);
  LockState r;
  lock(CNET_LOCK_READ, r);
  EXPECT_STATUS(r.status, 543u, 820u);
  unlock(CNET_LOCK_CLEAR, c);
  EXPECT_OK(c.status);
  EXPECT_TRUE(dir_.list().empty()) << "a cleared dictionary leaves no lock files";
  EXPECT_EQ(watch.sleptMs(), 0);
}

TEST_F(DictionaryLock, ClearIsKeptAwayByACompile) {
  LockHolder compiler(CNET_LOCK_COMPILE, name_, dir_.path());
  ASSERT_EQ(compiler.retcode(), 0u);
  LockState c;
  lock(CNET_LOCK_CLEAR, c);
  EXPECT_STATUS(c.status, 531u, 812u);
  unlock(CNET_LOCK_CLEAR, c, false);
}

TEST_F(DictionaryLock, TwoDirectoriesMeanNoLock) {
  TempDir other;
  std::string dirs = dir_.path() + "\t" + other.path();
  LockState s;
  for (uint32_t mode : {1u, 2u, 3u, 4u, 9u}) {
    s.status = testsupport::clearStatus();
    cnetLock(nullptr, mode, name_, dirs.c_str(), s.handles, s.flags, &s.status);
    EXPECT_OK(s.status) << mode;
    cnetUnlock(nullptr, mode, name_, dirs.c_str(), s.handles, s.flags, &s.status);
    EXPECT_OK(s.status) << mode;
  }
  EXPECT_TRUE(dir_.list().empty());
  EXPECT_TRUE(other.list().empty());
  char buffer[CNET_NAME_SIZE];
  EXPECT_EQ(cnetLock_DirName(dirs.c_str(), buffer), nullptr);
  EXPECT_EQ(cnetLock_DirName("/", buffer), buffer);
  EXPECT_STREQ(buffer, "");
  EXPECT_STREQ(cnetLock_DirName("/d/e", buffer), "/d/e");
}

TEST_F(DictionaryLock, ErrnoDecidesTheStatusOfAnOpen) {
  makeUsable();
  const struct {
    OsCall call;
    int err;
    uint32_t retcode, errcode;
  } cases[] = {
      {OsCall::kLockFile, EWOULDBLOCK, 531, 822}, {OsCall::kOpenFile, EACCES, 531, 822},
      {OsCall::kOpenFile, 0, 531, 822},           {OsCall::kOpenFile, ENOENT, 541, 824},
      {OsCall::kOpenFile, EIO, 530, 822},         {OsCall::kLockFile, ENOLCK, 530, 822},
  };
  const int before = testsupport::openDescriptorCount();
  for (const auto& c : cases) {
    OsFaults faults;
    faults.failNth(c.call, 1, c.err);
    LockState r;
    lock(CNET_LOCK_READ, r);
    EXPECT_STATUS(r.status, c.retcode, c.errcode) << "errno " << c.err;
    EXPECT_EQ(r.handles[0], -1);
    EXPECT_EQ(testsupport::openDescriptorCount(), before) << "no descriptor leaks";
  }
}

TEST_F(DictionaryLock, FailuresWhileCreatingAndReleasing) {
  {
    OsFaults faults;
    faults.failNth(OsCall::kOpenFile, 1, EACCES);
    LockState c;
    lock(CNET_LOCK_COMPILE, c);
    EXPECT_STATUS(c.status, 510u, 800u);
    EXPECT_EQ(std::string(c.status.filename), lk(2));
  }
  std::remove(lk(2).c_str());
  {
    OsFaults faults;
    faults.failNth(OsCall::kWriteFile, 1, ENOSPC);
    LockState c;
    lock(CNET_LOCK_COMPILE, c);
    EXPECT_STATUS(c.status, 512u, 800u);
    EXPECT_EQ(c.handles[1], -1);
  }
  std::remove(lk(2).c_str());
  {
    // The marker cannot be removed: 515 and nothing else happens.
    testsupport::writeFile(lk(3), "CL03");
    OsFaults faults;
    faults.failNth(OsCall::kRemove, 1, EPERM);
    LockState u;
    lock(CNET_LOCK_UPDATE, u);
    EXPECT_STATUS(u.status, 515u, 805u);
    EXPECT_FALSE(testsupport::fileExists(lk(1)));
    LockState c;
    faults.failNth(OsCall::kRemove, 1, EPERM);
    lock(CNET_LOCK_CLEAR, c);
    EXPECT_STATUS(c.status, 515u, 815u);
  }
  {
    // The access lock file cannot be created: the open that follows decides (541 at 809).
    std::remove(lk(3).c_str());
    OsFaults faults;
    faults.failNth(OsCall::kOpenFile, 1, EACCES);
    LockState u;
    lock(CNET_LOCK_UPDATE, u);
    EXPECT_STATUS(u.status, 541u, 809u);
  }
  {
    LockState c;
    lock(CNET_LOCK_COMPILE, c);
    ASSERT_OK(c.status);
    OsFaults faults;
    faults.failNth(OsCall::kCloseFile, 1, EIO);
    unlock(CNET_LOCK_COMPILE, c);
    EXPECT_STATUS(c.status, 517u, 831u);
    EXPECT_EQ(c.handles[1], -1);
  }
  {
    LockState c;
    lock(CNET_LOCK_CLEAR, c);
    ASSERT_EQ(c.status.retcode, 0u);
    OsFaults faults;
    faults.failNth(OsCall::kRemove, 1, EBUSY);
    unlock(CNET_LOCK_CLEAR, c);
    EXPECT_STATUS(c.status, 515u, 838u) << "the first removal in a clear is .lk2 here";
    EXPECT_TRUE(testsupport::fileExists(lk(2)));
  }
}

TEST_F(DictionaryLock, UnknownModesAndBadArguments) {
  LockState s;
  lock(7, s);
  EXPECT_STATUS(s.status, 501u, 4850u);
  unlock(7, s);
  EXPECT_STATUS(s.status, 501u, 4851u);
  s.status = testsupport::clearStatus();
  cnetLock(nullptr, CNET_LOCK_READ, "", dir_.c_str(), s.handles, s.flags, &s.status);
  EXPECT_EQ(s.status.retcode, 502u);
  s.status = testsupport::clearStatus();
  cnetLock(nullptr, CNET_LOCK_READ, name_, dir_.c_str(), nullptr, s.flags, &s.status);
  EXPECT_EQ(s.status.retcode, 503u);
  // Unlock with names that fail the check does nothing, not even close.
  int h[3] = {99, 98, 97}, f[3] = {1, 1, 1};
  cnetUnlock(nullptr, CNET_LOCK_READ, "", dir_.c_str(), h, f, &s.status);
  EXPECT_EQ(h[0], 99);
  EXPECT_EQ(f[0], 1);
}

}  // namespace
