/* TykClErrorInfo: the caller-owned record of the last error.
 *
 * Callers own one and pass it into the class layer's objects. setError records an error (its
 * origin and codes), runs the callback when one is set, and counts warnings (return code 4)
 * against the warning threshold: when the threshold is not 0 and reached, the context is
 * cleared, return code and warnings go to 0 and TykClException with reason 38 is thrown. The
 * context text is not touched by setError(origin, ...): fill it first with resetContext and
 * context, or record an exception, whose context is taken over.
 *
 * Before an operation a caller clears the return code and the warnings (resetReturnCode); the
 * reason, action, origin and context stay until the next error.
 * Threads: one thread at a time; the callback runs on the thread that records the error.
 */
#ifndef TYK_COMMON_TYK_ERROR_INFO_H
#define TYK_COMMON_TYK_ERROR_INFO_H

#include <cstdint>

#include "thesaurus_export.h"
#include "tyk_common/tyk_codes.h"
#include "tyk_common/tyk_error_data.h"

class CosClException;
class TykClException;

class THES_EXPORT TykClErrorInfo : public TykClErrorData {
 public:
  using Callback = void (*)(void* const errorInfo, void* userData);

  // No error (return code 0, reason 0, action 100000), no warnings, no callback.
  // warningThreshold 0 means no limit.
  explicit TykClErrorInfo(uint32_t warningThreshold = 0);
  ~TykClErrorInfo() override;
  TykClErrorInfo(const TykClErrorInfo&) = delete;
  TykClErrorInfo& operator=(const TykClErrorInfo&) = delete;

  // Records an error and returns returnCode (see above; may throw reason 38).
  TykEnReturnCode setError(const char* origin, TykEnReasonCode reason, TykEnReturnCode returnCode,
                           TykEnErrorAction action);
  // Records an exception of the class layer with its context text.
  TykEnReturnCode setError(const TykClException& exception);
  // Records an exception of the common services library: its cause as context, and for an
  // error id without a mapping its id and class as two further lines.
  TykEnReturnCode setError(const CosClException& exception);

  void setCallback(Callback callback, void* userData);
  void resetCallback();

  using TykClErrorData::resetContext;

  // Return code and number of warnings to 0, as before an operation.
  void resetReturnCode();
  void setReturnCode(TykEnReturnCode returnCode) { setReturnCodeOnly(returnCode); }
  const char* getOrigin() const { return iv_pszOrigin; }
  uint32_t getNumberOfWarnings() const { return iv_ulNumberOfWarnings; }
  void setNumberOfWarnings(uint32_t count) { iv_ulNumberOfWarnings = count; }
  uint32_t getWarningThreshold() const { return iv_ulWarningThreshold; }
  void setWarningThreshold(uint32_t threshold) { iv_ulWarningThreshold = threshold; }

 private:
  void execCallback() const;

  const char* iv_pszOrigin;       /* origin of the last error, not owned */
  uint32_t iv_ulNumberOfWarnings; /* warnings since the last reset */
  Callback iv_pfuCallback;        /* null for none */
  void* iv_pvCallbackUserData;
  uint32_t iv_ulWarningThreshold; /* 0 = no limit */
};

#endif /* TYK_COMMON_TYK_ERROR_INFO_H */
