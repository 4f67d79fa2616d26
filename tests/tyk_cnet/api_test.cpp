// The flat lookup API: return codes, reasons, origins and whole context texts of every failure
// the caller can meet, the settings it writes, and that no exception ever leaves it.
#include "tyk_cnet/tyk_api_thes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/dict_model.h"
#include "support/temp_dir.h"
#include "tyk_common/tyk_error_info.h"

namespace {

using testsupport::TempDir;
using Lines = std::vector<std::string>;

// The context text as lines: "a\nb\n" gives {"a", "b", ""}.
Lines lines(const char* text) {
  Lines out(1);
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\n') {
      out.emplace_back();
    } else {
      out.back() += *p;
    }
  }
  return out;
}

// Checks what the error information holds after a failure.
void checkRecorded(const TykClErrorInfo& info, TykEnReasonCode reason, const std::string& origin,
                   const Lines& context) {
  EXPECT_EQ(info.getReturnCode(), TYK_RC_ERROR);
  EXPECT_EQ(info.getReasonCode(), reason);
  EXPECT_EQ(info.getAction(), TYK_ACTION_ERROR);
  EXPECT_EQ(std::string(info.getOrigin() ? info.getOrigin() : ""), origin);
  EXPECT_EQ(lines(info.getContext()), context);
}

#define expectRecorded(...)     \
  do {                          \
    SCOPED_TRACE("recorded");   \
    checkRecorded(__VA_ARGS__); \
  } while (0)

TykClThesOutputList* const kUntouched = reinterpret_cast<TykClThesOutputList*>(0x10);

class Api : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_OK(testsupport::compileText(dir_.path(), "thes",
                                       ":WORDS:SYNONYM\ncar\nauto :80\n:WORDS\nauto\n"
                                       ".RELATED_TO garage :50\n.HIGHER_THAN(7) wheel\n"));
    ASSERT_EQ(tykHandleNewThesaurusLookup(dir_.c_str(), "thes", 1208, 10, &handle_, &context_),
              TYK_RC_OK);
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override {
    if (handle_ != nullptr) tykHandleDeleteThesaurusLookup(&handle_);
    EXPECT_EQ(handle_, nullptr);
  }
  // A lookup whose list (written only when the lookup itself succeeded) is released at once;
  // returns the return code, which may be an earlier one.
  TykEnReturnCode perform(const std::string& term) {
    TykClThesOutputList* list = kUntouched;
    TykEnReturnCode rc =
        tykThesaurusLookupPerform(handle_, &list, term.data(), static_cast<unsigned>(term.size()));
    wrote_ = list != kUntouched;
    if (wrote_) delete list;
    return rc;
  }

  bool wrote_ = false;
  TempDir dir_;
  TykClErrorInfo info_;
  TykClContext context_{info_};
  TykClThesaurus* handle_ = nullptr;
};

TEST_F(Api, MissingHandleContextOrIteratorGives16AndRecordsNothing) {
  info_.setError("earlier:1", TYK_REASON_FILE_READ, TYK_RC_ERROR, TYK_ACTION_ERROR);
  TykClThesaurus* none = nullptr;
  TykClThesOutputList* list = nullptr;
  uint32_t count = 0, words = 0, groups = 0;
  bool complete = false;
  EXPECT_EQ(tykHandleNewThesaurusLookup("d", "n", 1208, 1, &none, nullptr), 16);
  EXPECT_EQ(tykHandleDeleteThesaurusLookup(nullptr), 16);
  EXPECT_EQ(tykHandleDeleteThesaurusLookup(&none), 16);
  EXPECT_EQ(tykThesaurusLookupSetRelationTypes(nullptr, 0x80), 16);
  EXPECT_EQ(tykThesaurusLookupAddRelation(nullptr, 1, 0x40), 16);
  EXPECT_EQ(tykThesaurusLookupSetTermLimit(nullptr, 5), 16);
  EXPECT_EQ(tykThesaurusLookupSetDepth(nullptr, 2), 16);
  EXPECT_EQ(tykThesaurusLookupSetStrength(nullptr, 200), 16);
  EXPECT_EQ(tykThesaurusLookupSetMasks(nullptr, "??", 2, "*", 1), 16);
  EXPECT_EQ(tykThesaurusLookupPerform(nullptr, &list, "car", 3), 16);
  EXPECT_EQ(tykThesaurusLookupObtainHighestTerms(nullptr, &list), 16);
  EXPECT_EQ(tykThesaurusLookupObtainProperties(nullptr, &words, &groups), 16);
  EXPECT_EQ(tykThesaurusLookupObtainResultInformation(nullptr, &count, &complete), 16);
  char text[192];
  uint32_t length = 0;
  uint8_t strength = 0;
  short depth = 0;
  uint32_t type = 0;
  unsigned short number = 0;
  EXPECT_EQ(tykThesaurusEntryObtainData(nullptr, text, &length, &strength, &depth, &type, &number),
            16);
  EXPECT_EQ(list, nullptr);
  EXPECT_STREQ(info_.getOrigin(), "earlier:1");
  EXPECT_EQ(info_.getReasonCode(), TYK_REASON_FILE_READ);
}

