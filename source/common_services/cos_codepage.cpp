// Code page values and the UTF-8 decoder.
#include "common_services/cos_codepage.h"

bool CosClCCSID::isUCS2() const {
  return iv_usNumber == COS_CCSID_UTF16 || iv_usNumber == COS_CCSID_UCS2;
}

uint32_t CosClConverterABase::convertUtf8CharToUtf32(const char* utf8) {
  constexpr uint32_t kReplacement = 0xFFFD;
  if (utf8 == nullptr) return kReplacement;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8);
  unsigned char first = p[0];
  if (first < 0x80) return first;
  int trailing;
  uint32_t cp;
  uint32_t minimum;
  if (first >= 0xC2 && first <= 0xDF) {
    trailing = 1, cp = first & 0x1Fu, minimum = 0x80;
  } else if (first >= 0xE0 && first <= 0xEF) {
    trailing = 2, cp = first & 0x0Fu, minimum = 0x800;
  } else if (first >= 0xF0 && first <= 0xF4) {
    trailing = 3, cp = first & 0x07u, minimum = 0x10000;
  } else {
    return kReplacement;  // a continuation byte, an overlong lead or beyond U+10FFFF
  }
  for (int i = 1; i <= trailing; ++i) {
    // A zero byte is not a continuation byte, so decoding stops at a terminator.
    if ((p[i] & 0xC0u) != 0x80u) return kReplacement;
    cp = (cp << 6) | (p[i] & 0x3Fu);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
  return cp;
}
