// The class layer's exception and its throw protocol.
#include "tyk_common/tyk_exception.h"

#include "common_services/cos_trace.h"

TykClException::TykClException(TykEnReasonCode reason, const char* text)
    : TykClException(TYK_RC_ERROR, reason, TYK_ACTION_ERROR, text) {}

TykClException::TykClException(TykEnReturnCode returnCode, TykEnReasonCode reason, const char* text)
    : TykClException(returnCode, reason, TYK_ACTION_ERROR, text) {}

TykClException::TykClException(TykEnReturnCode returnCode, TykEnReasonCode reason,
                               TykEnErrorAction action, const char* text)
    : CosClExceptionABase(text),
      TykClErrorData(returnCode, reason, action),
      iv_strCause(text ? text : "") {
  setCausePointer(iv_strCause.c_str());
  resetContext(text);
}

TykClException::TykClException(const TykClException& other)
    : CosClExceptionABase(other), TykClErrorData(other), iv_strCause(other.iv_strCause) {
  setCausePointer(iv_strCause.c_str());
}

TykClException& TykClException::operator=(const TykClException& other) {
  if (this == &other) return *this;
  CosClExceptionABase::operator=(other);
  TykClErrorData::operator=(other);
  iv_strCause = other.iv_strCause;
  setCausePointer(iv_strCause.c_str());
  return *this;
}

TykClException::~TykClException() = default;

void TykClException::throwFrom(const char* origin, unsigned int line, bool traceDump) {
  setOrigin(origin, line);
  if (traceDump && gs_pclCosTraceInstance != nullptr)
    cosTraceDump(1, 2, COS_TRACE_STRING, origin, "TykClException", getContext(),
                 getContextLength());
  throw *this;
}