TEST_F(Api, CreationFailures) {
  TykClThesaurus* handle = reinterpret_cast<TykClThesaurus*>(0x10);
  // Creation clears the return code and the warnings first.
  info_.setReturnCode(TYK_RC_WARNING);
  info_.setNumberOfWarnings(2);
  info_.resetContext("stale line");
  // Argument failures record origin and codes only; the caller's context text stays.
  const Lines stale = {"stale line", ""};
  EXPECT_EQ(tykHandleNewThesaurusLookup(dir_.c_str(), "thes", 1208, 1, nullptr, &context_), 8);
  expectRecorded(info_, TYK_REASON_INVALID_PARAMETER, "source/tyk_cnet/tyk_api_thes:66", stale);
  EXPECT_EQ(info_.getNumberOfWarnings(), 0u);
  EXPECT_EQ(tykHandleNewThesaurusLookup(nullptr, "thes", 1208, 1, &handle, &context_), 8);
  expectRecorded(info_, TYK_REASON_INVALID_PARAMETER, "source/tyk_cnet/tyk_api_thes:69", stale);
  EXPECT_EQ(tykHandleNewThesaurusLookup(dir_.c_str(), nullptr, 1208, 1, &handle, &context_), 8);
  expectRecorded(info_, TYK_REASON_INVALID_PARAMETER, "source/tyk_cnet/tyk_api_thes:71", stale);
  EXPECT_EQ(handle, reinterpret_cast<TykClThesaurus*>(0x10)) << "checks come before *handle";

  EXPECT_EQ(tykHandleNewThesaurusLookup(dir_.c_str(), "thes", 1200, 1, &handle, &context_), 8);
  EXPECT_EQ(handle, nullptr);
  expectRecorded(info_, TYK_REASON_INVALID_CCSID, "source/tyk_cnet/tyk_thesaurus:274",
                 {"1200", "", ""});

  const std::string longName(261, 'n');
  EXPECT_EQ(
      tykHandleNewThesaurusLookup(dir_.c_str(), longName.c_str(), 1208, 1, &handle, &context_), 8);
  EXPECT_EQ(handle, nullptr);
  expectRecorded(info_, TYK_REASON_INVALID_PARAMETER, "source/tyk_cnet/tyk_thesaurus:256",
                 {"261", "", ""});
  const std::string longDirs(300, 'd');
  EXPECT_EQ(tykHandleNewThesaurusLookup(longDirs.c_str(), "thes", 1208, 1, &handle, &context_), 8);
  expectRecorded(info_, TYK_REASON_INVALID_PARAMETER, "source/tyk_cnet/tyk_thesaurus:252",
                 {"300", "", ""});

  // A good creation after failures answers 0 again.
  EXPECT_EQ(tykHandleNewThesaurusLookup(dir_.c_str(), "thes", 943, 1, &handle, &context_), 0);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(tykHandleDeleteThesaurusLookup(&handle), 0);
  EXPECT_EQ(handle, nullptr);
}

