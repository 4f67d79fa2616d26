// Sorted temporary files: sort order across runs and merges in groups, input order, file
// names, failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "cnet_tmp.h"
#include "support/os_faults.h"
#include "support/temp_dir.h"

namespace {

using testsupport::fileExists;
using testsupport::TempDir;

struct Rec {
  uint32_t serial;
  std::string text;
  uint8_t strength;
  REL rel;
  bool operator<(const Rec& o) const {
    return std::tie(text, serial) < std::tie(o.text, o.serial);  // bytes, shorter first, serial
  }
  bool operator==(const Rec& o) const {
    return serial == o.serial && text == o.text && strength == o.strength &&
           rel.category == o.rel.category && rel.id == o.rel.id;
  }
};

class TmpFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    set_ = std::make_unique<CNETTMPSET>();
    ASSERT_TRUE(cnetTmpName(set_.get(), dir_.c_str(), "thes"));
  }
  void TearDown() override { cnetTmpDelete(set_.get(), nullptr); }

  void writeAll(const std::vector<Rec>& recs) {
    cnetTmpOpen(set_.get(), 'W', &st_);
    ASSERT_OK(st_);
    for (const Rec& r : recs) {
      cnetTmpWrite(set_.get(), r.serial, r.text.data(), static_cast<uint32_t>(r.text.size()),
                   r.strength, &r.rel, &st_);
      ASSERT_OK(st_);
    }
    cnetTmpClose(set_.get(), &st_);
    ASSERT_OK(st_);
  }
  // Reads everything back, in sorted order or in input order.
  std::vector<Rec> read(bool sorted) {
    std::vector<Rec> out;
    cnetTmpOpen(set_.get(), sorted ? 'S' : 'R', &st_);
    char text[CNET_WORD_MAX];
    for (;;) {
      Rec r{};
      uint32_t length = 0;
      (sorted ? cnetTmpReadSorted : cnetTmpRead)(set_.get(), &r.serial, text, &length, &r.strength,
                                                 &r.rel, &st_);
      if (length == 0 || st_.retcode != 0) break;
      r.text.assign(text, length);
      out.push_back(r);
    }
    cnetTmpClose(set_.get(), &st_);
    return out;
  }
  std::vector<Rec> readSorted() { return read(true); }
  std::vector<Rec> readInput() { return read(false); }
  std::string file(const char* suffix) const { return dir_.file(std::string("thes.") + suffix); }

  TempDir dir_;
  std::unique_ptr<CNETTMPSET> set_;
  CNETSTATUS st_ = testsupport::clearStatus();
};

TEST_F(TmpFiles, NothingWrittenReadsNothing) {
  writeAll({});
  EXPECT_TRUE(readSorted().empty());
  EXPECT_TRUE(readInput().empty());
  EXPECT_OK(st_);
  EXPECT_FALSE(fileExists(file("$00")));
}

TEST_F(TmpFiles, SmallSetSortsInMemoryWithoutARun) {
  std::vector<Rec> recs = {{0, "b", 100, {255, 0}},
                           {1, "abc", 50, {3, 1}},
                           {2, "ab", 10, {1, 130}},
                           {3, "b", 20, {2, 1}}};
  writeAll(recs);
  EXPECT_FALSE(fileExists(file("$00"))) << "no flush, no run";
  std::vector<Rec> want = recs;
  std::sort(want.begin(), want.end());
  EXPECT_EQ(readSorted(), want);
  EXPECT_EQ(readInput(), recs);
  EXPECT_OK(st_);
}

