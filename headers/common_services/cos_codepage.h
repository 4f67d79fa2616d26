/* Common services: code page and language values, and the UTF-8 decoder.
 *
 * CosClCCSID and CosClLanguage are plain values. convertUtf8CharToUtf32 decodes one UTF-8
 * sequence; it stops at the first byte that does not continue the sequence, so it never reads
 * past a terminating zero.
 */
#ifndef COMMON_SERVICES_COS_CODEPAGE_H
#define COMMON_SERVICES_COS_CODEPAGE_H

#include <cstdint>

#include "thesaurus_export.h"

#define COS_CCSID_UTF8 1208
#define COS_CCSID_UTF16 1200 /* the 2-byte Unicode code page */
#define COS_CCSID_UCS2 13488 /* its older name */
#define COS_LANGUAGE_THAI 120

class THES_EXPORT CosClCCSID {
 public:
  explicit CosClCCSID(uint16_t number = COS_CCSID_UTF8) : iv_usNumber(number) {}
  uint16_t getNumber() const { return iv_usNumber; }
  operator uint16_t() const { return iv_usNumber; }
  // True for the 2-byte Unicode code page (1200, or its older number 13488).
  bool isUCS2() const;

 private:
  uint16_t iv_usNumber;
};

class THES_EXPORT CosClLanguage {
 public:
  explicit CosClLanguage(uint32_t code = 0) : iv_ulCode(code) {}
  uint32_t getCode() const { return iv_ulCode; }

 private:
  uint32_t iv_ulCode;
};

class THES_EXPORT CosClConverterABase {
 public:
  // The code point of the UTF-8 sequence starting at utf8. A byte below 0x80 is itself; a
  // malformed, overlong, truncated or surrogate sequence gives U+FFFD.
  static uint32_t convertUtf8CharToUtf32(const char* utf8);
};

#endif /* COMMON_SERVICES_COS_CODEPAGE_H */
