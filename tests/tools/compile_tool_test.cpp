// thesaurus-compile run as a real process on real definition files.
#include <gtest/gtest.h>

#include <string>

#include "support/synthetic_definition.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

using testsupport::fileExists;
using testsupport::TempDir;
using testsupport::writeFile;
using toolstest::runTool;
using toolstest::ToolResult;

namespace {

const std::string kCompile = THES_COMPILE;
const std::string kSample = THES_SAMPLE;

bool hasDictionary(const TempDir& dir, const std::string& name) {
  for (const char* ext : {".wdf", ".wdv", ".grf", ".grv", ".wix"}) {
    if (!fileExists(dir.file(name + ext))) return false;
  }
  return true;
}

TEST(CompileTool, SampleCompilesWithoutWarnings) {
  TempDir dir;
  ToolResult r =
      runTool(kCompile, {"-f", kSample, "-ccsid", "1208", "-targetDirectory", dir.path()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(hasDictionary(dir, "vehicles"));
  EXPECT_EQ(r.out, "");
  // Only the engine's start and end lines, no zolC7xxW warning.
  EXPECT_EQ(r.err, kSample + ": Regist start...\n" + kSample + ": Indexing start...\n" + kSample +
                       ": Regist end\n");
  // The progress lines of -v are compared byte for byte by the compile identity test.
}

TEST(CompileTool, DictionaryGoesBesideTheDefinitionWithoutItsExtension) {
  TempDir dir;
  writeFile(dir.file("my.cars.def"), ":WORDS:SYNONYM\ncar\nautomobile\n");
  ToolResult r = runTool(kCompile, {"-f", dir.file("my.cars.def"), "-ccsid", "819"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(hasDictionary(dir, "my.cars"));
  EXPECT_FALSE(fileExists(dir.file("my.wdf")));
}

TEST(CompileTool, ParameterErrorsUseTheMessageTableAndExit2) {
  TempDir dir;
  writeFile(dir.file("a.def"), ":WORDS:SYNONYM\ncar\nautomobile\n");
  struct Case {
    std::vector<std::string> args;
    std::string err;  // expected start of standard error
  };
  const std::string missing = dir.file("missing.def");
  const std::string longPath = "/" + std::string(2100, 'x') + ".def";
  // The longest file name Linux allows, but too long a dictionary name for the lock files.
  const std::string longName = dir.file(std::string(253, 'n') + ".d");
  writeFile(longName, ":WORDS:SYNONYM\ncar\nautomobile\n");
  const Case cases[] = {
      {{"-ccsid", "1208"}, "Parameter error. \n\tNo definition file name specified.\n"},
      {{"-f", missing, "-ccsid", "1208"},
       "Parameter error: " + missing + "\n\tThe definition file does not exist.\n"},
      {{"-f", dir.path(), "-ccsid", "1208"},
       "Parameter error: " + dir.path() + "\n\tThe definition file is a directory.\n"},
      {{"-f", longPath, "-ccsid", "1208"},
       "Parameter error: " + longPath + "\n\tThe definition file path is too long."},
      {{"-f", longName, "-ccsid", "1208"},
       "Parameter error: " + longName + "\n\tThe definition file name is too long.\n"},
      {{"-f", dir.file("a.def"), "-ccsid", "1200"}, "Invalid CCSID specified: 1200\n"},
      {{"-f", dir.file("a.def"), "-ccsid", "12x8"}, "Invalid CCSID specified: 12x8\n"},
      {{"-f", dir.file("a.def"), "-ccsid", "1208", "-targetDirectory", ""},
       "Parameter error. \n\tNo target directory specified.\n"},
      {{"-f", dir.file("a.def"), "-ccsid", "1208", "-targetDirectory", dir.file("none")},
       "Parameter error: " + dir.file("none") + "\n\tThe target directory does not exist.\n"},
      {{"-f", dir.file("a.def")}, "thesaurus-compile: option -ccsid is required\nUsage: "},
      {{"-f", dir.file("a.def"), "-ccsid"}, "thesaurus-compile: option -ccsid needs a value\n"},
      {{"-f", dir.file("a.def"), "-ccsid", "1208", "-x"}, "thesaurus-compile: unknown option -x\n"},
      {{"-f", dir.file("a.def"), "-ccsid", "1208", "-f", dir.file("a.def")},
       "thesaurus-compile: option -f given twice\n"},
      {{"a.def"}, "thesaurus-compile: unexpected argument 'a.def'\n"},
  };
  for (const Case& c : cases) {
    ToolResult r = runTool(kCompile, c.args);
    EXPECT_EQ(r.exitCode, 2) << c.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(dir.list(), (std::vector<std::string>{"a.def", std::string(253, 'n') + ".d"}));
  // A usage error shows the synopsis of the message table.
  ToolResult r = runTool(kCompile, {"-nope"});
  EXPECT_NE(r.err.find("(-f <definition file>)\n(-ccsid <code page of definition file>)\n"),
            std::string::npos)
      << r.err;
}

TEST(CompileTool, DefinitionErrorsExit8AndKeepTheOldDictionary) {
  TempDir dir;
  writeFile(dir.file("d.def"), ":WORDS:SYNONYM\ncar\nautomobile\n");
  ASSERT_EQ(runTool(kCompile, {"-f", dir.file("d.def"), "-ccsid", "1208"}).exitCode, 0);
  const std::string before = testsupport::readFile(dir.file("d.wdv"));

  writeFile(dir.file("d.def"), ":WORDS:SYNONYM\nbus\ncoach\napple :101\n");
  ToolResult r = runTool(kCompile, {"-f", dir.file("d.def"), "-ccsid", "1208"});
  EXPECT_EQ(r.exitCode, 8);
  EXPECT_NE(r.err.find("thesaurus-compile: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("line 4"), std::string::npos) << r.err;
  EXPECT_EQ(testsupport::readFile(dir.file("d.wdv")), before);

  writeFile(dir.file("d.def"), "* nothing but a comment\n");
  r = runTool(kCompile, {"-f", dir.file("d.def"), "-ccsid", "1208"});
  EXPECT_EQ(r.exitCode, 8);
  EXPECT_NE(r.err.find("Empty definition."), std::string::npos) << r.err;
  EXPECT_EQ(testsupport::readFile(dir.file("d.wdv")), before);
}

TEST(CompileTool, WarningsGoToStandardErrorOrOneLinePerIdAndTheRestIsCompiled) {
  TempDir dir;
  writeFile(dir.file("w.def"),
            ":WORDS\nlonely\n:WORDS\nalone\n"         // two blocks without relation: zolC703W
            ":WORDS:SYNONYM\ncar\nauto\ncar :50\n");  // car repeated: zolC705W
  ToolResult r = runTool(kCompile, {"-f", dir.file("w.def"), "-ccsid", "1208"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("zolC703W: Warning: line 3:"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("zolC705W: Warning: line 6: Equivalent to the word in line 8."),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(hasDictionary(dir, "w"));
  // -q: one line per warning id.
  r = runTool(kCompile, {"-f", dir.file("w.def"), "-ccsid", "1208", "-q"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err,
            "thesaurus-compile: zolC703W 2 times: a block without a relation, dropped\n"
            "thesaurus-compile: zolC705W 1 time: a word repeated within a block, the earlier "
            "line dropped\n");
  EXPECT_EQ(r.out, "");
  // A failure still says why after the summary.
  writeFile(dir.file("w.def"), ":WORDS\nlonely\n:WORDS:SYNONYM\nbus\napple :101\n");
  r = runTool(kCompile, {"-f", dir.file("w.def"), "-ccsid", "1208", "-q"});
  EXPECT_EQ(r.exitCode, 8);
  EXPECT_EQ(r.err.rfind("thesaurus-compile: zolC703W 1 time: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("line 5"), std::string::npos) << r.err;
}

TEST(CompileTool, TerminalShowsOneStatusLineAtMostFourTimesASecond) {
  TempDir dir;
  synthetic::Options options;
  options.occurrences = 300000;
  ASSERT_GT(synthetic::writeDefinition(dir.file("big.def"), options), 0u);
  double seconds = 0;
  ToolResult r = toolstest::runToolOnTerminal(
      kCompile, {"-f", dir.file("big.def"), "-ccsid", "1208"}, &seconds);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  // Every drawing rewrites the line from its start; the engine's own stage lines give way to it.
  const std::string drawn = "\rthesaurus-compile: " + dir.file("big.def") + ": ";
  std::size_t draws = 0;
  for (std::size_t at = r.err.find(drawn); at != std::string::npos; at = r.err.find(drawn, at + 1))
    ++draws;
  EXPECT_GE(draws, 1u) << r.err;
  EXPECT_LE(static_cast<double>(draws), 4 * seconds + 2) << seconds << " s\n" << r.err;
  EXPECT_EQ(r.err.find("Regist start"), std::string::npos) << r.err;
  // The last drawing is erased again (before a warning, or at the end).
  EXPECT_LT(r.err.rfind(drawn), r.err.rfind("\r\x1b[K")) << r.err;
}

}  // namespace
