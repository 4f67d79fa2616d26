/* Character normalizers: the abstract TykClNormalization, its five concrete kinds and the
 * factories that choose one from an index configuration, a code page and a language.
 *
 *   TykClNormalizationMemcopy               copies the text (kind bits 0)
 *   TykClNormalizationTableBased            folds and expands Latin letters by table (4)
 *   TykClNormalizationUnicode               Unicode NFC or NFKC (1)
 *   TykClNormalizationUnicodeAndTableBased  NFC or NFKC, then the table (5)
 *   TykClNormalizationThai                  Thai word breaking, one blank between words (2)
 *
 * normalize(out, outCapacity, in, inCount) takes UTF-16 and gives UTF-16 under one contract:
 * it writes at most outCapacity units to out and returns how many it wrote; on entry inCount
 * is the number of input units, on return the number it did not consume, so that the caller
 * can continue with the rest. A character (for the Unicode normalizers: a run of characters
 * that normalizes together) whose result does not fit into the room left is not consumed; a
 * call may therefore return 0 and consume nothing when even the first result needs more than
 * outCapacity units. Apart from the Thai break iterator a normalizer keeps no state between
 * calls, and the output of calls resumed from the unconsumed rest equals that of one call
 * with room enough (Thai word breaking may see the words of the rest differently).
 *
 * getNormalizedLength(utf8, byteLength) answers, for the UTF-8 character at utf8, how many
 * UTF-16 units its normalization yields and sets byteLength to the length of its sequence
 * taken from the first byte. The Unicode normalizers look at the byte before utf8 when the
 * character is a combining mark, so utf8 must not be the first byte of a buffer then.
 *
 * Ownership: normalizers and their tables take their storage from the common services memory
 * manager. A factory's normalizer belongs to the caller and is ended by destroyNormalizer; a
 * table given to a constructor becomes the normalizer's.
 * Threads: a normalizer is used by one thread at a time; different normalizers are
 * independent.
 */
#ifndef TYK_COMMON_TYK_NORMALIZATION_H
#define TYK_COMMON_TYK_NORMALIZATION_H

#include <cstdint>

#include "common_services/cos_codepage.h"
#include "thesaurus_export.h"
#include "tyk_common/tyk_index_config.h"
#include "tyk_common/tyk_list.h"
#include "tyk_common/tyk_normalization_table.h"

struct UNormalizer2; /* ICU's, used only inside the library */

/* Kind bits of a normalizer. */
#define TYK_NORMALIZATION_KIND_UNICODE 1u /* Unicode normalization */
#define TYK_NORMALIZATION_KIND_THAI 2u    /* Thai processing */
#define TYK_NORMALIZATION_KIND_TABLE 4u   /* table mapping */

class THES_EXPORT TykClNormalization : public TykClMemoryObject {
 public:
  virtual ~TykClNormalization();

  // The expansion factor the normalizer declares for its output: 3 unless a kind says less.
  virtual unsigned int getNormalizeUnicodeFactor() const;

  // Normalizes under the common contract above; returns the units written.
  virtual unsigned int normalize(uint16_t* out, unsigned int outCapacity, const uint16_t* in,
                                 unsigned int& inCount) = 0;

  // The UTF-16 length of the normalized UTF-8 character at utf8; byteLength gets its length in
  // bytes: 1 below 0x80, 2 to 5 for the lead bytes 0xC0, 0xE0, 0xF0 and 0xF8 (masked), 1 for
  // any other byte.
  virtual unsigned int getNormalizedLength(const char* utf8, unsigned int& byteLength) = 0;

  uint32_t getKind() const { return iv_ulKind; }

  // A new normalizer for the configuration, code page and language, or null for a Unicode
  // normalization form other than none, NFC and NFKC. Thai (language 120) always gets Thai
  // processing; a code page other than UCS-2 and UTF-8 (1208) gets no Unicode normalization.
  static TykClNormalization* createNormalizer(const TykClIndexConfig& config,
                                              const CosClCCSID& ccsid,
                                              const CosClLanguage& language);

  // The same choice with current as the normalizer in use: current is returned when its kind
  // already fits (a Unicode normalizer fits any configuration on a Unicode code page);
  // otherwise current is destroyed and a new one returned. For a form that gives null, current
  // stays alive and the caller's. A null current is taken as none.
  static TykClNormalization* createNormalizer(const TykClIndexConfig& config,
                                              const CosClCCSID& ccsid,
                                              const CosClLanguage& language,
                                              TykClNormalization* current);

  // A new TykClNormalizationMemcopy.
  static TykClNormalization* createDefaultNormalizer();

  // Ends a normalizer of the factories; null does nothing.
  static void destroyNormalizer(TykClNormalization* normalizer);

