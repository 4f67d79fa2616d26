// Word normalization of the indexing engine: Unicode simple case folding of every character of
// a word in its code page, so that matching ignores case. It runs for every word of a build and
// every search, so each kind of code page has its own path:
//   - UTF-8 is decoded and re-encoded in place, with ASCII handled byte by byte;
//   - single-byte code pages, and the one-byte characters of the other stateless code pages,
//     go through a 256-byte fold table built once per code page;
//   - other characters of stateless multi-byte code pages are folded one at a time;
//   - the stateful EBCDIC mixed code pages (10 to 15) go through UTF-16 as a whole.
// Bytes that are no character are kept, and a fold that cannot be written back in the code
// page (or would more than double the character) keeps the character as it is.
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <array>
#include <mutex>
#include <new>
#include <vector>

#include "zol_codepage.h"
#include "zol_index_file.h"
#include "zol_normalize.h"
#include "zol_status.h"

namespace zol {
namespace {

// Location numbers of the word functions' checks.
enum NormalizeErrcode : uint32_t {
  kErrWordNull = 101,
  kErrOutNull = 102,
  kErrOutLengthNull = 103,
  kErrLengthNegative = 104,
  kErrCapacityNegative = 105,
  kErrMode = 106,
  kErrCodePage = 107,
  kErrNormalizeCapacity = 108,
  kErrUnnormalizeCapacity = 109,
  kErrNormalizeMemory = 110,
};

bool statefulEbcdic(uint8_t codePage) {
  return codePage >= 10 && codePage <= 15;
}

// ---- Byte fold tables ----------------------------------------------------------------------

struct ByteFoldTables {
  std::array<std::once_flag, kCodePageMax> once;
  std::array<std::array<uint8_t, 256>, kCodePageMax> table;
};

ByteFoldTables& byteFoldTables() {
  static ByteFoldTables tables;
  return tables;
}

// The code point of a byte read alone, -1 when it is no character by itself (a lead byte).
int32_t decodeByte(UConverter* cnv, int b) {
  char byte = static_cast<char>(b);
  const char* src = &byte;
  UErrorCode err = U_ZERO_ERROR;
  ucnv_reset(cnv);
  UChar32 c = ucnv_getNextUChar(cnv, &src, src + 1, &err);
  return U_SUCCESS(err) ? c : -1;
}

// Maps every byte that is a character by itself to the byte of its fold; bytes without a fold
// of one byte map to themselves. If the converter cannot be opened the table stays identity.
void buildByteFold(uint8_t codePage, std::array<uint8_t, 256>& table) {
  for (int b = 0; b < 256; ++b)
    table[b] = static_cast<uint8_t>(b);
  const int32_t* codePoints = singleByteTable(codePage);
  UConverter* cnv = codePoints == nullptr ? openConverter(codePage) : nullptr;
  if (codePoints == nullptr && cnv == nullptr) return;
  for (int b = 0; b < 256; ++b) {
    int32_t c = codePoints != nullptr ? codePoints[b] : decodeByte(cnv, b);
    if (c < 0) continue;
    int32_t f = u_foldCase(c, U_FOLD_CASE_DEFAULT);
    char out[4];
    if (f != c && encodeChar(codePage, f, out, sizeof out) == 1) {
      table[b] = static_cast<uint8_t>(out[0]);
    }
  }
  closeConverter(cnv);
}

// The fold table of a stateless code page other than UTF-8; built on first use.
const uint8_t* byteFoldTable(uint8_t codePage) {
  ByteFoldTables& t = byteFoldTables();
  size_t i = codePage - 1u;
  std::call_once(t.once[i], [&] { buildByteFold(codePage, t.table[i]); });
  return t.table[i].data();
}

// ---- Folding paths -------------------------------------------------------------------------

// Appends bytes to out at *o; false when they do not fit.
bool put(uint8_t* out, size_t capacity, size_t* o, const uint8_t* bytes, size_t n) {
  if (capacity - *o < n) return false;
  std::memcpy(out + *o, bytes, n);
  *o += n;
  return true;
}

bool foldUtf8(const uint8_t* s, size_t length, uint8_t* out, size_t capacity, size_t* outLength) {
  size_t o = 0;
  size_t i = 0;
  while (i < length) {
    uint8_t b = s[i];
    if (b < 0x80) {
      if (o == capacity) return false;
      out[o++] = (b >= 'A' && b <= 'Z') ? static_cast<uint8_t>(b + 0x20) : b;
      ++i;
      continue;
    }
    size_t start = i;
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c >= 0) {
      UChar32 f = u_foldCase(c, U_FOLD_CASE_DEFAULT);
      if (f != c) {
        size_t n = static_cast<size_t>(U8_LENGTH(f));
        if (capacity - o < n) return false;
        U8_APPEND_UNSAFE(out, o, f);
        continue;
      }
    }
    if (!put(out, capacity, &o, s + start, i - start)) return false;
  }
  *outLength = o;
  return true;
}

bool foldSingleByte(const uint8_t* table, const uint8_t* s, size_t length, uint8_t* out,
                    size_t capacity, size_t* outLength) {
  if (length > capacity) return false;
  for (size_t i = 0; i < length; ++i)
    out[i] = table[s[i]];
  *outLength = length;
  return true;
}

// Stateless multi-byte code pages: one character at a time.
bool foldByCharacter(uint8_t codePage, const uint8_t* s, size_t length, uint8_t* out,
                     size_t capacity, size_t* outLength) {
  CharReader reader(codePage, reinterpret_cast<const char*>(s), length);
  if (!reader.valid()) {  // no converter: nothing can be folded
    size_t o = 0;
    if (!put(out, capacity, &o, s, length)) return false;
    *outLength = o;
    return true;
  }
  const uint8_t* table = byteFoldTable(codePage);
  size_t o = 0;
  size_t offset;
  size_t n;
  int32_t c;
  while (reader.next(&offset, &n, &c)) {
    if (c >= 0 && n == 1) {
      if (o == capacity) return false;
      out[o++] = table[s[offset]];
      continue;
    }
    if (c >= 0) {
      int32_t f = u_foldCase(c, U_FOLD_CASE_DEFAULT);
      if (f != c) {
        char buf[8];
        size_t m = encodeChar(codePage, f, buf, 2 * n < sizeof buf ? 2 * n : sizeof buf);
        if (m > 0) {
          if (!put(out, capacity, &o, reinterpret_cast<const uint8_t*>(buf), m)) return false;
          continue;
        }
      }
    }
    if (!put(out, capacity, &o, s + offset, n)) return false;
  }
  *outLength = o;
  return true;
}

// The stateful EBCDIC code pages: the whole word through UTF-16, since a character's bytes
// depend on the shift state before it. When the word does not convert, or the folded form does
// not convert back within twice the word's length, the word stays as it is. May throw
// std::bad_alloc.
bool foldStateful(uint8_t codePage, const uint8_t* s, size_t length, uint8_t* out, size_t capacity,
                  size_t* outLength) {
  struct Converter {
    UConverter* cnv;
    ~Converter() { closeConverter(cnv); }
  } converter{length <= INT32_MAX / 4 ? openConverter(codePage) : nullptr};
  std::vector<char> folded;
  size_t foldedLength = 0;
  bool converted = false;
  if (UConverter* cnv = converter.cnv; cnv != nullptr) {
    std::vector<UChar> units(2 * length + 2);
    UErrorCode err = U_ZERO_ERROR;
    int32_t unitCount =
        ucnv_toUChars(cnv, units.data(), static_cast<int32_t>(units.size()),
                      reinterpret_cast<const char*>(s), static_cast<int32_t>(length), &err);
    if (U_SUCCESS(err) && unitCount >= 0 && static_cast<size_t>(unitCount) < units.size()) {
      std::vector<UChar> foldedUnits(2 * static_cast<size_t>(unitCount) + 2);
      int32_t j = 0;
      for (int32_t i = 0; i < unitCount;) {
        UChar32 c;
        U16_NEXT(units.data(), i, unitCount, c);
        U16_APPEND_UNSAFE(foldedUnits.data(), j, u_foldCase(c, U_FOLD_CASE_DEFAULT));
      }
      folded.resize(2 * length + 1);
      err = U_ZERO_ERROR;
      int32_t n = ucnv_fromUChars(cnv, folded.data(), static_cast<int32_t>(folded.size()),
                                  foldedUnits.data(), j, &err);
      if (U_SUCCESS(err) && n >= 0 && static_cast<size_t>(n) <= 2 * length) {
        foldedLength = static_cast<size_t>(n);
        converted = true;
      }
    }
  }
  const uint8_t* result = converted ? reinterpret_cast<const uint8_t*>(folded.data()) : s;
  size_t resultLength = converted ? foldedLength : length;
  size_t o = 0;
  if (!put(out, capacity, &o, result, resultLength)) return false;
  *outLength = o;
  return true;
}

}  // namespace

