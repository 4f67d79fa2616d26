#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "support/temp_dir.h"
#include "support/thrown.h"
#include "thesaurus_engine/cnet.h"
#include "tyk_common/tyk_error_translation.h"
#include "tyk_common/tyk_exception.h"

namespace {

using testsupport::thrownBy;

// The exception a CNETSTATUS turns into (it must turn into one).
TykClException cnetException(const CNETSTATUS& status) {
  return thrownBy([&] { tykHandleCnetError("source/tyk_cnet/tyk_thesaurus:146", 146, status); });
}

TykClException zolException(const ZOLSTATUS& status) {
  return thrownBy([&] { TykClZolInterface::handleZolError("source/tyk_common/t:1", 1, status); });
}

CNETSTATUS cnet(uint32_t retcode, uint32_t errcode, const char* file = "", uint32_t line = 0) {
  CNETSTATUS status{};
  status.retcode = retcode;
  status.errcode = errcode;
  status.line = line;
  std::strncpy(status.filename, file, sizeof status.filename - 1);
  return status;
}

std::string kernelLines(uint32_t retcode, uint32_t errcode) {
  return "Kernel return code: " + std::to_string(retcode) +
         "\nKernel error code: " + std::to_string(errcode) + "\n";
}

// (A missing dictionary from the real engine is in the lookup API's tests.)
TEST(TykCnetError, LinesByRetcode) {
  TykClException e = cnetException(cnet(503, 4210));
  EXPECT_EQ(e.getContext(), kernelLines(503, 4210) + "Internal parameter error.");
  EXPECT_EQ(e.getReasonCode(), TYK_REASON_KERNEL_OTHER);
  EXPECT_EQ(e.getLine(), 146u);
  CNETSTATUS ok{};
  ok.termsOmitted = 5;  // a successful lookup that left terms out is no error
  EXPECT_NO_THROW(tykHandleCnetError("o:1", 1, ok));
  CNETSTATUS rename = cnet(516, 7, "/d/t.w1f");
  std::strcpy(rename.filename2, "/d/t.wdf");
  EXPECT_EQ(cnetException(rename).getContext(),
            kernelLines(516, 7) + "Could not rename file /d/t.w1f to /d/t.wdf");
  EXPECT_EQ(cnetException(cnet(531, 3)).getContext(),
            kernelLines(531, 3) + "Thesaurus dictionary is in use.");
  TykClException carried = cnetException(cnet(10552, 10001));
  EXPECT_EQ(carried.getReasonCode(), TYK_REASON_KERNEL_OTHER);
  EXPECT_EQ(carried.getContext(), kernelLines(10552, 10001) + "Internal unexpected error.");

  CNETSTATUS omitted = cnet(552, 9);
  omitted.termsOmitted = 3;
  TykClException notFound = cnetException(omitted);
  EXPECT_EQ(notFound.getReasonCode(), TYK_REASON_TERM_NOT_FOUND);
  EXPECT_EQ(notFound.getContext(),
            kernelLines(552, 9) +
                "The specified term can not be found.\n"
                "Not all available results were retrieved due to threshold settings");

  // A file name field without a terminating zero is read up to its end only.
  CNETSTATUS unterminated = cnet(510, 1);
  std::memset(unterminated.filename, 'f', sizeof unterminated.filename);
  std::memset(unterminated.filename2, 'g', sizeof unterminated.filename2);
  std::string text = cnetException(unterminated).getContext();
  EXPECT_EQ(text.size(), 512u);
  EXPECT_EQ(text.find('g'), std::string::npos);
}

TEST(TykCnetError, DefinitionFileReasons) {
  EXPECT_EQ(cnetException(cnet(567, 8, "t.def")).getContext(),
            kernelLines(567, 8) + "\t Term is too long (max. 64 characters).");
  EXPECT_EQ(cnetException(cnet(567, 2, "t.def", 12)).getContext(),
            kernelLines(567, 2) + "\t No block starting line found in file t.def at line 12.");
  EXPECT_EQ(
      cnetException(cnet(567, 5, "t.def", 3)).getContext(),
      kernelLines(567, 5) + "\t Relationship is specified incorrectly in file t.def at line 3.");
  EXPECT_EQ(cnetException(cnet(567, 1, "t.def")).getContext(),
            kernelLines(567, 1) + "\t Definition file t.def is empty.");
  EXPECT_EQ(cnetException(cnet(567, 11, "t.def", 4)).getContext(),
            kernelLines(567, 11) + "Internal error.");
}

TEST(TykZolError, LinesAndDetailFields) {
  testsupport::TempDir dir;
  ZOLSTATUS real{};
  ZOLverifyIndex("missing", dir.c_str(), 0, 8, 0, &real);
  ASSERT_EQ(real.retcode, static_cast<uint32_t>(ZOL_RC_INDEX_NOT_EXIST));
  TykClException e = zolException(real);
  EXPECT_EQ(e.getReasonCode(), TYK_REASON_NOT_EXISTING);
  EXPECT_EQ(e.getZolStatus().errcode, real.errcode);
  EXPECT_EQ(e.getContext(), kernelLines(20, real.errcode) + "Index does not exist\n" +
                                "Processed index type: " + std::to_string(real.indexType) +
                                "\nERRNO variable: " + std::to_string(real.errnoValue) +
                                "\nKernel error info: " + std::to_string(real.kernelInfo) +
                                "\nContext: " + std::to_string(real.context));

  ZOLSTATUS status{};
  status.retcode = 9;
  status.errcode = 4;
  status.context = 1;
  status.indexType = 1;
  status.errnoValue = 13;
  status.kernelInfo = 2;
  std::strcpy(status.filename, "a.wi$");
  std::strcpy(status.filename2, "a.wix");
  const std::string details =
      "Processed index type: 1\nERRNO variable: 13\nKernel error info: 2\nContext: 1";
  EXPECT_EQ(zolException(status).getContext(),
            kernelLines(9, 4) + "File rename failed: 'a.wi$' - 'a.wix'\n" + details);
  status.retcode = 12;
  EXPECT_EQ(zolException(status).getReasonCode(), TYK_REASON_KERNEL_OTHER);
  EXPECT_EQ(zolException(status).getContext(), kernelLines(12, 4) + details);
  status.retcode = 151;
  EXPECT_EQ(zolException(status).getContext(),
            kernelLines(151, 4) +
                "Stopword file 'a.wi$' contains invalid character(s) or multiple entries at "
                "line: 2\n" +
                details);
  status.retcode = 0;
  EXPECT_NO_THROW(TykClZolInterface::handleZolError("o:1", 1, status));
}

TEST(TykErrorTables, ReasonsAndActions) {
  const std::pair<uint32_t, TykEnReasonCode> zol[] = {
      {0, TYK_REASON_NONE},          {11, TYK_REASON_OUT_OF_STORAGE},
      {141, TYK_REASON_FILE_REMOVE}, {999, TYK_REASON_KERNEL_SEVERE},
      {502, TYK_REASON_NAME_LENGTH}, {530, TYK_REASON_KERNEL_OTHER},
      {541, TYK_REASON_DATA_INVALID}};
  for (const auto& [rc, reason] : zol)
    EXPECT_EQ(TykClZolInterface::getTykReasonCodeForZolRc(rc), reason) << rc;
  const std::pair<uint32_t, TykEnReasonCode> cos[] = {{1000404, TYK_REASON_FILE_RENAME},
                                                      {1000103, TYK_REASON_RESOURCE_IN_USE},
                                                      {1000905, TYK_REASON_COS_1000905},
                                                      {4711, TYK_REASON_COS_OTHER}};
  for (const auto& [id, reason] : cos)
    EXPECT_EQ(TykClCosInterface::getTykReasonCodeForCosErrorId(id), reason) << id;
  const std::pair<CosEnErrorAction, TykEnErrorAction> actions[] = {
      {COS_ACTION_NONE, TYK_ACTION_NONE},
      {COS_ACTION_CALL_SERVICE, TYK_ACTION_ERROR},
      {COS_ACTION_RETRY, TYK_ACTION_COS_UNKNOWN},
      {COS_ACTION_IGNORE, TYK_ACTION_COS_UNKNOWN},
      {COS_ACTION_CHECK_CONFIGURATION, TYK_ACTION_COS_RESOURCES}};
  for (const auto& [cosAction, action] : actions)
    EXPECT_EQ(TykClCosInterface::getTykActionForCosErrorAction(cosAction), action) << cosAction;

  _CosStError error{1000401, 4, COS_ACTION_RETRY};
  TykClException e = thrownBy([&] { TykClCosInterface::handleCosError("x/y:2", 2, error); });
  EXPECT_EQ(e.getReasonCode(), TYK_REASON_FILE_WRITE);
  EXPECT_EQ(e.getAction(), TYK_ACTION_ERROR);
  EXPECT_STREQ(e.getContext(), "COS Error Id: 1000401\nCOS Error class: 4");
  error.iv_ulId = 0;
  EXPECT_NO_THROW(TykClCosInterface::handleCosError("x/y:2", 2, error));
}

}  // namespace
