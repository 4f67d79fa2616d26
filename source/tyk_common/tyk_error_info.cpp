// Error information: recording errors and exceptions, the warning threshold and the callback.
#include "tyk_common/tyk_error_info.h"

#include <cstring>

#include "common_services/cos_exception.h"
#include "common_services/cos_trace.h"
#include "tyk_common/tyk_error_translation.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_message_table.h"

namespace {

constexpr const char* kTraceFunction = "source/tyk_common/tyk_error_info:111";
constexpr const char* kThresholdOrigin = "source/tyk_common/tyk_error_info:141";
constexpr unsigned int kThresholdLine = 141;

void traceString(const CosClTraceInstance& trace, const char* item, const char* value) {
  const char* text = value ? value : "";
  trace.dumpData(1, 2, COS_TRACE_STRING, kTraceFunction, item, text, std::strlen(text));
}

void traceUnsigned(const CosClTraceInstance& trace, const char* item, uint32_t value) {
  trace.dumpData(1, 2, COS_TRACE_UNSIGNED, kTraceFunction, item, &value, sizeof value);
}

template <typename Pointer>
void tracePointer(const CosClTraceInstance& trace, const char* item, const Pointer& value) {
  static_assert(sizeof(Pointer) == sizeof(void*), "traced as a pointer");
  trace.dumpData(1, 2, COS_TRACE_POINTER, kTraceFunction, item, &value, sizeof value);
}

}  // namespace

TykClErrorInfo::TykClErrorInfo(uint32_t warningThreshold)
    : TykClErrorData(TYK_RC_OK, TYK_REASON_NONE, TYK_ACTION_NONE),
      iv_pszOrigin(nullptr),
      iv_ulNumberOfWarnings(0),
      iv_pfuCallback(nullptr),
      iv_pvCallbackUserData(nullptr),
      iv_ulWarningThreshold(warningThreshold) {}

TykClErrorInfo::~TykClErrorInfo() = default;

void TykClErrorInfo::resetReturnCode() {
  setReturnCodeOnly(TYK_RC_OK);
  iv_ulNumberOfWarnings = 0;
}

void TykClErrorInfo::setCallback(Callback callback, void* userData) {
  iv_pfuCallback = callback;
  iv_pvCallbackUserData = userData;
}

void TykClErrorInfo::resetCallback() {
  setCallback(nullptr, nullptr);
}

void TykClErrorInfo::execCallback() const {
  if (iv_pfuCallback != nullptr)
    iv_pfuCallback(const_cast<TykClErrorInfo*>(this), iv_pvCallbackUserData);
}

TykEnReturnCode TykClErrorInfo::setError(const char* origin, TykEnReasonCode reason,
                                         TykEnReturnCode returnCode, TykEnErrorAction action) {
  // The instance in place on entry serves the whole call, even if a callback removes it.
  CosClTraceInstance* trace = gs_pclCosTraceInstance;
  if (trace != nullptr) trace->dumpFunction(1, 2, COS_TRACE_ENTRY, kTraceFunction);
  iv_pszOrigin = origin;
  setCodes(returnCode, reason, action);
  if (trace != nullptr) {
    traceString(*trace, "origin", origin);
    traceUnsigned(*trace, "return code", returnCode);
    traceUnsigned(*trace, "reason code", reason);
    traceUnsigned(*trace, "action code", action);
    traceString(*trace, "current context", returnCode == TYK_RC_OK ? "" : getContext());
    tracePointer(*trace, "callback", iv_pfuCallback);
    tracePointer(*trace, "callback user data", iv_pvCallbackUserData);
  }
  execCallback();
  if (returnCode == TYK_RC_WARNING) {
    ++iv_ulNumberOfWarnings;
    if (trace != nullptr) {
      traceUnsigned(*trace, "number of warnings", iv_ulNumberOfWarnings);
      traceUnsigned(*trace, "warning threshold", iv_ulWarningThreshold);
    }
    if (iv_ulWarningThreshold != 0 && iv_ulNumberOfWarnings >= iv_ulWarningThreshold) {
      resetContext(nullptr);
      setReturnCodeOnly(TYK_RC_OK);
      iv_ulNumberOfWarnings = 0;
      TykClException exception(TYK_RC_ERROR, TYK_REASON_WARNING_THRESHOLD, TYK_ACTION_ERROR,
                               nullptr);
      exception.throwFrom(kThresholdOrigin, kThresholdLine);
    }
  }
  if (trace != nullptr) trace->dumpFunction(1, 2, COS_TRACE_EXIT, kTraceFunction);
  return returnCode;
}

TykEnReturnCode TykClErrorInfo::setError(const TykClException& exception) {
  // A library exception reaching this overload is recorded as such.
  const CosClExceptionABase& base = exception;
  if (base.isCosException()) {
    if (const auto* cos = dynamic_cast<const CosClException*>(&base)) return setError(*cos);
  }
  TykEnReturnCode returnCode = exception.getReturnCode();
  TykEnReasonCode reason = TYK_REASON_NONE;
  TykEnErrorAction action = TYK_ACTION_NONE;
  if (returnCode != TYK_RC_OK) {
    reason = exception.getReasonCode();
    action = exception.getAction();
  }
  resetContext(returnCode == TYK_RC_OK ? "" : exception.getContext());
  return setError(exception.getOrigin(), reason, returnCode, action);
}

TykEnReturnCode TykClErrorInfo::setError(const CosClException& exception) {
  const _CosStError& error = exception.getError();
  TykEnReasonCode reason = TykClCosInterface::getTykReasonCodeForCosError(error);
  TykEnReturnCode returnCode = TykClCosInterface::getTykReturnCodeForCosError(error);
  TykEnErrorAction action = TykClCosInterface::getTykActionForCosError(error);
  resetContext(exception.getCause());
  if (reason == TYK_REASON_COS_OTHER) {
    context(TYK_MSG_COS_ERROR_ID) << error.iv_ulId;
    context(TYK_MSG_COS_ERROR_CLASS) << error.iv_ulClass;
  }
  return setError(exception.getOrigin(), reason, returnCode, action);
}
