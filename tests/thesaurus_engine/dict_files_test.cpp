// Dictionary file set: header and record I/O against the byte layout, the seek skip, existence,
// copy, rename, delete, rename retries, word lookup through the index, and the comparators.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/dict_model.h"
#include "support/os_faults.h"
#include "support/temp_dir.h"

namespace {

using testsupport::OsCall;
using testsupport::OsFaults;
using testsupport::TempDir;

std::unique_ptr<CNETCTL> setOf(const TempDir& dir, uint8_t set = 0, const char* name = "d") {
  auto ctl = std::make_unique<CNETCTL>();
  cnetSetCNETCTL(ctl.get(), name, dir.c_str(), set);
  return ctl;
}

uint32_t be32(const std::string& s, size_t at) {
  const auto* b = reinterpret_cast<const uint8_t*>(s.data() + at);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

// Writes a header and one word and one group, so that the set can be opened for reading.
void writeSmallSet(CNETCTL* ctl, uint32_t version = CNET_VERSION_CURRENT) {
  CNETSTATUS st = testsupport::clearStatus();
  cnetOpen(ctl, "wb", &st);
  CNETHEAD head{};
  head.wordCount = 1;
  head.groupCount = 1;
  head.codePage = 34;
  cnetWriteHead(ctl, &head, &st);
  char text[8] = "abcde";
  uint32_t groups[2] = {0, 7};
  CNETRELENT rels[3] = {{1, {3, 0}, 80, 0}, {2, {1, 0}, 50, 0}, {0x01020304, {2, 9}, 1, 0}};
  cnetWriteWord(ctl, 0xFFFFFFFFu, 2, groups, 3, rels, text, 5, &st);
  CNETGROUPREC group{};
  group.memberCount = 2;
  group.relCount = 1;
  group.rel = {3, 0};
  CNETGROUPENT entries[3] = {{0, 100, 0, {255, 0}}, {1, 90, 0, {255, 0}}, {2, 40, 0, {1, 0}}};
  cnetWriteGroup(ctl, &group, entries, &st);
  cnetClose(ctl, &st);
  ASSERT_OK(st);
  if (version != CNET_VERSION_CURRENT) {
    std::string wdf = testsupport::readFile(ctl->files[0].path);
    wdf[4] = static_cast<char>(version >> 24);
    wdf[5] = static_cast<char>(version >> 16);
    wdf[6] = static_cast<char>(version >> 8);
    wdf[7] = static_cast<char>(version);
    testsupport::writeFile(ctl->files[0].path, wdf);
  }
}

TEST(DictFiles, RecordsHaveTheirByteLayout) {
  TempDir dir;
  auto ctl = setOf(dir);
  writeSmallSet(ctl.get());

  std::string wdf = testsupport::readFile(ctl->files[0].path);
  std::string wdv = testsupport::readFile(ctl->files[1].path);
  std::string grf = testsupport::readFile(ctl->files[2].path);
  std::string grv = testsupport::readFile(ctl->files[3].path);
  ASSERT_EQ(wdf.size(), 100u);
  EXPECT_EQ(wdf.substr(0, 8), std::string("CNET\0\0\1\0", 8));
  EXPECT_EQ(be32(wdf, 8), 1u);
  EXPECT_EQ(wdf.substr(40, 4), std::string("\x22\0\0\0", 4));  // code page little-endian
  EXPECT_EQ(wdf.substr(44, 36), std::string(36, '\0'));
  // Word record: offset 0, text 5, 3 relations, 2 groups, zero flags.
  EXPECT_EQ(wdf.substr(80), std::string("\0\0\0\0\0\0\0\5\0\0\0\3\0\0\0\2\0\0\0\0", 20));
  // Text padded to 8, groups 0 and 7, relations with big-endian targets.
  ASSERT_EQ(wdv.size(), 40u);
  EXPECT_EQ(wdv.substr(0, 16), std::string("abcde\0\0\0\0\0\0\0\0\0\0\7", 16));
  EXPECT_EQ(wdv.substr(16, 8), std::string("\0\0\0\1\3\0\x50\0", 8));
  EXPECT_EQ(wdv.substr(32, 8), std::string("\1\2\3\4\2\x09\1\0", 8));
  EXPECT_EQ(grf, std::string("\0\0\0\0\0\0\0\x18\0\0\0\2\0\0\0\1\3\0\0\0", 20));
  EXPECT_EQ(grv.substr(8, 8), std::string("\0\0\0\1\x5a\0\xff\0", 8));
  EXPECT_EQ(grv.substr(16, 8), std::string("\0\0\0\2\x28\0\1\0", 8));
}

TEST(DictFiles, HeaderVersionCheck) {
  for (uint32_t version : {0u, 257u}) {
    TempDir dir;
    auto ctl = setOf(dir);
    writeSmallSet(ctl.get(), version);
    CNETSTATUS st = testsupport::clearStatus();
    cnetOpen(ctl.get(), "rb", &st);
    CNETHEAD head{};
    cnetReadHead(ctl.get(), &head, &st);
    cnetClose(ctl.get(), nullptr);
    if (version == 0) {
      EXPECT_OK(st);
    } else {
      EXPECT_STATUS(st, CNET_VERSION, 4314);
    }
  }
}

TEST(DictFiles, ReadWordShortcutsAndAbsentRecords) {
  TempDir dir;
  auto ctl = setOf(dir);
  writeSmallSet(ctl.get());
  CNETSTATUS st = testsupport::clearStatus();
  cnetOpen(ctl.get(), "rb", &st);
  OsFaults faults;
  // Only the fixed record is read when nothing is asked for.
  EXPECT_EQ(cnetReadWord(ctl.get(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &st),
            0);
  EXPECT_EQ(faults.calls(OsCall::kReadAt), 1);
  cnetClose(ctl.get(), &st);

  std::string wdf = testsupport::readFile(ctl->files[0].path);
  wdf[80 + 16] = static_cast<char>(0x80);
  testsupport::writeFile(ctl->files[0].path, wdf);
  std::string grf = testsupport::readFile(ctl->files[2].path);
  grf[18] = static_cast<char>(0x80);
  testsupport::writeFile(ctl->files[2].path, grf);
  cnetOpen(ctl.get(), "rb", &st);
  auto reads = [&] { return faults.calls(OsCall::kReadAt); };
  const int before = reads();
  char text[CNET_WORD_MAX + 4];
  uint32_t length = 0;
  EXPECT_EQ(cnetReadWord(ctl.get(), 0, nullptr, nullptr, nullptr, nullptr, text, &length, &st), 1);
  CNETGROUPENT* entries = nullptr;
  EXPECT_EQ(cnetReadGroup(ctl.get(), 0, nullptr, &entries, &st), 1);
  EXPECT_EQ(reads() - before, 2) << "absent records read only 20 bytes";
  // A failing positioned read is a read error of its file, and the next read works again (word 0
  // was made absent above).
  faults.failNth(OsCall::kReadAt, 1, EIO);
  st = testsupport::clearStatus();
  EXPECT_EQ(cnetReadWord(ctl.get(), 0, nullptr, nullptr, nullptr, nullptr, text, &length, &st), -1);
  EXPECT_EQ(st.retcode, CNET_READ);
  EXPECT_NE(std::string(st.filename).find("d.wdf"), std::string::npos);
  st = testsupport::clearStatus();
  EXPECT_EQ(cnetReadWord(ctl.get(), 0, nullptr, nullptr, nullptr, nullptr, text, &length, &st), 1);
  EXPECT_OK(st);
  cnetClose(ctl.get(), nullptr);
}

TEST(DictFiles, SequentialReadsAndAppendsSkipTheSeek) {
  TempDir dir;
  auto ctl = setOf(dir);
  CNETSTATUS st = testsupport::clearStatus();
  OsFaults faults;
  cnetOpen(ctl.get(), "wb", &st);
  CNETHEAD head{};
  head.wordCount = 50;
  head.codePage = 34;
  cnetWriteHead(ctl.get(), &head, &st);
  const int seeksAfterHead = faults.calls(OsCall::kSeekStream);
  for (uint32_t i = 0; i < 50; ++i) {
    char text[12];
    std::snprintf(text, sizeof text, "w%u", i);
    CNETRELENT rel{(i + 1) % 50, {3, 0}, 100, 0};
    cnetWriteWord(ctl.get(), 0xFFFFFFFFu, 1, &i, 1, &rel, text,
                  static_cast<uint32_t>(std::strlen(text)), &st);
  }
  // A fresh stream stands at offset 0 where the data file begins: no append needs a seek.
  EXPECT_EQ(faults.calls(OsCall::kSeekStream), seeksAfterHead);
  cnetClose(ctl.get(), &st);
  ASSERT_OK(st);

  // Reading the set back in order makes one read per 64 KiB of each file (these are smaller)
  // once a read follows another: the header and the first word's data are read on their own.
  // Going back is served from what was read ahead.
  cnetOpen(ctl.get(), "rb", &st);
  const int before = faults.calls(OsCall::kReadAt);
  cnetReadHead(ctl.get(), &head, &st);
  char text[CNET_WORD_MAX + 4];
  uint32_t length = 0;
  for (int32_t i = 0; i < 50; ++i) {
    ASSERT_EQ(cnetReadWord(ctl.get(), i, nullptr, nullptr, nullptr, nullptr, text, &length, &st),
              0);
    EXPECT_EQ(std::string(text, length), testsupport::numbered("w", i));
  }
  EXPECT_EQ(faults.calls(OsCall::kReadAt) - before, 4);
  cnetReadWord(ctl.get(), 3, nullptr, nullptr, nullptr, nullptr, text, &length, &st);
  EXPECT_EQ(std::string(text, length), "w3");
  cnetReadWord(ctl.get(), -1, nullptr, nullptr, nullptr, nullptr, text, &length, &st);
  EXPECT_EQ(std::string(text, length), "w4");
  EXPECT_EQ(faults.calls(OsCall::kReadAt) - before, 4);
  cnetClose(ctl.get(), &st);
  EXPECT_OK(st);
}

TEST(DictFiles, ExistCopyRenameDelete) {
  TempDir dir;
  CNETSTATUS st = testsupport::clearStatus();
  EXPECT_EQ(cnetExist("d", dir.c_str(), nullptr, &st), 0u);
  EXPECT_OK(st);
  auto live = setOf(dir);
  testsupport::writeFile(live->files[0].path, "x");
  testsupport::writeFile(live->files[1].path, "x");
  EXPECT_EQ(cnetExist("d", dir.c_str(), nullptr, &st), 0u);
  EXPECT_STATUS(st, CNET_INTEGRITY, 4304);
  EXPECT_NE(std::string(st.filename).find("d.grf"), std::string::npos);

  writeSmallSet(live.get());
  st = testsupport::clearStatus();
  uint8_t info[16];
  std::memset(info, 0xEE, sizeof info);
  EXPECT_EQ(cnetExist("d", dir.c_str(), info, &st), 1u);
  EXPECT_OK(st);
  EXPECT_EQ(info[0], 34);
  EXPECT_EQ(info[15], 0);

  auto copy = setOf(dir, 1);
  cnetCopy(live.get(), copy.get(), &st);
  ASSERT_OK(st);
  for (int i = 0; i < CNET_FILES; ++i) {
    EXPECT_EQ(testsupport::readFile(copy->files[i].path),
              testsupport::readFile(live->files[i].path));
  }
  cnetDelete(live.get(), &st);
  EXPECT_EQ(cnetExist("d", dir.c_str(), nullptr, &st), 0u);
  cnetRename(copy.get(), live.get(), &st);
  EXPECT_OK(st);
  EXPECT_EQ(cnetExist("d", dir.c_str(), info, &st), 1u);
  for (int i = 0; i < CNET_FILES; ++i)
    EXPECT_FALSE(testsupport::fileExists(copy->files[i].path));

  // A failing rename names both files and stops at the first.
  auto other = setOf(dir, 2);
  {
    OsFaults faults;
    faults.failNth(OsCall::kRename, 1, ENOENT);
    cnetRename(live.get(), other.get(), &st);
  }
  EXPECT_STATUS(st, CNET_RENAME, 4360);
  EXPECT_NE(std::string(st.filename).find("d.wdf"), std::string::npos);
  EXPECT_EQ(std::string(st.filename2), other->files[0].path);
  EXPECT_TRUE(testsupport::fileExists(live->files[1].path));
  // Delete goes on after a failure and reports the first.
  st = testsupport::clearStatus();
  {
    OsFaults faults;
    faults.failNth(OsCall::kRemove, 1, EACCES);
    cnetDelete(live.get(), &st);
  }
  EXPECT_STATUS(st, CNET_DELETE, 4361);
  EXPECT_TRUE(testsupport::fileExists(live->files[0].path));
  EXPECT_FALSE(testsupport::fileExists(live->files[3].path));
}

TEST(DictFiles, RenameRetriesOnABusyFile) {
  TempDir dir;
  testsupport::writeFile(dir.file("a"), "x");
  OsFaults faults;
  faults.failAlways(OsCall::kRename, EBUSY);
  ::testing::internal::CaptureStderr();
  EXPECT_NE(XXrename(dir.file("a").c_str(), dir.file("b").c_str()), 0);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(faults.calls(OsCall::kRename), 61);
  EXPECT_EQ(faults.sleptMs(), 600);
  std::string first = "\n ZOL Warning!! renaming " + dir.file("a") + " to " + dir.file("b");
  EXPECT_EQ(err.rfind(first + " ... (1)", 0), 0u);
  EXPECT_NE(err.find(first + " ... (60)"), std::string::npos);
  EXPECT_EQ(err.find("(61)"), std::string::npos);

  OsFaults other;
  other.failAlways(OsCall::kRename, EXDEV);
  ::testing::internal::CaptureStderr();
  EXPECT_NE(XXrename(dir.file("a").c_str(), dir.file("b").c_str()), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(other.calls(OsCall::kRename), 1);
}

TEST(DictFiles, WordLookupThroughTheIndexWithAndWithoutACache) {
  TempDir dir;
  ASSERT_OK(testsupport::compileText(dir.path(), "thes",
                                     ":WORDS:SYNONYM\nCar\nauto\n:WORDS:SYNONYM\ncart\ncat\n"));
  auto ctl = setOf(dir, 0, "thes");
  CNETSTATUS st = testsupport::clearStatus();
  cnetOpen(ctl.get(), "rb", &st);
  CNETHEAD head{};
  cnetReadHead(ctl.get(), &head, &st);
  ASSERT_OK(st);
  const uint8_t none[2] = {0, 0};
  const uint8_t wild[2] = {'*', '?'};
  void* cache = nullptr;
  uint32_t count = 0;
  CNETOCC* ids = nullptr;
  EXPECT_EQ(cnetWord_WordID(&cache, ctl.get(), &head, "car", 3, 0, none, &count, &ids, &st), -1);
  ASSERT_OK(st);
  ASSERT_EQ(count, 1u);
  char text[CNET_WORD_MAX + 4];
  uint32_t length = 0;
  ASSERT_EQ(cnetReadWord(ctl.get(), static_cast<int32_t>(ids[0].wordId), nullptr, nullptr, nullptr,
                         nullptr, text, &length, &st),
            0);
  EXPECT_EQ(std::string(text, length), "car");
  std::free(ids);
  ASSERT_NE(cache, nullptr);
  void* kept = cache;
  cnetWord_WordID(&cache, ctl.get(), &head, "ca*", 3, 0, wild, &count, &ids, &st);
  ASSERT_OK(st);
  EXPECT_EQ(cache, kept) << "the context is reused";
  ASSERT_EQ(count, 3u);
  EXPECT_LT(ids[0].wordId, ids[1].wordId);
  EXPECT_LT(ids[1].wordId, ids[2].wordId);
  std::free(ids);
  cnetWord_WordID(nullptr, ctl.get(), &head, "bus", 3, 0, none, &count, &ids, &st);
  EXPECT_OK(st);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(ids, nullptr);
  cnetWord_WordID_Release(&cache, &st);
  EXPECT_EQ(cache, nullptr);
  cnetWord_WordID_Release(&cache, &st);
  EXPECT_OK(st);

  // Same-group search: the first block is found from its first member, not below its id.
  CNETGROUPREC group{};
  CNETGROUPENT* stored = nullptr;
  ASSERT_EQ(cnetReadGroup(ctl.get(), 0, &group, &stored, &st), 0);
  std::vector<CNETGROUPENT> entries(stored, stored + group.memberCount + group.relCount);
  EXPECT_EQ(cnetSameGroupId(&group, entries.data(), ctl.get(), 0, &st), 0);
  EXPECT_EQ(cnetSameGroupId(&group, entries.data(), ctl.get(), 1, &st), -1);
  entries[1].strength = 1;
  EXPECT_EQ(cnetSameGroupId(&group, entries.data(), ctl.get(), 0, &st), -1);
  cnetClose(ctl.get(), &st);
  EXPECT_OK(st);
}

TEST(DictFiles, ComparatorsAndHelpers) {
  EXPECT_LT(cnetWordCmp("ab", 2, "abc", 3), 0);
  EXPECT_LT(cnetWordCmp("abc", 3, "b", 1), 0);
  EXPECT_EQ(cnetWordCmp("ab", 2, "abX", 2), 0);
  EXPECT_GT(cnetWordCmp("b", 1, "ab", 2), 0);

  uint32_t ids[4] = {5, 3, 5, 1};
  uint32_t count = 4;
  cnetGrpIdCheck(ids, &count);
  EXPECT_EQ(std::vector<uint32_t>(ids, ids + count), (std::vector<uint32_t>{1, 3, 5}));
  count = 0;
  cnetGrpIdCheck(ids, &count);
  EXPECT_EQ(count, 0u);

  CNETOCC a{}, b{};
  a.wordId = 1;
  a.rank = 9;
  b.wordId = 7;
  b.rank = 3;
  EXPECT_GT(cnetOccCmp(&a, &b), 0) << "the rank byte comes first";
  b.rank = 9;
  EXPECT_LT(cnetOccCmp(&a, &b), 0);

  CNETGROUPENT x{4, 50, 0, {255, 0}}, y{4, 60, 0, {1, 0}}, z{3, 99, 0, {1, 0}};
  EXPECT_LT(cnetGRVcmp(&x, &y), 0);
  EXPECT_GT(cnetGRVcmp(&x, &z), 0);
}

}  // namespace
