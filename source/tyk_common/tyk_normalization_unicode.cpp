// The Unicode normalizers: NFC or NFKC through ICU, alone or followed by the normalization
// table.
//
// The result is that of ICU's unorm_next stepping through the input: a step takes one
// character and every following character without a normalization boundary before it, and
// normalizes them together; with a table, a step whose result is one unit in the table is
// replaced through it. Most text needs no call into ICU: a unit with a boundary before it
// that stays as it is when normalized alone ("simple", decided once per form for every UTF-16
// unit) is a step of its own with itself as result wherever the unit after it begins a step.
// Such units are copied, through the table when there is one. The other steps of a stretch of
// text are gathered into a small buffer, separated by an inert unit, and normalized in one
// call (unorm_normalize); the separators in the result tell each step's result, so the table
// can see it. A step too long for the buffer goes through unorm_next alone. The output is
// written in input order, step by step; a step whose result does not fit into the room left is
// not consumed.
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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// How far one round looks ahead for steps to normalize, in input units: at most kLookahead
// units more than the room left (what lies beyond would not fit), and at most kScan.
constexpr int32_t kLookahead = 16;
constexpr int32_t kScan = 2048;
// One call into ICU normalizes at most kBatchSteps steps, of kBatchUnits units with their
// separators, into kBatchResult units.
constexpr int32_t kBatchSteps = 32;
constexpr int32_t kBatchUnits = 256;
constexpr int32_t kBatchResult = 1024;
// Between the steps of a batch: a noncharacter, which never decomposes or combines.
constexpr UChar kSeparator = 0xFFFF;

