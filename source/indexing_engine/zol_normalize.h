// Normalization of words into the keys of the word index, shared by the index build, the
// search and ZOLnormalizeWord. Stateless; safe in any thread.
#ifndef INDEXING_ENGINE_ZOL_NORMALIZE_H
#define INDEXING_ENGINE_ZOL_NORMALIZE_H

#include <cstddef>
#include <cstdint>

namespace zol {

enum class FoldResult { kOk, kTooSmall, kNoMemory };

// Normalizes text (codePage 1 to 36) into out exactly as ZOLnormalizeWord does; out must not
// overlap text. kTooSmall when capacity bytes do not hold the key, kNoMemory when a work
// buffer cannot be had.
FoldResult normalizeKey(uint8_t codePage, const char* text, size_t length, char* out,
                        size_t capacity, size_t* outLength);

// Most bytes normalization can make of length bytes in a code page.
inline size_t maxNormalizedLength(uint8_t codePage, size_t length) {
  return length * (codePage == 34 ? 3 : 2);
}

}  // namespace zol

#endif  // INDEXING_ENGINE_ZOL_NORMALIZE_H