FoldResult normalizeKey(uint8_t codePage, const char* text, size_t length, char* out,
                        size_t capacity, size_t* outLength) {
  const uint8_t* s = reinterpret_cast<const uint8_t*>(text);
  uint8_t* o = reinterpret_cast<uint8_t*>(out);
  *outLength = 0;
  if (length == 0) return FoldResult::kOk;
  bool ok;
  if (codePage == kCodePageUtf8) {
    ok = foldUtf8(s, length, o, capacity, outLength);
  } else if (statefulEbcdic(codePage)) {
    try {
      ok = foldStateful(codePage, s, length, o, capacity, outLength);
    } catch (const std::bad_alloc&) {
      return FoldResult::kNoMemory;
    }
  } else if (codePageInfo(codePage)->singleByte) {
    ok = foldSingleByte(byteFoldTable(codePage), s, length, o, capacity, outLength);
  } else {
    ok = foldByCharacter(codePage, s, length, o, capacity, outLength);
  }
  return ok ? FoldResult::kOk : FoldResult::kTooSmall;
}

}  // namespace zol

namespace {

// How both word functions begin: the status cleared, *outLength (when given) set to 0, then the
// argument checks; false (with the status set) when one fails.
bool beginWordCall(uint8_t codePage, const char* word, int32_t length, const char* out,
                   int32_t capacity, int32_t* outLength, int32_t mode, ZOLSTATUS* status) {
  zol::clearStatus(status);
  if (outLength != nullptr) *outLength = 0;
  uint32_t errcode = 0;
  if (outLength == nullptr) {
    errcode = zol::kErrOutLengthNull;
  } else if (length < 0) {
    errcode = zol::kErrLengthNegative;
  } else if (word == nullptr && length > 0) {
    errcode = zol::kErrWordNull;
  } else if (capacity < 0) {
    errcode = zol::kErrCapacityNegative;
  } else if (out == nullptr && capacity > 0) {
    errcode = zol::kErrOutNull;
  } else if (mode != 2) {
    errcode = zol::kErrMode;
  } else if (zol::codePageInfo(codePage) == nullptr) {
    errcode = zol::kErrCodePage;
  }
  if (errcode == 0) return true;
  zol::fail(status, ZOL_RC_PARAMETER, errcode, ZOL_CTX_NORMALIZE);
  return false;
}

bool overlaps(const char* a, size_t aLength, const char* b, size_t bLength) {
  auto x = reinterpret_cast<uintptr_t>(a);
  auto y = reinterpret_cast<uintptr_t>(b);
  return x < y + bLength && y < x + aLength;
}

}  // namespace

