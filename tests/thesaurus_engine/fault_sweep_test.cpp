// Every operating-system call of a compilation, a lookup and a verification is made to fail in
// turn (the first use, the second, ... until no use is left), with each errno the call can
// give. Every run must end with a status that has a message of its own, no descriptor left
// open and no work file left behind (but one whose removal failed); the live dictionary must be the
// old one or the new one, whole, or be reported absent only where the replacement failed half-way.
//
// SWEEP_STEP is the distance between the uses made to fail: 1 sweeps every use (the "sweep"
// label), a larger step samples them for the ordinary run.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "support/dict_model.h"
#include "support/os_faults.h"
#include "support/temp_dir.h"
#include "thesaurus_engine/cnet.h"

#ifndef SWEEP_STEP
#define SWEEP_STEP 1
#endif

namespace {

using testsupport::OsCall;
using testsupport::OsFaults;
using testsupport::TempDir;

const char kOld[] =
    ":WORDS:SYNONYM\ncar\nauto :80\n.HIGHER_THAN vehicle\n:WORDS:RELATED\nbike\ncycle\n";
const char kNew[] = ":WORDS:SYNONYM\ncar\nautomobile\n:WORDS:RELATED(4)\nroad\nlane :30\n";

struct CallErrnos {
  OsCall call;
  std::vector<int> errnos;
};

const std::vector<CallErrnos> kCalls = {
    {OsCall::kOpenFile, {ENOENT, EACCES, EMFILE}},
    {OsCall::kCloseFile, {EIO}},
    {OsCall::kWriteFile, {ENOSPC}},
    {OsCall::kLockFile, {EWOULDBLOCK, ENOLCK}},
    {OsCall::kAccess, {ENOENT, EACCES}},
    {OsCall::kRename, {EXDEV, EACCES}},
    {OsCall::kRemove, {EACCES}},
    {OsCall::kOpenStream, {ENOENT, EACCES, EMFILE}},
    {OsCall::kCloseStream, {EIO}},
    {OsCall::kReadStream, {EIO}},
    {OsCall::kWriteStream, {ENOSPC}},
    {OsCall::kSeekStream, {EIO}},
    {OsCall::kTellStream, {EIO}},
    {OsCall::kStreamSize, {EIO}},
    {OsCall::kReadStreamAt, {EIO}},
    {OsCall::kIsFileAt, {EIO}},
    {OsCall::kSyncStream, {EIO}},
    {OsCall::kSyncDirectory, {EIO}},
    {OsCall::kLink, {EXDEV, EPERM}},
};

// The dump of a dictionary, or "" when it cannot be dumped.
std::string dumpOf(const TempDir& dir) {
  const std::string out = dir.file("check.dump");
  const CNETSTATUS st = testsupport::dumpFile(dir.path(), "thes", out);
  std::string text = st.retcode == 0 ? testsupport::readFile(out) : std::string();
  std::remove(out.c_str());
  return text;
}

// The answer to a lookup of "car", as text.
std::string lookUpCar(const TempDir& dir, CNETSTATUS* st) {
  const testsupport::Answer a = testsupport::lookUp(
      nullptr, dir.path(), "thes", "car",
      testsupport::condOf(CNET_REL_SYNONYM | CNET_REL_RELATED | CNET_REL_HIGHER | CNET_REL_LOWER, 8,
                          2));
  *st = a.status;
  std::string s;
  for (const CNETRESENT& e : a.entries)
    s.append(e.text, e.length) += ';';
  return s;
}

// A failed status must carry a message of its own, not the text for unknown codes.
::testing::AssertionResult clean(const CNETSTATUS& st) {
  if (st.retcode == 0) return ::testing::AssertionSuccess();
  const std::string text = testsupport::statusText(st);
  if (text.empty() || text.find("Error has occurred") != std::string::npos) {
    return ::testing::AssertionFailure() << "no message of its own: " << text;
  }
  return ::testing::AssertionSuccess();
}

// Files a dictionary directory may hold after any operation: definitions, the live set, the
// word index and the lock files.
::testing::AssertionResult noWorkFiles(const TempDir& dir) {
  for (const std::string& f : dir.list()) {
    const std::string ext = f.substr(f.rfind('.') + 1);
    for (const char* allowed : {"def", "wdf", "wdv", "grf", "grv", "wix", "lk1", "lk2", "lk3"}) {
      if (ext == allowed) goto next;
    }
    return ::testing::AssertionFailure() << "left behind: " << f;
  next:;
  }
  return ::testing::AssertionSuccess();
}

class FaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    TempDir a, b;
    ASSERT_OK(testsupport::compileText(a.path(), "thes", kOld));
    ASSERT_OK(testsupport::compileText(b.path(), "thes", kNew));
    oldDump_ = dumpOf(a);
    newDump_ = dumpOf(b);
    ASSERT_NE(oldDump_, "");
    ASSERT_NE(oldDump_, newDump_);
    CNETSTATUS st;
    oldAnswer_ = lookUpCar(a, &st);
    ASSERT_OK(st);
  }

  // Runs operation with each call failing at each use in turn; check looks at the outcome.
  // Returns the number of runs in which a fault fired.
  int sweep(const std::function<CNETSTATUS(const TempDir&)>& operation,
            const std::function<void(const TempDir&, const CNETSTATUS&)>& check) {
    int runs = 0;
    for (const CallErrnos& c : kCalls) {
      for (int err : c.errnos) {
        for (int n = 1;; n += SWEEP_STEP) {
          TempDir dir;
          EXPECT_OK(testsupport::compileText(dir.path(), "thes", kOld));
          const int descriptors = testsupport::openDescriptorCount();
          CNETSTATUS st;
          bool fired;
          {
            OsFaults faults;
            faults.failNth(c.call, n, err);
            st = operation(dir);
            fired = faults.fired();
          }
          SCOPED_TRACE("call " + std::to_string(static_cast<int>(c.call)) + ", use " +
                       std::to_string(n) + ", errno " + std::to_string(err));
          EXPECT_TRUE(clean(st));
          EXPECT_EQ(testsupport::openDescriptorCount(), descriptors) << "a descriptor leaked";
          // A work file whose removal (or existence test) failed stays; the next compilation
          // removes it.
          if (c.call != OsCall::kRemove && c.call != OsCall::kAccess) {
            EXPECT_TRUE(noWorkFiles(dir));
          }
          check(dir, st);
          if (!fired) break;
          ++runs;
          if (::testing::Test::HasFailure()) return runs;
        }
      }
    }
    return runs;
  }

  std::string oldDump_, newDump_, oldAnswer_;
};

