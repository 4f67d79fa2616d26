/* The caller's index configuration, as far as the normalizer factories read it: the Unicode
 * normalization form, the accent folding switch and the letter expansion switch.
 *
 * A plain value; it owns nothing and may be shared between threads once built.
 */
#ifndef TYK_COMMON_TYK_INDEX_CONFIG_H
#define TYK_COMMON_TYK_INDEX_CONFIG_H

#include <cstdint>

#include "thesaurus_export.h"

/* Unicode normalization form of an index. Other values may be stored; the factories answer
 * null for them. */
enum TykEnUnicodeNormalization : int32_t {
  TYK_UNICODE_NORMALIZATION_NONE = 0,
  TYK_UNICODE_NORMALIZATION_NFC = 1,
  TYK_UNICODE_NORMALIZATION_NFKC = 2,
};

class THES_EXPORT TykClIndexConfig {
 public:
  explicit TykClIndexConfig(TykEnUnicodeNormalization form = TYK_UNICODE_NORMALIZATION_NONE,
                            bool accentFolding = false, bool letterExpansion = false)
      : iv_enUnicodeNormalization(form),
        iv_bAccentFolding(accentFolding),
        iv_bLetterExpansion(letterExpansion) {}

  TykEnUnicodeNormalization getUnicodeNormalization() const { return iv_enUnicodeNormalization; }
  // Fold accented Latin letters to one plain letter (À to A).
  bool isAccentFolding() const { return iv_bAccentFolding; }
  // Expand letters such as Ä and ß to two letters (Ae, ss).
  bool isLetterExpansion() const { return iv_bLetterExpansion; }

 private:
  TykEnUnicodeNormalization iv_enUnicodeNormalization;
  bool iv_bAccentFolding;
  bool iv_bLetterExpansion;
};

#endif /* TYK_COMMON_TYK_INDEX_CONFIG_H */
