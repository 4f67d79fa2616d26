#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common_services/cos_exception.h"
#include "support/thrown.h"
#include "trace_recorder.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_message_table.h"

namespace {

struct Calls {
  int count = 0;
  void* info = nullptr;
};

void countCall(void* const info, void* user) {
  auto* calls = static_cast<Calls*>(user);
  ++calls->count;
  calls->info = info;
}

TEST(TykErrorInfo, ErrorsRunTheCallbackAndWarningsCountToTheThreshold) {
  TykClErrorInfo info(3);
  Calls calls;
  info.setCallback(&countCall, &calls);
  EXPECT_EQ(info.setError("o:8", TYK_REASON_FILE_READ, TYK_RC_ERROR, TYK_ACTION_ERROR),
            TYK_RC_ERROR);
  EXPECT_EQ(calls.count, 1);
  EXPECT_EQ(calls.info, &info);
  EXPECT_EQ(info.getNumberOfWarnings(), 0u);

  info.resetContext(nullptr);
  info.context(TYK_MSG_NAME_TO_MAP) << ": 'title'";
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(info.setError("source/tyk_common/tyk_map_abase:370", TYK_REASON_NAME_NOT_FOUND,
                            TYK_RC_WARNING, TYK_ACTION_ERROR),
              TYK_RC_WARNING);
  }
  EXPECT_EQ(info.getNumberOfWarnings(), 2u);
  EXPECT_STREQ(info.getContext(), "Field or attribute name to be mapped: 'title'");
  // The third warning throws.
  TykClException e = testsupport::thrownBy([&] {
    info.setError("source/tyk_common/tyk_map_abase:370", TYK_REASON_NAME_NOT_FOUND, TYK_RC_WARNING,
                  TYK_ACTION_ERROR);
  });
  EXPECT_EQ(e.getReasonCode(), TYK_REASON_WARNING_THRESHOLD);
  EXPECT_EQ(e.getReturnCode(), TYK_RC_ERROR);
  EXPECT_STREQ(e.getOrigin(), "source/tyk_common/tyk_error_info:141");
  EXPECT_EQ(e.getLine(), 141u);
  EXPECT_STREQ(e.getContext(), "");
  EXPECT_EQ(calls.count, 4);
  EXPECT_EQ(info.getReturnCode(), TYK_RC_OK);
  EXPECT_EQ(info.getNumberOfWarnings(), 0u);
  EXPECT_STREQ(info.getContext(), "");

  TykClErrorInfo unlimited;
  for (int i = 0; i < 50; ++i)
    unlimited.setError("o:1", TYK_REASON_NAME_NOT_FOUND, TYK_RC_WARNING, TYK_ACTION_ERROR);
  EXPECT_EQ(unlimited.getNumberOfWarnings(), 50u);
  unlimited.resetReturnCode();
  EXPECT_EQ(unlimited.getNumberOfWarnings(), 0u);
  EXPECT_EQ(unlimited.getReasonCode(), TYK_REASON_NAME_NOT_FOUND);  // left for the caller
}

TEST(TykErrorInfo, RecordsExceptionsWithTheirContext) {
  TykClErrorInfo info;
  TykClException exception(TYK_REASON_TERM_TOO_LONG, "65");
  exception.context(TYK_MSG_KERNEL_RETURN_CODE) << ": " << 5;
  exception.setOrigin("source/tyk_cnet/tyk_thesaurus:133", 133);
  EXPECT_EQ(info.setError(exception), TYK_RC_ERROR);
  EXPECT_EQ(info.getReasonCode(), TYK_REASON_TERM_TOO_LONG);
  EXPECT_STREQ(info.getOrigin(), "source/tyk_cnet/tyk_thesaurus:133");
  EXPECT_STREQ(info.getContext(), "65\n\nKernel return code: 5\n");

  TykClException success(TYK_RC_OK, TYK_REASON_FILE_READ, "ignored");
  EXPECT_EQ(info.setError(success), TYK_RC_OK);
  EXPECT_EQ(info.getReasonCode(), TYK_REASON_NONE);
  EXPECT_EQ(info.getAction(), TYK_ACTION_NONE);

  CosClException known("write failed", 1000401, 4);
  known.setOrigin("cos/file:10", 10);
  EXPECT_EQ(info.setError(known), TYK_RC_ERROR);
  EXPECT_EQ(info.getReasonCode(), TYK_REASON_FILE_WRITE);
  EXPECT_EQ(info.getAction(), TYK_ACTION_ERROR);
  EXPECT_STREQ(info.getOrigin(), "cos/file:10");
  EXPECT_STREQ(info.getContext(), "write failed\n");

  CosClException unknown("strange", 4711, 9);
  EXPECT_EQ(info.setError(unknown), TYK_RC_ERROR);
  EXPECT_EQ(info.getReasonCode(), TYK_REASON_COS_OTHER);
  EXPECT_STREQ(info.getContext(), "strange\n\nCOS Error Id4711\nCOS Error class9");
}

TEST(TykErrorInfo, TracesTheRecordedItems) {
  TykClErrorInfo info(1);
  TraceRecorder trace;
  info.resetContext("ctx");
  info.setError("o:3", TYK_REASON_FILE_OPEN, TYK_RC_ERROR, TYK_ACTION_ERROR);
  const std::string f = "1/2 ";
  const std::string where = " source/tyk_common/tyk_error_info:111 ";
  EXPECT_EQ(trace.events, (std::vector<std::string>{
                              f + "entry source/tyk_common/tyk_error_info:111",
                              f + "8" + where + "origin=o:3",
                              f + "16" + where + "return code=8",
                              f + "16" + where + "reason code=16",
                              f + "16" + where + "action code=100001",
                              f + "8" + where + "current context=ctx\n",
                              f + "7" + where + "callback=pointer",
                              f + "7" + where + "callback user data=pointer",
                              f + "exit source/tyk_common/tyk_error_info:111",
                          }));
  trace.events.clear();
  EXPECT_THROW(info.setError("o:4", TYK_REASON_NAME_NOT_FOUND, TYK_RC_WARNING, TYK_ACTION_ERROR),
               TykClException);
  ASSERT_EQ(trace.events.size(), 11u);
  EXPECT_EQ(trace.events[8], f + "16" + where + "number of warnings=1");
  EXPECT_EQ(trace.events[9], f + "16" + where + "warning threshold=1");
  EXPECT_EQ(trace.events[10],
            f + "8 source/tyk_common/tyk_error_info:141 TykClException=");  // the dump
}

}  // namespace