THES_EXPORT void ZOLnormalizeWord(uint8_t codePage, const char* word, int32_t length, char* out,
                                  int32_t capacity, int32_t* outLength, int32_t mode,
                                  ZOLSTATUS* status) {
  if (!beginWordCall(codePage, word, length, out, capacity, outLength, mode, status)) return;
  size_t n = 0;
  size_t len = static_cast<size_t>(length);
  size_t cap = static_cast<size_t>(capacity);
  zol::FoldResult result;
  if (len > 0 && cap > 0 && overlaps(word, len, out, cap)) {
    // In place (or overlapping): fold into a copy of the word.
    std::vector<char> copy;
    try {
      copy.assign(word, word + len);
    } catch (const std::bad_alloc&) {
      zol::fail(status, ZOL_RC_NO_MEMORY, zol::kErrNormalizeMemory, ZOL_CTX_NORMALIZE);
      return;
    }
    result = zol::normalizeKey(codePage, copy.data(), len, out, cap, &n);
  } else {
    result = zol::normalizeKey(codePage, word, len, out, cap, &n);
  }
  if (result == zol::FoldResult::kNoMemory) {
    zol::fail(status, ZOL_RC_NO_MEMORY, zol::kErrNormalizeMemory, ZOL_CTX_NORMALIZE);
  } else if (result == zol::FoldResult::kTooSmall) {
    zol::fail(status, ZOL_RC_NORMALIZE, zol::kErrNormalizeCapacity, ZOL_CTX_NORMALIZE);
  } else {
    *outLength = static_cast<int32_t>(n);
  }
}

THES_EXPORT void ZOLunnormalizeWord(uint8_t codePage, const char* word, int32_t length, char* out,
                                    int32_t capacity, int32_t* outLength, int32_t mode,
                                    ZOLSTATUS* status) {
  if (!beginWordCall(codePage, word, length, out, capacity, outLength, mode, status)) return;
  if (length > capacity) {
    zol::fail(status, ZOL_RC_NORMALIZE, zol::kErrUnnormalizeCapacity, ZOL_CTX_NORMALIZE);
    return;
  }
  if (length > 0) std::memmove(out, word, static_cast<size_t>(length));
  *outLength = length;
}