// ICU counts in int32_t.
int32_t clampToInt32(unsigned int value) {
  return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

// What a UTF-16 unit is for one normalization form. Simple units (kPlain, kTableUnit) have a
// boundary before them and stay as they are when normalized alone.
enum UnitKind : uint8_t {
  kPlain = 0,         // simple, outside the table
  kTableUnit = 1,     // simple, in the table (U+00C0 to U+0233)
  kComplexStart = 2,  // not simple, with a boundary before it
  kComplexInner = 3,  // without a boundary before it
  kSurrogate = 4,     // half of a code point: ICU decides
};

struct UnitKinds {
  uint8_t kind[0x10000];  // UnitKind of every unit
  uint16_t simpleBelow;   // every unit below it is simple
  bool batches;           // the separator is inert, so steps can be normalized together

  bool simple(UChar unit) const { return kind[unit] < kComplexStart; }
};

void buildKinds(const UNormalizer2* n2, UnitKinds& kinds) {
  kinds.simpleBelow = 0xFFFF;
  for (UChar32 c = 0xFFFF; c >= 0; --c) {
    const auto unit = static_cast<UChar>(c);
    UnitKind kind = kSurrogate;
    if (!U16_IS_SURROGATE(unit)) {
      UErrorCode error = U_ZERO_ERROR;
      if (!unorm2_hasBoundaryBefore(n2, c)) {
        kind = kComplexInner;
      } else if (!unorm2_isNormalized(n2, &unit, 1, &error) || U_FAILURE(error)) {
        kind = kComplexStart;
      } else {
        kind = tyknorm::inTable(unit) ? kTableUnit : kPlain;
      }
    }
    kinds.kind[c] = kind;
    if (kind >= kComplexStart) kinds.simpleBelow = unit;
  }
  kinds.batches = unorm2_isInert(n2, kSeparator);
}

// The unit kinds of ICU's NFC or NFKC, made on first use.
const UnitKinds& unitKinds(int32_t mode) {
  static const UnitKinds* const nfc = [] {
    static UnitKinds kinds;
    UErrorCode error = U_ZERO_ERROR;
    buildKinds(unorm2_getNFCInstance(&error), kinds);
    return &kinds;
  }();
  static const UnitKinds* const nfkc = [] {
    static UnitKinds kinds;
    UErrorCode error = U_ZERO_ERROR;
    buildKinds(unorm2_getNFKCInstance(&error), kinds);
    return &kinds;
  }();
  return mode == UNORM_NFC ? *nfc : *nfkc;
}

// Where the steps of unorm_next begin, in text[0, length).
class StepBoundaries {
 public:
  StepBoundaries(const UNormalizer2* n2, const UnitKinds& kinds, const UChar* text, int32_t length)
      : n2_(n2), kinds_(kinds), text_(text), length_(length) {}

  // True when a step would begin at p: p is the end, or a code point (not the trailing half of
  // a pair) with a normalization boundary before it.
  bool at(int32_t p) const {
    if (p >= length_) return true;
    const uint8_t kind = kinds_.kind[text_[p]];
    if (kind != kSurrogate) return kind != kComplexInner;
    if (p > 0 && U16_IS_TRAIL(text_[p]) && U16_IS_LEAD(text_[p - 1])) return false;
    UChar32 c;
    int32_t i = p;
    U16_NEXT(text_, i, length_, c);
    return unorm2_hasBoundaryBefore(n2_, c);
  }

  // The end of the step that begins at p (p below the length).
  int32_t after(int32_t p) const {
    do {
      ++p;
    } while (!at(p));
    return p;
  }

 private:
  const UNormalizer2* n2_;
  const UnitKinds& kinds_;
  const UChar* text_;
  int32_t length_;
};

// The index of the first unit of text[p, limit) that is not simple, limit when there is none.
int32_t findComplex(const UnitKinds& kinds, const UChar* text, int32_t p, int32_t limit) {
  const uint8_t* kind = kinds.kind;
#if defined(__SSE2__)
  // Eight units at a time: at once when all lie below the first unit that is not simple,
  // else by their kinds (kinds of complex units have bit 1 or 2 set).
  const __m128i bound = _mm_set1_epi16(static_cast<int16_t>(kinds.simpleBelow - 1));
  for (; p + 8 <= limit; p += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p));
    const __m128i over = _mm_subs_epu16(units, bound);  // 0 where the unit lies below
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(over, _mm_setzero_si128())) == 0xFFFF) continue;
    const auto any = kind[text[p]] | kind[text[p + 1]] | kind[text[p + 2]] | kind[text[p + 3]] |
                     kind[text[p + 4]] | kind[text[p + 5]] | kind[text[p + 6]] | kind[text[p + 7]];
    if ((any & 0x6) != 0) break;
  }
#endif
  for (; p < limit; ++p) {
    if (kind[text[p]] >= kComplexStart) return p;
  }
  return limit;
}

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

// The steps of a stretch of text that are not simple, and their results.
struct Batch {
  int32_t count = 0;                     // steps
  int32_t start[kBatchSteps];            // where step j begins in the text
  int32_t end[kBatchSteps];              // and ends
  int32_t resultStart[kBatchSteps + 1];  // step j's result begins in result (one more: the end)
  UChar source[kBatchUnits];             // the steps, each followed by the separator
  int32_t sourceLength = 0;
  UChar result[kBatchResult];
};

