// The normalization model: segmentation by unorm2_hasBoundaryBefore, one unorm2 call per step.
#include "support/normalization_model.h"

#include <unicode/unorm2.h>
#include <unicode/utf16.h>

namespace testsupport {
namespace {

const UNormalizer2* instance(bool nfkc) {
  UErrorCode error = U_ZERO_ERROR;
  return nfkc ? unorm2_getNFKCInstance(&error) : unorm2_getNFCInstance(&error);
}

std::u16string normalizeWith(const UNormalizer2* n2, const char16_t* text, int32_t length) {
  std::u16string result(static_cast<size_t>(length) * 18 + 1, u'\0');
  UErrorCode error = U_ZERO_ERROR;
  int32_t n = unorm2_normalize(n2, text, length, result.data(), static_cast<int32_t>(result.size()),
                               &error);
  result.resize(U_SUCCESS(error) ? static_cast<size_t>(n) : 0);
  return result;
}

}  // namespace

std::u16string modelNormalize(const std::u16string& text, bool nfkc,
                              const TykClNormalizationTable* table) {
  const UNormalizer2* n2 = instance(nfkc);
  const auto length = static_cast<int32_t>(text.size());
  std::u16string out;
  int32_t start = 0;
  while (start < length) {
    int32_t end = start;
    UChar32 c;
    U16_NEXT(text.data(), end, length, c);
    for (int32_t next = end; next < length; end = next) {
      U16_NEXT(text.data(), next, length, c);
      if (unorm2_hasBoundaryBefore(n2, c)) break;
    }
    std::u16string step = normalizeWith(n2, text.data() + start, end - start);
    const TykStNormalizationRow* row =
        table != nullptr && step.size() == 1 ? table->findRow(step[0]) : nullptr;
    if (row != nullptr) {
      step.assign(1, static_cast<char16_t>(row->usFirst));
      if (row->usSecond != 0) step += static_cast<char16_t>(row->usSecond);
    }
    out += step;
    start = end;
  }
  return out;
}

std::u16string icuNormalize(const std::u16string& text, bool nfkc) {
  return normalizeWith(instance(nfkc), text.data(), static_cast<int32_t>(text.size()));
}

}  // namespace testsupport
