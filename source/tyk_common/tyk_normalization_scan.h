// Scans of UTF-16 text for units of the normalization table (U+00C0 to U+0233), eight units at
// a time where SSE2 is there, and the copy of text through the table. Most text has few such
// units, so the normalizers that use the table copy the runs between them in blocks. Internal
// to the library.
#ifndef TYK_COMMON_TYK_NORMALIZATION_SCAN_H
#define TYK_COMMON_TYK_NORMALIZATION_SCAN_H

#include <cstddef>
#include <cstdint>

#include "tyk_common/tyk_normalization_table.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tyknorm {

inline bool inTable(uint16_t unit) {
  return static_cast<uint16_t>(unit - TYK_NORMALIZATION_TABLE_FIRST) < TYK_NORMALIZATION_TABLE_ROWS;
}

#if defined(__SSE2__)
// Two mask bits for each of the eight units that lies in the table.
inline int tableMask(__m128i units) {
  // unit - 0xC0 below 372 as an unsigned comparison, made signed by flipping the top bit.
  const __m128i offset = _mm_sub_epi16(units, _mm_set1_epi16(TYK_NORMALIZATION_TABLE_FIRST));
  const __m128i flipped = _mm_xor_si128(offset, _mm_set1_epi16(static_cast<int16_t>(0x8000)));
  const __m128i bound = _mm_set1_epi16(static_cast<int16_t>(TYK_NORMALIZATION_TABLE_ROWS ^ 0x8000));
  return _mm_movemask_epi8(_mm_cmplt_epi16(flipped, bound));
}
#endif

// Copies in[0, count) to out up to the first unit in the table; returns the number of units
// before it (count when there is none). out has room for count units; units after the one
// returned may have been written too.
inline size_t copyUntilTableUnit(uint16_t* out, const uint16_t* in, size_t count) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 8 <= count; i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), units);
    const int mask = tableMask(units);
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
  }
#endif
  for (; i < count; ++i) {
    if (inTable(in[i])) return i;
    out[i] = in[i];
  }
  return count;
}

// The index of the first unit of in[0, count) that lies in the table, count when there is none.
inline size_t findTableUnit(const uint16_t* in, size_t count) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 8 <= count; i += 8) {
    const int mask = tableMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
  }
#endif
  for (; i < count; ++i) {
    if (inTable(in[i])) return i;
  }
  return count;
}

// Copies in[0, count) to out through the table while there is room: a unit of the table is
// replaced by its row's first unit and, when the row has one, its second; other units are
// copied. A pair that does not fit into the room left stops the copy before its unit.
// Returns the units written; consumed gets the number of input units used.
inline size_t copyThroughTable(const TykClNormalizationTable& table, uint16_t* out, size_t room,
                               const uint16_t* in, size_t count, size_t& consumed) {
  size_t i = 0;
  size_t written = 0;
  while (i < count && written < room) {
    // The units up to the next one in the table are copied as they are.
    const size_t left = room - written;
    const size_t run =
        copyUntilTableUnit(out + written, in + i, count - i < left ? count - i : left);
    written += run;
    i += run;
    if (i == count || written == room) break;
    const TykStNormalizationRow& row = *table.findRow(in[i]);
    if (row.usSecond != 0) {
      if (room - written < 2) break;  // the pair does not fit: leave the unit
      out[written++] = row.usFirst;
      out[written++] = row.usSecond;
    } else {
      out[written++] = row.usFirst;
    }
    ++i;
  }
  consumed = i;
  return written;
}

}  // namespace tyknorm

#endif  // TYK_COMMON_TYK_NORMALIZATION_SCAN_H
