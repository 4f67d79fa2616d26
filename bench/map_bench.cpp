// Name maps: a field name map with 1,000 and with 32,000 names against the in-memory limit, a
// std::unordered_map<std::string, uint32_t> given the same names in the same run.
//   - assign: every name added to an empty map (numbers handed out in order on both sides);
//   - look-up: every name looked up once, in a shuffled order;
//   - save: the transaction end that writes the whole map to its shadow file and flushes it to
//     disk, against one write of as many bytes with the same flush;
//   - load: initialising a map from its map file, against reading the file whole.
// The two sides are timed in turn, their order alternating between repetitions; each figure is
// the median over the repetitions. Save and load are also given per byte of the map file, with
// two sizes between 1,000 and 32,000 names, so that their growth with the file's size shows.
//
//   map_bench [--repeat R] [--dir D]     (D: where the map files go, default the temp directory)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "bench_support.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_map_names.h"

namespace {

using benchsupport::median;
using benchsupport::now;

// count distinct names of 6 to 24 characters, as field names look.
std::vector<std::string> makeNames(size_t count, std::mt19937& random) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz_0123456789";
  std::uniform_int_distribution<int> length(6, 24), pick(0, sizeof kChars - 2);
  std::unordered_set<std::string> seen;
  std::vector<std::string> names;
  while (names.size() < count) {
    std::string name(static_cast<size_t>(length(random)), ' ');
    for (char& c : name)
      c = kChars[pick(random)];
    if (seen.insert(name).second) names.push_back(name);
  }
  return names;
}

struct Figures {
  std::vector<double> mapAssign, tableAssign, mapLookup, tableLookup, mapSave, plainSave, mapLoad,
      plainRead;
  long fileSize = 0;
};

// One write of size bytes and a flush to disk: the I/O a save cannot avoid.
double plainWrite(const std::string& path, const std::string& bytes) {
  const double t0 = now();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
      std::fflush(f) != 0 || ::fsync(fileno(f)) != 0) {
    std::fprintf(stderr, "writing %s failed\n", path.c_str());
    std::exit(1);
  }
  std::fclose(f);
  return now() - t0;
}

double plainRead(const std::string& path, std::string* into) {
  const double t0 = now();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) std::exit(1);
  into->resize(static_cast<size_t>(std::filesystem::file_size(path)));
  if (std::fread(into->data(), 1, into->size(), f) != into->size()) std::exit(1);
  std::fclose(f);
  return now() - t0;
}

volatile uint64_t gs_sink = 0;

