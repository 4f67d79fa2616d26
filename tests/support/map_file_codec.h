// A map file encoder and decoder for tests, written apart from the library's own, so that the
// library's files are checked against an independent reading of the format: magic
// "TYK-MAPFILE-1.00", a count, then records of length, name, number and hash, all integers
// big-endian with 4 bytes (or 8 in the 64-bit form).
#ifndef TESTS_SUPPORT_MAP_FILE_CODEC_H
#define TESTS_SUPPORT_MAP_FILE_CODEC_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct MapRecord {
  std::string name;  // empty for the reserved and deleted entries
  uint64_t number = 0;
  uint64_t hash = 0;
  bool operator==(const MapRecord&) const = default;
};

inline void putBigEndian(std::string* out, uint64_t value, int width) {
  for (int i = width - 1; i >= 0; --i)
    out->push_back(static_cast<char>(value >> (8 * i)));
}

// The file bytes of these records; `count` overrides the record count when given.
inline std::string encodeMapFile(const std::vector<MapRecord>& records, int width = 4,
                                 std::optional<uint64_t> count = std::nullopt) {
  std::string out = "TYK-MAPFILE-1.00";
  putBigEndian(&out, count.value_or(records.size()), width);
  for (const MapRecord& r : records) {
    putBigEndian(&out, r.name.size(), width);
    out += r.name;
    putBigEndian(&out, r.number, width);
    putBigEndian(&out, r.hash, width);
  }
  return out;
}

// The records of a map file, or nothing when the bytes are not a whole map file of this width.
inline std::optional<std::vector<MapRecord>> decodeMapFile(const std::string& bytes,
                                                           int width = 4) {
  size_t at = 0;
  auto take = [&](uint64_t* value) {
    if (bytes.size() - at < static_cast<size_t>(width)) return false;
    *value = 0;
    for (int i = 0; i < width; ++i)
      *value = (*value << 8) | static_cast<unsigned char>(bytes[at++]);
    return true;
  };
  if (bytes.compare(0, 16, "TYK-MAPFILE-1.00") != 0 || bytes.size() < 16) return std::nullopt;
  at = 16;
  uint64_t count = 0;
  if (!take(&count)) return std::nullopt;
  std::vector<MapRecord> records;
  for (uint64_t i = 0; i < count; ++i) {
    MapRecord r;
    uint64_t length = 0;
    if (!take(&length) || bytes.size() - at < length) return std::nullopt;
    r.name = bytes.substr(at, length);
    at += length;
    if (!take(&r.number) || !take(&r.hash)) return std::nullopt;
    records.push_back(r);
  }
  if (at != bytes.size()) return std::nullopt;
  return records;
}

// The hash of a name summed without a limit: each byte shifted left by 0 to 22 in turn.
inline uint64_t mapNameHash64(const std::string& name) {
  uint64_t hash = 0;
  for (size_t i = 0; i < name.size(); ++i)
    hash += uint64_t{static_cast<unsigned char>(name[i])} << (i % 23);
  return hash;
}

}  // namespace testsupport

#endif  // TESTS_SUPPORT_MAP_FILE_CODEC_H
