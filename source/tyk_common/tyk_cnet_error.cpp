// Thesaurus-engine statuses: the exception with the kernel codes and one line in words.
#include <cstdio>

#include "tyk_common/tyk_error_translation.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_message_table.h"
#include "tyk_status_fields.h"

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

void tykHandleCnetError(const char* origin, unsigned int line, const CNETSTATUS& status) {
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
