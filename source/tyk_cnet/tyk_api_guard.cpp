// Recording the exceptions that reach the flat lookup API.
#include "tyk_api_guard.h"

#include <exception>

#include "common_services/cos_exception.h"
#include "tyk_common/tyk_exception.h"

namespace tyk {

namespace {

// Records one exception; throws when recording itself throws. Any other exception is recorded
// by its origin and codes alone; the context text of the error information stays as it was.
TykEnReturnCode record(TykClErrorInfo& info, const char* origin, const std::exception_ptr& caught) {
  try {
    std::rethrow_exception(caught);
  } catch (const TykClException& e) {
    return info.setError(e);
  } catch (const CosClException& e) {
    return info.setError(e);
  } catch (...) {
  }
  info.setError(origin, TYK_REASON_INTERNAL, TYK_RC_ERROR, TYK_ACTION_ERROR);
  return info.getReturnCode();
}

}  // namespace

TykEnReturnCode recordCaughtException(TykClErrorInfo& info, const char* origin) noexcept {
  std::exception_ptr caught = std::current_exception();
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      return record(info, origin, caught);
    } catch (...) {
      caught = std::current_exception();
    }
  }
  return TYK_RC_ERROR;
}

TykEnReturnCode argumentError(TykClErrorInfo& info, const char* origin, TykEnReasonCode reason) {
  return info.setError(origin, reason, TYK_RC_ERROR, TYK_ACTION_ERROR);
}

}  // namespace tyk
