// The Unicode normalizers: NFC or NFKC through ICU, alone or followed by the normalization
// table.
//
// The result is that of ICU's unorm_next stepping through the input: a step takes one
// character and every following character without a normalization boundary before it, and
// normalizes them together; with a table, a step whose result is one unit in the table is
// replaced through it. Most text needs no call into ICU: a unit with a boundary before it
// that stays as it is when normalized alone ("simple", decided once per form for every UTF-16
// unit) is a step of its own with itself as result wherever the unit after it begins a step.
// Such units are copied, through the table when there is one. Without a table, the other
// units go to ICU in windows of whole steps (unorm_normalize). With a table, each of their
// steps' results has to be seen on its own: the steps of a stretch of text are gathered into a
// small buffer, separated by an inert unit, and normalized in one call, and the separators in
// the result tell each step's result. A step too long for the buffer, or one a window could
// not hold, goes through unorm_next alone. The output is written in input order, step by step;
// a step whose result does not fit into the room left is not consumed.
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
// Without a table, one call into ICU normalizes a window of at most kWindow units, which takes
// in runs of simple units shorter than kGap; a window whose result does not fit is shortened
// kWindowAttempts times at the most before its first step is taken alone.
constexpr int32_t kWindow = 256;
constexpr int32_t kGap = 16;
constexpr int kWindowAttempts = 4;
// With a table, one call into ICU normalizes at most kBatchSteps steps, of kBatchUnits units with
// their separators, into kBatchResult units.
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

