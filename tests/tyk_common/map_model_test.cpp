// Name maps against a model: thousands of random assignments, look-ups, deletions and
// transaction steps on a field map and an attribute map (its two maps), including reopening
// the maps from their files, checked after every step against std::map models of memory, the
// shadow file and the committed map file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/map_file_codec.h"
#include "support/temp_dir.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_indexfile_mgr.h"
#include "tyk_common/tyk_map_names.h"

using testsupport::decodeMapFile;
using testsupport::fileExists;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

// The contents of one map: its live names and the next number.
struct Contents {
  std::map<std::string, uint32_t> names;
  uint32_t next = 2;
  bool operator==(const Contents&) const = default;
};

// What one map should be: in memory, in its shadow file and in its map file.
struct MapModel {
  explicit MapModel(uint32_t maxSize) : max(maxSize) {}
  uint32_t max;
  Contents memory;
  bool loaded = false;
  std::optional<Contents> shadow;
  std::optional<Contents> committed;
};

// The display text of a map with these contents.
std::string displayOf(const Contents& contents) {
  std::vector<std::string> byNumber(contents.next);
  for (const auto& [name, number] : contents.names)
    byNumber[number] = name;
  std::string text = "elementNumber elementName\n";
  char line[64];
  for (uint32_t n = 1; n < contents.next; ++n) {
    if (!byNumber[n].empty()) {
      std::snprintf(line, sizeof line, "%13ld  ", static_cast<long>(n));
      text += line + byNumber[n] + " ";
    }
    text += "\n";
  }
  return text;
}

std::string displayed(const TykClMapABase& map) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&buffer, &size);
  map.display(out);
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

// The contents a map file holds, read with the test's own decoder.
std::optional<Contents> fileContents(const std::string& path) {
  if (!fileExists(path)) return std::nullopt;
  Contents contents;
  const auto records = decodeMapFile(readFile(path));
  if (!records) return Contents{{{"<undecodable>", 0}}, 0};
  contents.next = static_cast<uint32_t>(records->size()) + 1;
  for (size_t i = 0; i < records->size(); ++i) {
    const std::string& name = (*records)[i].name;
    if (!name.empty())
      contents.names[name.substr(0, name.size() - 1)] = static_cast<uint32_t>(i + 1);
  }
  return contents;
}

// The maps of one index, registered at its manager in the order field, first and second
// attribute map; rebuilt from the files by `reopen`.
class Maps {
 public:
  explicit Maps(const TempDir& dir) : location_("idx", dir.c_str(), dir.c_str()), dir_(dir.path()) {
    reopen();
  }
  void reopen() {
    manager_ = std::make_unique<TykClIndexFileMgr>();
    field_ = std::make_unique<TykClFieldNameMap>(location_, info_);
    attributes_ = std::make_unique<TykClAttributeNameMap>(location_, info_);
    field_->init();
    attributes_->init();
    manager_->registerForNotify(*field_);
    attributes_->registerAtFileMgr(*manager_);
    manager_->notifyInit();
  }
  TykClIndexFileMgr& manager() { return *manager_; }
  TykClMapABase& map(int which) {
    return which == 0   ? *field_
           : which == 1 ? attributes_->getFirstMap()
                        : attributes_->getSecondMap();
  }
  static constexpr TykEnAttributeType kTypes[] = {TYK_ATTRIBUTE_TYPE_1, TYK_ATTRIBUTE_TYPE_1,
                                                  TYK_ATTRIBUTE_TYPE_0};
  // Assigns through the 16-bit interfaces; 0 when the map is full.
  uint32_t assign(int which, const std::string& name) {
    uint16_t number = 0;
    bool isNew = false;
    try {
      if (which == 0)
        field_->assignFieldNameToNumber(name.c_str(), number, isNew);
      else
        attributes_->assignAttributeNameToNumber(name.c_str(), kTypes[which], number, isNew);
    } catch (const TykClException& e) {
      EXPECT_EQ(e.getReasonCode(), TYK_REASON_MAP_FULL);
      return 0;
    }
    return number;
  }
  uint32_t lookup(int which, const std::string& name) const {
    uint16_t number = 0;
    if (which == 0)
      field_->mapFieldNameToNumber(name.c_str(), number);
    else
      attributes_->mapAttributeNameToNumber(name.c_str(), kTypes[which], number);
    return number;
  }
  std::string mapFile(int which) const { return dir_ + "/idx." + kExtensions[which]; }
  std::string shadowFile(int which) const { return mapFile(which) + "$"; }

