// Progress lines, counters and warnings, and the flags that switch them.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "cnet_os.h"
#include "thesaurus_engine/cnet.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

// Fixes the clock at Tue Mar 05 2024 07:08:09 local time.
class FixedClock : public ::testing::Test {
 protected:
  void SetUp() override {
    cnetOs()->now = [] { return int64_t{1709622489}; };
    cnetOs()->localTime = [](int64_t, struct tm* out) {
      *out = {};
      out->tm_year = 124;
      out->tm_mon = 2;
      out->tm_mday = 5;
      out->tm_wday = 2;
      out->tm_hour = 7;
      out->tm_min = 8;
      out->tm_sec = 9;
      return 0;
    };
  }
  void TearDown() override { *cnetOs() = cnetOsDefaults(); }
};

TEST_F(FixedClock, TimefStampsAndNamesItsLines) {
  CaptureStdout();
  cnetTimef(nullptr, "", "Regist start...\n");
  cnetTimef(nullptr, "thes", "Step%d start...\n", 1);
  EXPECT_EQ(GetCapturedStdout(),
            "Tue Mar 05 07:08:09 2024: Regist start...\n"
            "Tue Mar 05 07:08:09 2024: thes: Step1 start...\n");

  CNETEXEC quiet{};
  quiet.flags = CNET_EXEC_WARNINGS | CNET_EXEC_REPLACE;
  CNETEXEC loud{};
  loud.flags = CNET_EXEC_PROGRESS;
  CaptureStdout();
  cnetTimef(&quiet, "", "not shown\n");
  cnetTimef(&loud, nullptr, "shown\n");
  EXPECT_EQ(GetCapturedStdout(), "Tue Mar 05 07:08:09 2024: shown\n");
}

TEST(Console, ProgressCountsInThirtyTwoBits) {
  CaptureStdout();
  cnetProgress(nullptr, 1, 3);
  cnetProgress(nullptr, 3, 3);
  cnetProgress(nullptr, 5, 0);  // nothing for a zero total
  cnetProgress(nullptr, 7, -2);
  // 30,000,000 * 100 wraps in 32 bits to -1,294,967,296.
  cnetProgress(nullptr, 30000000, 1);
  EXPECT_EQ(GetCapturedStdout(),
            "          33%\r"
            "          100%\r"
            "          -350%\r"
            "          -1294967296%\r");

  CNETEXEC off{};
  off.flags = CNET_EXEC_WARNINGS;
  CaptureStdout();
  cnetProgress(&off, 1, 2);
  EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(Console, WarningsGoToStandardErrorOnly) {
  CNETEXEC warn{};
  warn.flags = CNET_EXEC_WARNINGS;
  CNETEXEC progress{};
  progress.flags = CNET_EXEC_PROGRESS;
  CaptureStdout();
  CaptureStderr();
  cnetWarnf(nullptr, "/d/def.txt", "zolC702W: Warning: %s\n", "x");
  cnetWarnf(&warn, "", "plain\n");
  cnetWarnf(&progress, "n", "hidden\n");
  EXPECT_EQ(GetCapturedStderr(), "/d/def.txt: zolC702W: Warning: x\nplain\n");
  EXPECT_EQ(GetCapturedStdout(), "");
}

}  // namespace
