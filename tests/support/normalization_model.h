// A model of the Unicode normalizers for tests and the fuzz target: the whole text stepped
// through as ICU's iterating normalization does (one character and the following characters
// without a normalization boundary before them), each step normalized by ICU's unorm2, and
// with a table a step whose result is one unit in the table replaced by its row.
#ifndef TESTS_SUPPORT_NORMALIZATION_MODEL_H
#define TESTS_SUPPORT_NORMALIZATION_MODEL_H

#include <string>

#include "tyk_common/tyk_normalization_table.h"

namespace testsupport {

// NFC (or NFKC when nfkc) of text, then the table when it is not null.
std::u16string modelNormalize(const std::u16string& text, bool nfkc,
                              const TykClNormalizationTable* table);

// unorm2 NFC or NFKC of the whole text in one call.
std::u16string icuNormalize(const std::u16string& text, bool nfkc);

}  // namespace testsupport

#endif  // TESTS_SUPPORT_NORMALIZATION_MODEL_H
