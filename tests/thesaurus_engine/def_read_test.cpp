// Definition file reader: syntax, reasons and their lines, warnings, block finishing, code
// pages, and failures of the file calls.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "cnet_def_syntax.h"
#include "support/os_faults.h"
#include "support/temp_dir.h"
#include "thesaurus_engine/cnet.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using testsupport::OsCall;
using testsupport::OsFaults;
using testsupport::TempDir;

namespace {

constexpr uint8_t kUtf8 = 34;
constexpr uint8_t kEbcdicUs = 25;
constexpr uint8_t kEbcdicFinnish = 28;

struct Word {
  std::string text;
  uint32_t line;
  uint8_t strength;
  REL rel;
};

struct Block {
  uint32_t line;
  REL rel;
  std::vector<Word> members;
  std::vector<Word> relations;
};

// Everything one file gives: the accepted blocks, the status that ended the read, stderr.
struct Outcome {
  std::vector<Block> blocks;
  CNETSTATUS status;
  std::string warnings;
};

bool sameRel(REL a, uint8_t category, uint8_t id) {
  return a.category == category && a.id == id;
}

// Reads every block of content with the given code page and options.
Outcome readAll(const TempDir& dir, const std::string& content, uint8_t codePage = kUtf8,
                const CNETEXEC* exec = nullptr) {
  std::string path = dir.file("def.txt");
  testsupport::writeFile(path, content);
  CNETDEF source{};
  source.kind = CNET_DEF_FILE;
  source.path = path.c_str();
  Outcome out{};
  DEFCTL def{};
  CaptureStderr();
  cnetDefOpen(&def, &source, codePage, "rb", &out.status);
  for (int guard = 0; out.status.retcode == 0 && guard < 10000; ++guard) {
    cnetDefRead(&def, exec, &out.status);
    if (out.status.retcode != 0 || def.memberCount == 0) break;
    Block b{def.blockLine, def.blockRel, {}, {}};
    EXPECT_EQ(def.entryCount, def.memberCount + def.relationCount);
    for (uint32_t i = 0; i < def.entryCount; ++i) {
      const DEFENTRY& e = def.entries[i];
      EXPECT_LE(e.textOffset + e.length, def.textUsed);
      Word w{std::string(def.text + e.textOffset, e.length), e.line, e.strength, e.rel};
      (i < def.memberCount ? b.members : b.relations).push_back(w);
      EXPECT_EQ(i < def.memberCount, e.rel.category == CNET_CAT_MEMBER) << "entry " << i;
    }
    out.blocks.push_back(b);
  }
  cnetDefClose(&def, &out.status);
  out.warnings = GetCapturedStderr();
  return out;
}

std::vector<std::string> texts(const std::vector<Word>& words) {
  std::vector<std::string> v;
  for (const Word& w : words)
    v.push_back(w.text);
  return v;
}

// The EBCDIC (code page 37 family) bytes of letters, blanks and syntax.
std::string toEbcdic(const std::string& ascii) {
  // Each letter row of EBCDIC starts at its own byte: a-i, j-r, s-z and the capitals likewise.
  const std::string rows[] = {"abcdefghi", "jklmnopqr", "stuvwxyz", "ABCDEFGHI",
                              "JKLMNOPQR", "STUVWXYZ",  " \n:._*#"};
  const std::string starts[] = {"\x81", "\x91", "\xA2", "\xC1", "\xD1", "\xE2"};
  const std::string other = "\x40\x25\x7A\x4B\x6D\x5C\x7B";
  std::string out;
  for (char c : ascii) {
    size_t row = 0, at = std::string::npos;
    while (row < std::size(rows) && (at = rows[row].find(c)) == std::string::npos)
      ++row;
    if (row == std::size(rows))
      ADD_FAILURE() << "no EBCDIC byte for " << c;
    else
      out += row < 6 ? static_cast<char>(starts[row][0] + at) : other[at];
  }
  return out;
}

TEST(DefReadTest, EveryReasonCarriesItsLine) {
  struct Case {
    std::string content;
    uint32_t reason;
    uint32_t line;
  };
  const std::string longComment = '*' + std::string(400, 'c') + '\n';
  const std::string longMember = 'm' + std::string(299, ' ') + '\n';
  const std::vector<Case> cases = {
      {"car\n", 2, 1},
      {"\n* c\n\n:WORD\n", 2, 4},
      {":WORDSX\n", 3, 1},
      {":WORDS:SYNONYM(3)\n", 3, 1},
      {":WORDS:SYNONYMS\n", 3, 1},
      {":WORDS:RELATED(0)\n", 6, 1},
      {":WORDS:RELATED(129)\n", 6, 1},
      {":WORDS:RELATED(99999999999)\n", 6, 1},
      {":WORDS:RELATED5\n", 4, 1},
      {":WORDS:RELATED(5\n", 5, 1},
      {":WORDS:SYNONYM\na\n.BROADER x\n", 3, 3},
      {":WORDS:SYNONYM\na\n.\n", 3, 3},
      {":WORDS:SYNONYM\na\n.SYNONYM x\n", 3, 3},
      {":WORDS:SYNONYM\na\n.LOWER_THAN9 x\n", 4, 3},
      {":WORDS:SYNONYM\na\n.LOWER_THAN(9 x)\n", 5, 3},
      {":WORDS:SYNONYM\na\n.LOWER_THAN(-1) x\n", 6, 3},
      {":WORDS:SYNONYM\napple :\n", 9, 2},
      {":WORDS:SYNONYM\napple :0\n", 10, 2},
      {":WORDS:SYNONYM\napple :101\n", 10, 2},
      {":WORDS:SYNONYM\napple :4294967346\n", 10, 2},
      {":WORDS:SYNONYM\napple :80x\n", 9, 2},
      {":WORDS:SYNONYM\napple :8 0\n", 9, 2},
      {":WORDS:SYNONYM\na\n.SYNONYM_OF\n", 7, 3},
      {":WORDS:SYNONYM\na\n.SYNONYM_OF :50\n", 7, 3},
      {":WORDS:SYNONYM\na\n" + std::string(65, 'w') + "\n", 8, 3},
      // Line ends and dropped lines before the faulty line.
      {"\r\n\r\n:WORDS:SYNONYM\r\na\r\n:WORDS:RELATED(0)\r\n", 6, 5},
      {"\r\r\n:WORDS:SYNONYM\ra\rb :0\r", 10, 5},
      {longComment + longComment + ":WORDS:SYNONYM\nb\nc :x\n", 9, 5},
      {":WORDS:SYNONYM\n" + longMember + longMember + "d :0\n", 10, 4},
      {":WORDS:SYNONYM\nm" + std::string(299, ' ') + "\r\nd :0\r\n", 10, 3},
      // A later block's error follows an accepted one.
      {":WORDS:SYNONYM\na\nb\n:WORDS\n.SYNONYM_OF\n", 7, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content.substr(0, 60));
    TempDir dir;
    Outcome o = readAll(dir, c.content);
    EXPECT_EQ(o.status.retcode, 567u);
    EXPECT_EQ(o.status.errcode, c.reason);
    EXPECT_EQ(o.status.line, c.line);
    EXPECT_EQ(std::string(o.status.filename), dir.file("def.txt"));
  }
}

TEST(DefReadTest, WarningTextsGoToStderrOnlyWithTheFlag) {
  const std::string content =
      ":WORDS:SYNONYM\n"  // 1: no member
      ".SYNONYM_OF x\n"   //
      ":WORDS:SYNONYM\n"  // 3: one member, no relation
      "lonely\n"          //
      ":WORDS\n"          // 5: plain head, two members
      "a\n"               //
      "b\n"               //
      ":WORDS:RELATED\n"  // 8: accepted
      "car\n"             //
      "x" +
      std::string(254, ' ') + "\n" +  // 10: too long
      "car :50\n";                    // 11: keeps, line 9 dropped
  const std::string expected =
      "P: zolC702W: Warning: line 1: No member is defined.  Group definition block is "
      "ignored.\n"
      "P: zolC703W: Warning: line 3: No relation is defined.  Group definition block is "
      "ignored.\n"
      "P: zolC703W: Warning: line 5: No relation is defined.  Group definition block is "
      "ignored.\n"
      "P: zolC701W: Warning: line 10: Too long line.  Truncated.\n"
      "P: zolC705W: Warning: line 9: Equivalent to the word in line 11.  Discarded.\n";
  TempDir dir;
  std::string path = dir.file("def.txt");
  std::string want = expected;
  for (size_t at; (at = want.find("P: ")) != std::string::npos;)
    want.replace(at, 1, path);

  CNETEXEC warnings{};
  warnings.flags = CNET_EXEC_WARNINGS;
  CNETEXEC quiet{};
  quiet.flags = CNET_EXEC_PROGRESS | CNET_EXEC_REPLACE;
  const CNETEXEC* const execs[] = {nullptr, &warnings, &quiet};
  for (const CNETEXEC* exec : execs) {
    Outcome o = readAll(dir, content, kUtf8, exec);
    ASSERT_EQ(o.status.retcode, 0u);
    ASSERT_EQ(o.blocks.size(), 1u);
    EXPECT_EQ(o.blocks[0].line, 8u);
    EXPECT_EQ(texts(o.blocks[0].members), (std::vector<std::string>{"car", "x"}));
    EXPECT_EQ(o.blocks[0].members[0].line, 11u);
    EXPECT_EQ(o.warnings, exec == &quiet ? "" : want);
  }
}

TEST(DefReadTest, KeywordTablesGiveTheirRelations) {
  struct Case {
    std::string head;
    uint8_t category, id;
  };
  const std::vector<Case> heads = {
      {":WORDS:SYNONYM", 3, 1},        {":WORDS:RELATED", 3, 2},
      {":WORDS:RELATED(12)", 3, 139},  {":WORDS:RELATED(128)x", 3, 255},
      {":WORDS:RELATED(12x)", 3, 139}, {":WORDS :SYNONYM", 0, 0}};
  for (const Case& c : heads) {
    SCOPED_TRACE(c.head);
    TempDir dir;
    Outcome o = readAll(dir, c.head + "\na\n.SYNONYM_OF b\n");
    ASSERT_EQ(o.status.retcode, 0u);
    ASSERT_EQ(o.blocks.size(), 1u);
    EXPECT_TRUE(sameRel(o.blocks[0].rel, c.category, c.id));
  }
  const std::vector<Case> relations = {
      {".SYNONYM_OF", 3, 1},        {".RELATED_TO", 3, 2},        {".LOWER_THAN", 2, 1},
      {".HIGHER_THAN", 1, 1},       {".RELATED_TO(128)", 3, 255}, {".LOWER_THAN(1)", 2, 128},
      {".SYNONYM_OF(7)", 3, 134},   {".RELATED_TO(7)", 3, 134},   {".HIGHER_THAN(2)", 1, 129},
      {".HIGHER_THAN(+3)", 1, 130},
  };
  for (const Case& c : relations) {
    SCOPED_TRACE(c.head);
    TempDir dir;
    Outcome o = readAll(dir, ":WORDS\na\n" + c.head + "   target word  :7\n");
    ASSERT_EQ(o.status.retcode, 0u);
    ASSERT_EQ(o.blocks.size(), 1u);
    ASSERT_EQ(o.blocks[0].relations.size(), 1u);
    EXPECT_EQ(o.blocks[0].relations[0].text, "target word");
    EXPECT_EQ(o.blocks[0].relations[0].strength, 7);
    EXPECT_TRUE(sameRel(o.blocks[0].relations[0].rel, c.category, c.id));
  }
}

TEST(DefReadTest, WordsAndStrengths) {
  TempDir dir;
  const std::string w64(64, 'q');
  Outcome o = readAll(dir,
                      ":WORDS:SYNONYM\n"
                      "apple : 80\n"
                      "pear: 80\n"
                      "a:b\n"
                      "  new   york :1  \n"
                      "plum :+100\n"
                      "fig\t:\t55\n"
                      "Kiwi :2 :3\n" +
                          w64 + "\n");
  ASSERT_EQ(o.status.retcode, 0u);
  ASSERT_EQ(o.blocks.size(), 1u);
  const std::vector<Word>& m = o.blocks[0].members;
  ASSERT_EQ(texts(m), (std::vector<std::string>{"a:b", "apple", "fig", "kiwi :2", "new   york",
                                                "pear: 80", "plum", w64}));
  const std::vector<int> strengths = {100, 80, 55, 3, 1, 100, 100, 100};
  for (size_t i = 0; i < m.size(); ++i)
    EXPECT_EQ(m[i].strength, strengths[i]) << m[i].text;
}

TEST(DefReadTest, DuplicateWordsKeepTheLatestLine) {
  TempDir dir;
  Outcome o = readAll(dir,
                      ":WORDS:SYNONYM\n"   // 1
                      "car\n"              // 2
                      "car :50\n"          // 3
                      "bus\n"              // 4
                      "BUS :20\n"          // 5: the same word once normalized
                      ":WORDS\n"           // 6
                      "car\n"              // 7
                      "van\n"              // 8
                      ".SYNONYM_OF car\n"  // 9
                      "ca\n");             // 10
  ASSERT_EQ(o.status.retcode, 0u);
  ASSERT_EQ(o.blocks.size(), 2u);
  const Block& first = o.blocks[0];
  ASSERT_EQ(texts(first.members), (std::vector<std::string>{"bus", "car"}));
  EXPECT_EQ(first.members[0].line, 5u);
  EXPECT_EQ(first.members[0].strength, 20);
  EXPECT_EQ(first.members[1].line, 3u);
  EXPECT_EQ(first.members[1].strength, 50);
  const Block& second = o.blocks[1];
  EXPECT_EQ(second.line, 6u);
  ASSERT_EQ(texts(second.members), (std::vector<std::string>{"ca", "van"}));
  ASSERT_EQ(texts(second.relations), (std::vector<std::string>{"car"}));
  EXPECT_EQ(second.relations[0].line, 9u);
  EXPECT_EQ(o.warnings,
            dir.file("def.txt") +
                ": zolC705W: Warning: line 4: Equivalent to the word in line 5.  Discarded.\n" +
                dir.file("def.txt") +
                ": zolC705W: Warning: line 2: Equivalent to the word in line 3.  Discarded.\n" +
                dir.file("def.txt") +
                ": zolC705W: Warning: line 7: Equivalent to the word in line 9.  Discarded.\n");
}

// A block whose only member is also a word of its relation lines keeps just the relation
// entry; it must not read as the end of input, or every block after it would be lost.
TEST(DefReadTest, BlockLeftWithoutMembersIsIgnoredAndReadingGoesOn) {
  TempDir dir;
  Outcome o = readAll(dir,
                      ":WORDS\n"                // 1
                      "kaka\n"                  // 2
                      "kaka\n"                  // 3
                      ".LOWER_THAN(41) kaka\n"  // 4
                      ":WORDS:SYNONYM\n"        // 5
                      "misu\n"                  // 6
                      "riposu\n");              // 7
  ASSERT_EQ(o.status.retcode, 0u);
  ASSERT_EQ(o.blocks.size(), 1u);
  EXPECT_EQ(o.blocks[0].line, 5u);
  EXPECT_EQ(texts(o.blocks[0].members), (std::vector<std::string>{"misu", "riposu"}));
  const std::string path = dir.file("def.txt");
  EXPECT_EQ(
      o.warnings,
      path + ": zolC705W: Warning: line 3: Equivalent to the word in line 4.  Discarded.\n" + path +
          ": zolC705W: Warning: line 2: Equivalent to the word in line 4.  Discarded.\n" + path +
          ": zolC702W: Warning: line 1: No member is defined.  Group definition block is "
          "ignored.\n");
}

TEST(DefReadTest, LineEndsAndLongLinesCountLines) {
  TempDir dir;
  const std::string l254 = 'a' + std::string(253, ' ');
  const std::string l255 = 'b' + std::string(254, ' ');
  const std::string l300 = 'c' + std::string(299, ' ');
  Outcome o =
      readAll(dir, ":WORDS:SYNONYM\r\n" + l254 + "\n" + l255 + "\n" + l300 + "\r\n" + "lf\n" +
                       "cr\r" + "crlf\r\n" + "*" + std::string(400, '*') + "\r\n" + "last");
  ASSERT_EQ(o.status.retcode, 0u);
  ASSERT_EQ(o.blocks.size(), 1u);
  // Sorted: the a, b and c lines, then "cr", "crlf", "last", "lf"; each with its line.
  std::vector<std::pair<std::string, uint32_t>> got;
  for (const Word& w : o.blocks[0].members)
    got.emplace_back(w.text, w.line);
  EXPECT_EQ(got,
            (std::vector<std::pair<std::string, uint32_t>>{
                {"a", 2}, {"b", 3}, {"c", 4}, {"cr", 6}, {"crlf", 7}, {"last", 9}, {"lf", 5}}));
  const std::string path = dir.file("def.txt");
  EXPECT_EQ(o.warnings, path + ": zolC701W: Warning: line 3: Too long line.  Truncated.\n" + path +
                            ": zolC701W: Warning: line 4: Too long line.  Truncated.\n");
}

TEST(DefReadTest, EbcdicFileReadsLikeItsAsciiTwin) {
  const std::string ascii =
      "* comment\n"
      "# comment\n"
      ":WORDS:SYNONYM\n"
      "car\n"
      "  automobile\n"
      ".HIGHER_THAN  sports car\n"
      ".LOWER_THAN wheel\n"
      "\n"
      ":WORDS:RELATED\n"
      "Cat\n"
      "tiger\n"
      "cat\n"
      ":WORDS\n"
      "only\n";
  TempDir dir;
  Outcome a = readAll(dir, ascii, kUtf8);
  Outcome e = readAll(dir, toEbcdic(ascii), kEbcdicUs);
  ASSERT_EQ(a.status.retcode, 0u);
  ASSERT_EQ(e.status.retcode, 0u);
  ASSERT_EQ(a.blocks.size(), 2u);
  ASSERT_EQ(e.blocks.size(), a.blocks.size());
  for (size_t i = 0; i < a.blocks.size(); ++i) {
    const Block& x = a.blocks[i];
    const Block& y = e.blocks[i];
    EXPECT_EQ(y.line, x.line);
    EXPECT_TRUE(sameRel(y.rel, x.rel.category, x.rel.id));
    ASSERT_EQ(y.members.size(), x.members.size());
    ASSERT_EQ(y.relations.size(), x.relations.size());
    for (size_t k = 0; k < x.members.size(); ++k) {
      EXPECT_EQ(y.members[k].text, toEbcdic(x.members[k].text));
      EXPECT_EQ(y.members[k].line, x.members[k].line);
    }
    for (size_t k = 0; k < x.relations.size(); ++k) {
      EXPECT_EQ(y.relations[k].text, toEbcdic(x.relations[k].text));
      EXPECT_TRUE(sameRel(y.relations[k].rel, x.relations[k].rel.category, x.relations[k].rel.id));
    }
  }
  EXPECT_EQ(texts(a.blocks[1].members), (std::vector<std::string>{"cat", "tiger"}));
  EXPECT_EQ(e.warnings.find("zolC705W") != std::string::npos, true);
  EXPECT_EQ(e.warnings.find("line 13: No relation") != std::string::npos, true);

  // An ASCII head is no head in EBCDIC; row 28 has its own second comment lead.
  Outcome wrong = readAll(dir, ":WORDS\n", kEbcdicUs);
  EXPECT_EQ(wrong.status.retcode, 567u);
  EXPECT_EQ(wrong.status.errcode, 2u);
  std::string finnish = '\xEC' + toEbcdic(" c\n:WORDS:SYNONYM\na\nb\n");
  Outcome f = readAll(dir, finnish, kEbcdicFinnish);
  ASSERT_EQ(f.status.retcode, 0u);
  ASSERT_EQ(f.blocks.size(), 1u);
  EXPECT_EQ(f.blocks[0].line, 2u);
  Outcome notComment = readAll(dir, toEbcdic("# c\n"), kEbcdicFinnish);
  EXPECT_EQ(notComment.status.errcode, 2u);
}

TEST(DefReadTest, EndOfInputCases) {
  TempDir dir;
  for (const std::string& content :
       {std::string(""), std::string("* one\n\n   \t\n# two\r\n*"), std::string("\0:WORDS\n", 8),
        std::string(":WORDS:SYNONYM\na\nb\n")}) {
    std::string path = dir.file("def.txt");
    testsupport::writeFile(path, content);
    CNETDEF source{};
    source.kind = CNET_DEF_FILE;
    source.path = path.c_str();
    DEFCTL def{};
    CNETSTATUS st{};
    cnetDefOpen(&def, &source, kUtf8, "rb", &st);
    cnetDefRead(&def, nullptr, &st);
    if (content[0] == ':') {
      EXPECT_EQ(def.memberCount, 2u);
      cnetDefRead(&def, nullptr, &st);
    }
    EXPECT_EQ(st.retcode, 0u);
    EXPECT_EQ(def.memberCount, 0u);
    EXPECT_EQ(def.entryCount, 0u);
    cnetDefRead(&def, nullptr, &st);  // the end stays the end
    EXPECT_EQ(st.retcode, 0u);
    EXPECT_EQ(def.memberCount, 0u);
    cnetDefClose(&def, &st);
    EXPECT_EQ(st.retcode, 0u);
    EXPECT_EQ(def.file, nullptr);
    EXPECT_EQ(def.text, nullptr);
    EXPECT_EQ(def.entries, nullptr);
  }
}

TEST(DefReadTest, LargeBlockGrowsItsBuffers) {
  TempDir dir;
  std::string content = ":WORDS:SYNONYM\n";
  const int count = 3000;
  for (int i = count - 1; i >= 0; --i) {
    content += "word" + std::to_string(100000 + i) + std::string(40, 'z') + "\n";
  }
  Outcome o = readAll(dir, content);
  ASSERT_EQ(o.status.retcode, 0u);
  ASSERT_EQ(o.blocks.size(), 1u);
  const std::vector<Word>& m = o.blocks[0].members;
  ASSERT_EQ(m.size(), static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    ASSERT_EQ(m[i].text, "word" + std::to_string(100000 + i) + std::string(40, 'z'));
    ASSERT_EQ(m[i].line, static_cast<uint32_t>(count + 1 - i));
  }
}

TEST(DefReadTest, FileCallFailures) {
  TempDir dir;
  std::string path = dir.file("def.txt");
  // Long enough for three reads of the file, the second and third within the second block.
  std::string text = ":WORDS:SYNONYM\na\nb\n:WORDS:SYNONYM\n";
  while (text.size() < 150000)
    text += "word" + std::to_string(text.size()) + "\n";
  testsupport::writeFile(path, text);
  CNETDEF source{};
  source.kind = CNET_DEF_FILE;
  source.path = path.c_str();
  {
    CNETDEF missing = source;
    std::string absent = dir.file("absent.txt");
    missing.path = absent.c_str();
    DEFCTL def{};
    CNETSTATUS st{};
    cnetDefOpen(&def, &missing, kUtf8, "rb", &st);
    EXPECT_STATUS(st, 510, 4450);
    EXPECT_EQ(std::string(st.filename), absent);
    cnetDefClose(&def, nullptr);
    cnetDefRead(&def, nullptr, &st);  // a closed reader keeps the first error
    EXPECT_STATUS(st, 510, 4450);
  }
  for (int nth : {1, 2, 3}) {
    SCOPED_TRACE(nth);
    OsFaults faults;
    faults.failNth(OsCall::kReadStream, nth, EIO);
    DEFCTL def{};
    CNETSTATUS st{};
    cnetDefOpen(&def, &source, kUtf8, "rb", &st);
    ASSERT_EQ(st.retcode, 0u);
    cnetDefRead(&def, nullptr, &st);
    if (st.retcode == 0) cnetDefRead(&def, nullptr, &st);
    EXPECT_STATUS(st, 511, 4451);
    EXPECT_EQ(std::string(st.filename), path);
    cnetDefClose(&def, &st);
    EXPECT_STATUS(st, 511, 4451);
  }
  {
    OsFaults faults;
    faults.failAlways(OsCall::kCloseStream, EIO);
    DEFCTL def{};
    CNETSTATUS st{};
    cnetDefOpen(&def, &source, kUtf8, "rb", &st);
    cnetDefRead(&def, nullptr, &st);
    EXPECT_EQ(def.memberCount, 2u);
    cnetDefClose(&def, &st);
    EXPECT_STATUS(st, 517, 401);
    EXPECT_EQ(def.file, nullptr);
  }
}

// Which code pages read as EBCDIC, their second comment lead, blanks and line ends, the head
// keyword and blank fill in each code page, and the number reader's clamp.
TEST(DefReadTest, SyntaxOfTheCodePages) {
  char out[10];
  CopyStrWords(kUtf8, out, sizeof out);
  EXPECT_EQ(std::string(out, sizeof out), std::string(":WORDS\0\0\0\0", 10));
  CopyStrWords(kEbcdicUs, out, sizeof out);
  EXPECT_EQ(std::string(out, sizeof out), std::string("\x7A\xE6\xD6\xD9\xC4\xE2\0\0\0\0", 10));
  CopyStrSpace(kEbcdicUs, out, 4);
  EXPECT_EQ(std::string(out, 5), std::string("\x40\x40\x40\0\xC4", 5));
  CopyStrSpace(5, out, 3);
  EXPECT_EQ(std::string(out, 3), std::string("  \0", 3));
  for (uint8_t cp = 0; cp <= 40; ++cp) {
    bool ebcdic = (cp >= 10 && cp <= 15) || (cp >= 25 && cp <= 33);
    EXPECT_EQ(cnetDefIsEbcdic(cp), ebcdic) << int{cp};
    EXPECT_EQ(cnetDefSyntax(cp).ebcdic, ebcdic) << int{cp};
  }
  EXPECT_EQ(cnetDefSyntax(33).commentLead2, '\x63');
  EXPECT_EQ(cnetDefSyntax(12).commentLead2, '\x7B');
  EXPECT_TRUE(cnetDefIsBlank(true, 0x3F));
  EXPECT_FALSE(cnetDefIsBlank(true, 0x0E));
  EXPECT_FALSE(cnetDefIsBlank(true, 0x41));
  EXPECT_TRUE(cnetDefIsBlank(false, 0x7F));
  EXPECT_FALSE(cnetDefIsBlank(false, 0x80));
  EXPECT_TRUE(cnetDefIsEndOfLine(true, 0x15));
  EXPECT_FALSE(cnetDefIsEndOfLine(true, 0x0A));
  char* end = nullptr;
  const char* text = " -42x";
  EXPECT_EQ(xstrtol(kUtf8, text, &end, 10), -42);
  EXPECT_EQ(end, text + 4);
  EXPECT_EQ(xstrtol(kUtf8, "99999999999", &end, 10), INT32_MAX);
}

}  // namespace
