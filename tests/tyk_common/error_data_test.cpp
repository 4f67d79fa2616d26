#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common_services/cos_message.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_message_table.h"

namespace {

// Error data through its error information form, which opens resetContext.
using Data = TykClErrorInfo;

void assign(TykClErrorData& target, const TykClErrorData& source) {
  target = source;
}

TEST(TykMessageTable, HasSignatureCountAndTheTexts) {
  const char* const* table = gs_apszTykMessageTable;
  EXPECT_STREQ(table[0], "[COS_MSGTAB_SIGNATURE] 147");
  EXPECT_STREQ(table[TYK_MESSAGE_COUNT], "[COS_MSGTAB_SIGNATURE]");
  for (int i = 1; i < TYK_MESSAGE_COUNT; ++i) {
    ASSERT_NE(table[i], nullptr) << i;
    EXPECT_EQ(std::strstr(table[i], "COS_MSGTAB"), nullptr) << i;
  }
  CosClMessageCatalog catalog("");
  EXPECT_NO_THROW(catalog.useStringTable(table, TYK_MESSAGE_COUNT));
}

TEST(TykErrorData, ContextLinesAndFirstLine) {
  Data data;
  data.resetContext(nullptr);
  data.context(TYK_MSG_KERNEL_RETURN_CODE) << ": " << 503;
  data.context(TYK_MSG_KERNEL_ERROR_CODE) << ": " << 4210;
  EXPECT_STREQ(data.getContext(), "Kernel return code: 503\nKernel error code: 4210");
  data.resetContext("65");
  data.context(TYK_MSG_KERNEL_RETURN_CODE);
  EXPECT_STREQ(data.getContext(), "65\n\nKernel return code");
  data.resetContext(nullptr);
  data.context(125);  // the placeholder without a parameter
  data.context(115, "a", "b");
  EXPECT_STREQ(data.getContext(), "Dictionary does not exist.\nCould not rename file a to b");
}

TEST(TykErrorData, ContextIsCutAt512AndMarked) {
  std::string longName(600, 'n');
  Data data;
  data.context(109, longName.c_str());
  EXPECT_EQ(data.getContextLength(), 512u);
  std::string text = data.getContext();
  EXPECT_EQ(text.substr(0, 22), "Could not open file nn");
  EXPECT_EQ(text.substr(509), "...");
  data.context(118);  // the stream stays failed: nothing more is written
  EXPECT_EQ(data.getContext(), text);

  // Exactly 512 characters fill the buffer and are marked as well.
  data.resetContext(nullptr);
  data.context(109, std::string(512 - 20, 'x').c_str());
  EXPECT_EQ(std::string(data.getContext()).substr(500), "xxxxxxxxx...");

  // What the caller streams after a line is cut the same way; a reset makes room again.
  data.resetContext(nullptr);
  data.context(TYK_MSG_FILE_NAME) << ": " << longName;
  EXPECT_EQ(std::string(data.getContext()).substr(505), "nnnn...");
  data.resetContext("again");
  EXPECT_STREQ(data.getContext(), "again\n");
}

TEST(TykErrorData, AssignmentCopiesTextPositionAndEngineStatus) {
  Data source;
  source.setReturnCode(TYK_RC_ERROR);
  source.context(TYK_MSG_KERNEL_RETURN_CODE) << ": " << 7;
  ZOLSTATUS zol{};
  zol.retcode = 20;
  source.setZolStatus(zol);

  Data target;
  target.context(130);
  assign(target, source);
  EXPECT_EQ(target.getReturnCode(), TYK_RC_ERROR);
  EXPECT_STREQ(target.getContext(), "Kernel return code: 7");
  target.context(TYK_MSG_KERNEL_ERROR_CODE);  // continues at the copied position
  EXPECT_STREQ(target.getContext(), "Kernel return code: 7\nKernel error code");
  EXPECT_EQ(target.getZolStatus().retcode, 20u);

  // A source without engine status clears the target's copy; a return code of 0 shows zeros.
  Data empty;
  empty.setReturnCode(TYK_RC_ERROR);
  const ZOLSTATUS* kept = &target.getZolStatus();
  assign(target, empty);
  EXPECT_EQ(&target.getZolStatus(), kept);
  EXPECT_EQ(target.getZolStatus().retcode, 0u);
  source.setReturnCode(TYK_RC_OK);
  EXPECT_EQ(source.getZolStatus().retcode, 0u);
}

}  // namespace
