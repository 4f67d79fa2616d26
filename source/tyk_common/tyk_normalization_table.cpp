// The normalization table: the built-in rows for U+00C0 to U+0233 and the flags that switch
// the one-letter and two-letter replacements off.
#include "tyk_common/tyk_normalization_table.h"

#include <array>

#include "common_services/cos_codepage.h"

namespace {

// The built-in rows, sixteen code points a line starting at U+00C0. Each word is the
// replacement of one code point: one letter, two letters, or "=" for unchanged.
constexpr const char* kRowText[] = {
    "A A A A Ae Aa Ae C E E E E I I I I",        // U+00C0
    "D N O O O O Oe = Oe U U U Ue Y = ss",       // U+00D0
    "a a a a ae aa ae c e e e e i i i i",        // U+00E0
    "= n o o o o oe = oe u u u ue y = y",        // U+00F0
    "A a A a A a C c C c C c C c D d",           // U+0100
    "D d E e E e E e E e E e G g G g",           // U+0110
    "G g G g H h H h I i I i I i I i",           // U+0120
    "I l IJ ij J j K k = L l L l L l L",         // U+0130
    "l L l N n N n N n n N n O o O o",           // U+0140
    "Oe oe Oe oe R r R r R r S s S s S s",       // U+0150
    "S s T t T t T t U u U u U u U u",           // U+0160
    "Ue ue U u W w Y y Y Z z Z z Z z s",         // U+0170
    "b B b b b b O C c D D D d = = =",           // U+0180
    "E F f G = hv = I K k l = = N n O",          // U+0190
    "O o Oi Oi P p R = = = = t T t T U",         // U+01A0
    "u = V Y y Z z = = = = = = = = =",           // U+01B0
    "= = = = DZ Dz dz LJ Lj lj NJ Nj nj A a I",  // U+01C0
    "i O o U u U u U u U u u u = A a",           // U+01D0
    "A a AE ae G g G g K k O o O o = =",         // U+01E0
    "j DZ Dz dz G g = = N n A a AE ae O o",      // U+01F0
    "Ae ae A a E e E e I i I i Oe oe O o",       // U+0200
    "R r R r Ue ue U u S s T t = = H h",         // U+0210
    "N = = = Z z A a E e O o O o O o",           // U+0220
    "O o Y y",                                   // U+0230
};

struct BuiltInRows {
  std::array<TykStNormalizationRow, TYK_NORMALIZATION_TABLE_ROWS> rows{};
  unsigned int words = 0;      // replacements read from the text
  unsigned int oneLetter = 0;  // rows with one replacement letter
  unsigned int twoLetters = 0;
  unsigned int unchanged = 0;
  bool wellFormed = true;  // every word is "=" or one or two ASCII letters
};

constexpr bool isAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Reads the row text into rows, at compile time.
constexpr BuiltInRows parseRows() {
  BuiltInRows result;
  for (const char* line : kRowText) {
    // Every line starts at a multiple of sixteen code points.
    if (result.words % 16 != 0) result.wellFormed = false;
    const char* p = line;
    while (*p != '\0') {
      while (*p == ' ')
        ++p;
      const char* word = p;
      while (*p != '\0' && *p != ' ')
        ++p;
      const auto length = static_cast<unsigned int>(p - word);
      if (length == 0) continue;
      if (result.words >= TYK_NORMALIZATION_TABLE_ROWS) {
        result.wellFormed = false;
        return result;
      }
      const auto codePoint = static_cast<uint16_t>(TYK_NORMALIZATION_TABLE_FIRST + result.words);
      TykStNormalizationRow& row = result.rows[result.words++];
      row.usCodePoint = codePoint;
      if (length == 1 && word[0] == '=') {
        row.usFirst = codePoint;
        ++result.unchanged;
      } else if (length <= 2 && isAsciiLetter(word[0]) && (length == 1 || isAsciiLetter(word[1]))) {
        row.usFirst = static_cast<uint16_t>(word[0]);
        row.usSecond = length == 2 ? static_cast<uint16_t>(word[1]) : 0;
        ++(length == 2 ? result.twoLetters : result.oneLetter);
      } else {
        result.wellFormed = false;
      }
    }
  }
  return result;
}

constexpr BuiltInRows kBuiltIn = parseRows();
static_assert(kBuiltIn.wellFormed && kBuiltIn.words == TYK_NORMALIZATION_TABLE_ROWS);
static_assert(kBuiltIn.oneLetter == 285 && kBuiltIn.twoLetters == 46 && kBuiltIn.unchanged == 41);

}  // namespace

TykClNormalizationTable::TykClNormalizationTable(bool accentFolding, bool letterExpansion)
    : iv_bAccentFolding(accentFolding), iv_bLetterExpansion(letterExpansion) {
  for (unsigned int k = 0; k < TYK_NORMALIZATION_TABLE_ROWS; ++k) {
    TykStNormalizationRow row = kBuiltIn.rows[k];
    const bool twoLetters = row.usSecond != 0;
    if ((!twoLetters && !accentFolding) || (twoLetters && !letterExpansion)) {
      row.usFirst = row.usCodePoint;
      row.usSecond = 0;
    }
    iv_astRows[k] = row;
  }
}

bool TykClNormalizationTable::utf8CharResultsInTwoCodePointsImp(const char* utf8) const {
  const TykStNormalizationRow* row = findRow(CosClConverterABase::convertUtf8CharToUtf32(utf8));
  return row != nullptr && row->usSecond != 0;
}
