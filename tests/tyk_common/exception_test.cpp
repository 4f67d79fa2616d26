#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "common_services/cos_exception.h"
#include "trace_recorder.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_message_table.h"

namespace {

TEST(TykException, CopyKeepsEverythingAndOwnsItsCause) {
  std::unique_ptr<TykClException> copy;
  {
    char text[16];
    std::snprintf(text, sizeof text, "%i", 65);
    TykClException original(TYK_REASON_TERM_TOO_LONG, text);
    original.context(TYK_MSG_KERNEL_RETURN_CODE) << ": " << 1;
    original.setOrigin("source/tyk_cnet/tyk_thesaurus:133", 133);
    copy = std::make_unique<TykClException>(original);
    std::snprintf(text, sizeof text, "gone");
  }
  EXPECT_STREQ(copy->getCause(), "65");
  EXPECT_STREQ(copy->getOrigin(), "source/tyk_cnet/tyk_thesaurus:133");
  EXPECT_EQ(copy->getLine(), 133u);
  EXPECT_EQ(copy->getReasonCode(), TYK_REASON_TERM_TOO_LONG);
  EXPECT_STREQ(copy->getContext(), "65\n\nKernel return code: 1");
  copy->context(TYK_MSG_KERNEL_ERROR_CODE);  // the copy loads its own catalog
  EXPECT_STREQ(copy->getContext(), "65\n\nKernel return code: 1\nKernel error code");

  TykClException assigned(TYK_REASON_INTERNAL, "other");
  assigned = *copy;
  EXPECT_STREQ(assigned.getCause(), "65");
  EXPECT_EQ(assigned.getLine(), 133u);
  // Deleting through the second base destroys the whole object (the sanitizers check it).
  std::unique_ptr<TykClErrorData> viaData(new TykClException(TYK_REASON_INTERNAL, "t"));
}

TEST(TykException, ThrowDumpsContextOnlyWhenTracing) {
  TykClException exception(TYK_REASON_INVALID_CCSID, "1200");
  try {
    exception.throwFrom("source/tyk_cnet/tyk_thesaurus:274", 274);
  } catch (const TykClException& e) {
    EXPECT_STREQ(e.getOrigin(), "source/tyk_cnet/tyk_thesaurus:274");
    EXPECT_STREQ(e.getContext(), "1200\n");
  }
  TraceRecorder trace;
  EXPECT_THROW(exception.throwFrom("a:1", 1, false), TykClException);
  EXPECT_TRUE(trace.events.empty());
  EXPECT_THROW(exception.throwFrom("source/tyk_cnet/tyk_thesaurus:274", 274), TykClException);
  EXPECT_EQ(trace.events, std::vector<std::string>{
                              "1/2 8 source/tyk_cnet/tyk_thesaurus:274 TykClException=1200\n"});
}

}  // namespace
