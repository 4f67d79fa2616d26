// Fuzz target of the map file loader: each input is the map file of a field map, loaded by the
// map's init notification. Loading must either succeed or throw TykClException with reason 17
// and the file's name as context, never crash or leak; it may take only a few fixed blocks and
// memory in proportion to the input's size, whatever counts and lengths the input claims. A
// file that loads must be written back by the next transaction end with the same bytes, apart
// from the number fields, which become the record positions.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "common_services/cos_memmgr.h"
#include "fuzz_support.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_map_names.h"

namespace {

namespace fs = std::filesystem;

using fuzzsupport::die;

// A directory for the map file and its shadow, removed at exit.
struct Directory {
  std::string path;
  Directory() : path(fuzzsupport::newDirectory("map_loader_fuzz")) {}
  ~Directory() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

std::size_t gs_requested = 0;
void* countingAllocator(std::size_t size) {
  gs_requested += size;
  return CosClMemoryManager::defaultAllocator(size);
}

uint32_t getBE32(const std::string& s, std::size_t at) {
  if (at + 4 > s.size()) die("an accepted file is shorter than its records");
  const auto* b = reinterpret_cast<const unsigned char*>(s.data() + at);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

// The input with each record's number field set to its position.
std::string renumbered(std::string file) {
  const uint32_t count = getBE32(file, 16);
  std::size_t at = 20;
  for (uint32_t n = 1; n <= count; ++n) {
    at += 4 + getBE32(file, at);
    getBE32(file, at);
    for (int i = 0; i < 4; ++i)
      file[at + i] = static_cast<char>(n >> (24 - 8 * i));
    at += 8;
  }
  if (at != file.size()) die("an accepted file has bytes after its records");
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Directory dir;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string mapFile = dir.path + "/idx.tf";
  fuzzsupport::writeAll(mapFile, input);
  TykClErrorInfo info;
  const TykClIndexLocation location("idx", dir.path.c_str(), dir.path.c_str());
  TykClFieldNameMap map(location, info);
  map.init();

  gs_requested = 0;
  CosClMemoryManager::cv_pfuAllocatorCallback = &countingAllocator;
  bool loaded = false;
  try {
    map.onIndexFileInit();
    loaded = true;
  } catch (const TykClException& e) {
    if (e.getReasonCode() != TYK_REASON_FILE_READ) die("a failed load has another reason than 17");
    if (mapFile + "\n" != e.getContext()) die("a failed load does not name the file");
    if (map.isLoaded() || map.getNextNumber() != 2) die("a failed load left entries behind");
  }
  CosClMemoryManager::cv_pfuAllocatorCallback = &CosClMemoryManager::defaultAllocator;
  // Entries (16 bytes for at least 12 in the file), names, and a few blocks of fixed size.
  if (gs_requested > 64 * 1024 + 4 * size || map.getEntries().getAllocated() > 255 + size / 12) {
    die("the load took memory the file cannot account for");
  }

  if (loaded) {
    map.onIndexFileEndTransaction();
    if (fuzzsupport::readAll(mapFile + "$") != renumbered(input))
      die("a loaded file is not written back");
    map.onIndexFileRollbackTransaction();
  }
  return 0;
}