// The unit kinds of ICU's NFC or NFKC (n2, of the form of mode), made on first use: about a
// millisecond once per process and form.
const UnitKinds& unitKinds(int32_t mode, const UNormalizer2* n2) {
  if (mode == UNORM_NFC) {
    static UnitKinds nfc;
    static const bool made = (buildKinds(n2, nfc), true);  // once, other threads wait
    (void)made;
    return nfc;
  }
  static UnitKinds nfkc;
  static const bool made = (buildKinds(n2, nfkc), true);
  (void)made;
  return nfkc;
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

  // The last step boundary from p back to floor (floor itself when there is none after it).
  int32_t before(int32_t p, int32_t floor) const {
    while (p > floor && !at(p))
      --p;
    return p;
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

// One normalize call: the text, the output and how far both have got. Every round moves on
// by whole steps, or ends the call because the next result does not fit.
class Run {
 public:
  Run(const UNormalizer2* n2, int32_t mode, const TykClNormalizationTable* table, const UChar* text,
      int32_t length, UChar* out, int32_t capacity)
      : kinds_(unitKinds(mode, n2)),
        steps_(n2, kinds_, text, length),
        mode_(static_cast<UNormalizationMode>(mode)),
        table_(table),
        text_(text),
        length_(length),
        out_(out),
        capacity_(capacity) {
    uiter_setString(&iterator_, text, length);
  }

  // Normalizes until the text ends or a result does not fit.
  void normalize() {
    while (pos_ < length_ && written_ < capacity_) {
      if (!(table_ == nullptr ? roundWithoutTable() : roundWithTable())) break;
    }
  }

  int32_t consumed() const { return pos_; }
  int32_t written() const { return written_; }

 private:
  // Where a round stops looking for steps to normalize.
  int32_t lookahead() const {
    const int32_t room = std::min(capacity_ - written_, kScan) + kLookahead;
    return pos_ + std::min({length_ - pos_, kScan, room});
  }

  // Where the simple units from p to limit end as steps: at limit, unless the unit there
  // belongs to the step of the unit before it.
  int32_t simpleEnd(int32_t p, int32_t limit) const {
    return limit == p || steps_.at(limit) ? limit : limit - 1;
  }

  // Where the step of the first unit that is not simple, at k (after pos_), begins.
  int32_t stepStart(int32_t from, int32_t k) const { return k > from && !steps_.at(k) ? k - 1 : k; }

  // Copies the simple units from pos_ to end, through the table when there is one; false when
  // the room ends first.
  bool copySimple(int32_t end) {
    const int32_t room = capacity_ - written_;
    if (table_ == nullptr) {
      const int32_t n = std::min(end - pos_, room);
      std::memcpy(out_ + written_, text_ + pos_, static_cast<size_t>(n) * sizeof(UChar));
      written_ += n;
      pos_ += n;
    } else {
      size_t used = 0;
      written_ += static_cast<int32_t>(tyknorm::copyThroughTable(
          *table_, reinterpret_cast<uint16_t*>(out_ + written_), static_cast<size_t>(room),
          reinterpret_cast<const uint16_t*>(text_ + pos_), static_cast<size_t>(end - pos_), used));
      pos_ += static_cast<int32_t>(used);
    }
    return pos_ == end;
  }

  // Takes the step of n units written at out_ + written_, through the table for a result of
  // one unit; false when its table replacement does not fit.
  bool take(int32_t n, int32_t next) {
    if (table_ != nullptr && n == 1 &&
        !replaceUnit(*table_, out_ + written_, capacity_ - written_, n))
      return false;
    written_ += n;
    pos_ = next;
    return true;
  }

  // The step at pos_ on its own through unorm_next; false when its result does not fit.
  bool stepAlone() {
    iterator_.move(&iterator_, pos_, UITER_ZERO);
    UErrorCode error = U_ZERO_ERROR;
    const int32_t room = capacity_ - written_;
    const int32_t n =
        unorm_next(&iterator_, out_ + written_, room, mode_, 0, true, nullptr, &error);
    const int32_t next = iterator_.getIndex(&iterator_, UITER_CURRENT);
    // A result that does not fit, a failure or no progress leaves the step unconsumed.
    if (n > room || (U_FAILURE(error) && error != U_BUFFER_OVERFLOW_ERROR) || next <= pos_)
      return false;
    return take(n, next);
  }

  // Without a table: the simple units up to the next unit that is not simple, then a window
  // from its step on, over the units that are not simple and the short runs of simple units
  // between them, normalized in one call; a window whose result does not fit is shortened.
  bool roundWithoutTable() {
    const int32_t limit = lookahead();
    const int32_t k = findComplex(kinds_, text_, pos_, limit);
    if (k == limit) return copySimple(simpleEnd(pos_, limit));
    const int32_t start = stepStart(pos_, k);
    if (!copySimple(start)) return false;
    const int32_t windowLimit = start + std::min({length_ - start, kWindow, capacity_ - written_});
    int32_t end = k;
    for (;;) {
      while (end < windowLimit && !kinds_.simple(text_[end]))
        ++end;
      const int32_t gapLimit = std::min(end + kGap, windowLimit);
      const int32_t next = end < windowLimit ? findComplex(kinds_, text_, end, gapLimit) : end;
      if (next == gapLimit || next == end) break;
      end = next;
    }
    for (int attempt = 0; attempt < kWindowAttempts; ++attempt) {
      end = steps_.before(end, start);
      if (end == start) break;
      const int32_t room = capacity_ - written_;
      UErrorCode error = U_ZERO_ERROR;
      const int32_t n =
          unorm_normalize(text_ + start, end - start, mode_, 0, out_ + written_, room, &error);
      if (n <= room && U_SUCCESS(error)) {
        written_ += n;
        pos_ = end;
        return true;
      }
      if (n <= room) break;
      end = std::max(start, end - (n - room));
    }
    return stepAlone();
  }

  // With a table: the steps from pos_ on that are not simple, as many as a batch takes,
  // normalized together; then the simple units before each step, through the table, and the
  // step's result, the table replacing a result of one unit. A step too long for a batch ends
  // the batch and goes alone.
  bool roundWithTable() {
    const int32_t limit = lookahead();
    int32_t planEnd = pos_;
    bool single = false;
    batch_.count = 0;
    batch_.sourceLength = 0;
    while (batch_.count < kBatchSteps && planEnd < limit) {
      const int32_t k = findComplex(kinds_, text_, planEnd, limit);
      if (k == limit) {
        planEnd = simpleEnd(planEnd, limit);
        break;
      }
      const int32_t start = stepStart(planEnd, k);
      const int32_t end = steps_.after(start);
      const int32_t i = batch_.count;
      if (!kinds_.batches || end - start >= kBatchUnits - batch_.sourceLength ||
          text_[start] == kSeparator) {
        single = i == 0;
        planEnd = start;
        break;
      }
      batch_.start[i] = start;
      batch_.end[i] = end;
      batch_.count = i + 1;
      std::memcpy(batch_.source + batch_.sourceLength, text_ + start,
                  static_cast<size_t>(end - start) * sizeof(UChar));
      batch_.sourceLength += end - start;
      batch_.source[batch_.sourceLength++] = kSeparator;
      planEnd = end;
    }
    if (batch_.count != 0 && !normalizeBatch(mode_, batch_)) {
      single = true;  // one step at a time instead
      planEnd = batch_.start[0];
      batch_.count = 0;
    }
    for (int32_t j = 0; j < batch_.count; ++j) {
      if (!copySimple(batch_.start[j])) return false;
      const int32_t n = batch_.resultStart[j + 1] - batch_.resultStart[j] - 1;
      if (n > capacity_ - written_) return false;
      std::memcpy(out_ + written_, batch_.result + batch_.resultStart[j],
                  static_cast<size_t>(n) * sizeof(UChar));
      if (!take(n, batch_.end[j])) return false;
    }
    if (!copySimple(planEnd)) return false;
    return !single || stepAlone();
  }

  const UnitKinds& kinds_;
  const StepBoundaries steps_;
  const UNormalizationMode mode_;
  const TykClNormalizationTable* const table_;  // null for none
  const UChar* const text_;
  const int32_t length_;
  UChar* const out_;
  const int32_t capacity_;
  UCharIterator iterator_;
  int32_t pos_ = 0;      // text units consumed
  int32_t written_ = 0;  // output units written
  Batch batch_;
};

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
  if (length == 0 || outCapacity == 0) return 0;
  if (iv_pNormalizer2 == nullptr) return copyText(out, outCapacity, in, inCount);  // no form
  Run run(iv_pNormalizer2, iv_lMode, table, reinterpret_cast<const UChar*>(in), length,
          reinterpret_cast<UChar*>(out), clampToInt32(outCapacity));
  run.normalize();
  inCount = static_cast<unsigned int>(length - run.consumed()) + beyond;
  return static_cast<unsigned int>(run.written());
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