  TykClNormalization(const TykClNormalization&) = delete;
  TykClNormalization& operator=(const TykClNormalization&) = delete;

 protected:
  explicit TykClNormalization(uint32_t kind) : iv_ulKind(kind) {}

  // The common first step of getNormalizedLength: the sequence length from the first byte.
  static unsigned int utf8SequenceLength(const char* utf8);
  // Copies as many units as fit, under the common contract; returns the units copied.
  static unsigned int copyText(uint16_t* out, unsigned int outCapacity, const uint16_t* in,
                               unsigned int& inCount);

  uint32_t iv_ulKind; /* TYK_NORMALIZATION_KIND_ bits */
};

class THES_EXPORT TykClNormalizationMemcopy : public TykClNormalization {
 public:
  TykClNormalizationMemcopy();
  ~TykClNormalizationMemcopy() override;
  unsigned int getNormalizeUnicodeFactor() const override;
  unsigned int normalize(uint16_t* out, unsigned int outCapacity, const uint16_t* in,
                         unsigned int& inCount) override;
  unsigned int getNormalizedLength(const char* utf8, unsigned int& byteLength) override;
};

class THES_EXPORT TykClNormalizationTableBased : public TykClNormalization {
 public:
  // table (from new) becomes the normalizer's; it must not be null.
  explicit TykClNormalizationTableBased(TykClNormalizationTable* table);
  ~TykClNormalizationTableBased() override;
  unsigned int normalize(uint16_t* out, unsigned int outCapacity, const uint16_t* in,
                         unsigned int& inCount) override;
  unsigned int getNormalizedLength(const char* utf8, unsigned int& byteLength) override;
  const TykClNormalizationTable& getTable() const { return *iv_pclTable; }

 private:
  TykClNormalizationTable* iv_pclTable; /* owned */
};

class THES_EXPORT TykClNormalizationUnicode : public TykClNormalization {
 public:
  // NFC for form 1, NFKC for form 2; any other form gives kind bits 0 and a normalizer that
  // copies the text.
  explicit TykClNormalizationUnicode(TykEnUnicodeNormalization form);
  ~TykClNormalizationUnicode() override;
  unsigned int normalize(uint16_t* out, unsigned int outCapacity, const uint16_t* in,
                         unsigned int& inCount) override;
  unsigned int getNormalizedLength(const char* utf8, unsigned int& byteLength) override;

 protected:
  // Normalizes as normalize does; with a table, a character whose normalization is exactly one
  // unit from U+00C0 to U+0233 is replaced through it.
  unsigned int normalizeWith(const TykClNormalizationTable* table, uint16_t* out,
                             unsigned int outCapacity, const uint16_t* in, unsigned int& inCount);
  // getNormalizedLength with an optional table.
  unsigned int normalizedLengthWith(const TykClNormalizationTable* table, const char* utf8,
                                    unsigned int& byteLength);

  int32_t iv_lMode;                    /* ICU normalization mode: 4 NFC, 5 NFKC, 1 none */
  const UNormalizer2* iv_pNormalizer2; /* ICU's normalizer of the same form, null for none */
};

class THES_EXPORT TykClNormalizationUnicodeAndTableBased : public TykClNormalizationUnicode {
 public:
  // table (from new) becomes the normalizer's; it must not be null.
  TykClNormalizationUnicodeAndTableBased(TykEnUnicodeNormalization form,
                                         TykClNormalizationTable* table);
  ~TykClNormalizationUnicodeAndTableBased() override;
  unsigned int normalize(uint16_t* out, unsigned int outCapacity, const uint16_t* in,
                         unsigned int& inCount) override;
  unsigned int getNormalizedLength(const char* utf8, unsigned int& byteLength) override;
  const TykClNormalizationTable& getTable() const { return *iv_pclTable; }

 private:
  TykClNormalizationTable* iv_pclTable; /* owned */
};

class THES_EXPORT TykClNormalizationThai : public TykClNormalization {
 public:
  // Takes a break iterator from the indexing engine.
  TykClNormalizationThai();
  ~TykClNormalizationThai() override;
  unsigned int getNormalizeUnicodeFactor() const override;
  // The words of the text separated by one blank (tykThaiProcessing); the text as it is when
  // the indexing engine could give no break iterator.
  unsigned int normalize(uint16_t* out, unsigned int outCapacity, const uint16_t* in,
                         unsigned int& inCount) override;
  // Not supported: throws TykClException with reason 47.
  unsigned int getNormalizedLength(const char* utf8, unsigned int& byteLength) override;

 private:
  void* iv_pvBreakIterator; /* owned, from tykThaiCreateBreakIterator */
};

#endif /* TYK_COMMON_TYK_NORMALIZATION_H */
