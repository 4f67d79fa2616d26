// Definition file writer: the exact text of every block and relation kind, numbered relations,
// strengths and EBCDIC bytes; failed writes and refused blocks. (Written definitions read back
// and compiled again: round_trip_test.cpp.)
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "support/os_faults.h"
#include "support/temp_dir.h"
#include "thesaurus_engine/cnet.h"

using testsupport::OsCall;
using testsupport::OsFaults;
using testsupport::TempDir;

namespace {

constexpr uint8_t kUtf8 = 34;
constexpr uint8_t kEbcdicUs = 25;

struct Word {
  std::string text;  // stored (normalized) form
  uint8_t strength;
  REL rel;
};

struct Block {
  REL rel;
  std::vector<Word> members;
  std::vector<Word> relations;
};

Word member(const std::string& text, uint8_t strength = 100) {
  return {text, strength, REL{CNET_CAT_MEMBER, 0}};
}

Word related(uint8_t category, uint8_t id, const std::string& text, uint8_t strength = 100) {
  return {text, strength, REL{category, id}};
}

// What one write gives: the file's bytes and the status of open, write and close.
struct Written {
  std::string text;
  CNETSTATUS status;
};

// Fills an open DEFCTL with the block: members first, then relation entries, words back to
// back in the text buffer.
void fill(DEFCTL* def, const Block& b) {
  def->blockRel = b.rel;
  def->entryCount = 0;
  def->textUsed = 0;
  def->memberCount = static_cast<uint32_t>(b.members.size());
  def->relationCount = static_cast<uint32_t>(b.relations.size());
  std::vector<Word> all = b.members;
  all.insert(all.end(), b.relations.begin(), b.relations.end());
  ASSERT_LE(all.size(), def->entryCapacity);
  for (const Word& w : all) {
    ASSERT_LE(def->textUsed + w.text.size(), def->textSize);
    DEFENTRY& e = def->entries[def->entryCount++];
    e = DEFENTRY{};
    e.textOffset = def->textUsed;
    e.length = static_cast<uint32_t>(w.text.size());
    e.strength = w.strength;
    e.rel = w.rel;
    std::memcpy(def->text + def->textUsed, w.text.data(), w.text.size());
    def->textUsed += e.length;
  }
}

// Writes the blocks, one cnetDefWrite each, into a fresh file of dir.
Written writeBlocks(const TempDir& dir, const std::vector<Block>& blocks,
                    uint8_t codePage = kUtf8) {
  const std::string path = dir.file("out.def");
  CNETDEF target{};
  target.kind = CNET_DEF_FILE;
  target.path = path.c_str();
  Written out{};
  DEFCTL def{};
  cnetDefOpen(&def, &target, codePage, "w", &out.status);
  for (const Block& b : blocks) {
    if (out.status.retcode != 0) break;
    fill(&def, b);
    cnetDefWrite(&def, nullptr, &out.status);
  }
  cnetDefClose(&def, &out.status);
  out.text = testsupport::readFile(path);
  return out;
}

TEST(DefWriteTest, BlocksGiveTheirExactText) {
  auto block = [](uint8_t category, uint8_t id) {
    return Block{REL{category, id}, {member("a"), member("b")}, {}};
  };
  const struct {
    const char* what;
    std::vector<Block> blocks;
    std::string text;
  } cases[] = {
      {"head line, then relation lines, then members",
       {{REL{CNET_CAT_SYMMETRIC, CNET_ID_NAMED},
         {member("automobile", 80), member("car")},
         {related(CNET_CAT_HIGHER, CNET_ID_NAMED, "sports car")}}},
       ":WORDS:SYNONYM\n  .HIGHER_THAN  sports car\n  automobile  :80\n  car\n"},
      // A numbered symmetric relation takes the related keyword, never the synonym one.
      {"every block relation gives its head keyword",
       {block(CNET_CAT_NONE, 0), block(CNET_CAT_SYMMETRIC, 1), block(CNET_CAT_SYMMETRIC, 2),
        block(CNET_CAT_SYMMETRIC, 128), block(CNET_CAT_SYMMETRIC, 139),
        block(CNET_CAT_SYMMETRIC, 255)},
       ":WORDS\n  a\n  b\n:WORDS:SYNONYM\n  a\n  b\n:WORDS:RELATED\n  a\n  b\n"
       ":WORDS:RELATED(1)\n  a\n  b\n:WORDS:RELATED(12)\n  a\n  b\n"
       ":WORDS:RELATED(128)\n  a\n  b\n"},
      {"every relation gives its line keyword, in entry order",
       {{REL{CNET_CAT_NONE, 0},
         {member("m")},
         {related(CNET_CAT_SYMMETRIC, 1, "syn"), related(CNET_CAT_SYMMETRIC, 2, "rel"),
          related(CNET_CAT_LOWER, 1, "low"), related(CNET_CAT_HIGHER, 1, "high"),
          related(CNET_CAT_SYMMETRIC, 130, "rel3"), related(CNET_CAT_SYMMETRIC, 128, "rel1"),
          related(CNET_CAT_LOWER, 128, "low1"), related(CNET_CAT_LOWER, 200, "low73"),
          related(CNET_CAT_HIGHER, 255, "high128"), related(CNET_CAT_HIGHER, 134, "high7")}}},
       ":WORDS\n  .SYNONYM_OF  syn\n  .RELATED_TO  rel\n  .LOWER_THAN  low\n"
       "  .HIGHER_THAN  high\n  .RELATED_TO(3)  rel3\n  .RELATED_TO(1)  rel1\n"
       "  .LOWER_THAN(1)  low1\n  .LOWER_THAN(73)  low73\n  .HIGHER_THAN(128)  high128\n"
       "  .HIGHER_THAN(7)  high7\n  m\n"},
      {"strengths other than full follow two blanks",
       {{REL{CNET_CAT_SYMMETRIC, 2},
         {member("full", 100), member("one", 1), member("new york", 99)},
         {related(CNET_CAT_LOWER, 129, "low", 50), related(CNET_CAT_SYMMETRIC, 1, "x", 100)}}},
       ":WORDS:RELATED\n  .LOWER_THAN(2)  low  :50\n  .SYNONYM_OF  x\n  full\n  one  :1\n"
       "  new york  :99\n"},
      // A group left with one member and no relation entry (its definition repeated the
      // member) has its member line written twice: one line alone would be a block the reader
      // ignores.
      {"a lone member is repeated",
       {{REL{CNET_CAT_SYMMETRIC, 1}, {member("kaka", 40)}, {}},
        {REL{CNET_CAT_SYMMETRIC, 2}, {member("lota")}, {related(CNET_CAT_LOWER, 1, "mi")}}},
       ":WORDS:SYNONYM\n  kaka  :40\n  kaka  :40\n:WORDS:RELATED\n  .LOWER_THAN  mi\n  lota\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Written w = writeBlocks(dir, c.blocks);
    EXPECT_OK(w.status);
    EXPECT_EQ(w.text, c.text);
  }
}

TEST(DefWriteTest, EbcdicUsesEbcdicKeywordsBlanksAndMarker) {
  TempDir dir;
  // "car", "auto" and "van" in EBCDIC.
  const std::string car = "\x83\x81\x99", aut = "\x81\xA4\xA3\x96", van = "\xA5\x81\x95";
  Block b{REL{CNET_CAT_SYMMETRIC, 1},
          {member(car), member(aut, 80)},
          {related(CNET_CAT_HIGHER, 1, van), related(CNET_CAT_SYMMETRIC, 130, van, 5)}};
  Written w = writeBlocks(dir, {b}, kEbcdicUs);
  EXPECT_OK(w.status);
  const std::string sp = "\x40\x40";
  const std::string expected =
      std::string("\x7A\xE6\xD6\xD9\xC4\xE2") + "\x7A\xE2\xE8\xD5\xD6\xD5\xE8\xD4" + "\n" +  //
      sp + "\x4B\xC8\xC9\xC7\xC8\xC5\xD9\x6D\xE3\xC8\xC1\xD5" + sp + van + "\n" +            //
      sp + "\x4B\xD9\xC5\xD3\xC1\xE3\xC5\xC4\x6D\xE3\xD6" + "\x4D" + "3" + "\x5D" + sp + van + sp +
      "\x7A" + "5" + "\n" +  //
      sp + car + "\n" +      //
      sp + aut + sp + "\x7A" + "80" + "\n";
  EXPECT_EQ(w.text, expected);
}

TEST(DefWriteTest, FailedWriteStopsTheBlockAndNamesTheFile) {
  TempDir dir;
  Block b{REL{CNET_CAT_SYMMETRIC, 1}, {member("a"), member("b")}, {related(3, 2, "c")}};
  {
    OsFaults faults;
    faults.failNth(OsCall::kWriteStream, 2, EIO);
    Written w = writeBlocks(dir, {b});
    EXPECT_TRUE(faults.fired());
    EXPECT_STATUS(w.status, CNET_WRITE, 4452);
    EXPECT_EQ(std::string(w.status.filename), dir.file("out.def"));
    // The head line written before the failure stays; nothing after it is written.
    EXPECT_EQ(w.text, ":WORDS:SYNONYM\n");
  }
  // A word that does not unnormalize into 192 bytes ends the block with the engine's status.
  Block tooLong{REL{CNET_CAT_SYMMETRIC, 1}, {member(std::string(193, 'a')), member("b")}, {}};
  Written w = writeBlocks(dir, {tooLong});
  EXPECT_GE(w.status.retcode, uint32_t{CNET_ENGINE_BASE});
  EXPECT_EQ(w.text, ":WORDS:SYNONYM\n");
}

TEST(DefWriteTest, UnknownFormatAndDamagedBlocksAreRefused) {
  TempDir dir;
  const std::string path = dir.file("out.def");
  CNETDEF target{};
  target.kind = CNET_DEF_FILE;
  target.path = path.c_str();
  DEFCTL def{};
  CNETSTATUS st = testsupport::clearStatus();
  cnetDefOpen(&def, &target, kUtf8, "w", &st);
  ASSERT_OK(st);
  fill(&def, Block{REL{CNET_CAT_SYMMETRIC, 1}, {member("a"), member("b")}, {}});
  def.format = 1;
  cnetDefWrite(&def, nullptr, &st);
  EXPECT_STATUS(st, CNET_PARAMETER, 4454);

  def.format = 0;
  st = testsupport::clearStatus();
  def.entries[1].textOffset = def.textSize;  // a word beyond the text buffer
  cnetDefWrite(&def, nullptr, &st);
  EXPECT_STATUS(st, CNET_PARAMETER, 4455);

  st = testsupport::clearStatus();
  def.entries[1].textOffset = 1;
  def.memberCount = 3;  // more members than entries
  cnetDefWrite(&def, nullptr, &st);
  EXPECT_STATUS(st, CNET_PARAMETER, 4455);

  // An earlier failure in the status is kept and nothing is written.
  def.memberCount = 2;
  st = testsupport::clearStatus();
  st.retcode = CNET_LOCKED;
  cnetDefWrite(&def, nullptr, &st);
  EXPECT_EQ(st.retcode, uint32_t{CNET_LOCKED});
  cnetDefClose(&def, nullptr);
  EXPECT_EQ(testsupport::readFile(path), "");
}

}  // namespace
