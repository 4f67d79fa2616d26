// Name maps: the map file's bytes, the loader's checks, look-up warnings, the shadow file
// protocol and the index file events, and the field and attribute maps.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common_services/cos_memmgr.h"
#include "support/map_file_codec.h"
#include "support/temp_dir.h"
#include "support/thrown.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_indexfile_mgr.h"
#include "tyk_common/tyk_map_htab.h"
#include "tyk_common/tyk_map_names.h"

using testsupport::decodeMapFile;
using testsupport::encodeMapFile;
using testsupport::fileExists;
using testsupport::MapRecord;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::thrownBy;
using testsupport::writeFile;

namespace {

uint64_t hashOf(const std::string& name) {
  return TykClMapHashtable::computeHash(name.data(), static_cast<uint32_t>(name.size()));
}

// A field map of index "idx" in its own directory (shadow files in a subdirectory).
struct Index {
  Index() : location("idx", dir.c_str(), (dir.path() + "/shadow").c_str()), map(location, info) {
    ::mkdir(location.getShadowDirectory().getName(), 0700);
    map.init();
    manager.registerForNotify(map);
    manager.notifyInit();
  }
  std::string mapFile() const { return dir.file("idx.tf"); }
  std::string shadowFile() const { return dir.path() + "/shadow/idx.tf$"; }
  uint16_t assign(const char* name) {
    uint16_t number = 0;
    bool isNew = false;
    map.assignFieldNameToNumber(name, number, isNew);
    return number;
  }
  uint16_t lookup(const char* name) const {
    uint16_t number = 0;
    map.mapFieldNameToNumber(name, number);
    return number;
  }
  TempDir dir;
  TykClErrorInfo info;
  TykClIndexLocation location;
  TykClFieldNameMap map;
  TykClIndexFileMgr manager;
};

// Reaches the protected loader and writer.
class OpenMap : public TykClMapABase {
 public:
  using TykClMapABase::loadFromIndexFile;
  using TykClMapABase::saveToIndexFile;
  using TykClMapABase::TykClMapABase;
};

// A map of up to maxSize numbers ("mp", small steps and few buckets) and its file m.mp.
struct Loose {
  explicit Loose(uint32_t maxSize)
      : location("m", dir.c_str(), dir.c_str()),
        map(location, "mp", "mp$", info, maxSize, 4, 3),
        file(dir.file("m.mp").c_str()) {
    map.init();
  }
  TempDir dir;
  TykClErrorInfo info;
  TykClIndexLocation location;
  OpenMap map;
  CosClFilename file;
};

TEST(TykMapFile, IsWrittenByteForByteForTheOwnerOnly) {
  Index x;
  x.manager.notifyEndTransaction();
  x.manager.notifyCommitTransaction();
  EXPECT_EQ(readFile(x.mapFile()), std::string("TYK-MAPFILE-1.00\0\0\0\x01"
                                               "\0\0\0\0\0\0\0\x01\0\0\0\0",
                                               32));
  struct stat status;
  ASSERT_EQ(::stat(x.mapFile().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);

  // Loaded again, the first name gets 2; names keep their zero byte; a deleted name is a
  // record of length 0 with its former hash, and its number stays taken after a load.
  x.map.clearEntries();
  x.manager.notifyStartTransaction();
  EXPECT_EQ(x.assign("title"), 2);
  EXPECT_EQ(x.assign("gone"), 3);
  EXPECT_EQ(x.assign("author"), 4);
  x.map.deleteName("gone", 5);
  x.manager.notifyEndTransaction();
  x.manager.notifyCommitTransaction();
  const std::string title("title\0", 6), gone("gone\0", 5), author("author\0", 7);
  EXPECT_EQ(decodeMapFile(readFile(x.mapFile())),
            (std::vector<MapRecord>{{"", 1, 0},
                                    {title, 2, hashOf(title)},
                                    {"", 3, hashOf(gone)},
                                    {author, 4, hashOf(author)}}));
  x.map.clearEntries();
  x.manager.notifyStartTransaction();
  EXPECT_EQ(x.lookup("author"), 4);
  EXPECT_EQ(x.assign("gone"), 5);
}

TEST(TykMapFile, LoaderTakesNumbersFromPositionsAndHashesAsStored) {
  Loose x(100);
  OpenMap& map = x.map;
  const std::string longName(300, 'L'), longest(32767, 'x');
  const std::vector<MapRecord> stored = {{"", 7, 0},        {"abc", 9, 689},
                                         {"odd", 3, 12345}, {"", 4, 77},
                                         {longName, 5, 1},  {longest, 6, hashOf(longest)}};
  writeFile(x.file.getFullName(), encodeMapFile(stored));
  map.loadFromIndexFile(x.file);
  EXPECT_TRUE(map.isLoaded());
  uint32_t number = 0;
  map.mapNameToNumber("abc", 3, number);
  EXPECT_EQ(number, 2u);
  map.mapNameToNumber(longest.data(), 32767, number);
  EXPECT_EQ(number, 6u);
  map.mapNameToNumber("odd", 3, number);  // its stored hash is not its hash
  EXPECT_EQ(number, 1u);
  // Saved again: the numbers are the positions, everything else as it was read.
  const CosClFilename copy(x.dir.file("copy").c_str());
  map.saveToIndexFile(copy);
  std::vector<MapRecord> expected = stored;
  for (size_t i = 0; i < expected.size(); ++i)
    expected[i].number = i + 1;
  EXPECT_EQ(decodeMapFile(readFile(copy.getFullName())), expected);
}

size_t gs_largestRequest = 0;
void* recordingAllocator(std::size_t size) {
  gs_largestRequest = std::max(gs_largestRequest, size);
  return CosClMemoryManager::defaultAllocator(size);
}

TEST(TykMapFile, DamagedFilesThrow17WithTheFileNameAndAllocateLittle) {
  Loose x(1000);
  OpenMap& map = x.map;
  const TempDir& dir = x.dir;
  const std::string good = encodeMapFile({{"", 1, 0}, {"ab", 2, 293}});
  const std::string tooLong = encodeMapFile({{"", 1, 0}, {std::string(32768, 'x'), 2, 0}});
  const std::vector<MapRecord> emptyRecords(1001, MapRecord{});
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"short magic", "TYK-MAPFILE"},
      {"wrong magic", "TYK-MAPFILE-1.01" + good.substr(16)},
      {"no count", good.substr(0, 18)},
      {"count 0", encodeMapFile({})},
      {"count above the maximum", encodeMapFile(emptyRecords)},
      {"count the file cannot hold", encodeMapFile({{"", 1, 0}}, 4, 1000)},
      {"count far beyond the file", encodeMapFile({{"", 1, 0}}, 4, 0xFFFFFFFFu)},
      {"cut in a length", good.substr(0, 34)},
      {"cut in a name", good.substr(0, good.size() - 9)},
      {"cut in a number", good.substr(0, good.size() - 5)},
      {"cut in a hash", good.substr(0, good.size() - 1)},
      {"length 32768", tooLong},
      {"length beyond the file", good.substr(0, 32) + std::string("\0\0\x7F\xFF", 4) + "ab"},
      {"named first record", encodeMapFile({{"ab", 1, 293}})},
      {"bytes after the last record", good + "x"},
      {"64-bit form", encodeMapFile({{"", 1, 0}, {"ab", 2, 293}}, 8)},
  };
  CosClMemoryManager::cv_pfuAllocatorCallback = &recordingAllocator;
  for (const auto& c : cases) {
    writeFile(x.file.getFullName(), c.bytes);
    gs_largestRequest = 0;
    TykClException e = thrownBy([&] { map.loadFromIndexFile(x.file); });
    EXPECT_EQ(e.getReasonCode(), TYK_REASON_FILE_READ) << c.what;
    EXPECT_STREQ(e.getOrigin(), "source/tyk_common/tyk_map_abase:473");
    EXPECT_EQ(e.getContext(), x.file.getFullName() + std::string("\n")) << c.what;
    // Nothing in proportion to what the file claims: a few fixed blocks and its own size.
    EXPECT_LE(gs_largestRequest, 8192 + c.bytes.size()) << c.what;
    EXPECT_LE(map.getEntries().getAllocated(), 4 + c.bytes.size() / 12) << c.what;
    EXPECT_FALSE(map.isLoaded()) << c.what;
    EXPECT_EQ(map.getNextNumber(), 2u) << c.what;  // back to the reserved entry
  }
  CosClMemoryManager::cv_pfuAllocatorCallback = &CosClMemoryManager::defaultAllocator;
  // One record fewer is within the maximum.
  writeFile(x.file.getFullName(), encodeMapFile({emptyRecords.begin(), emptyRecords.end() - 1}));
  map.loadFromIndexFile(x.file);
  EXPECT_EQ(map.getNextNumber(), 1001u);
  EXPECT_EQ(thrownBy([&] {
              map.loadFromIndexFile(CosClFilename(dir.file("none.mp").c_str()));
            }).getReasonCode(),
            TYK_REASON_FILE_READ);
  TykClException e =
      thrownBy([&] { map.saveToIndexFile(CosClFilename(dir.file("no/m.mp").c_str())); });
  EXPECT_EQ(e.getReasonCode(), TYK_REASON_FILE_WRITE);
  EXPECT_EQ(e.getContext(), dir.file("no/m.mp") + "\n");
}

