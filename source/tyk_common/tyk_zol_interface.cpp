// Indexing-engine statuses: the reason table shared with CNET retcodes, and the exception with
// the kernel codes, the status's own message line and its detail fields.
#include <cstddef>

#include "tyk_common/tyk_error_translation.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_message_table.h"
#include "tyk_status_fields.h"

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
