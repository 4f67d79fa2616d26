// Text helpers of the tools' output formats (see text_encoding.h).
#include "text_encoding.h"

#include <iconv.h>

#include <cstdio>
#include <vector>

namespace thestool {

namespace {

// Length of the well-formed UTF-8 sequence at text[i], or 0 when it is ill-formed.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b = byte(i);
  if (b < 0x80) return 1;
  std::size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
  if (n == 0 || b > 0xF4 || i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  const unsigned char c = byte(i + 1);
  if (b == 0xE0 && c < 0xA0) return 0;   // overlong
  if (b == 0xED && c >= 0xA0) return 0;  // surrogate
  if (b == 0xF0 && c < 0x90) return 0;   // overlong
  if (b == 0xF4 && c >= 0x90) return 0;  // beyond U+10FFFF
  return n;
}

// UTF-8 with every ill-formed byte replaced by U+FFFD.
std::string repairUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = utf8SequenceLength(text, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

// The converter name of the C library for the CCSIDs the tools accept, or null for UTF-8.
const char* converterName(uint16_t ccsid) {
  switch (ccsid) {
    case 819:
      return "ISO-8859-1";
    case 850:
      return "IBM850";
    case 874:
      return "CP874";
    case 932:
    case 943:
      return "IBM943";
    case 942:
      return "CP932";
    case 5039:
      return "SJIS";
    case 954:
      return "EUC-JP";
    case 950:
      return "BIG5";
    case 949:
    case 1363:
      return "CP949";
    case 970:
      return "EUC-KR";
    case 1381:
      return "GB2312";
    case 1383:
      return "EUC-CN";
    case 1386:
      return "GBK";
    default:
      break;
  }
  if (ccsid >= 1250 && ccsid <= 1258) {
    static const char* const kWindows[] = {"CP1250", "CP1251", "CP1252", "CP1253", "CP1254",
                                           "CP1255", "CP1256", "CP1257", "CP1258"};
    return kWindows[ccsid - 1250];
  }
  return nullptr;
}

// Appends "\u00XX" for a control character.
void appendUnicodeEscape(std::string* out, unsigned char c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\u%04X", c);
  *out += buf;
}

}  // namespace

bool isUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = utf8SequenceLength(text, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string toUtf8(std::string_view text, uint16_t ccsid) {
  const char* name = converterName(ccsid);
  if (name == nullptr) return repairUtf8(text);
  iconv_t cd = iconv_open("UTF-8", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return repairUtf8(text);
  std::string out;
  std::vector<char> buffer(text.size() * 4 + 16);
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  while (inLeft > 0) {
    char* to = buffer.data();
    std::size_t toLeft = buffer.size();
    std::size_t rc = iconv(cd, &in, &inLeft, &to, &toLeft);
    out.append(buffer.data(), static_cast<std::size_t>(to - buffer.data()));
    if (rc == static_cast<std::size_t>(-1)) {
      // A byte that does not convert (or an incomplete sequence at the end) is replaced.
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return repairUtf8(out);
}

std::string quotedString(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      appendUnicodeEscape(&out, c);
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

}  // namespace thestool