TEST_F(Api, LookupFailuresCarryTheEngineContext) {
  TykClThesaurus* missing = nullptr;
  ASSERT_EQ(tykHandleNewThesaurusLookup(dir_.file("nowhere").c_str(), "thes", 1208, 10, &missing,
                                        &context_),
            0);
  TykClThesOutputList* list = kUntouched;
  EXPECT_EQ(tykThesaurusLookupPerform(missing, &list, "car", 3), 8);
  EXPECT_EQ(list, kUntouched);
  expectRecorded(
      info_, TYK_REASON_NOT_EXISTING, "source/tyk_cnet/tyk_thesaurus:146",
      {"Kernel return code: 543", "Kernel error code: 4208", "Dictionary does not exist.", ""});
  uint32_t count = 99;
  bool complete = false;
  EXPECT_EQ(tykThesaurusLookupObtainResultInformation(missing, &count, &complete), 0);
  EXPECT_EQ(count, 0u);  // the list of the failed lookup is gone
  EXPECT_TRUE(complete);
  EXPECT_EQ(tykThesaurusLookupObtainHighestTerms(missing, &list), 8);
  EXPECT_STREQ(info_.getOrigin(), "source/tyk_cnet/tyk_thesaurus:173");
  // Deleting after a failure releases the handle; the earlier code is what is returned.
  EXPECT_EQ(tykHandleDeleteThesaurusLookup(&missing), 8);
  EXPECT_EQ(missing, nullptr);

  info_.resetReturnCode();
  EXPECT_EQ(perform("bicycle"), 8);
  expectRecorded(info_, TYK_REASON_TERM_NOT_FOUND, "source/tyk_cnet/tyk_thesaurus:146",
                 {"Kernel return code: 552", "Kernel error code: 4212",
                  "The specified term can not be found.", ""});
  EXPECT_EQ(perform(std::string(65, 'a')), 8);
  expectRecorded(info_, TYK_REASON_TERM_TOO_LONG, "source/tyk_cnet/tyk_thesaurus:133",
                 {"65", "", ""});
  EXPECT_EQ(perform(""), 8);
  expectRecorded(
      info_, TYK_REASON_KERNEL_OTHER, "source/tyk_cnet/tyk_thesaurus:146",
      {"Kernel return code: 503", "Kernel error code: 4210", "Internal parameter error.", ""});
  EXPECT_EQ(tykThesaurusLookupPerform(handle_, nullptr, "car", 3), 8);
  // An argument failure leaves the context of the failure before.
  expectRecorded(
      info_, TYK_REASON_INVALID_PARAMETER, "source/tyk_cnet/tyk_api_thes:290",
      {"Kernel return code: 503", "Kernel error code: 4210", "Internal parameter error.", ""});
  EXPECT_EQ(tykThesaurusLookupPerform(handle_, &list, nullptr, 3), 8);
  // A thrown exception without text leaves an empty first line.
  expectRecorded(info_, TYK_REASON_INVALID_PARAMETER, "source/tyk_cnet/tyk_thesaurus:136",
                 {"", ""});
  EXPECT_EQ(tykThesaurusLookupObtainHighestTerms(handle_, nullptr), 8);
  EXPECT_STREQ(info_.getOrigin(), "source/tyk_cnet/tyk_api_thes:331");

  EXPECT_FALSE(wrote_) << "a failed lookup leaves the output argument alone";
  // The code stays until the caller clears it: a good lookup still answers 8.
  EXPECT_EQ(perform("car"), 8);
  EXPECT_TRUE(wrote_);
  info_.resetReturnCode();
  EXPECT_EQ(perform("car"), 0);
}

