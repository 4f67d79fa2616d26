// The normalizer base and the normalizers without ICU normalization: memory copy, the table and
// Thai word processing.
#include "tyk_common/tyk_normalization.h"

#include <cstring>

#include "indexing_engine/zol_thai.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_normalization_scan.h"

// ---- Base ----------------------------------------------------------------------------------

TykClNormalization::~TykClNormalization() = default;

unsigned int TykClNormalization::getNormalizeUnicodeFactor() const {
  return 3;
}

unsigned int TykClNormalization::utf8SequenceLength(const char* utf8) {
  const auto first = static_cast<unsigned char>(*utf8);
  if (first < 0x80) return 1;
  if ((first & 0xE0) == 0xC0) return 2;
  if ((first & 0xF0) == 0xE0) return 3;
  if ((first & 0xF8) == 0xF0) return 4;
  if ((first & 0xFC) == 0xF8) return 5;
  return 1;  // a continuation byte, or 0xFC to 0xFF
}

unsigned int TykClNormalization::copyText(uint16_t* out, unsigned int outCapacity,
                                          const uint16_t* in, unsigned int& inCount) {
  const unsigned int n = inCount < outCapacity ? inCount : outCapacity;
  if (n != 0) std::memcpy(out, in, n * sizeof(uint16_t));
  inCount -= n;
  return n;
}

// ---- Memory copy ---------------------------------------------------------------------------

TykClNormalizationMemcopy::TykClNormalizationMemcopy() : TykClNormalization(0) {}

TykClNormalizationMemcopy::~TykClNormalizationMemcopy() = default;

unsigned int TykClNormalizationMemcopy::getNormalizeUnicodeFactor() const {
  return 1;
}

unsigned int TykClNormalizationMemcopy::normalize(uint16_t* out, unsigned int outCapacity,
                                                  const uint16_t* in, unsigned int& inCount) {
  return copyText(out, outCapacity, in, inCount);
}

unsigned int TykClNormalizationMemcopy::getNormalizedLength(const char* utf8,
                                                            unsigned int& byteLength) {
  byteLength = utf8SequenceLength(utf8);
  return 1;
}

// ---- Table ---------------------------------------------------------------------------------

TykClNormalizationTableBased::TykClNormalizationTableBased(TykClNormalizationTable* table)
    : TykClNormalization(TYK_NORMALIZATION_KIND_TABLE), iv_pclTable(table) {}

TykClNormalizationTableBased::~TykClNormalizationTableBased() {
  delete iv_pclTable;
}

unsigned int TykClNormalizationTableBased::normalize(uint16_t* out, unsigned int outCapacity,
                                                     const uint16_t* in, unsigned int& inCount) {
  size_t consumed = 0;
  const size_t written =
      tyknorm::copyThroughTable(*iv_pclTable, out, outCapacity, in, inCount, consumed);
  inCount -= static_cast<unsigned int>(consumed);
  return static_cast<unsigned int>(written);
}

unsigned int TykClNormalizationTableBased::getNormalizedLength(const char* utf8,
                                                               unsigned int& byteLength) {
  byteLength = utf8SequenceLength(utf8);
  if (iv_pclTable->isLetterExpansion() && static_cast<unsigned char>(*utf8) >= 0x80 &&
      iv_pclTable->utf8CharResultsInTwoCodePointsImp(utf8)) {
    return 2;
  }
  return 1;
}

// ---- Thai ----------------------------------------------------------------------------------

TykClNormalizationThai::TykClNormalizationThai()
    : TykClNormalization(TYK_NORMALIZATION_KIND_THAI),
      iv_pvBreakIterator(tykThaiCreateBreakIterator()) {}

TykClNormalizationThai::~TykClNormalizationThai() {
  tykThaiDestroyBreakIterator(iv_pvBreakIterator);
}

unsigned int TykClNormalizationThai::getNormalizeUnicodeFactor() const {
  return 2;
}

unsigned int TykClNormalizationThai::normalize(uint16_t* out, unsigned int outCapacity,
                                               const uint16_t* in, unsigned int& inCount) {
  // Without a break iterator (ICU could not load its Thai data) the text is copied, so that
  // callers still get through it.
  if (iv_pvBreakIterator == nullptr) return copyText(out, outCapacity, in, inCount);
  return tykThaiProcessing(out, outCapacity, in, &inCount, iv_pvBreakIterator);
}

unsigned int TykClNormalizationThai::getNormalizedLength(const char*, unsigned int&) {
  TykClException exception(TYK_RC_ERROR, TYK_REASON_NOT_SUPPORTED, TYK_ACTION_ERROR, nullptr);
  exception.throwFrom("source/tyk_common/tyk_normalization:1030", 1030);
}
