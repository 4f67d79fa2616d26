// Translation of the statuses that reach the class layer from below into its codes and
// exceptions: the indexing engine's, the thesaurus engine's and the common services library's.
#include <cstddef>
#include <cstdio>

#include "tyk_common/tyk_error_translation.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_message_table.h"
#include "tyk_status_fields.h"

// Indexing-engine statuses: the reason table shared with CNET retcodes, and the exception with
// the kernel codes, the status's own message line and its detail fields.

namespace {

struct ReasonPair {
  long code;
  TykEnReasonCode reason;
};

// Indexing-engine codes and CNET retcodes (the two ranges do not overlap); first match wins.
constexpr ReasonPair kReasonTable[] = {
    {0, TYK_REASON_NONE},
    {1, TYK_REASON_KERNEL_1},
    {2, TYK_REASON_INVALID_PARAMETER},
    {3, TYK_REASON_FILE_OPEN},
    {4, TYK_REASON_FILE_READ},
    {5, TYK_REASON_FILE_WRITE},
    {6, TYK_REASON_FILE_SEEK},
    {7, TYK_REASON_FILE_POSITION},
    {8, TYK_REASON_FILE_REMOVE},
    {9, TYK_REASON_FILE_RENAME},
    {10, TYK_REASON_FILE_CLOSE},
    {11, TYK_REASON_OUT_OF_STORAGE},
    {15, TYK_REASON_CALLING_SEQUENCE},
    {16, TYK_REASON_DATA_INVALID},
    {17, TYK_REASON_INTERNAL},
    {19, TYK_REASON_DATA_INVALID},
    {20, TYK_REASON_NOT_EXISTING},
    {21, TYK_REASON_CALLING_SEQUENCE},
    {29, TYK_REASON_NAME_INVALID},
    {35, TYK_REASON_NAME_INVALID},
    {50, TYK_REASON_KERNEL_SEVERE},
    {114, TYK_REASON_ATTRIBUTE_NUMBER},
    {119, TYK_REASON_ATTRIBUTE_NUMBER},
    {131, TYK_REASON_KERNEL_SEVERE},
    {135, TYK_REASON_KERNEL_SEVERE},
    {140, TYK_REASON_DIRECTORY_CREATE},
    {141, TYK_REASON_FILE_REMOVE},
    {151, TYK_REASON_STOPWORD_FILE},
    {153, TYK_REASON_KERNEL_153},
    {999, TYK_REASON_KERNEL_SEVERE},
    {502, TYK_REASON_NAME_LENGTH},
    {510, TYK_REASON_FILE_OPEN},
    {511, TYK_REASON_FILE_READ},
    {512, TYK_REASON_FILE_WRITE},
    {513, TYK_REASON_FILE_SEEK},
    {514, TYK_REASON_FILE_POSITION},
    {515, TYK_REASON_FILE_REMOVE},
    {516, TYK_REASON_FILE_RENAME},
    {517, TYK_REASON_FILE_CLOSE},
    {519, TYK_REASON_UNEXPECTED_EOF},
    {520, TYK_REASON_OUT_OF_STORAGE},
    {521, TYK_REASON_BUFFER_OVERFLOW},
    {531, TYK_REASON_RESOURCE_IN_USE},
    {541, TYK_REASON_DATA_INVALID},
    {542, TYK_REASON_DICTIONARY_VERSION},
    {543, TYK_REASON_NOT_EXISTING},
    {544, TYK_REASON_DICTIONARY_EXISTS},
    {551, TYK_REASON_INVALID_PARAMETER},
    {552, TYK_REASON_TERM_NOT_FOUND},
};

// What follows the message text of a status line.
enum class After { kNothing, kName, kTwoNames, kStopWordLine };

struct ZolLine {
  uint32_t code;
  int message;
  After after;
};

constexpr ZolLine kZolLines[] = {
    {2, 64, After::kNothing},
    {3, 30, After::kName},
    {4, 31, After::kName},
    {5, 37, After::kName},
    {6, 35, After::kName},
    {7, 36, After::kName},
    {8, 32, After::kName},
    {9, 34, After::kTwoNames},
    {10, 29, After::kName},
    {11, 42, After::kNothing},
    {15, 41, After::kNothing},
    {16, 55, After::kNothing},
    {19, 55, After::kNothing},
    {20, 57, After::kNothing},
    {22, 71, After::kNothing},
    {23, 58, After::kNothing},
    {25, 68, After::kNothing},
    {29, 59, After::kNothing},
    {30, 76, After::kNothing},
    {31, 77, After::kNothing},
    {35, 70, After::kNothing},
    {107, 70, After::kNothing},
    {101, 61, After::kNothing},
    {111, 72, After::kNothing},
    {113, 73, After::kNothing},
    {114, 66, After::kNothing},
    {116, 67, After::kNothing},
    {118, 65, After::kNothing},
    {119, 75, After::kNothing},
    {127, 69, After::kNothing},
    {129, 43, After::kNothing},
    {130, 43, After::kNothing},
    {154, 43, After::kNothing},
    {140, 38, After::kName},
    {141, 39, After::kName},
    {150, 40, After::kNothing},
    {151, TYK_MSG_STOPWORD_FILE, After::kStopWordLine},
    {152, 44, After::kName},
};

// The status's own line, when its code has one.
void writeZolLine(TykClException& exception, const ZOLSTATUS& status) {
  for (const ZolLine& entry : kZolLines) {
    if (entry.code != status.retcode) continue;
    tyk::StatusName name(status.filename);
    switch (entry.after) {
      case After::kNothing:
        exception.context(entry.message);
        break;
      case After::kName:
        exception.context(entry.message) << ": '" << name.c_str() << "'";
        break;
      case After::kTwoNames: {
        tyk::StatusName second(status.filename2);
        exception.context(entry.message)
            << ": '" << name.c_str() << "' - '" << second.c_str() << "'";
        break;
      }
      case After::kStopWordLine:
        exception.context(entry.message, name.c_str()) << ": " << status.kernelInfo;
        break;
    }
    return;
  }
}

}  // namespace

