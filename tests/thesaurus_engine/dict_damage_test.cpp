// Damaged dictionary files: readers report integrity lost or end of file with their location
// numbers and never size a buffer from a damaged value.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/dict_model.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

void putBE32(std::string* s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    (*s)[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

class DictDamage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_OK(testsupport::compileText(
        dir_.path(), "thes",
        ":WORDS:SYNONYM\ncar\nauto\nautomobile\n:WORDS:RELATED\nroad\nlane\n"));
    ctl_ = std::make_unique<CNETCTL>();
    cnetSetCNETCTL(ctl_.get(), "thes", dir_.c_str(), 0);
  }

  // Changes one file of the set, opens the set and reads word 1 and group 0 in full.
  CNETSTATUS readAfter(int file, void (*damage)(std::string*)) {
    std::string content = testsupport::readFile(ctl_->files[file].path);
    damage(&content);
    testsupport::writeFile(ctl_->files[file].path, content);
    CNETSTATUS st = testsupport::clearStatus();
    cnetOpen(ctl_.get(), "rb", &st);
    uint32_t groupCount = 0, relCount = 0, length = 0;
    uint32_t* groups = nullptr;
    CNETRELENT* rels = nullptr;
    char text[CNET_WORD_MAX + 4];
    if (st.retcode == 0) {
      cnetReadWord(ctl_.get(), 1, &groupCount, &groups, &relCount, &rels, text, &length, &st);
    }
    CNETGROUPREC group{};
    CNETGROUPENT* entries = nullptr;
    if (st.retcode == 0) cnetReadGroup(ctl_.get(), 0, &group, &entries, &st);
    cnetClose(ctl_.get(), nullptr);
    return st;
  }

  TempDir dir_;
  std::unique_ptr<CNETCTL> ctl_;
};

constexpr size_t kWord1 = CNET_HEADER_SIZE + CNET_RECORD_SIZE;

TEST_F(DictDamage, TextLongerThanAStoredWord) {
  CNETSTATUS st = readAfter(0, [](std::string* s) { putBE32(s, kWord1 + 4, 193); });
  EXPECT_STATUS(st, CNET_INTEGRITY, 4380);
}

TEST_F(DictDamage, WordCountsOrOffsetBeyondTheDataFile) {
  // A relation count that would need gigabytes is refused before any allocation.
  CNETSTATUS st = readAfter(0, [](std::string* s) { putBE32(s, kWord1 + 8, 0x1FFFFFFF); });
  EXPECT_STATUS(st, CNET_INTEGRITY, 4381);
  EXPECT_NE(std::string(st.filename).find("thes.wdv"), std::string::npos);
  SetUp();
  st = readAfter(0, [](std::string* s) { putBE32(s, kWord1, 0xFFFFFF00u); });
  EXPECT_STATUS(st, CNET_INTEGRITY, 4381);
}

TEST_F(DictDamage, GroupSizeAndOffsetChecks) {
  CNETSTATUS st = readAfter(2, [](std::string* s) { putBE32(s, 4, 0xFFFFFFF8u); });
  EXPECT_STATUS(st, CNET_INTEGRITY, 4384);
  SetUp();
  st = readAfter(2, [](std::string* s) {
    putBE32(s, 4, 8 * 0x10000000u);  // 2 GiB: size and counts agree, but not with the file
    putBE32(s, 8, 0x10000000u);
    putBE32(s, 12, 0);
  });
  EXPECT_STATUS(st, CNET_INTEGRITY, 4383);
  SetUp();
  st = readAfter(2, [](std::string* s) {
    putBE32(s, 4, 8 * 1000);
    putBE32(s, 8, 1000);
    putBE32(s, 12, 0);
  });
  EXPECT_STATUS(st, CNET_INTEGRITY, 4383);
  SetUp();
  st = readAfter(2, [](std::string* s) { putBE32(s, 0, 0x7FFFFFF0u); });
  EXPECT_STATUS(st, CNET_INTEGRITY, 4383);
}

TEST_F(DictDamage, TruncatedFilesGiveEndOfFileOrIntegrity) {
  CNETSTATUS st = readAfter(0, [](std::string* s) { s->resize(kWord1 + 10); });
  EXPECT_STATUS(st, CNET_EOF, 379);
  SetUp();
  st = readAfter(1, [](std::string* s) { s->resize(4); });
  EXPECT_STATUS(st, CNET_INTEGRITY, 4381);
  SetUp();
  st = readAfter(2, [](std::string* s) { s->resize(5); });
  EXPECT_STATUS(st, CNET_EOF, 362);
  SetUp();
  st = readAfter(0, [](std::string* s) { s->resize(40); });
  EXPECT_EQ(st.retcode, CNET_EOF);
  CNETSTATUS head = testsupport::clearStatus();
  cnetOpen(ctl_.get(), "rb", &head);
  CNETHEAD h{};
  cnetReadHead(ctl_.get(), &h, &head);
  cnetClose(ctl_.get(), nullptr);
  EXPECT_STATUS(head, CNET_EOF, 365);
}

}  // namespace