TEST(TykMapFile, MissingNamesWarnAndBadLengthsAreRefused) {
  Index x;
  x.info.setWarningThreshold(0);
  EXPECT_EQ(x.lookup("nosuch"), 1);
  EXPECT_EQ(x.info.getReturnCode(), TYK_RC_WARNING);
  EXPECT_EQ(x.info.getReasonCode(), TYK_REASON_NAME_NOT_FOUND);
  EXPECT_STREQ(x.info.getOrigin(), "source/tyk_common/tyk_map_abase:370");
  EXPECT_STREQ(x.info.getContext(), "Field or attribute name to be mapped: 'nosuch'");
  const std::string huge(32768, 'h');
  for (uint32_t length : {0u, 32768u}) {
    uint32_t number = 7;
    bool isNew = true;
    EXPECT_EQ(thrownBy([&] {
                x.map.assignNameToNumber(huge.data(), length, number, isNew);
              }).getReasonCode(),
              TYK_REASON_NAME_LENGTH)
        << length;
  }
  EXPECT_EQ(x.map.getNextNumber(), 2u);
}

// (The shadow file through start, end, commit and rollback is checked step by step against a
// model in map_model_test.cpp.)
TEST(TykMapFile, ShadowFileLeftByAnotherObjectIsDeletedByInit) {
  Index x;
  x.manager.notifyStartTransaction();
  x.assign("a");
  x.manager.notifyEndTransaction();
  EXPECT_TRUE(fileExists(x.shadowFile()));
  EXPECT_FALSE(fileExists(x.mapFile()));
  TykClFieldNameMap other(x.location, x.info);
  other.init();
  other.onIndexFileInit();
  EXPECT_FALSE(fileExists(x.shadowFile()));
}