TykEnReasonCode TykClZolInterface::getTykReasonCodeForZolRc(long code) {
  for (const ReasonPair& pair : kReasonTable) {
    if (pair.code == code) return pair.reason;
  }
  return TYK_REASON_KERNEL_OTHER;
}

TykEnReasonCode TykClZolInterface::getTykReasonCodeForZolStatus(const ZOLSTATUS& status) {
  return getTykReasonCodeForZolRc(static_cast<long>(status.retcode));
}

TykEnReturnCode TykClZolInterface::getTykReturnCodeForZolStatus(const ZOLSTATUS& status) {
  return status.retcode == 0 ? TYK_RC_OK : TYK_RC_ERROR;
}

TykEnErrorAction TykClZolInterface::getTykActionForZolStatus(const ZOLSTATUS&) {
  return TYK_ACTION_ERROR;
}

void TykClZolInterface::handleZolError(const char* origin, unsigned int line,
                                       const ZOLSTATUS& status) {
  if (status.retcode == 0) return;
  TykClException exception(getTykReturnCodeForZolStatus(status),
                           getTykReasonCodeForZolStatus(status), getTykActionForZolStatus(status),
                           nullptr);
  exception.setZolStatus(status);
  exception.context(TYK_MSG_KERNEL_RETURN_CODE) << ": " << status.retcode;
  exception.context(TYK_MSG_KERNEL_ERROR_CODE) << ": " << status.errcode;
  writeZolLine(exception, status);
  exception.context(TYK_MSG_PROCESSED_INDEX_TYPE)
      << ": " << static_cast<unsigned int>(status.indexType);
  exception.context(TYK_MSG_ERRNO) << ": " << status.errnoValue;
  exception.context(TYK_MSG_KERNEL_ERROR_INFO) << ": " << status.kernelInfo;
  exception.context(TYK_MSG_CONTEXT) << ": " << static_cast<unsigned int>(status.context);
  exception.throwFrom(origin, line, false);
}

// Thesaurus-engine statuses: the exception with the kernel codes and one line in words.

namespace {

struct CnetLine {
  uint32_t retcode;
  int message;
  int names; /* how many file names go in as %1, %2 */
};

constexpr CnetLine kCnetLines[] = {
    {CNET_PARAMETER, 108, 0},
    {CNET_OPEN, 109, 1},
    {CNET_READ, 111, 1},
    {CNET_WRITE, 112, 1},
    {CNET_SEEK, 113, 1},
    {CNET_TELL, 113, 1},
    {CNET_DELETE, 114, 1},
    {CNET_RENAME, 115, 2},
    {CNET_CLOSE, 116, 1},
    {CNET_NO_MEMORY, 118, 0},
    {521, 119, 0},
    {CNET_LOCK_ERROR, 120, 0},
    {CNET_LOCKED, 121, 0},
    {CNET_OUTPUT_EXISTS, 122, 0},
    {CNET_INTEGRITY, 123, 0},
    {CNET_VERSION, 124, 0},
    {CNET_NOT_EXIST, 125, 0},
    {CNET_EXISTS, 126, 0},
    {CNET_NORMALIZE, 127, 0},
    {CNET_BAD_BASE_WORD, 128, 0},
    {CNET_NOT_FOUND, 129, 0},
};

// Messages of the definition-file reasons 1 to 10 of CNET_INPUT.
constexpr int kInputMessages[] = {137, 138, 139, 140, 140, 141, 142, 143, 144, 145};

void writeCnetLine(TykClException& exception, const CNETSTATUS& status) {
  tyk::StatusName name(status.filename);
  if (status.retcode == CNET_INPUT) {
    int message = TYK_MSG_INTERNAL_ERROR;
    if (status.errcode >= 1 && status.errcode <= 10) message = kInputMessages[status.errcode - 1];
    char line[16];
    std::snprintf(line, sizeof line, "%u", static_cast<unsigned int>(status.line));
    exception.context(message, name.c_str(), status.line != 0 ? line : nullptr);
    return;
  }
  for (const CnetLine& entry : kCnetLines) {
    if (entry.retcode != status.retcode) continue;
    if (entry.names == 0) {
      exception.context(entry.message);
    } else if (entry.names == 1) {
      exception.context(entry.message, name.c_str());
    } else {
      tyk::StatusName second(status.filename2);
      exception.context(entry.message, name.c_str(), second.c_str());
    }
    return;
  }
  exception.context(TYK_MSG_INTERNAL_UNEXPECTED);
}

}  // namespace

