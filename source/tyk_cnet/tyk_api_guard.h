// The one place where the flat lookup API turns exceptions into return codes.
#ifndef TYK_CNET_TYK_API_GUARD_H
#define TYK_CNET_TYK_API_GUARD_H

#include "tyk_common/tyk_codes.h"
#include "tyk_common/tyk_error_info.h"

namespace tyk {

// Records the exception being handled in info and returns the code the API function answers:
// TykClException and CosClException are recorded as such, anything else as reason 7 with the
// function's origin. When recording throws in turn (a warning threshold, a callback), that
// exception is recorded instead; if that fails too, 8 is returned. Call only inside a handler.
TykEnReturnCode recordCaughtException(TykClErrorInfo& info, const char* origin) noexcept;

// Runs body (returning TykEnReturnCode); no exception leaves.
template <typename Body>
TykEnReturnCode guarded(TykClErrorInfo& info, const char* origin, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return recordCaughtException(info, origin);
  }
}

// Records a bad argument: reason, return code 8, action 100001, with the origin; the context
// text of info is not touched.
TykEnReturnCode argumentError(TykClErrorInfo& info, const char* origin, TykEnReasonCode reason);

}  // namespace tyk

#endif  // TYK_CNET_TYK_API_GUARD_H
