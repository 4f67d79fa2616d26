// The dictionary's numbers of words and groups through the flat API.
#include <gtest/gtest.h>

#include <string>

#include "support/dict_model.h"
#include "support/temp_dir.h"
#include "tyk_cnet/tyk_api_thes.h"
#include "tyk_common/tyk_error_info.h"

namespace {

TEST(ApiProperties, WordAndGroupCountsAndTheirFailures) {
  testsupport::TempDir dir;
  ASSERT_OK(testsupport::compileText(dir.path(), "thes",
                                     ":WORDS:SYNONYM\ncar\nauto\n:WORDS\ncar\n.LOWER_THAN vehicle\n"
                                     ":WORDS\ntree\n.HIGHER_THAN oak\n"));
  TykClErrorInfo info;
  TykClContext context(info);
  TykClThesaurus* handle = nullptr;
  ASSERT_EQ(tykHandleNewThesaurusLookup(dir.c_str(), "thes", 1208, 10, &handle, &context), 0);
  uint32_t words = 0, groups = 0;
  EXPECT_EQ(tykThesaurusLookupObtainProperties(handle, &words, &groups), 0);
  EXPECT_EQ(words, 5u);  // car, auto, vehicle, tree and oak
  EXPECT_EQ(groups, 3u);
  EXPECT_EQ(tykThesaurusLookupObtainProperties(handle, nullptr, &groups), 8);
  EXPECT_EQ(info.getReasonCode(), TYK_REASON_INVALID_PARAMETER);
  EXPECT_STREQ(info.getOrigin(), "source/tyk_cnet/tyk_api_thes:358");
  EXPECT_EQ(tykHandleDeleteThesaurusLookup(&handle), 8);

  info.resetReturnCode();
  ASSERT_EQ(
      tykHandleNewThesaurusLookup(dir.file("none").c_str(), "thes", 1208, 10, &handle, &context),
      0);
  words = groups = 77;
  EXPECT_EQ(tykThesaurusLookupObtainProperties(handle, &words, &groups), 8);
  EXPECT_EQ(words, 77u);
  EXPECT_EQ(info.getReasonCode(), TYK_REASON_NOT_EXISTING);
  EXPECT_STREQ(info.getOrigin(), "./headers/tyk_cnet/tyk_thesaurus:315");
  // The error code is the information call's own location number.
  const std::string text = info.getContext();
  EXPECT_EQ(text.rfind("Kernel return code: 543\nKernel error code: ", 0), 0u) << text;
  EXPECT_NE(text.find("\nDictionary does not exist.\n"), std::string::npos) << text;
  EXPECT_EQ(tykHandleDeleteThesaurusLookup(&handle), 8);
}

}  // namespace