THES_EXPORT void tykHandleCnetError(const char* origin, unsigned int line,
                                    const CNETSTATUS& status) {
  if (status.retcode == 0) return;
  TykClException exception(
      TYK_RC_ERROR, TykClZolInterface::getTykReasonCodeForZolRc(static_cast<long>(status.retcode)),
      TYK_ACTION_ERROR, nullptr);
  exception.context(TYK_MSG_KERNEL_RETURN_CODE) << ": " << status.retcode;
  exception.context(TYK_MSG_KERNEL_ERROR_CODE) << ": " << status.errcode;
  writeCnetLine(exception, status);
  if (status.termsOmitted != 0) exception.context(TYK_MSG_RESULTS_OMITTED);
  exception.throwFrom(origin, line, false);
}

// Library error records: reason and action tables and the exception with the id and class.

namespace {

struct IdPair {
  unsigned long id;
  TykEnReasonCode reason;
};

// First match wins; an id without a pair gives 28.
constexpr IdPair kIdTable[] = {
    {1000001, TYK_REASON_COS_1000001},     {1000002, TYK_REASON_COS_1000002},
    {1000003, TYK_REASON_COS_1000003},     {1000101, TYK_REASON_COS_OTHER},
    {1000105, TYK_REASON_COS_OTHER},       {1000102, TYK_REASON_RESOURCE_IN_USE},
    {1000103, TYK_REASON_RESOURCE_IN_USE}, {1000104, TYK_REASON_RESOURCE_IN_USE},
    {1000401, TYK_REASON_FILE_WRITE},      {1000402, TYK_REASON_FILE_REMOVE},
    {1000403, TYK_REASON_COS_OTHER},       {1000404, TYK_REASON_FILE_RENAME},
    {1000601, TYK_REASON_COS_OTHER},       {1000602, TYK_REASON_COS_OTHER},
    {1000801, TYK_REASON_OUT_OF_STORAGE},  {1000802, TYK_REASON_OUT_OF_STORAGE},
    {1000906, TYK_REASON_OUT_OF_STORAGE},  {1001001, TYK_REASON_OUT_OF_STORAGE},
    {1001002, TYK_REASON_OUT_OF_STORAGE},  {1000901, TYK_REASON_KERNEL_SEVERE},
    {1000902, TYK_REASON_COS_1000902},     {1000903, TYK_REASON_COS_1000903},
    {1000904, TYK_REASON_COS_1000904},     {1000905, TYK_REASON_COS_1000905},
};

}  // namespace

TykEnReturnCode TykClCosInterface::getTykReturnCodeForCosError(const _CosStError& error) {
  return error.iv_ulId == 0 ? TYK_RC_OK : TYK_RC_ERROR;
}

TykEnReasonCode TykClCosInterface::getTykReasonCodeForCosError(const _CosStError& error) {
  return getTykReasonCodeForCosErrorId(error.iv_ulId);
}

TykEnReasonCode TykClCosInterface::getTykReasonCodeForCosErrorId(unsigned long id) {
  for (const IdPair& pair : kIdTable) {
    if (pair.id == id) return pair.reason;
  }
  return TYK_REASON_COS_OTHER;
}

TykEnErrorAction TykClCosInterface::getTykActionForCosError(const _CosStError&) {
  return TYK_ACTION_ERROR;
}

TykEnErrorAction TykClCosInterface::getTykActionForCosErrorAction(CosEnErrorAction action) {
  switch (static_cast<uint32_t>(action)) {
    case 0:
      return TYK_ACTION_NONE;
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
      return TYK_ACTION_ERROR;
    case 8:
    case 10:
      return TYK_ACTION_COS_RESOURCES;
    default:
      return TYK_ACTION_COS_UNKNOWN;  // 6 and every action without a pair
  }
}

void TykClCosInterface::handleCosError(const char* origin, unsigned int line,
                                       const _CosStError& error) {
  if (error.iv_ulId == 0) return;
  TykClException exception(getTykReturnCodeForCosError(error), getTykReasonCodeForCosError(error),
                           TYK_ACTION_ERROR, nullptr);
  exception.context(TYK_MSG_COS_ERROR_ID) << ": " << error.iv_ulId;
  exception.context(TYK_MSG_COS_ERROR_CLASS) << ": " << error.iv_ulClass;
  exception.throwFrom(origin, line, false);
}
