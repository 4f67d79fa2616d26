// On-disk format of the word index file ("<name>.wix", and "<name>.wi$" while a build is
// pending), and the functions that encode and decode its fixed records.
//
// Every integer is little-endian. The file is three areas back to back:
//
//   Header (32 bytes, at offset 0)
//   | Offset | Size | Meaning                                                          |
//   |--------|------|------------------------------------------------------------------|
//   |      0 |    8 | magic "ZOLWIX\r\n"; the CR LF pair exposes a text-mode transfer  |
//   |      8 |    4 | format version, kIndexVersion                                    |
//   |     12 |    4 | entry count N                                                    |
//   |     16 |    4 | key area size K in bytes                                         |
//   |     20 |    1 | code page (1 to 36) in which the keys are written                |
//   |     21 |    3 | zero                                                             |
//   |     24 |    4 | CRC-32 (IEEE 802.3, as zlib computes it) of bytes 32 to the end  |
//   |        |      | followed by bytes 0 to 23, so that it covers every field         |
//   |     28 |    4 | zero                                                             |
//
//   Entry area (N entries of 12 bytes, at offset 32)
//   | Offset | Size | Meaning                                                          |
//   |--------|------|------------------------------------------------------------------|
//   |      0 |    4 | key offset, counted from the start of the key area               |
//   |      4 |    2 | key length, 1 to kMaxKeyLength                                   |
//   |      6 |    2 | flags, zero                                                      |
//   |      8 |    4 | document id (the word id)                                        |
//
//   Key area (K bytes, at offset 32 + 12 N): the keys back to back, in entry order.
//
// The file size is exactly 32 + 12 N + K. A key is the document text normalized as
// ZOLnormalizeWord does. Entries are sorted by key (bytes compared as unsigned, a key that is
// a prefix of another sorts first), then by ascending document id; no document id occurs twice.
#ifndef INDEXING_ENGINE_ZOL_INDEX_FORMAT_H
#define INDEXING_ENGINE_ZOL_INDEX_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zol {

inline constexpr char kIndexMagic[8] = {'Z', 'O', 'L', 'W', 'I', 'X', '\r', '\n'};
inline constexpr uint32_t kIndexVersion = 1;

inline constexpr size_t kHeaderSize = 32;
inline constexpr size_t kHeaderVersion = 8;
inline constexpr size_t kHeaderCount = 12;
inline constexpr size_t kHeaderKeyAreaSize = 16;
inline constexpr size_t kHeaderCodePage = 20;
inline constexpr size_t kHeaderReserved1 = 21;  // 3 bytes
inline constexpr size_t kHeaderChecksum = 24;
inline constexpr size_t kHeaderReserved2 = 28;  // 4 bytes

inline constexpr size_t kEntrySize = 12;
inline constexpr size_t kEntryKeyOffset = 0;
inline constexpr size_t kEntryKeyLength = 4;
inline constexpr size_t kEntryFlags = 6;
inline constexpr size_t kEntryDocId = 8;

// Longest document text and longest key: normalization at most doubles a text (triples it in
// UTF-8).
inline constexpr size_t kMaxDocLength = 192;
inline constexpr size_t kMaxKeyLength = 3 * kMaxDocLength;

static_assert(sizeof kIndexMagic == 8, "magic is 8 bytes");
static_assert(kHeaderReserved2 + 4 == kHeaderSize, "header fields fill 32 bytes");
static_assert(kEntryDocId + 4 == kEntrySize, "entry fields fill 12 bytes");
static_assert(kMaxKeyLength <= UINT16_MAX, "key length fits its u16 field");

// The header's fields in host form.
struct IndexHeader {
  uint32_t version = 0;
  uint32_t count = 0;        // number of entries
  uint32_t keyAreaSize = 0;  // bytes of the key area
  uint8_t codePage = 0;
  uint32_t checksum = 0;  // CRC-32 of the entry and key areas, then of header bytes 0 to 23
};

// One entry in host form; the index build also sorts these, with offsets into its key arena.
struct IndexEntry {
  uint32_t keyOffset;
  uint16_t keyLength;
  uint16_t flags;
  uint32_t docId;
};
static_assert(sizeof(IndexEntry) == 12, "host entry stays as small as the stored one");

inline uint16_t load16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t load32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void store16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void store32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Writes a header into out (kHeaderSize bytes); the reserved bytes become zero.
inline void encodeHeader(const IndexHeader& h, uint8_t* out) {
  std::memset(out, 0, kHeaderSize);
  std::memcpy(out, kIndexMagic, sizeof kIndexMagic);
  store32(out + kHeaderVersion, h.version);
  store32(out + kHeaderCount, h.count);
  store32(out + kHeaderKeyAreaSize, h.keyAreaSize);
  out[kHeaderCodePage] = h.codePage;
  store32(out + kHeaderChecksum, h.checksum);
}

// Reads the fields of a header (kHeaderSize bytes); checking them is the caller's business.
inline IndexHeader decodeHeader(const uint8_t* in) {
  IndexHeader h;
  h.version = load32(in + kHeaderVersion);
  h.count = load32(in + kHeaderCount);
  h.keyAreaSize = load32(in + kHeaderKeyAreaSize);
  h.codePage = in[kHeaderCodePage];
  h.checksum = load32(in + kHeaderChecksum);
  return h;
}

inline void encodeEntry(const IndexEntry& e, uint8_t* out) {
  store32(out + kEntryKeyOffset, e.keyOffset);
  store16(out + kEntryKeyLength, e.keyLength);
  store16(out + kEntryFlags, e.flags);
  store32(out + kEntryDocId, e.docId);
}

inline IndexEntry decodeEntry(const uint8_t* in) {
  return IndexEntry{load32(in + kEntryKeyOffset), load16(in + kEntryKeyLength),
                    load16(in + kEntryFlags), load32(in + kEntryDocId)};
}

}  // namespace zol

#endif  // INDEXING_ENGINE_ZOL_INDEX_FORMAT_H
