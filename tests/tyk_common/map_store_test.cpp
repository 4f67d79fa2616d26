// The map's entry array and hash table, and the index file manager and file operations.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/thrown.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_indexfile_mgr.h"
#include "tyk_common/tyk_indexfilebase.h"
#include "tyk_common/tyk_map_htab.h"

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::thrownBy;
using testsupport::writeFile;

namespace {

// An array and a table over it, as a map holds them.
struct Store {
  Store(uint32_t initial, uint32_t max, uint32_t buckets) : array(initial, max), table(buckets) {
    table.init();
  }
  uint32_t add(const std::string& name) {
    TykStMapEntry* entry = nullptr;
    array.createNewEntry(name.data(), static_cast<uint32_t>(name.size()), entry);
    table.addNewEntry(entry, true);
    return entry->iv_tyNumber;
  }
  uint32_t find(const std::string& name) const {
    return table.queryEntry(array, name.data(), static_cast<uint32_t>(name.size()));
  }
  TykClMapArray array;
  TykClMapHashtable table;
};

TEST(TykMapHashtable, HashIsTheShiftedByteSum) {
  const std::string wrap(100, '\xFF');  // long enough for the 32-bit sum to wrap
  uint64_t wide = 0;
  for (size_t i = 0; i < wrap.size(); ++i)
    wide += uint64_t{0xFF} << (i % 23);
  const struct {
    std::string name;
    unsigned long hash;
  } cases[] = {
      {"", 0},
      {"abc", 689},
      {std::string("\0\x01", 2), 2},
      {std::string(23, '\x01') + "\x01", (1ul << 23) - 1 + 1},  // the shift starts again at 0
      {wrap, static_cast<uint32_t>(wide)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TykClMapHashtable::computeHash(c.name.data(), static_cast<uint32_t>(c.name.size())),
              c.hash)
        << c.name.size();
  }
  EXPECT_GT(wide, 0xFFFFFFFFull);
}

TEST(TykMapArray, GrowsInFixedStepsCutAtTheMaximumAndThrows404WhenFull) {
  TykClMapArray array(255, 32767);
  TykStMapEntry* entry = nullptr;
  EXPECT_EQ(array.getAllocated(), 0u);
  const struct {
    uint32_t entries;
    uint32_t allocated;
  } steps[] = {{1, 255}, {255, 255}, {256, 510}, {32640, 32640}, {32641, 32767}, {32767, 32767}};
  for (const auto& step : steps) {
    while (array.getNextNumber() <= step.entries)
      array.createNewEntry("n", 1, entry);
    EXPECT_EQ(entry->iv_tyNumber, step.entries);
    EXPECT_EQ(array.getAllocated(), step.allocated) << step.entries;
    // Making room for that many at once gives the same storage.
    TykClMapArray reserved(255, 32767);
    reserved.reserve(step.entries);
    EXPECT_EQ(reserved.getAllocated(), step.allocated) << step.entries;
  }
  TykClException e = thrownBy([&] { array.createNewEntry("x", 1, entry); });  // the 32768th
  EXPECT_EQ(e.getReasonCode(), TYK_REASON_MAP_FULL);
  EXPECT_EQ(e.getReturnCode(), TYK_RC_ERROR);
  EXPECT_STREQ(e.getOrigin(), "source/tyk_common/tyk_map_htab:152");
  EXPECT_EQ(array.getNextNumber(), 32768u);
  // Clearing keeps the storage and numbers from 1 again.
  array.clearArray();
  array.createNewEntry("n", 1, entry);
  EXPECT_EQ(entry->iv_tyNumber, 1u);
  EXPECT_EQ(array.getAllocated(), 32767u);
}

TEST(TykMapHashtable, FindsExactNamesOnly) {
  Store s(4, 100, 3);
  const std::vector<std::string> names = {"abc",
                                          "ab",
                                          "abcd",
                                          std::string("\0\x01", 2),
                                          std::string("\x02\0", 2),  // equal hashes
                                          std::string("a\0b", 3),
                                          std::string("a\0c", 3)};
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(s.add(names[i]), i + 1);
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(s.find(names[i]), i + 1) << i;
  for (const std::string& missing : {std::string("a"), std::string("abcde"), std::string("a\0", 2),
                                     std::string("\0", 1), std::string()}) {
    EXPECT_EQ(s.find(missing), 0u) << missing.size();
  }
  EXPECT_EQ(s.table.getMapEntry(s.array, "ab", 2), s.array.getEntry(2));
  EXPECT_EQ(s.table.getMapEntry(s.array, "zz", 2), nullptr);

  // A deleted name is gone and comes back under a new number; chains run newest first, so a
  // name linked twice is found under its newer number.
  s.array.invalidateEntry(1);
  EXPECT_EQ(s.find("abc"), 0u);
  EXPECT_EQ(s.add("abc"), 8u);
  EXPECT_EQ(s.find("abc"), 8u);
  EXPECT_EQ(s.add("ab"), 9u);
  EXPECT_EQ(s.find("ab"), 9u);

  // Clearing both starts the numbering again with empty chains.
  s.array.clearArray();
  s.table.clearHashtable();
  EXPECT_EQ(s.find("ab"), 0u);
  EXPECT_EQ(s.add("ab"), 1u);
  EXPECT_EQ(s.find("ab"), 1u);
}

TEST(TykMapHashtable, DisplaysWithTheirLabels) {
  Store s(2, 10, 7);
  s.add("ab");
  s.add("c");
  s.array.invalidateEntry(2);
  std::ostringstream out;
  s.array.display(out);
  s.table.display(out);
  EXPECT_EQ(out.str(),
            "void TykClMapArray::display(ostream & rclOs) \n"
            "\tiv_uiArrayInitialSize: 2\n\tiv_uiArrayAllocated: 2\n\tiv_uiArrayMaxSize: 10\n"
            "void TykStMapEntry::display(ostream & rclOs) \n\tiv_pacName: 'ab'\n"
            "\tiv_uiNameLength: 2\n\tiv_tyNumber: 1\n\tiv_ulHashValue: 293\n"
            "void TykStMapEntry::display(ostream & rclOs) \n\tiv_pacName: ''\n"
            "\tiv_uiNameLength: 0\n\tiv_tyNumber: 2\n\tiv_ulHashValue: 99\n"
            "void TykClMapHashtable::display(ostream & rclOs)\n");
}

// ---- Index file manager -------------------------------------------------------------------

// Records every notification it gets as "<id>:<event>[:<argument>]".
class Recorder : public TykClIndexFileBase {
 public:
  Recorder(const TykClIndexLocation& location, std::vector<std::string>* log, int id,
           const char* failOn = "")
      : TykClIndexFileBase(location), log_(log), id_(id), failOn_(failOn) {}
  void onIndexFileCreate() override { note("create"); }
  void onIndexFileCopy(const char* target) override { note("copy", target); }
  void onIndexFileRename(const char* name) override { note("rename", name); }
  void onIndexFileCommitTransaction() override { note("commit"); }
  void onIndexFileEndMergeTransaction() override { note("endMerge"); }

