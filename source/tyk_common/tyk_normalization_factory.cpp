// The normalizer factories: which normalizer fits an index configuration, a code page and a
// language, and the replacement of a normalizer in use by one that fits.
#include "tyk_common/tyk_normalization.h"

namespace {

constexpr uint32_t kLanguageThai = COS_LANGUAGE_THAI;
constexpr uint16_t kCcsidUtf8 = COS_CCSID_UTF8;

bool isUnicodeCodePage(const CosClCCSID& ccsid) {
  return ccsid.isUCS2() || ccsid.getNumber() == kCcsidUtf8;
}

// The configured form, or none when the text is not Unicode.
TykEnUnicodeNormalization effectiveForm(const TykClIndexConfig& config, const CosClCCSID& ccsid) {
  return isUnicodeCodePage(ccsid) ? config.getUnicodeNormalization()
                                  : TYK_UNICODE_NORMALIZATION_NONE;
}

bool wantsTable(const TykClIndexConfig& config) {
  return config.isAccentFolding() || config.isLetterExpansion();
}

TykClNormalizationTable* newTable(const TykClIndexConfig& config) {
  return new TykClNormalizationTable(config.isAccentFolding(), config.isLetterExpansion());
}

bool isUnicodeForm(TykEnUnicodeNormalization form) {
  return form == TYK_UNICODE_NORMALIZATION_NFC || form == TYK_UNICODE_NORMALIZATION_NFKC;
}

// The normalizer for a form of 0, 1 or 2 (Thai aside), or null for any other form.
TykClNormalization* newNormalizer(const TykClIndexConfig& config, TykEnUnicodeNormalization form) {
  if (form == TYK_UNICODE_NORMALIZATION_NONE) {
    if (wantsTable(config)) return new TykClNormalizationTableBased(newTable(config));
    return new TykClNormalizationMemcopy();
  }
  if (isUnicodeForm(form)) {
    if (wantsTable(config))
      return new TykClNormalizationUnicodeAndTableBased(form, newTable(config));
    return new TykClNormalizationUnicode(form);
  }
  return nullptr;
}

// current destroyed and replaced by next.
TykClNormalization* replace(TykClNormalization* current, TykClNormalization* next) {
  TykClNormalization::destroyNormalizer(current);
  return next;
}

}  // namespace

TykClNormalization* TykClNormalization::createNormalizer(const TykClIndexConfig& config,
                                                         const CosClCCSID& ccsid,
                                                         const CosClLanguage& language) {
  if (language.getCode() == kLanguageThai) return new TykClNormalizationThai();
  return newNormalizer(config, effectiveForm(config, ccsid));
}

TykClNormalization* TykClNormalization::createNormalizer(const TykClIndexConfig& config,
                                                         const CosClCCSID& ccsid,
                                                         const CosClLanguage& language,
                                                         TykClNormalization* current) {
  if (current == nullptr) return createNormalizer(config, ccsid, language);
  const uint32_t kind = current->getKind();
  if (language.getCode() == kLanguageThai) {
    if ((kind & TYK_NORMALIZATION_KIND_THAI) != 0) return current;
    return replace(current, new TykClNormalizationThai());
  }
  // A Unicode normalizer stays in use on Unicode text whatever else the configuration says.
  if (isUnicodeCodePage(ccsid) && (kind & TYK_NORMALIZATION_KIND_UNICODE) != 0) return current;
  const TykEnUnicodeNormalization form = effectiveForm(config, ccsid);
  if (form == TYK_UNICODE_NORMALIZATION_NONE) {
    if (wantsTable(config)) {
      if ((kind & TYK_NORMALIZATION_KIND_TABLE) != 0) return current;
      return replace(current, new TykClNormalizationTableBased(newTable(config)));
    }
    if (kind == 0) return current;
    return replace(current, new TykClNormalizationMemcopy());
  }
  if (!isUnicodeForm(form)) return nullptr;  // current stays the caller's
  return replace(current, newNormalizer(config, form));
}

TykClNormalization* TykClNormalization::createDefaultNormalizer() {
  return new TykClNormalizationMemcopy();
}

void TykClNormalization::destroyNormalizer(TykClNormalization* normalizer) {
  delete normalizer;
}