TEST_F(TmpFiles, ManyRunsMergeLikeASortAlsoInGroups) {
  // Five flushes and records left in memory; a small vocabulary, so that equal texts straddle
  // runs and the memory and must come back in serial order. Some texts share their first 8
  // bytes or are the start of others, some hold a zero byte.
  std::mt19937 rng(7);
  std::vector<Rec> recs;
  const uint32_t n = 5 * kCnetTmpMaxRecords + 1234;
  const std::string kAlike[] = {"longword",
                                "longwor",
                                std::string("longword\0", 9),
                                "longwordx",
                                "longwordy",
                                std::string(128, 'z').replace(0, 8, "longword"),
                                std::string("ab\0", 3),
                                "ab"};
  for (uint32_t s = 0; s < n; ++s) {
    std::string text = testsupport::numbered("w", rng() % 5000);
    if (s % 97 == 0) text = "same";
    if (s % 13 == 0) text = kAlike[rng() % 8];
    if (s % 29 == 0) text = testsupport::numbered("longword", rng() % 50);
    recs.push_back({s,
                    text,
                    static_cast<uint8_t>(1 + rng() % 100),
                    {static_cast<uint8_t>(rng() % 4), static_cast<uint8_t>(rng() % 3)}});
  }
  std::vector<Rec> want = recs;
  std::sort(want.begin(), want.end());
  // All five runs merged at once; in groups of 3 (one pass into $10/$11); in groups of 2 (two
  // passes: 5 runs, then 3, then 2, the last pass back into $00/$01).
  for (uint32_t limit : {kCnetTmpMergeRuns, 3u, 2u}) {
    SCOPED_TRACE(limit);
    cnetTmpDelete(set_.get(), nullptr);
    ASSERT_TRUE(cnetTmpName(set_.get(), dir_.c_str(), "thes"));
    ASSERT_TRUE(cnetTmpLimitMerge(set_.get(), limit));
    writeAll(recs);
    // Every run is written once, back to back in $00.
    EXPECT_EQ(testsupport::fileSize(file("$00")), long{5} * kCnetTmpMaxRecords * 16);
    std::vector<Rec> got = readSorted();
    ASSERT_OK(st_);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "sorted read differs from the model";
    EXPECT_EQ(fileExists(file("$10")), limit < 5);
    if (limit == kCnetTmpMergeRuns) {
      EXPECT_TRUE(readSorted() == want) << "a second sorted read";
      EXPECT_TRUE(readInput() == recs) << "input order differs";
    }
  }
  cnetTmpDelete(set_.get(), &st_);
  EXPECT_OK(st_);
  EXPECT_TRUE(dir_.list().empty());
}

TEST_F(TmpFiles, FailuresGiveTheirStatus) {
  {
    testsupport::OsFaults faults;
    faults.failNth(testsupport::OsCall::kOpenStream, 1, EACCES);
    cnetTmpOpen(set_.get(), 'W', &st_);
    EXPECT_STATUS(st_, 510u, 4350u);
    EXPECT_EQ(std::string(st_.filename), file("$20"));
  }
  cnetTmpDelete(set_.get(), nullptr);
  st_ = testsupport::clearStatus();
  {
    testsupport::OsFaults faults;
    cnetTmpOpen(set_.get(), 'W', &st_);
    ASSERT_OK(st_);
    REL r{255, 0};
    faults.failNth(testsupport::OsCall::kWriteStream, 2, ENOSPC);  // the text of record 0
    cnetTmpWrite(set_.get(), 0, "abc", 3, 100, &r, &st_);
    EXPECT_STATUS(st_, 512u, 4353u);
    cnetTmpClose(set_.get(), nullptr);
  }
  st_ = testsupport::clearStatus();
  // A run that cannot be read: its records (the first read), its texts (the second).
  std::vector<Rec> recs;
  for (uint32_t s = 0; s < kCnetTmpMaxRecords + 10; ++s)
    recs.push_back({s, "ab", 100, {255, 0}});
  writeAll(recs);
  for (auto [nth, errcode] : {std::pair{1, 4354u}, std::pair{2, 4355u}}) {
    testsupport::OsFaults faults;
    faults.failNth(testsupport::OsCall::kReadStreamAt, nth, EIO);
    st_ = testsupport::clearStatus();
    readSorted();
    EXPECT_STATUS(st_, 511u, errcode);
  }
  // A run whose texts do not line up with its records.
  st_ = testsupport::clearStatus();
  std::string run = testsupport::readFile(file("$00"));
  run[16 + 4] = 9;  // text offset of the second record
  testsupport::writeFile(file("$00"), run);
  readSorted();
  EXPECT_STATUS(st_, 501u, 4301u);
}

}  // namespace