 private:
  static constexpr const char* kExtensions[] = {"tf", "an", "as"};
  TykClErrorInfo info_;
  TykClIndexLocation location_;
  std::string dir_;
  std::unique_ptr<TykClIndexFileMgr> manager_;
  std::unique_ptr<TykClFieldNameMap> field_;
  std::unique_ptr<TykClAttributeNameMap> attributes_;
};

enum Step { kAssign, kLookup, kDelete, kStart, kEnd, kCommit, kRollback, kReopen };

TEST(TykMapModel, RandomStepsAgreeWithTheModelAfterEveryStep) {
  // Memory-backed where there is such a file system: the walk is about what the files hold,
  // not about how fast they reach a disk.
  TempDir dir(fileExists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path());
  Maps maps(dir);
  MapModel models[3] = {MapModel(32768), MapModel(32767), MapModel(254)};
  for (MapModel& m : models)
    m.loaded = true;  // no map file at init
  std::mt19937 random(20240611);
  // Step kinds by weight; names from a pool larger than the small attribute map holds.
  std::discrete_distribution<int> kinds({34, 18, 8, 10, 12, 8, 6, 4});
  std::discrete_distribution<int> pickMap({1, 1, 2});
  std::uniform_int_distribution<int> pickName(0, 399);
  std::map<int, int> counts;
  int fullHits = 0;
  for (int step = 0; step < 8000; ++step) {
    const Step kind = static_cast<Step>(kinds(random));
    ++counts[kind];
    const int which = pickMap(random);
    const std::string name = testsupport::numbered("n", pickName(random));
    MapModel& m = models[which];
    switch (kind) {
      case kAssign: {
        uint32_t expected = 0;
        if (m.memory.names.count(name))
          expected = m.memory.names[name];
        else if (m.memory.next <= m.max)
          expected = m.memory.names[name] = m.memory.next++;
        ASSERT_EQ(maps.assign(which, name), expected) << "step " << step;
        fullHits += expected == 0;
        break;
      }
      case kLookup: {
        const auto it = m.memory.names.find(name);
        ASSERT_EQ(maps.lookup(which, name), it == m.memory.names.end() ? 1u : it->second)
            << "step " << step;
        break;
      }
      case kDelete:
        maps.map(which).deleteName((name + '\0').data(), static_cast<uint32_t>(name.size() + 1));
        m.memory.names.erase(name);
        break;
      case kStart:
        maps.manager().notifyStartTransaction();
        for (MapModel& each : models) {
          if (!each.loaded && each.committed) each.memory = *each.committed;
          each.loaded = true;
          each.shadow.reset();
        }
        break;
      case kEnd:
        maps.manager().notifyEndTransaction();
        for (MapModel& each : models) {
          each.loaded = true;
          each.shadow = each.memory;
        }
        break;
      case kCommit:
        // Without a shadow file the first map throws and nothing changes anywhere.
        if (!models[0].shadow) {
          ASSERT_THROW(maps.manager().notifyCommitTransaction(), TykClException);
          break;
        }
        maps.manager().notifyCommitTransaction();
        for (MapModel& each : models) {
          each.committed = each.shadow;
          each.shadow.reset();
          each.loaded = true;
        }
        break;
      case kRollback:
        maps.manager().notifyRollbackTransaction();
        for (MapModel& each : models) {
          if (!each.shadow) continue;
          each.loaded = false;
          each.shadow.reset();
        }
        break;
      case kReopen:
        maps.reopen();
        for (MapModel& each : models) {
          each.memory = each.committed.value_or(Contents());
          each.loaded = true;
          each.shadow.reset();
        }
        break;
    }
    for (int i = 0; i < 3; ++i) {
      const MapModel& each = models[i];
      ASSERT_EQ(displayed(maps.map(i)), displayOf(each.memory)) << "step " << step << " map " << i;
      ASSERT_EQ(maps.map(i).isLoaded(), each.loaded) << "step " << step << " map " << i;
      ASSERT_EQ(fileContents(maps.shadowFile(i)), each.shadow) << "step " << step << " map " << i;
      ASSERT_EQ(fileContents(maps.mapFile(i)), each.committed) << "step " << step << " map " << i;
    }
  }
  // The walk reached every kind of step, and the small attribute map filled up.
  EXPECT_EQ(counts.size(), 8u);
  EXPECT_GT(fullHits, 0);
}

}  // namespace
