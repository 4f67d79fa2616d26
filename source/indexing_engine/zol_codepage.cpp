// Code page table and character reader of the indexing engine.
#include "zol_codepage.h"

#include <unicode/ucnv.h>
#include <unicode/utf8.h>

#include <array>
#include <mutex>

namespace zol {
namespace {

// One line per code page number. The numbers follow the dictionaries' numbering; the CCSIDs
// that map to them are those of the lookup object's CCSID table.
constexpr CodePageInfo kCodePages[kCodePageMax] = {
    {1, "ibm-943_P15A-2003", false, false},  // Japanese Shift-JIS (932, 942, 943)
    {2, "windows-950", false, false},        // Traditional Chinese Big5 (950)
    {3, "windows-949", false, false},        // Korean (949, 970, 1363)
    {4, "ibm-1383", false, false},           // Simplified Chinese EUC-CN
    {5, "ibm-850", false, true},             // Latin-1 PC (850)
    {6, "ibm-437", false, true},             // US PC
    {7, "ISO-8859-1", false, true},          // Latin-1 (819)
    {8, "windows-1252", false, true},        // Western Windows (1252)
    {9, "ibm-1386", false, false},           // Simplified Chinese GBK (1381, 1383, 1386)
    {10, "ibm-930", true, false},            // EBCDIC Japanese Katakana mixed
    {11, "ibm-939", true, false},            // EBCDIC Japanese Latin mixed
    {12, "ibm-933", true, false},            // EBCDIC Korean mixed
    {13, "ibm-935", true, false},            // EBCDIC Simplified Chinese mixed
    {14, "ibm-937", true, false},            // EBCDIC Traditional Chinese mixed
    {15, "ibm-1364", true, false},           // EBCDIC Korean extended mixed
    {16, "windows-1250", false, true},       // Central European (1250)
    {17, "windows-1251", false, true},       // Cyrillic (1251)
    {18, "windows-1253", false, true},       // Greek (1253)
    {19, "windows-1254", false, true},       // Turkish (1254)
    {20, "windows-1255", false, true},       // Hebrew (1255)
    {21, "windows-1256", false, true},       // Arabic (1256)
    {22, "windows-1257", false, true},       // Baltic (1257)
    {23, "windows-1258", false, true},       // Vietnamese (1258)
    {24, "windows-874", false, true},        // Thai (874)
    {25, "ibm-37", true, true},              // EBCDIC US
    {26, "ibm-273", true, true},             // EBCDIC German
    {27, "ibm-277", true, true},             // EBCDIC Danish/Norwegian
    {28, "ibm-278", true, true},             // EBCDIC Finnish/Swedish
    {29, "ibm-280", true, true},             // EBCDIC Italian
    {30, "ibm-284", true, true},             // EBCDIC Spanish
    {31, "ibm-285", true, true},             // EBCDIC UK
    {32, "ibm-297", true, true},             // EBCDIC French
    {33, "ibm-500", true, true},             // EBCDIC International
    {34, "UTF-8", false, false},             // Unicode (1208)
    {35, "ibm-954", false, false},           // Japanese EUC-JP (954)
    {36, "ISO-8859-15", false, true},        // Latin-9
};

struct SingleByteTables {
  std::array<std::once_flag, kCodePageMax> once;
  std::array<std::array<int32_t, 256>, kCodePageMax> table;
  std::array<bool, kCodePageMax> ok{};
};

SingleByteTables& singleByteTables() {
  static SingleByteTables tables;
  return tables;
}

void buildSingleByteTable(uint8_t codePage, std::array<int32_t, 256>& table, bool& ok) {
  UConverter* cnv = openConverter(codePage);
  if (cnv == nullptr) return;
  for (int b = 0; b < 256; ++b) {
    char byte = static_cast<char>(b);
    const char* src = &byte;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_reset(cnv);
    UChar32 c = ucnv_getNextUChar(cnv, &src, src + 1, &err);
    table[b] = U_SUCCESS(err) ? c : -1;
  }
  closeConverter(cnv);
  ok = true;
}

}  // namespace

const CodePageInfo* codePageInfo(uint8_t number) {
  if (number == 0 || number > kCodePageMax) return nullptr;
  return &kCodePages[number - 1];
}

bool isEbcdic(uint8_t codePage) {
  return (codePage >= 10 && codePage <= 15) || (codePage >= 25 && codePage <= 33);
}

const int32_t* singleByteTable(uint8_t codePage) {
  const CodePageInfo* info = codePageInfo(codePage);
  if (info == nullptr || !info->singleByte) return nullptr;
  SingleByteTables& t = singleByteTables();
  size_t i = codePage - 1u;
  std::call_once(t.once[i], [&] { buildSingleByteTable(codePage, t.table[i], t.ok[i]); });
  return t.ok[i] ? t.table[i].data() : nullptr;
}

UConverter* openConverter(uint8_t codePage) {
  const CodePageInfo* info = codePageInfo(codePage);
  if (info == nullptr) return nullptr;
  UErrorCode err = U_ZERO_ERROR;
  UConverter* cnv = ucnv_open(info->converter, &err);
  if (U_FAILURE(err)) return nullptr;
  err = U_ZERO_ERROR;
  ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
  ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
  if (U_FAILURE(err)) {
    ucnv_close(cnv);
    return nullptr;
  }
  return cnv;
}

void closeConverter(UConverter* converter) {
  if (converter != nullptr) ucnv_close(converter);
}

size_t encodeChar(uint8_t codePage, int32_t codePoint, char* out, size_t capacity) {
  if (codePoint < 0 || codePoint > 0x10FFFF || capacity == 0) return 0;
  if (codePage == kCodePageUtf8) {
    if (capacity < static_cast<size_t>(U8_LENGTH(codePoint))) return 0;
    size_t n = 0;
    UBool error = false;
    U8_APPEND(reinterpret_cast<uint8_t*>(out), n, capacity, codePoint, error);
    return error ? 0 : n;
  }
  if (const int32_t* table = singleByteTable(codePage)) {
    for (int b = 0; b < 256; ++b) {
      if (table[b] == codePoint) {
        out[0] = static_cast<char>(b);
        return 1;
      }
    }
    return 0;
  }
  UConverter* cnv = openConverter(codePage);
  if (cnv == nullptr) return 0;
  UChar units[2];
  int32_t unitCount = 0;
  U16_APPEND_UNSAFE(units, unitCount, codePoint);
  UErrorCode err = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(cnv, out, static_cast<int32_t>(capacity), units, unitCount, &err);
  closeConverter(cnv);
  if (U_FAILURE(err) || n <= 0 || static_cast<size_t>(n) > capacity) return 0;
  return static_cast<size_t>(n);
}

CharReader::CharReader(uint8_t codePage, const char* text, size_t length)
    : text_(reinterpret_cast<const uint8_t*>(text)), length_(length), codePage_(codePage) {
  const CodePageInfo* info = codePageInfo(codePage);
  if (info == nullptr) return;
  if (codePage == kCodePageUtf8) {
    valid_ = true;
  } else if (info->singleByte) {
    table_ = singleByteTable(codePage);
    valid_ = table_ != nullptr;
  } else {
    converter_ = openConverter(codePage);
    valid_ = converter_ != nullptr;
  }
}

CharReader::~CharReader() {
  closeConverter(converter_);
}

bool CharReader::next(size_t* offset, size_t* length, int32_t* codePoint) {
  if (!valid_ || pos_ >= length_) return false;
  *offset = pos_;
  if (table_ != nullptr) {
    *codePoint = table_[text_[pos_]];
    *length = 1;
    pos_ += 1;
    return true;
  }
  if (converter_ == nullptr) {  // UTF-8
    size_t i = pos_;
    UChar32 c;
    U8_NEXT(text_, i, length_, c);
    *codePoint = c < 0 ? -1 : c;
    *length = c < 0 ? 1 : i - pos_;
    pos_ += *length;
    return true;
  }
  const char* src = reinterpret_cast<const char*>(text_ + pos_);
  const char* limit = reinterpret_cast<const char*>(text_ + length_);
  UErrorCode err = U_ZERO_ERROR;
  UChar32 c = ucnv_getNextUChar(converter_, &src, limit, &err);
  size_t used = static_cast<size_t>(reinterpret_cast<const uint8_t*>(src) - (text_ + pos_));
  if (U_FAILURE(err) || used == 0) {
    // An invalid or truncated sequence: hand back the bytes the converter stopped at (at
    // least one) and start afresh behind them.
    *codePoint = -1;
    *length = used == 0 ? 1 : used;
    ucnv_resetToUnicode(converter_);
  } else {
    *codePoint = c;
    *length = used;
  }
  pos_ += *length;
  return true;
}

}  // namespace zol
