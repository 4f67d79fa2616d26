// The lock waits that run into their time-outs: real 15-second and 3-second waits against a
// reader in another process that never lets go.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>

#include "cnet_os.h"
#include "support/lock_holder.h"
#include "support/temp_dir.h"
#include "thesaurus_engine/cnet.h"

namespace {

using Clock = std::chrono::steady_clock;

// A usable dictionary's lock files and a reader holding them in another process.
class LockAgainstAReader : public ::testing::Test {
 protected:
  void SetUp() override {
    int h[3] = {-1, -1, -1}, f[3] = {0, 0, 0};
    CNETSTATUS st = testsupport::clearStatus();
    CNETEXEC quiet{};
    cnetLock(&quiet, CNET_LOCK_UPDATE, "thes", dir_.c_str(), h, f, &st);
    ASSERT_EQ(st.retcode, 0u);
    cnetUnlock(&quiet, CNET_LOCK_UPDATE, "thes", dir_.c_str(), h, f, &st);
    ASSERT_EQ(st.retcode, 0u);
    reader_ = std::make_unique<testsupport::LockHolder>(CNET_LOCK_READ, "thes", dir_.path());
    ASSERT_EQ(reader_->retcode(), 0u);
  }

  testsupport::TempDir dir_;
  std::unique_ptr<testsupport::LockHolder> reader_;
};

TEST_F(LockAgainstAReader, UpdateGivesUpAfterFifteenSecondsCountingDown) {
  // A fixed clock, so that the time stamps of the two lines are known.
  cnetOs()->localTime = [](int64_t, struct tm* out) {
    *out = {};
    out->tm_year = 126;
    out->tm_mon = 11;
    out->tm_mday = 5;
    out->tm_wday = 6;
    out->tm_hour = 19;
    return 0;
  };
  int h[3] = {-1, -1, -1}, f[3] = {0, 0, 0};
  CNETSTATUS st = testsupport::clearStatus();
  auto start = Clock::now();
  ::testing::internal::CaptureStdout();
  cnetLock(nullptr, CNET_LOCK_UPDATE, "thes", dir_.c_str(), h, f, &st);
  std::string out = ::testing::internal::GetCapturedStdout();
  auto waited = Clock::now() - start;
  *cnetOs() = cnetOsDefaults();
  cnetUnlock(nullptr, CNET_LOCK_UPDATE, "thes", dir_.c_str(), h, f, nullptr);

  EXPECT_STATUS(st, 531u, 807u);
  std::string expected = "\nSat Dec 05 19:00:00 2026: Waiting to lock the dictionary...\n";
  for (int s = 15; s >= 1; --s)
    expected += "          " + std::to_string(s) + "sec          \r";
  expected += "\nSat Dec 05 19:00:00 2026: Cannot lock the dictionary.\n";
  EXPECT_EQ(out, expected);
  EXPECT_GE(waited, std::chrono::milliseconds(14900));
  EXPECT_LT(waited, std::chrono::seconds(20));
  // Without the update lock the live set was never touched: it is usable again.
  EXPECT_TRUE(testsupport::fileExists(dir_.file("thes.lk3")));
}

TEST_F(LockAgainstAReader, ClearGivesUpAfterThreeSecondsSilently) {
  int h[3] = {-1, -1, -1}, f[3] = {0, 0, 0};
  CNETSTATUS st = testsupport::clearStatus();
  auto start = Clock::now();
  ::testing::internal::CaptureStdout();
  cnetLock(nullptr, CNET_LOCK_CLEAR, "thes", dir_.c_str(), h, f, &st);
  std::string out = ::testing::internal::GetCapturedStdout();
  auto waited = Clock::now() - start;
  EXPECT_STATUS(st, 531u, 817u);
  EXPECT_EQ(out, "");
  EXPECT_GE(waited, std::chrono::milliseconds(2900));
  EXPECT_LT(waited, std::chrono::seconds(6));
  EXPECT_GE(h[1], 0) << "the compile lock was taken before the wait";
  cnetUnlock(nullptr, CNET_LOCK_CLEAR, "thes", dir_.c_str(), h, f, nullptr);
}

TEST_F(LockAgainstAReader, UpdateReportsLockedWhenTheReaderLetsGo) {
  CNETEXEC progress{};
  progress.flags = CNET_EXEC_PROGRESS;
  int h[3] = {-1, -1, -1}, f[3] = {0, 0, 0};
  CNETSTATUS st = testsupport::clearStatus();
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    reader_->release();
  });
  ::testing::internal::CaptureStdout();
  cnetLock(&progress, CNET_LOCK_UPDATE, "thes", dir_.c_str(), h, f, &st);
  std::string out = ::testing::internal::GetCapturedStdout();
  releaser.join();
  EXPECT_OK(st);
  EXPECT_NE(out.find("Waiting to lock the dictionary...\n"), std::string::npos) << out;
  EXPECT_NE(out.find("          15sec          \r          14sec          \r"), std::string::npos)
      << out;
  EXPECT_EQ(out.substr(out.size() - 10), ": Locked.\n") << out;
  EXPECT_EQ(out.find("Cannot"), std::string::npos);
  cnetUnlock(&progress, CNET_LOCK_UPDATE, "thes", dir_.c_str(), h, f, &st);
  EXPECT_OK(st);
}

}  // namespace