void runOnce(const std::string& dir, const std::vector<std::string>& names,
             const std::vector<std::string>& shuffled, bool tableFirst, Figures* fig) {
  TykClErrorInfo info;
  const TykClIndexLocation location("bench", dir.c_str(), dir.c_str());
  const std::string mapFile = dir + "/bench.tf";
  std::filesystem::remove(mapFile);

  auto timeTable = [&] {
    std::unordered_map<std::string, uint32_t> table;
    uint32_t next = 2;
    double t0 = now();
    for (const std::string& name : names) {
      if (table.try_emplace(name, next).second) ++next;
    }
    fig->tableAssign.push_back(now() - t0);
    uint64_t sum = 0;
    t0 = now();
    for (const std::string& name : shuffled) {
      auto it = table.find(name);
      sum += it == table.end() ? 1 : it->second;
    }
    fig->tableLookup.push_back(now() - t0);
    gs_sink = gs_sink + sum;
  };
  auto timeMap = [&] {
    TykClFieldNameMap map(location, info);
    map.init();
    uint16_t number = 0;
    bool isNew = false;
    double t0 = now();
    for (const std::string& name : names)
      map.assignFieldNameToNumber(name.c_str(), number, isNew);
    fig->mapAssign.push_back(now() - t0);
    uint64_t sum = 0;
    t0 = now();
    for (const std::string& name : shuffled) {
      map.mapFieldNameToNumber(name.c_str(), number);
      sum += number;
    }
    fig->mapLookup.push_back(now() - t0);
    gs_sink = gs_sink + sum;
    t0 = now();
    map.onIndexFileEndTransaction();
    fig->mapSave.push_back(now() - t0);
    map.onIndexFileCommitTransaction();
  };
  if (tableFirst) {
    timeTable();
    timeMap();
  } else {
    timeMap();
    timeTable();
  }

  std::string bytes;
  auto timeLoad = [&] {
    TykClFieldNameMap loaded(location, info);
    loaded.init();
    const double t0 = now();
    loaded.onIndexFileInit();
    fig->mapLoad.push_back(now() - t0);
    if (loaded.getNextNumber() != names.size() + 2) std::exit(1);
  };
  if (tableFirst) {
    fig->plainRead.push_back(plainRead(mapFile, &bytes));
    timeLoad();
  } else {
    timeLoad();
    fig->plainRead.push_back(plainRead(mapFile, &bytes));
  }
  fig->fileSize = static_cast<long>(bytes.size());
  fig->plainSave.push_back(plainWrite(dir + "/plain.bin", bytes));
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 7;
  std::string dir = std::filesystem::temp_directory_path().string();
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--repeat") == 0)
      repeat = std::max(1, std::atoi(argv[i + 1]));
    else if (std::strcmp(argv[i], "--dir") == 0)
      dir = argv[i + 1];
  }
  std::string work = dir + "/map_bench.XXXXXX";
  if (mkdtemp(work.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  std::mt19937 random(42);
  std::printf("map_bench: %d repetitions, medians; files in %s\n", repeat, dir.c_str());
  // The two sizes asked for, and two between them for the growth of save and load per byte.
  const size_t sizes[] = {1000, 4000, 16000, 32000};
  double perByte[4][2] = {};
  for (int s = 0; s < 4; ++s) {
    const std::vector<std::string> names = makeNames(sizes[s], random);
    std::vector<std::string> shuffled = names;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    Figures fig;
    for (int r = 0; r < repeat; ++r)
      runOnce(work, names, shuffled, r % 2 == 0, &fig);
    const double n = static_cast<double>(sizes[s]);
    const double ma = median(fig.mapAssign), ta = median(fig.tableAssign);
    const double ml = median(fig.mapLookup), tl = median(fig.tableLookup);
    const double ms = median(fig.mapSave), ps = median(fig.plainSave);
    const double mr = median(fig.mapLoad), pr = median(fig.plainRead);
    perByte[s][0] = ms / static_cast<double>(fig.fileSize);
    perByte[s][1] = mr / static_cast<double>(fig.fileSize);
    std::printf("\n%zu names, map file %ld bytes\n", sizes[s], fig.fileSize);
    std::printf("  assign   map %10.2f M/s   unordered_map %10.2f M/s   unordered_map/map %6.1fx\n",
                n / ma / 1e6, n / ta / 1e6, ma / ta);
    std::printf("  look-up  map %10.2f M/s   unordered_map %10.2f M/s   unordered_map/map %6.1fx\n",
                n / ml / 1e6, n / tl / 1e6, ml / tl);
    std::printf(
        "  save     map %10.3f ms    one write+fsync %8.3f ms    map/write %6.1fx"
        "   %.2f ns/byte\n",
        ms * 1e3, ps * 1e3, ms / ps, perByte[s][0] * 1e9);
    std::printf(
        "  load     map %10.3f ms    one read %15.3f ms    map/read %6.1fx"
        "   %.2f ns/byte\n",
        mr * 1e3, pr * 1e3, mr / pr, perByte[s][1] * 1e9);
  }
  std::printf("\nper byte of map file against 4,000 names:");
  for (int s = 0; s < 4; ++s) {
    std::printf("  %zu: save %.2fx load %.2fx", sizes[s], perByte[s][0] / perByte[1][0],
                perByte[s][1] / perByte[1][1]);
  }
  std::printf("\n");
  std::filesystem::remove_all(work);
  return 0;
}
