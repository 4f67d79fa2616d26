// Code pages of the indexing engine: the numbers 1 to 36 that dictionaries carry, the ICU
// converter behind each, and a reader that steps through a text one character at a time.
//
// The table is constant. Single-byte code pages get a 256-entry byte-to-code-point table that
// is built once, on first use, and never changes afterwards; everything else is per call.
// A CharReader belongs to one thread.
#ifndef INDEXING_ENGINE_ZOL_CODEPAGE_H
#define INDEXING_ENGINE_ZOL_CODEPAGE_H

#include <cstddef>
#include <cstdint>

struct UConverter;

namespace zol {

constexpr uint8_t kCodePageUtf8 = 34;
constexpr uint8_t kCodePageMax = 36;         // highest code page of a dictionary
constexpr uint8_t kMessageCodePageMax = 37;  // messages accept one more

struct CodePageInfo {
  uint8_t number;         // 1 to 36
  const char* converter;  // ICU converter name
  bool ebcdic;            // EBCDIC code page (10 to 15, 25 to 33)
  bool singleByte;        // every character is one byte
};

// The entry for a code page number, or null for 0 and numbers above 36.
const CodePageInfo* codePageInfo(uint8_t number);

// True for the EBCDIC code pages 10 to 15 and 25 to 33.
bool isEbcdic(uint8_t codePage);

// The blank of a code page: 0x40 in EBCDIC, else 0x20.
inline uint8_t blankByte(uint8_t codePage) {
  return isEbcdic(codePage) ? 0x40 : 0x20;
}

// Code point of each byte of a single-byte code page (-1 where the byte maps to nothing), or
// null for other code pages and when the converter cannot be opened.
const int32_t* singleByteTable(uint8_t codePage);

// Opens a fresh ICU converter for a code page, set to stop at invalid input; null on failure.
// The caller closes it with closeConverter.
UConverter* openConverter(uint8_t codePage);
void closeConverter(UConverter* converter);

// Encodes one code point in a code page into out; returns the bytes written, 0 when the code
// point has no mapping there or does not fit.
size_t encodeChar(uint8_t codePage, int32_t codePoint, char* out, size_t capacity);

// Steps through a text character by character. A byte sequence that is not a character of the
// code page comes back as one unit with code point -1.
class CharReader {
 public:
  CharReader(uint8_t codePage, const char* text, size_t length);
  ~CharReader();
  CharReader(const CharReader&) = delete;
  CharReader& operator=(const CharReader&) = delete;

  // False when the code page is unknown or its converter cannot be opened.
  bool valid() const { return valid_; }

  // The next character: its byte offset, byte length and code point. False at the end.
  bool next(size_t* offset, size_t* length, int32_t* codePoint);

 private:
  const uint8_t* text_;
  size_t length_;
  size_t pos_ = 0;
  uint8_t codePage_;
  bool valid_ = false;
  const int32_t* table_ = nullptr;   // single-byte code pages
  UConverter* converter_ = nullptr;  // multi-byte code pages other than UTF-8
};

}  // namespace zol

#endif  // INDEXING_ENGINE_ZOL_CODEPAGE_H
