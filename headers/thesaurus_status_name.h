// How the engines fill the 512-byte file name fields of their status records (CNETSTATUS and
// ZOLSTATUS): a path of up to 511 characters is copied whole, a longer one is shortened to "..."
// and its tail. C++ only; inline and stateless, safe in any thread.
#ifndef THESAURUS_STATUS_NAME_H
#define THESAURUS_STATUS_NAME_H

#include <cstddef>
#include <cstring>

// Copies path (null: an empty name) into field, which has 512 bytes. The tail of a shortened
// path starts at the first '/' at or after its last 507 characters, searched up to the
// second-to-last character; without one it is the last 507 characters.
inline void thesShortenStatusName(char* field, const char* path) {
  constexpr std::size_t kWholeMax = 511;  // longest path copied whole
  constexpr std::size_t kTailMax = 507;   // longest tail of a shortened path
  if (path == nullptr) {
    field[0] = '\0';
    return;
  }
  const std::size_t length = std::strlen(path);
  if (length <= kWholeMax) {
    std::memcpy(field, path, length + 1);
    return;
  }
  const std::size_t start = length - kTailMax;
  std::size_t tail = start;
  for (std::size_t i = start; i + 1 < length; ++i) {
    if (path[i] == '/') {
      tail = i;
      break;
    }
  }
  std::memcpy(field, "...", 3);
  std::memcpy(field + 3, path + tail, length - tail + 1);
}

#endif  // THESAURUS_STATUS_NAME_H
