// The exception base with cause, origin and line, and the library's own exception.
#include "common_services/cos_exception.h"

CosClExceptionABase::CosClExceptionABase(const char* cause)
    : iv_pszCause(cause ? cause : ""), iv_pszOrigin(nullptr), iv_uiLine(0) {}

CosClExceptionABase::~CosClExceptionABase() = default;

const char* CosClExceptionABase::getCause() const {
  return iv_pszCause;
}

void CosClExceptionABase::setOrigin(const char* origin, unsigned int line) {
  iv_pszOrigin = origin;
  iv_uiLine = line;
}

CosClException::CosClException(const char* cause, uint32_t id, uint32_t errorClass,
                               CosEnErrorAction action)
    : CosClExceptionABase(cause), iv_stError{id, errorClass, action} {}

CosClException::~CosClException() = default;