TEST_F(FaultSweep, CompilationLeavesTheOldOrTheNewDictionary) {
  const int runs =
      sweep([](const TempDir& dir) { return testsupport::compileText(dir.path(), "thes", kNew); },
            [this](const TempDir& dir, const CNETSTATUS& st) {
              if (!testsupport::fileExists(dir.file("thes.lk3"))) {
                // Absent only where the replacement failed half-way: a rename, or the marker
                // itself.
                EXPECT_TRUE(st.retcode == CNET_RENAME ||
                            (st.errcode == 835 && (st.retcode == 510 || st.retcode == 512)))
                    << testsupport::statusText(st);
                return;
              }
              const std::string dump = dumpOf(dir);
              EXPECT_TRUE(dump == oldDump_ || dump == newDump_) << dump;
              if (st.retcode == 0) {
                EXPECT_EQ(dump, newDump_);
              }
              CNETSTATUS verified = testsupport::clearStatus();
              CNETEXEC quiet{};
              zolCNETverify("thes", dir.c_str(), &quiet, 0, 0, &verified);
              EXPECT_OK(verified);
            });
  EXPECT_GT(runs, 20);
  std::printf("compilation: %d runs with a fault\n", runs);
}

TEST_F(FaultSweep, LookupAndVerificationLeaveTheDictionaryAsItWas) {
  auto unchanged = [this](const TempDir& dir, const CNETSTATUS&) {
    EXPECT_EQ(dumpOf(dir), oldDump_);
  };
  const int lookups = sweep(
      [this](const TempDir& dir) {
        CNETSTATUS st;
        const std::string answer = lookUpCar(dir, &st);
        if (st.retcode == 0) {
          EXPECT_EQ(answer, oldAnswer_);
        }
        return st;
      },
      unchanged);
  const int verifications = sweep(
      [](const TempDir& dir) {
        CNETEXEC quiet{};
        CNETSTATUS st = testsupport::clearStatus();
        zolCNETverify("thes", dir.c_str(), &quiet, 0, 0, &st);
        return st;
      },
      unchanged);
  EXPECT_GT(lookups, 5);
  EXPECT_GT(verifications, 5);
  std::printf("lookup: %d runs, verification: %d runs with a fault\n", lookups, verifications);
}

}  // namespace
