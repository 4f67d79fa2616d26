// The Unicode normalizers: NFC or NFKC through ICU, alone or followed by the normalization
// table.
//
// The result is that of ICU's unorm_next stepping through the input: a step takes one
// character and every following character without a normalization boundary before it, and
// normalizes them together; with a table, a step whose result is one unit in the table is
// replaced through it. Calls into ICU are made only where they are needed: text that ICU's
// quick check reports normalized is copied, and the text between is normalized a window of
// whole steps at a time (unorm_normalize), one step at a time (unorm_next) where a window does
// not fit. Every cut falls where a step begins, so the output and the unconsumed count are
// those of stepping; a step whose result does not fit into the room left is not consumed.
//
// unorm_next and unorm_normalize are deprecated in ICU; this file alone uses them.
#include <unicode/uchar.h>
#include <unicode/uiter.h>
#include <unicode/unorm.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "tyk_common/tyk_normalization.h"
#include "tyk_normalization_scan.h"

namespace {

// Most units normalized in one call where the text is not normalized yet. With a table a
// window may have to be taken again, so it is shorter.
constexpr int32_t kWindow = 256;
constexpr int32_t kTableWindow = 16;
// How often a window is shortened before a single step is taken instead.
constexpr int kWindowAttempts = 4;

// ICU counts in int32_t.
int32_t clampToInt32(unsigned int value) {
  return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

// The first code point that may lack a normalization boundary before it; every code point
// below it begins a step of its own.
UChar32 firstWithoutBoundary(const UNormalizer2* n2) {
  if (n2 == nullptr) return 0;
  UChar32 c = 0;
  while (c < 0xD800 && unorm2_hasBoundaryBefore(n2, c))
    ++c;
  return c;
}

UChar32 boundaryLimit(int32_t mode) {
  UErrorCode error = U_ZERO_ERROR;
  static const UChar32 nfc = firstWithoutBoundary(unorm2_getNFCInstance(&error));
  static const UChar32 nfkc = firstWithoutBoundary(unorm2_getNFKCInstance(&error));
  return mode == UNORM_NFC ? nfc : nfkc;
}

// Where the steps of unorm_next begin, in text[0, length).
class StepBoundaries {
 public:
  StepBoundaries(const UNormalizer2* n2, int32_t mode, const UChar* text, int32_t length)
      : n2_(n2), limit_(boundaryLimit(mode)), text_(text), length_(length) {}

  // True when a step would begin at p: p is the end, or a code point (not the trailing half of
  // a pair) with a normalization boundary before it.
  bool at(int32_t p) const {
    if (p >= length_ || text_[p] < limit_) return true;
    if (p > 0 && U16_IS_TRAIL(text_[p]) && U16_IS_LEAD(text_[p - 1])) return false;
    UChar32 c;
    int32_t i = p;
    U16_NEXT(text_, i, length_, c);
    return unorm2_hasBoundaryBefore(n2_, c);
  }

  // The last step boundary from p back to floor (floor itself when there is none after it).
  int32_t before(int32_t p, int32_t floor) const {
    while (p > floor && !at(p))
      --p;
    return p;
  }

  // True when the unit at p begins a step of its own whatever comes before it.
  bool simple(int32_t p) const { return text_[p] < limit_; }

  // The end of the step that begins at p (p below the length).
  int32_t after(int32_t p) const {
    do {
      ++p;
    } while (!at(p));
    return p;
  }

 private:
  const UNormalizer2* n2_;
  UChar32 limit_;
  const UChar* text_;
  int32_t length_;
};

// The table's replacement of a step result of one unit, when there is one: written to out
// (room permitting) with the units it takes; false when the replacement does not fit.
bool replaceUnit(const TykClNormalizationTable& table, UChar* out, int32_t room, int32_t& units) {
  units = 1;
  const TykStNormalizationRow* row = table.findRow(out[0]);
  if (row == nullptr) return true;
  if (row->usSecond != 0 && room < 2) return false;
  out[0] = row->usFirst;
  if (row->usSecond != 0) out[1] = row->usSecond, units = 2;
  return true;
}

// Copies text[pos, end), normalized text that ends where a step begins, to out through the
// table: a unit of the table that is a step of its own is replaced. Stops where the room ends,
// at the beginning of a step. Moves pos on and returns the units written.
int32_t copyThroughTable(const TykClNormalizationTable& table, const StepBoundaries& steps,
                         UChar* out, int32_t room, const UChar* text, int32_t& pos, int32_t end) {
  const int32_t first = pos;
  int32_t written = 0;
  while (pos < end) {
    const int32_t count = std::min(end - pos, room - written);
    const auto run = static_cast<int32_t>(tyknorm::copyUntilTableUnit(
        reinterpret_cast<uint16_t*>(out + written), reinterpret_cast<const uint16_t*>(text + pos),
        static_cast<size_t>(count)));
    written += run;
    pos += run;
    if (run == count) {
      if (pos == end) break;
      // The room ends inside the span: back to where the step began. The units given back
      // lie inside one step, so none was a step of its own: they were copied one for one.
      const int32_t start = steps.before(pos, first);
      written -= pos - start;
      pos = start;
      break;
    }
    const bool ownStep = (pos == 0 || steps.at(pos)) && steps.at(pos + 1);
    int32_t units = 1;
    out[written] = text[pos];
    if (ownStep && !replaceUnit(table, out + written, room - written, units)) break;
    written += units;
    ++pos;
  }
  return written;
}

}  // namespace

TykClNormalizationUnicode::TykClNormalizationUnicode(TykEnUnicodeNormalization form)
    : TykClNormalization(0), iv_lMode(UNORM_NONE), iv_pNormalizer2(nullptr) {
  UErrorCode error = U_ZERO_ERROR;
  if (form == TYK_UNICODE_NORMALIZATION_NFC) {
    iv_lMode = UNORM_NFC;
    iv_pNormalizer2 = unorm2_getNFCInstance(&error);
  } else if (form == TYK_UNICODE_NORMALIZATION_NFKC) {
    iv_lMode = UNORM_NFKC;
    iv_pNormalizer2 = unorm2_getNFKCInstance(&error);
  }
  if (iv_lMode != UNORM_NONE) iv_ulKind = TYK_NORMALIZATION_KIND_UNICODE;
  if (U_FAILURE(error)) iv_pNormalizer2 = nullptr;
}

TykClNormalizationUnicode::~TykClNormalizationUnicode() = default;

unsigned int TykClNormalizationUnicode::normalize(uint16_t* out, unsigned int outCapacity,
                                                  const uint16_t* in, unsigned int& inCount) {
  return normalizeWith(nullptr, out, outCapacity, in, inCount);
}

unsigned int TykClNormalizationUnicode::getNormalizedLength(const char* utf8,
                                                            unsigned int& byteLength) {
  return normalizedLengthWith(nullptr, utf8, byteLength);
}

unsigned int TykClNormalizationUnicode::normalizeWith(const TykClNormalizationTable* table,
                                                      uint16_t* out, unsigned int outCapacity,
                                                      const uint16_t* in, unsigned int& inCount) {
  const int32_t length = clampToInt32(inCount);
  const unsigned int beyond = inCount - static_cast<unsigned int>(length);
  const auto* text = reinterpret_cast<const UChar*>(in);
  UCharIterator iterator;
  uiter_setString(&iterator, text, length);
  if (!iterator.hasNext(&iterator) || outCapacity == 0) return 0;
  const int32_t capacity = clampToInt32(outCapacity);
  auto* dest = reinterpret_cast<UChar*>(out);
  const UNormalizer2* n2 = iv_pNormalizer2;

  if (n2 == nullptr) return copyText(out, outCapacity, in, inCount);  // no form
  const StepBoundaries steps(n2, iv_lMode, text, length);
  const auto mode = static_cast<UNormalizationMode>(iv_lMode);
  int32_t written = 0;
  int32_t pos = 0;
  bool full = false;
  while (!full && pos < length && written < capacity) {
    const int32_t room = capacity - written;
    UErrorCode error = U_ZERO_ERROR;

    // Text ICU reports normalized, up to the room left, ending where a step begins.
    int32_t span = unorm2_spanQuickCheckYes(n2, text + pos, std::min(length - pos, room), &error);
    if (U_FAILURE(error)) span = 0;
    const int32_t spanEnd = steps.before(pos + span, pos);
    if (spanEnd > pos) {
      if (table == nullptr) {
        std::memcpy(dest + written, text + pos, static_cast<size_t>(spanEnd - pos) * sizeof(UChar));
        written += spanEnd - pos;
        pos = spanEnd;
      } else {
        const int32_t start = pos;
        written += copyThroughTable(*table, steps, dest + written, room, text, pos, spanEnd);
        full = pos == start;
      }
      continue;
    }

    // Text to normalize: the whole steps of a window in one call; a window whose result does
    // not fit is shortened by the units it is over. With a table, a step followed by simple
    // text is taken alone, and a run of steps is taken up to the next unit of the table; a
    // window whose result has a unit of the table is taken again as its first step alone, so
    // that the table replaces a result of one unit.
    int32_t window;
    if (table == nullptr) {
      window = steps.before(pos + std::min({length - pos, room, kWindow}), pos);
    } else {
      window = steps.after(pos);
      if (window < length && !steps.simple(window)) {
        const int32_t limit = std::min({length - pos, room, kTableWindow});
        window = steps.before(pos + 1 +
                                  static_cast<int32_t>(tyknorm::findTableUnit(
                                      reinterpret_cast<const uint16_t*>(text + pos + 1),
                                      static_cast<size_t>(limit - 1))),
                              pos);
      }
    }
    bool done = false;
    for (int attempt = 0; attempt < kWindowAttempts && window > pos && !done && !full; ++attempt) {
      error = U_ZERO_ERROR;
      int32_t n = unorm_normalize(text + pos, window - pos, mode, 0, dest + written, room, &error);
      if (n > room) {
        window = steps.before(window - (n - room), pos);
        continue;
      }
      if (U_FAILURE(error)) break;
      if (table != nullptr &&
          tyknorm::findTableUnit(out + written, static_cast<size_t>(n)) < static_cast<size_t>(n)) {
        const int32_t stepEnd = steps.after(pos);
        if (window != stepEnd) {
          window = stepEnd;
          continue;
        }
        if (n == 1 && !replaceUnit(*table, dest + written, room, n)) {
          full = true;  // the pair does not fit: the step stays
          break;
        }
      }
      written += n;
      pos = window;
      done = true;
    }
    if (done || full) continue;

    // One step through ICU from pos, for a step longer than a window or one whose result the
    // window could not hold.
    iterator.move(&iterator, pos, UITER_ZERO);
    error = U_ZERO_ERROR;
    int32_t n = unorm_next(&iterator, dest + written, room, mode, 0, true, nullptr, &error);
    const int32_t next = iterator.getIndex(&iterator, UITER_CURRENT);
    // A result that does not fit, a failure or no progress leaves the step unconsumed.
    if (n > room || (U_FAILURE(error) && error != U_BUFFER_OVERFLOW_ERROR) || next <= pos) break;
    if (table != nullptr && n == 1 && !replaceUnit(*table, dest + written, room, n)) break;
    written += n;
    pos = next;
  }
  inCount = static_cast<unsigned int>(length - pos) + beyond;
  return static_cast<unsigned int>(written);
}

unsigned int TykClNormalizationUnicode::normalizedLengthWith(const TykClNormalizationTable* table,
                                                             const char* utf8,
                                                             unsigned int& byteLength) {
  byteLength = utf8SequenceLength(utf8);
  if (static_cast<unsigned char>(*utf8) < 0x80) return 1;
  const uint32_t cp = CosClConverterABase::convertUtf8CharToUtf32(utf8);
  if (cp >= 0x10000) return 1;

  // A combining mark is normalized after the character decoded from the byte before it, and
  // counts for what it adds.
  UChar source[3];
  int32_t sourceLength = 0;
  int32_t adjustment = 0;
  const int8_t type = u_charType(static_cast<UChar32>(cp));
  if (type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK || type == U_COMBINING_SPACING_MARK) {
    const uint32_t before = CosClConverterABase::convertUtf8CharToUtf32(utf8 - 1);
    U16_APPEND_UNSAFE(source, sourceLength, before);
    adjustment = -1;
  }
  source[sourceLength++] = static_cast<UChar>(cp);

  UChar result[16];
  UErrorCode error = U_ZERO_ERROR;
  int32_t length = unorm_normalize(source, sourceLength, static_cast<UNormalizationMode>(iv_lMode),
                                   0, result, 16, &error);
  if (table != nullptr && length == 1 && table->utf16CharResultsInTwoCodePoints(result[0]))
    length = 2;
  length += adjustment;
  return length > 0 ? static_cast<unsigned int>(length) : 0;
}

// ---- Unicode and table ---------------------------------------------------------------------

TykClNormalizationUnicodeAndTableBased::TykClNormalizationUnicodeAndTableBased(
    TykEnUnicodeNormalization form, TykClNormalizationTable* table)
    : TykClNormalizationUnicode(form), iv_pclTable(table) {
  iv_ulKind |= TYK_NORMALIZATION_KIND_UNICODE | TYK_NORMALIZATION_KIND_TABLE;
}

TykClNormalizationUnicodeAndTableBased::~TykClNormalizationUnicodeAndTableBased() {
  delete iv_pclTable;
}

unsigned int TykClNormalizationUnicodeAndTableBased::normalize(uint16_t* out,
                                                               unsigned int outCapacity,
                                                               const uint16_t* in,
                                                               unsigned int& inCount) {
  return normalizeWith(iv_pclTable, out, outCapacity, in, inCount);
}

unsigned int TykClNormalizationUnicodeAndTableBased::getNormalizedLength(const char* utf8,
                                                                         unsigned int& byteLength) {
  return normalizedLengthWith(iv_pclTable, utf8, byteLength);
}