// Normalizes the steps of batch in one call and finds each step's result; false when the
// results do not fit or the separators do not come back one per step.
bool normalizeBatch(UNormalizationMode mode, Batch& batch) {
  UErrorCode error = U_ZERO_ERROR;
  const int32_t n = unorm_normalize(batch.source, batch.sourceLength, mode, 0, batch.result,
                                    kBatchResult, &error);
  if (U_FAILURE(error) || n > kBatchResult) return false;
  int32_t step = 0;
  batch.resultStart[0] = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (batch.result[i] != kSeparator) continue;
    if (step == batch.count) return false;
    batch.resultStart[++step] = i + 1;
  }
  return step == batch.count && batch.resultStart[step] == n;
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
  const UnitKinds& kinds = unitKinds(iv_lMode);
  const StepBoundaries steps(n2, kinds, text, length);
  const auto mode = static_cast<UNormalizationMode>(iv_lMode);
  Batch batch;
  int32_t written = 0;
  int32_t pos = 0;
  bool full = false;
  while (!full && pos < length && written < capacity) {
    // The steps from pos on that are not simple, as many as a batch takes, up to planEnd;
    // a step too long for a batch ends the plan and is taken alone (single).
    const int32_t room = capacity - written;
    const int32_t limit = pos + std::min({length - pos, kScan, std::min(room, kScan) + kLookahead});
    int32_t planEnd = pos;
    bool single = false;
    batch.count = 0;
    batch.sourceLength = 0;
    while (batch.count < kBatchSteps && planEnd < limit) {
      const int32_t k = findComplex(kinds, text, planEnd, limit);
      if (k == limit) {
        // The simple units up to the limit, but for the last one when the unit after it
        // belongs to its step.
        planEnd = limit == planEnd || steps.at(limit) ? limit : limit - 1;
        break;
      }
      const int32_t start = k > planEnd && !steps.at(k) ? k - 1 : k;
      const int32_t end = steps.after(start);
      const int32_t i = batch.count;
      if (!kinds.batches || end - start >= kBatchUnits - batch.sourceLength ||
          text[start] == kSeparator) {
        single = i == 0;
        planEnd = start;
        break;
      }
      batch.start[i] = start;
      batch.end[i] = end;
      batch.count = i + 1;
      std::memcpy(batch.source + batch.sourceLength, text + start,
                  static_cast<size_t>(end - start) * sizeof(UChar));
      batch.sourceLength += end - start;
      batch.source[batch.sourceLength++] = kSeparator;
      planEnd = end;
    }
    if (batch.count != 0 && !normalizeBatch(mode, batch)) {
      // Taken one step at a time instead.
      single = true;
      planEnd = batch.start[0];
      batch.count = 0;
    }

    // The output in input order: the simple units before each step, copied or through the
    // table, then the step's result.
    for (int32_t j = 0; j <= batch.count && !full; ++j) {
      const int32_t gapEnd = j < batch.count ? batch.start[j] : planEnd;
      const int32_t left = capacity - written;
      if (table == nullptr) {
        const int32_t n = std::min(gapEnd - pos, left);
        std::memcpy(dest + written, text + pos, static_cast<size_t>(n) * sizeof(UChar));
        written += n;
        pos += n;
      } else {
        size_t consumed = 0;
        written += static_cast<int32_t>(
            tyknorm::copyThroughTable(*table, out + written, static_cast<size_t>(left), in + pos,
                                      static_cast<size_t>(gapEnd - pos), consumed));
        pos += static_cast<int32_t>(consumed);
      }
      full = pos < gapEnd;
      if (full || j == batch.count) break;
      int32_t n = batch.resultStart[j + 1] - batch.resultStart[j] - 1;
      full = n > capacity - written;
      if (full) break;
      std::memcpy(dest + written, batch.result + batch.resultStart[j],
                  static_cast<size_t>(n) * sizeof(UChar));
      if (table != nullptr && n == 1) {
        full = !replaceUnit(*table, dest + written, capacity - written, n);
        if (full) break;
      }
      written += n;
      pos = batch.end[j];
    }
    if (full || !single) continue;

    // A step on its own through ICU.
    iterator.move(&iterator, pos, UITER_ZERO);
    UErrorCode error = U_ZERO_ERROR;
    const int32_t left = capacity - written;
    int32_t n = unorm_next(&iterator, dest + written, left, mode, 0, true, nullptr, &error);
    const int32_t next = iterator.getIndex(&iterator, UITER_CURRENT);
    // A result that does not fit, a failure or no progress leaves the step unconsumed.
    full = n > left || (U_FAILURE(error) && error != U_BUFFER_OVERFLOW_ERROR) || next <= pos;
    if (!full && table != nullptr && n == 1) full = !replaceUnit(*table, dest + written, left, n);
    if (full) break;
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
