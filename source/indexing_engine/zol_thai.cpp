// Thai word processing: ICU's dictionary-based word break iterator for the locale "th" finds
// the words; they are written with one blank between them and white space is dropped.
#include "indexing_engine/zol_thai.h"

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>
#include <unicode/utf16.h>

#include <climits>

namespace {

constexpr uint16_t kBlank = 0x0020;

// True when every code point of text[start, end) is white space.
bool isWhiteSpace(const UChar* text, int32_t start, int32_t end) {
  for (int32_t i = start; i < end;) {
    UChar32 c;
    U16_NEXT(text, i, end, c);
    if (!u_isUWhiteSpace(c)) return false;
  }
  return true;
}

}  // namespace

THES_EXPORT void* tykThaiCreateBreakIterator(void) {
  UErrorCode error = U_ZERO_ERROR;
  UBreakIterator* words = ubrk_open(UBRK_WORD, "th", nullptr, 0, &error);
  if (U_FAILURE(error)) {
    ubrk_close(words);
    return nullptr;
  }
  return words;
}

THES_EXPORT unsigned int tykThaiProcessing(uint16_t* out, unsigned int outCapacity,
                                           const uint16_t* in, unsigned int* inCount,
                                           void* iterator) {
  if (out == nullptr || in == nullptr || inCount == nullptr || iterator == nullptr) return 0;
  if (*inCount == 0 || outCapacity == 0) return 0;
  auto* words = static_cast<UBreakIterator*>(iterator);
  // ICU counts in int32_t: longer input is taken in its first INT32_MAX units.
  const int32_t length = *inCount > INT32_MAX ? INT32_MAX : static_cast<int32_t>(*inCount);
  const auto* text = reinterpret_cast<const UChar*>(in);

  UErrorCode error = U_ZERO_ERROR;
  UText utext = UTEXT_INITIALIZER;
  utext_openUChars(&utext, text, length, &error);
  ubrk_setUText(words, &utext, &error);
  if (U_FAILURE(error)) {
    utext_close(&utext);
    return 0;
  }

  // A word is written once the next word is known (with the blank between them) or the input
  // ends (alone), so that an output that stops early ends with the blank already written.
  unsigned int written = 0;
  int32_t consumed = 0;    // input accounted for in the output
  int32_t wordStart = -1;  // the word waiting to be written
  int32_t wordEnd = -1;
  bool full = false;
  auto flush = [&](bool blank) {
    const auto size = static_cast<unsigned int>(wordEnd - wordStart);
    if (size + (blank ? 1u : 0u) > outCapacity - written) return false;
    for (int32_t i = wordStart; i < wordEnd; ++i)
      out[written++] = in[i];
    if (blank) out[written++] = kBlank;
    return true;
  };
  for (int32_t start = ubrk_first(words), end = ubrk_next(words); end != UBRK_DONE;
       start = end, end = ubrk_next(words)) {
    if (isWhiteSpace(text, start, end)) continue;
    if (wordStart >= 0 && !flush(true)) {
      full = true;
      break;
    }
    consumed = start;
    wordStart = start;
    wordEnd = end;
  }
  if (!full && (wordStart < 0 || flush(false))) consumed = length;
  utext_close(&utext);
  *inCount -= static_cast<unsigned int>(consumed);
  return written;
}

THES_EXPORT void tykThaiDestroyBreakIterator(void* iterator) {
  ubrk_close(static_cast<UBreakIterator*>(iterator));
}
