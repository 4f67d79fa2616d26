// thesaurus-admin run as a real process: check, recreate and clear of compiled dictionaries.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/temp_dir.h"
#include "tool_runner.h"

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using toolstest::runTool;
using toolstest::ToolResult;

namespace {

const std::string kCompile = THES_COMPILE;
const std::string kAdmin = THES_ADMIN;
const std::string kSample = THES_SAMPLE;

// Compiles the sample thesaurus into dir; the dictionary is dir/vehicles.
std::string compileSample(const TempDir& dir) {
  ToolResult r =
      runTool(kCompile, {"-f", kSample, "-ccsid", "1208", "-targetDirectory", dir.path()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return dir.file("vehicles");
}

void patchByte(const std::string& path, long offset, char value) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(offset);
  f.put(value);
}

TEST(AdminTool, CheckAcceptsAFreshDictionaryAndReportsDamage) {
  TempDir dir;
  const std::string dict = compileSample(dir);
  ToolResult r = runTool(kAdmin, {"-f", dict, "-check"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Dictionary " + dict + " is consistent.\n");
  EXPECT_EQ(r.err, "");

  // The dictionary may also be named by one of its files.
  r = runTool(kAdmin, {"-check", "-f", dict + ".wdf"});
  EXPECT_EQ(r.exitCode, 0) << r.err;

  // -v shows the verification's progress between its start and end lines.
  r = runTool(kAdmin, {"-f", dict, "-check", "-v"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::string out = toolstest::withoutTimestamps(r.out);
  std::string::size_type start = out.find("Verify start...\n"), pct = out.find("100%"),
                         end = out.find("Verify end\n");
  ASSERT_NE(start, std::string::npos) << out;
  ASSERT_NE(pct, std::string::npos) << out;
  ASSERT_NE(end, std::string::npos) << out;
  EXPECT_LT(start, pct);
  EXPECT_LT(pct, end);

  // The header's number of absent word records (offset 16, big-endian) no longer agrees.
  patchByte(dict + ".wdf", 19, 1);
  r = runTool(kAdmin, {"-f", dict, "-check"});
  EXPECT_EQ(r.exitCode, 8);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "thesaurus-admin: " + dict +
                       ": zolC541E: Error: Dictionary file integrity has been lost.  errcode = "
                       "4259\n");
}

TEST(AdminTool, RecreateWritesADefinitionThatCompilesToTheSameDictionary) {
  TempDir dir, two;
  const std::string dict = compileSample(dir);
  const std::string target = two.file("vehicles.def");
  ToolResult r = runTool(kAdmin, {"-f", dict, "-recreate", "-targetFile", target});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Definition file " + target + " written from dictionary " + dict + ".\n");
  const std::string first = readFile(target);
  EXPECT_NE(first.find("  .HIGHER_THAN(2)  engine\n"), std::string::npos);
  EXPECT_NE(first.find("coupé"), std::string::npos);

  // Compiled again, it gives the same dictionary and word index, byte for byte (so the same
  // answers to every lookup and the same definition when written out again).
  r = runTool(kCompile, {"-f", target, "-ccsid", "1208"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err.find("Warning"), std::string::npos) << r.err;
  for (const char* ext : {".wdf", ".wdv", ".grf", ".grv", ".wix"}) {
    EXPECT_EQ(readFile(dict + ext), readFile(two.file(std::string("vehicles") + ext))) << ext;
  }

  // An existing file stays as it is without -replace.
  writeFile(target, "keep me\n");
  r = runTool(kAdmin, {"-f", dict, "-recreate", "-targetFile", target});
  EXPECT_EQ(r.exitCode, 8);
  EXPECT_NE(r.err.find("Output file " + target + " exists."), std::string::npos) << r.err;
  EXPECT_EQ(readFile(target), "keep me\n");

  r = runTool(kAdmin, {"-f", dict, "-recreate", "-targetFile", target, "-replace", "-v"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(target), first);
  std::string out = toolstest::withoutTimestamps(r.out);
  EXPECT_NE(out.find("Dump start...\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Dump end\n"), std::string::npos) << out;
}

TEST(AdminTool, ClearRemovesEveryFileAndAMissingDictionaryFails) {
  TempDir dir;
  const std::string dict = compileSample(dir);
  writeFile(dir.file("other.txt"), "not ours\n");
  ToolResult r = runTool(kAdmin, {"-clear", "-f", dict});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Dictionary " + dict + " removed.\n");
  for (const std::string& name : dir.list()) {
    EXPECT_NE(name.rfind("vehicles.", 0), 0u) << name << " left behind";
  }
  EXPECT_TRUE(fileExists(dir.file("other.txt")));

  for (const char* action : {"-clear", "-check"}) {
    r = runTool(kAdmin, {"-f", dict, action});
    EXPECT_EQ(r.exitCode, 8) << action;
    EXPECT_EQ(r.err,
              "thesaurus-admin: " + dict + ": zolC543E: Error: Dictionary does not exist.\n");
  }
  r = runTool(kAdmin, {"-f", dict, "-recreate", "-targetFile", dir.file("y.def")});
  EXPECT_EQ(r.exitCode, 8);
  EXPECT_FALSE(fileExists(dir.file("y.def")));
}

TEST(AdminTool, UsageErrorsExit2) {
  TempDir dir;
  const std::string dict = dir.file("vehicles");
  const std::vector<std::vector<std::string>> bad = {
      {"-f", dict},
      {"-f", dict, "-check", "-clear"},
      {"-check"},
      {"-f", "", "-check"},
      {"-f", dir.path() + "/", "-check"},
      {"-f", dict, "-recreate"},
      {"-f", dict, "-check", "-targetFile", "x.def"},
      {"-f", dict, "-clear", "-replace"},
      {"-f", dict, "-check", "-check"},
      {"-f", dict, "-recreate", "-targetFile"},
      {"-f", dict, "-verify"},
      // A tab would make two directories, used without the lock.
      {"-f", dir.path() + "\t" + dir.path() + "/vehicles", "-clear"},
  };
  for (const auto& args : bad) {
    ToolResult r = runTool(kAdmin, args);
    EXPECT_EQ(r.exitCode, 2) << args.back();
    EXPECT_EQ(r.err.rfind("thesaurus-admin: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("{-check | -recreate | -clear}"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_TRUE(dir.list().empty());
}

}  // namespace
