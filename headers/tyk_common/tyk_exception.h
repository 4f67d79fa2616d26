/* TykClException: the one exception type of the class layer.
 *
 * An exception carries return, reason and action codes and a context text (TykClErrorData)
 * together with the cause, origin and line of CosClExceptionABase. A throw site builds a local
 * exception, optionally adds context lines, then calls throwFrom with its origin text
 * ("source/dir/file:line") and line: that records them, dumps the context text to the trace
 * when tracing is on, and throws a copy.
 *
 * Ownership: the exception keeps its own copy of the cause text, so the text given to the
 * constructor may be a local buffer. The origin text must outlive the exception (a literal).
 */
#ifndef TYK_COMMON_TYK_EXCEPTION_H
#define TYK_COMMON_TYK_EXCEPTION_H

#include <string>

#include "common_services/cos_exception.h"
#include "thesaurus_export.h"
#include "tyk_common/tyk_codes.h"
#include "tyk_common/tyk_error_data.h"

class THES_EXPORT TykClException : public CosClExceptionABase, public TykClErrorData {
 public:
  // Return code 8, action 100001.
  TykClException(TykEnReasonCode reason, const char* text);
  // Action 100001.
  TykClException(TykEnReturnCode returnCode, TykEnReasonCode reason, const char* text);
  // Each sets the cause to text ("" for null) and resets the context with text as first line.
  TykClException(TykEnReturnCode returnCode, TykEnReasonCode reason, TykEnErrorAction action,
                 const char* text);
  TykClException(const TykClException& other);
  TykClException& operator=(const TykClException& other);
  ~TykClException() override;

  bool isCosException() const override { return false; }

  // Sets origin and line, dumps the context text to the trace when traceDump is true and a
  // trace instance is installed, and throws a copy of this exception.
  [[noreturn]] void throwFrom(const char* origin, unsigned int line, bool traceDump = true);

 private:
  std::string iv_strCause;
};

#endif /* TYK_COMMON_TYK_EXCEPTION_H */
