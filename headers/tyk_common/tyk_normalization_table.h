/* TykClNormalizationTable: folding of Latin letters with diacritics to plain ASCII letters.
 *
 * The table covers the 372 code points U+00C0 to U+0233, one row each: the code point, its
 * first replacement unit and its second replacement unit (0 when there is none). A row whose
 * first replacement is its own code point and whose second is 0 leaves the character unchanged.
 * Two flags given at construction decide which replacements stay active: the first keeps the
 * one-letter replacements (accent folding, À to A), the second the two-letter ones (letter
 * expansion, Ä to Ae, ß to ss). A row switched off by its flag leaves its character unchanged.
 *
 * Ownership: each table is a private copy of the built-in rows, so tables with different flags
 * live side by side. Its storage comes from the common services memory manager (new and delete
 * of TykClMemoryObject); a table-based normalizer owns the table it is given.
 * Threads: a table does not change after construction and may be read by any number of threads.
 */
#ifndef TYK_COMMON_TYK_NORMALIZATION_TABLE_H
#define TYK_COMMON_TYK_NORMALIZATION_TABLE_H

#include <cstdint>

#include "thesaurus_export.h"
#include "tyk_common/tyk_list.h"

#define TYK_NORMALIZATION_TABLE_FIRST 0x00C0 /* first code point in the table */
#define TYK_NORMALIZATION_TABLE_LAST 0x0233  /* last code point in the table */
#define TYK_NORMALIZATION_TABLE_ROWS 372

/* One row: a code point and what it becomes. */
struct TykStNormalizationRow {
  uint16_t usCodePoint; /* the code point the row describes */
  uint16_t usFirst;     /* first replacement unit (the code point itself when unchanged) */
  uint16_t usSecond;    /* second replacement unit, 0 when there is none */
};

class THES_EXPORT TykClNormalizationTable : public TykClMemoryObject {
 public:
  // Copies the built-in rows and switches off the one-letter replacements unless accentFolding
  // and the two-letter replacements unless letterExpansion.
  TykClNormalizationTable(bool accentFolding, bool letterExpansion);

  bool isAccentFolding() const { return iv_bAccentFolding; }
  bool isLetterExpansion() const { return iv_bLetterExpansion; }

  // The row of unit, or null when the unit lies outside U+00C0 to U+0233.
  const TykStNormalizationRow* findRow(uint32_t unit) const {
    const uint32_t index = unit - TYK_NORMALIZATION_TABLE_FIRST;
    return index < TYK_NORMALIZATION_TABLE_ROWS ? &iv_astRows[index] : nullptr;
  }

  // True when unit is in the table and its row has a second replacement.
  bool utf16CharResultsInTwoCodePoints(uint16_t unit) const {
    const TykStNormalizationRow* row = findRow(unit);
    return row != nullptr && row->usSecond != 0;
  }

 private:
  friend class TykClNormalizationTableBased;

  // The same question for the UTF-8 character that begins at utf8 (its code point decoded by
  // the common services library).
  bool utf8CharResultsInTwoCodePointsImp(const char* utf8) const;

  bool iv_bAccentFolding;   /* first flag: one-letter replacements active */
  bool iv_bLetterExpansion; /* second flag: two-letter replacements active */
  TykStNormalizationRow iv_astRows[TYK_NORMALIZATION_TABLE_ROWS];
};

#endif /* TYK_COMMON_TYK_NORMALIZATION_TABLE_H */