 private:
  void note(const std::string& event, const std::string& argument = "") {
    log_->push_back(std::to_string(id_) + ":" + event + (argument.empty() ? "" : ":" + argument));
    if (event == failOn_) throw TykClException(TYK_REASON_INTERNAL, "failed");
  }
  std::vector<std::string>* log_;
  int id_;
  std::string failOn_;
};

TEST(TykIndexFileMgr, RegistersTenKeepsOrderAndStopsAtTheFirstException) {
  const TykClIndexLocation location("idx", "/d", "/s");
  std::vector<std::string> log;
  std::vector<std::unique_ptr<Recorder>> objects;
  for (int i = 0; i < 12; ++i)
    objects.push_back(std::make_unique<Recorder>(location, &log, i, i == 2 ? "commit" : ""));
  TykClIndexFileMgr manager;
  for (int i = 0; i < 10; ++i)
    manager.registerForNotify(*objects[i]);
  TykClException e = thrownBy([&] { manager.registerForNotify(*objects[10]); });  // an 11th
  EXPECT_EQ(e.getReasonCode(), TYK_REASON_INTERNAL);
  EXPECT_STREQ(e.getOrigin(), "source/tyk_common/tyk_indexfile_mgr:75");
  EXPECT_STREQ(e.getContext(), "Context: Too many objects registered with index");
  EXPECT_EQ(manager.getNumberOfObjects(), 10u);

  // Deregistering the first and one never registered; the others keep their order, and the
  // free slot takes a new object at the end.
  manager.deregisterForNotify(*objects[0]);
  manager.deregisterForNotify(*objects[11]);
  manager.registerForNotify(*objects[10]);
  manager.notifyCopy("/target");
  std::vector<std::string> expected;
  for (int i = 1; i <= 10; ++i)
    expected.push_back(std::to_string(i) + ":copy:/target");
  EXPECT_EQ(log, expected);

  // Every notification reaches its own operation; an exception stops it at its object.
  log.clear();
  manager.notifyCreate();
  manager.notifyRename("new");
  manager.notifyInit();  // not overridden: nothing recorded
  manager.notifyEndMergeTransaction();
  EXPECT_THROW(manager.notifyCommitTransaction(), TykClException);
  EXPECT_EQ(log.size(), 10u + 10u + 10u + 2u);
  EXPECT_EQ(log[10], "1:rename:new");
  EXPECT_EQ(log[20], "1:endMerge");
  EXPECT_EQ(log.back(), "2:commit");
}

// Reaches the protected file operations.
class FileOps : public TykClIndexFileBase {
 public:
  using TykClIndexFileBase::indexFileCopy;
  using TykClIndexFileBase::indexFileDelete;
  using TykClIndexFileBase::indexFileMove;
  using TykClIndexFileBase::indexFileRename;
  using TykClIndexFileBase::indexFileReplace;
  using TykClIndexFileBase::TykClIndexFileBase;
};

TEST(TykIndexFileBase, FileOperationsFailWithTheirReasonOriginAndFileName) {
  TempDir dir;
  const TykClIndexLocation location("idx", dir.c_str(), dir.c_str());
  const FileOps ops(location);
  const std::string a = dir.file("a"), b = dir.file("b"), missing = dir.file("none"),
                    noDir = dir.file("no/x");
  using Op = void (FileOps::*)(const CosClFilename&, const CosClFilename&) const;
  const struct {
    Op op;
    std::string source, target;
    TykEnReasonCode reason;
    unsigned line;
    std::string named;
  } cases[] = {
      {&FileOps::indexFileCopy, missing, b, TYK_REASON_FILE_OPEN, 68, missing},
      {&FileOps::indexFileCopy, a, noDir, TYK_REASON_FILE_WRITE, 76, noDir},
      {&FileOps::indexFileMove, missing, noDir, TYK_REASON_FILE_OPEN, 86, missing},
      {&FileOps::indexFileMove, a, b, TYK_REASON_FILE_OPEN, 92, b},
      {&FileOps::indexFileMove, a, noDir, TYK_REASON_FILE_WRITE, 103, noDir},
      {&FileOps::indexFileRename, missing, noDir, TYK_REASON_FILE_OPEN, 132, missing},
      {&FileOps::indexFileRename, a, noDir, TYK_REASON_FILE_RENAME, 140, a},
      {&FileOps::indexFileReplace, missing, b, TYK_REASON_FILE_OPEN, 86, missing},
      {&FileOps::indexFileReplace, a, noDir, TYK_REASON_FILE_WRITE, 103, noDir},
  };
  for (const auto& c : cases) {
    writeFile(a, "A");
    writeFile(b, "B");
    TykClException e = thrownBy(
        [&] { (ops.*c.op)(CosClFilename(c.source.c_str()), CosClFilename(c.target.c_str())); });
    EXPECT_EQ(e.getReasonCode(), c.reason) << c.line;
    EXPECT_EQ(e.getOrigin(), "source/tyk_common/tyk_indexfilebase:" + std::to_string(c.line));
    EXPECT_EQ(e.getContext(), "File name: " + c.named) << c.line;
    // Nothing was touched.
    EXPECT_EQ(readFile(a), "A") << c.line;
    EXPECT_EQ(readFile(b), "B") << c.line;
  }
  TykClException gone = thrownBy([&] { ops.indexFileDelete(CosClFilename(missing.c_str())); });
  EXPECT_EQ(gone.getReasonCode(), TYK_REASON_FILE_REMOVE);
  EXPECT_STREQ(gone.getOrigin(), "source/tyk_common/tyk_indexfilebase:122");

  // The successful forms: replace takes the place of an existing file, move does not.
  ops.indexFileReplace(CosClFilename(a.c_str()), CosClFilename(b.c_str()));
  EXPECT_FALSE(fileExists(a));
  EXPECT_EQ(readFile(b), "A");
  ops.indexFileMove(CosClFilename(b.c_str()), CosClFilename(a.c_str()));
  ops.indexFileCopy(CosClFilename(a.c_str()), CosClFilename(b.c_str()));
  ops.indexFileRename(CosClFilename(b.c_str()), CosClFilename(missing.c_str()));
  ops.indexFileDelete(CosClFilename(a.c_str()));
  EXPECT_EQ(dir.list(), std::vector<std::string>{"none"});
  EXPECT_EQ(readFile(missing), "A");
}

}  // namespace