TEST_F(Api, TermLimitsThatWouldAllocateWithoutBoundAreRefused) {
  for (int limit : {-1, TYK_THES_TERM_LIMIT_MAX + 1}) {
    info_.resetReturnCode();
    ASSERT_EQ(tykThesaurusLookupSetTermLimit(handle_, limit), 0);
    EXPECT_EQ(perform("car"), 8);
    expectRecorded(info_, TYK_REASON_INVALID_PARAMETER, "source/tyk_cnet/tyk_api_thes:283",
                   {std::to_string(limit), "", ""});
    TykClThesOutputList* list = kUntouched;
    EXPECT_EQ(tykThesaurusLookupObtainHighestTerms(handle_, &list), 8);
    EXPECT_EQ(list, kUntouched);
  }
  info_.resetReturnCode();
  ASSERT_EQ(tykThesaurusLookupSetTermLimit(handle_, 0), 0);
  EXPECT_EQ(perform("car"), 0);
  uint32_t count = 5;
  bool complete = true;
  EXPECT_EQ(tykThesaurusLookupObtainResultInformation(handle_, &count, &complete), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(complete) << "no relations are followed yet, so nothing was left out";
}

TEST_F(Api, SettingsGoIntoTheConditionAndTermRecords) {
  CNETCOND& c = handle_->getCondition();
  EXPECT_EQ(c.maxTerms, 10u);
  EXPECT_EQ(c.maxDepth, 10);
  EXPECT_EQ(tykThesaurusLookupSetDepth(handle_, 3), 0);
  EXPECT_EQ(c.maxDepth, 3);
  EXPECT_EQ(tykThesaurusLookupSetDepth(handle_, 0), 0);
  EXPECT_EQ(c.maxDepth, 10);
  EXPECT_EQ(tykThesaurusLookupSetDepth(handle_, -1), 0);
  EXPECT_EQ(c.maxDepth, -1);
  EXPECT_EQ(tykThesaurusLookupSetRelationTypes(handle_, 0xC0), 0);
  EXPECT_EQ(c.relations, 0xC0);
  EXPECT_EQ(c.userFamilies, 0x40);
  EXPECT_EQ(tykThesaurusLookupSetTermLimit(handle_, 7), 0);
  EXPECT_EQ(c.maxTerms, 7u);
  EXPECT_EQ(tykThesaurusLookupAddRelation(handle_, 0, TYK_THES_NARROWER), 0);
  EXPECT_EQ(c.relations, 0xD0);
  EXPECT_EQ(tykThesaurusLookupAddRelation(handle_, 12, TYK_THES_BROADER), 0);
  ASSERT_EQ(c.userCount, 1u);
  EXPECT_EQ(c.userList[0].type, CNET_RELTYPE_USER_HIGHER);
  EXPECT_EQ(c.userList[0].number, 12);

  EXPECT_EQ(tykThesaurusLookupAddRelation(handle_, 129, TYK_THES_RELATED), 8);
  expectRecorded(info_, TYK_REASON_RELATION_NUMBER, "source/tyk_cnet/tyk_thesaurus:71",
                 {"129", "", ""});
  EXPECT_EQ(tykThesaurusLookupAddRelation(handle_, 5, TYK_THES_SYNONYM), 8);
  expectRecorded(info_, TYK_REASON_RELATION_TYPE, "source/tyk_cnet/tyk_thesaurus:109",
                 {"TYK_THES_SYNONYM", "", ""});
  EXPECT_EQ(c.userCount, 1u);

  // Argument failures below leave the context of the relation type failure above.
  const Lines kTypeContext = {"TYK_THES_SYNONYM", "", ""};
  info_.setNumberOfWarnings(3);
  EXPECT_EQ(tykThesaurusLookupSetStrength(handle_, 100), 0);
  EXPECT_EQ(c.minStrength, 100);
  EXPECT_EQ(info_.getReturnCode(), TYK_RC_ERROR) << "a good setting leaves the code alone";
  EXPECT_EQ(tykThesaurusLookupSetStrength(handle_, 101), 8);
  expectRecorded(info_, TYK_REASON_STRENGTH_RANGE, "source/tyk_cnet/tyk_api_thes:204",
                 kTypeContext);
  EXPECT_EQ(info_.getNumberOfWarnings(), 0u);
  EXPECT_EQ(c.minStrength, 100);

  CNETTERM& t = handle_->getTerm();
  // The masks as the term's options: many characters, then one; a mask is read despite length 0.
  auto options = [&] {
    return std::string{static_cast<char>(t.options[0]), static_cast<char>(t.options[1])};
  };
  EXPECT_EQ(tykThesaurusLookupSetMasks(handle_, "?", 1, "*", 1), 0);
  EXPECT_EQ(options(), "*?");
  EXPECT_EQ(tykThesaurusLookupSetMasks(handle_, "", 0, "", 0), 0);
  EXPECT_EQ(options(), std::string(2, '\0'));
  EXPECT_EQ(tykThesaurusLookupSetMasks(handle_, "%x", 0, "#", 0), 0);
  EXPECT_EQ(options(), "#%");
  EXPECT_EQ(tykThesaurusLookupSetMasks(handle_, nullptr, 0, nullptr, 0), 0);
  EXPECT_EQ(options(), std::string(2, '\0'));
  EXPECT_EQ(tykThesaurusLookupSetMasks(handle_, "??", 2, "**", 2), 8);
  expectRecorded(info_, TYK_REASON_MASK1_LENGTH, "source/tyk_cnet/tyk_api_thes:237", kTypeContext);
  EXPECT_EQ(tykThesaurusLookupSetMasks(handle_, "?", 1, "**", 2), 8);
  expectRecorded(info_, TYK_REASON_MASK2_LENGTH, "source/tyk_cnet/tyk_api_thes:243", kTypeContext);
  EXPECT_EQ(t.options[1], 0) << "a refused mask changes nothing";
}

// A callback that throws once, as a caller's code might.
void throwOnce(void* const, void* user) {
  bool* thrown = static_cast<bool*>(user);
  if (*thrown) return;
  *thrown = true;
  throw std::runtime_error("callback failed");
}

// A callback that answers every error with a warning of its own (but not the threshold's).
void warnOnError(void* const errorInfo, void*) {
  auto* info = static_cast<TykClErrorInfo*>(errorInfo);
  if (info->getReturnCode() != TYK_RC_ERROR ||
      info->getReasonCode() == TYK_REASON_WARNING_THRESHOLD)
    return;
  info->setError("caller:1", TYK_REASON_NAME_NOT_FOUND, TYK_RC_WARNING, TYK_ACTION_ERROR);
}

TEST_F(Api, NoExceptionLeavesEvenWhenRecordingThrows) {
  bool thrown = false;
  info_.setCallback(&throwOnce, &thrown);
  // The engine's exception is recorded, the callback throws; that one is recorded in turn as an
  // internal error of the function, which keeps the context the engine's exception left.
  EXPECT_EQ(perform("bicycle"), 8);
  EXPECT_TRUE(thrown);
  expectRecorded(info_, TYK_REASON_INTERNAL, "source/tyk_cnet/tyk_api_thes:296",
                 {"Kernel return code: 552", "Kernel error code: 4212",
                  "The specified term can not be found.", ""});

  // With a warning threshold of 2, the warning the callback records on the second failure
  // reaches the threshold; the threshold's exception is what the caller finds.
  TykClErrorInfo counting(2);
  TykClContext context(counting);
  counting.setCallback(&warnOnError, nullptr);
  TykClThesaurus* handle = nullptr;
  ASSERT_EQ(tykHandleNewThesaurusLookup(dir_.c_str(), "thes", 1208, 10, &handle, &context), 0);
  TykClThesOutputList* list = kUntouched;
  EXPECT_EQ(tykThesaurusLookupPerform(handle, &list, "bicycle", 7), 8);
  EXPECT_EQ(counting.getReturnCode(), TYK_RC_WARNING) << "the callback's warning came last";
  EXPECT_STREQ(counting.getOrigin(), "caller:1");
  EXPECT_EQ(counting.getNumberOfWarnings(), 1u);
  EXPECT_EQ(tykThesaurusLookupPerform(handle, &list, "bicycle", 7), 8);
  expectRecorded(counting, TYK_REASON_WARNING_THRESHOLD, "source/tyk_common/tyk_error_info:141",
                 {"", ""});
  EXPECT_EQ(counting.getNumberOfWarnings(), 0u);
  EXPECT_EQ(list, kUntouched);
  EXPECT_EQ(tykHandleDeleteThesaurusLookup(&handle), 8);
  EXPECT_EQ(handle, nullptr);
}

TEST_F(Api, EntryDataNeedsAnIteratorOnAnEntry) {
  ASSERT_EQ(tykThesaurusLookupSetRelationTypes(handle_, TYK_THES_SYNONYM), 0);
  TykClThesOutputList* list = nullptr;
  ASSERT_EQ(tykThesaurusLookupPerform(handle_, &list, "car", 3), 0);
  std::unique_ptr<TykClThesOutputList> owned(list);
  std::unique_ptr<TykClListABase::Iterator> it(list->getNewIterator());
  char text[192];
  std::memset(text, 'x', sizeof text);
  uint32_t length = 77, type = 77;
  uint8_t strength = 77;
  short depth = 77;
  unsigned short number = 77;
  ASSERT_EQ(tykThesaurusEntryObtainData(it.get(), text, &length, &strength, &depth, &type, &number),
            0);
  EXPECT_EQ(std::string(text, length), "auto");
  EXPECT_EQ(text[length], 'x') << "no terminating zero";  // the other fields: ApiLookup
  EXPECT_FALSE(it->setToNext(1));
  // Without somewhere to write, or off the entries, nothing is written or recorded.
  info_.resetReturnCode();
  EXPECT_EQ(
      tykThesaurusEntryObtainData(it.get(), nullptr, &length, &strength, &depth, &type, &number),
      8);
  TykClThesOutputList empty(TYK_LIST_TYPE_THES_OUTPUT, info_);
  empty.setResultStore(new TykClThesOutput(1));
  empty.init();
  std::unique_ptr<TykClListABase::Iterator> none(empty.getNewIterator());
  length = 77;
  EXPECT_EQ(
      tykThesaurusEntryObtainData(none.get(), text, &length, &strength, &depth, &type, &number), 8);
  EXPECT_EQ(length, 77u);
  EXPECT_EQ(info_.getReturnCode(), TYK_RC_OK);
}

}  // namespace