TEST(TykMapFile, FollowsCopyMoveRenameAndDestroyOfTheIndex) {
  Index x;
  TempDir elsewhere;
  x.manager.notifyCopy(elsewhere.c_str());  // no map file yet: nothing to copy
  EXPECT_TRUE(elsewhere.list().empty());
  x.assign("a");
  x.manager.notifyEndTransaction();
  x.manager.notifyCommitTransaction();
  x.manager.notifyCopy(elsewhere.c_str());
  EXPECT_EQ(readFile(elsewhere.file("idx.tf")), readFile(x.mapFile()));
  // Moving onto an existing file throws 16 before anything is touched.
  EXPECT_THROW(x.manager.notifyMove(elsewhere.c_str()), TykClException);
  EXPECT_TRUE(fileExists(x.mapFile()));
  x.manager.notifyRename("renamed");
  EXPECT_FALSE(fileExists(x.mapFile()));
  EXPECT_TRUE(fileExists(x.dir.file("renamed.tf")));

  // Destroy and clear empty the map and delete both files.
  for (auto event : {&TykClIndexFileMgr::notifyDestroy, &TykClIndexFileMgr::notifyClear}) {
    x.assign("b");
    x.manager.notifyEndTransaction();
    x.manager.notifyCommitTransaction();
    x.manager.notifyEndTransaction();
    (x.manager.*event)();
    EXPECT_FALSE(fileExists(x.mapFile()));
    EXPECT_FALSE(fileExists(x.shadowFile()));
    EXPECT_EQ(x.lookup("b"), 1);
    EXPECT_EQ(x.map.getNextNumber(), 2u);
  }
}

TEST(TykNameMaps, FieldAndAttributeNamesGetSixteenBitNumbersFromTheirMaps) {
  Index x;
  uint16_t number = 0;
  bool isNew = false;
  x.map.assignFieldNameToNumber("Title", number, isNew);
  EXPECT_EQ(number, 2);
  EXPECT_TRUE(isNew);
  x.map.assignFieldNameToNumber("Title", number, isNew);
  EXPECT_EQ(number, 2);
  EXPECT_FALSE(isNew);
  EXPECT_EQ(x.assign("title"), 3);  // case matters

  TykClAttributeNameMap attributes(x.location, x.info);
  attributes.init();
  attributes.registerAtFileMgr(x.manager);
  EXPECT_EQ(x.manager.getNumberOfObjects(), 3u);
  const struct {
    const char* name;
    TykEnAttributeType type;
    uint16_t number;
  } cases[] = {{"size", TYK_ATTRIBUTE_TYPE_0, 2},
               {"size", TYK_ATTRIBUTE_TYPE_1, 2},
               {"date", TYK_ATTRIBUTE_TYPE_2, 3},
               {"size", TYK_ATTRIBUTE_TYPE_2, 2},
               {"date", TYK_ATTRIBUTE_TYPE_0, 3}};
  for (const auto& c : cases) {
    attributes.assignAttributeNameToNumber(c.name, c.type, number, isNew);
    EXPECT_EQ(number, c.number) << c.name << " " << c.type;
    attributes.mapAttributeNameToNumber(c.name, c.type, number);
    EXPECT_EQ(number, c.number) << c.name << " " << c.type;
  }
  number = 99;
  attributes.assignAttributeNameToNumber("x", static_cast<TykEnAttributeType>(5), number, isNew);
  EXPECT_EQ(number, 99);

  // (The second map holding 253 names and what the map files hold are in map_model_test.cpp.)
}

}  // namespace
