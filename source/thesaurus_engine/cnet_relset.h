// Inline membership tests of RELSET filters and the reverse of a relation, for loops that test
// or turn every relation of a word (the exported cnetCheckBit, cnetRelSame and cnetRelReverse
// are these same rules behind a call).
#ifndef THESAURUS_ENGINE_CNET_RELSET_H
#define THESAURUS_ENGINE_CNET_RELSET_H

#include <cstdint>

#include "thesaurus_engine/cnet.h"

// Bit n (1 to 256) of a 32-byte set: byte (n - 1) / 8 under the mask 0x80 >> ((n - 1) % 8).
inline uint32_t cnetBitIsSet(const uint8_t* set, uint32_t n) {
  if (n < 1 || n > 256) return 0;
  return set[(n - 1) / 8] & (0x80u >> ((n - 1) % 8));
}

// The bit set of a RELSET that holds a category: 3 the first, 1 the second, any other the third.
inline const uint8_t* cnetRelSetFor(const RELSET& set, uint8_t category) {
  if (category == CNET_CAT_SYMMETRIC) return set.symmetric;
  if (category == CNET_CAT_HIGHER) return set.higher;
  return set.lower;
}

// Non-zero when rel belongs to set.
inline uint32_t cnetRelInSet(const RELSET& set, REL rel) {
  return cnetBitIsSet(cnetRelSetFor(set, rel.category), rel.id);
}

// The reverse of a relation: higher-than and lower-than exchange, every other stays (the
// exported cnetRelReverse is this behind a call).
inline REL cnetRelReversed(REL rel) {
  if (rel.category == CNET_CAT_HIGHER) {
    rel.category = CNET_CAT_LOWER;
  } else if (rel.category == CNET_CAT_LOWER) {
    rel.category = CNET_CAT_HIGHER;
  }
  return rel;
}

#endif  // THESAURUS_ENGINE_CNET_RELSET_H
