// Big-endian byte-order helpers (C++ only), shared by every module that reads or writes files
// whose integers are stored big-endian: the dictionary files and the name map files. Inline and
// stateless; safe in any thread.
#ifndef THESAURUS_BYTES_H
#define THESAURUS_BYTES_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// The big-endian 32-bit value at p.
inline uint32_t cnetGetBE32(const void* p) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

// Stores v big-endian at p.
inline void cnetPutBE32(void* p, uint32_t v) {
  uint8_t* b = static_cast<uint8_t*>(p);
  b[0] = static_cast<uint8_t>(v >> 24);
  b[1] = static_cast<uint8_t>(v >> 16);
  b[2] = static_cast<uint8_t>(v >> 8);
  b[3] = static_cast<uint8_t>(v);
}

// Converts n consecutive 32-bit values in place between big-endian and host order (the same
// operation both ways).
inline void cnetSwapBE32(void* p, size_t n) {
  uint8_t* b = static_cast<uint8_t*>(p);
  for (size_t i = 0; i < n; ++i, b += 4) {
    uint32_t v = cnetGetBE32(b);
    std::memcpy(b, &v, 4);
  }
}

#endif  // THESAURUS_BYTES_H
