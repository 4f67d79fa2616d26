// Message texts of every status code and input-file reason.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/temp_dir.h"
#include "thesaurus_engine/cnet.h"

namespace {

std::string message(uint32_t retcode, uint32_t errcode, const char* file = "",
                    const char* file2 = "", uint32_t line = 0, uint8_t codePage = 34) {
  CNETSTATUS st = testsupport::clearStatus();
  st.retcode = retcode;
  st.errcode = errcode;
  st.line = line;
  std::strcpy(st.filename, file);
  std::strcpy(st.filename2, file2);
  char text[CNET_MESSAGE_SIZE];
  std::memset(text, 'X', sizeof text);
  zolCNETgetMessage(codePage, &st, text);
  return text;
}

TEST(Message, EveryCodeOfTheTable) {
  const struct {
    uint32_t code;
    const char* text;
  } expected[] = {
      {501, "zolC501E: Error: Unexpected error.  errcode = 42"},
      {502, "zolC502E: Error: The length of filename or directory name is out of range."},
      {503, "zolC503E: Error: Parameter error.  errcode = 42"},
      {504,
       "zolC504E: Error: Reserved parameters and reserved fields must be specified as "
       "described.  errcode=42"},
      {510, "zolC510E: Error: /d/f.wdf Open error.  errcode = 42"},
      {511, "zolC511E: Error: /d/f.wdf Read error.  errcode = 42"},
      {512, "zolC512E: Error: /d/f.wdf Write error.  errcode = 42"},
      {513, "zolC513E: Error: /d/f.wdf Seek errorr.  errcode = 42"},
      {514, "zolC514E: Error: /d/f.wdf ftell error.  errcode = 42"},
      {515, "zolC515E: Error: /d/f.wdf Delete error.  errcode = 42"},
      {516, "zolC516E: Error: Rename error.  From: /d/f.wdf  To: /d/g.wdf  errcode = 42"},
      {517, "zolC517E: Error: /d/f.wdf Close error.  errcode = 42"},
      {519, "zolC519E: Error: Unexpected end of file."},
      {520, "zolC520E: Error: Memory allocation error.  errcode = 42"},
      {530, "zolC530E: Error: Locking error.  errcode = 42"},
      {531, "zolC531E: Error: Locked.  Try again.  errcode = 42"},
      {540, "zolC540E: Error: Output file /d/f.wdf exists."},
      {541, "zolC541E: Error: Dictionary file integrity has been lost.  errcode = 42"},
      {542, "zolC542E: Error: Dictionary version error."},
      {543, "zolC543E: Error: Dictionary does not exist."},
      {544, "zolC544E: Error: Dictionary exists."},
      {550, "zolC550E: Error: Character normalization error."},
      {551, "zolC551E: Error: Specified base word is not valid."},
      {552, "zolC552E: Error: The word was not found."},
  };
  for (const auto& e : expected) {
    EXPECT_EQ(message(e.code, 42, "/d/f.wdf", "/d/g.wdf"), e.text) << e.code;
  }
  EXPECT_EQ(message(0, 42, "/d/f"), "");
}

TEST(Message, InputFileReasons) {
  const char* reasons[] = {
      "Empty definition.",
      "line 12: Syntax of the block head.",
      "line 12: Syntax of the relation.",
      "line 12: Syntax at the start of the user definition.",
      "line 12: Syntax at the end of the user definition.",
      "line 12: User definition number is out of range.",
      "line 12: Invalid empty word.",
      "line 12: Too long word.",
      "line 12: Syntax of the strength.",
      "line 12: Strength is out of range.",
  };
  for (uint32_t r = 1; r <= 10; ++r) {
    EXPECT_EQ(message(567, r, "/d/def.txt", "", 12),
              std::string("zolC567E: Error: Input file error.  REASON: ") + reasons[r - 1])
        << r;
  }
  // Reasons outside 1 to 10 and unknown codes get the generic text, without the prefix.
  EXPECT_EQ(message(567, 11, "", "", 12), "Error has occurred. (retcode, errcode) = (567, 11)");
  EXPECT_EQ(message(567, 0), "Error has occurred. (retcode, errcode) = (567, 0)");
  EXPECT_EQ(message(518, 3), "Error has occurred. (retcode, errcode) = (518, 3)");
  EXPECT_EQ(message(9999, 1), "Error has occurred. (retcode, errcode) = (9999, 1)");
}

TEST(Message, CodePageIsCheckedFirst) {
  const char* bad = "Codepage parameter cannot be interpreted.";
  EXPECT_EQ(message(0, 0, "", "", 0, 0), bad);
  EXPECT_EQ(message(0, 0, "", "", 0, 38), bad);
  EXPECT_EQ(message(541, 1, "", "", 0, 255), bad);
  EXPECT_EQ(message(543, 1, "", "", 0, 37), "zolC543E: Error: Dictionary does not exist.");
  EXPECT_EQ(message(543, 1, "", "", 0, 1), "zolC543E: Error: Dictionary does not exist.");
}

TEST(Message, EngineCodesGoToTheIndexingEngine) {
  // 10543 reaches the indexing engine as its own code 543, with the detail shifted back.
  ZOLSTATUS engine{};
  engine.retcode = 543;
  engine.errcode = 7;
  char expected[ZOL_MESSAGE_SIZE];
  ZOLgetMessage(34, &engine, expected);
  EXPECT_EQ(message(10543, 10007), expected);

  engine.retcode = ZOL_RC_INDEX_NOT_EXIST;
  engine.errcode = 0;
  std::strcpy(engine.filename, "/d/thes.wix");
  ZOLgetMessage(34, &engine, expected);
  EXPECT_EQ(message(10020, 10000, "/d/thes.wix"), expected);
  EXPECT_NE(std::string(expected).find("/d/thes.wix"), std::string::npos);
}

TEST(Message, LongestTextFitsTheBuffer) {
  std::string longPath = "/" + std::string(509, 'p');
  std::string text = message(516, 4294967295u, longPath.c_str(), longPath.c_str());
  EXPECT_EQ(text, "zolC516E: Error: Rename error.  From: " + longPath + "  To: " + longPath +
                      "  errcode = 4294967295");
  EXPECT_LT(text.size(), size_t{CNET_MESSAGE_SIZE});

  // Names that a caller left unterminated are read only as far as their field goes.
  CNETSTATUS st = testsupport::clearStatus();
  st.retcode = 516;
  std::memset(st.filename, 'a', sizeof st.filename);
  std::memset(st.filename2, 'b', sizeof st.filename2);
  char buf[CNET_MESSAGE_SIZE + 16];
  std::memset(buf, 'Z', sizeof buf);
  zolCNETgetMessage(34, &st, buf);
  EXPECT_LT(std::strlen(buf), size_t{CNET_MESSAGE_SIZE});
  EXPECT_EQ(buf[CNET_MESSAGE_SIZE + 15], 'Z');
}

}  // namespace
