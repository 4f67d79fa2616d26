// The compiler's output stays byte for byte what it was: the four dictionary files, the word
// index, the warnings and the progress lines of thesaurus-compile -v for the sample and for
// generated definitions, compared with digests stored from an earlier build. The small cases
// run with the unit tests, the 1M and 4M definitions under the slow label.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>

#include "support/synthetic_definition.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

namespace {

using testsupport::TempDir;
using toolstest::runTool;
using toolstest::ToolResult;

// FNV-1a, 64 bits.
std::string digest(const std::string& bytes) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, h);
  return text;
}

// Compiles <dir>/<name>.def and digests everything it produced; the directory reads "<dir>".
std::string compileDigests(const TempDir& dir, const std::string& name) {
  ToolResult r = runTool(THES_COMPILE, {"-v", "-f", dir.file(name + ".def"), "-ccsid", "1208",
                                        "-targetDirectory", dir.path()});
  EXPECT_EQ(r.exitCode, 0) << r.err.substr(0, 2000);
  std::string out =
      "out " +
      digest(toolstest::replaced(toolstest::withoutTimestamps(r.out), dir.path(), "<dir>")) +
      " err " + digest(toolstest::replaced(r.err, dir.path(), "<dir>"));
  for (const char* ext : {"wdf", "wdv", "grf", "grv", "wix"}) {
    out += std::string(" ") + ext + " " + digest(testsupport::readFile(dir.file(name + "." + ext)));
  }
  return out;
}

std::string generatedDigests(uint64_t occurrences) {
  TempDir dir;
  synthetic::Options options;
  options.occurrences = occurrences;
  EXPECT_EQ(synthetic::writeDefinition(dir.file("gen.def"), options), occurrences);
  return compileDigests(dir, "gen");
}

TEST(CompileIdentitySmall, Sample) {
  TempDir dir;
  testsupport::writeFile(dir.file("vehicles.def"), testsupport::readFile(THES_SAMPLE));
  EXPECT_EQ(compileDigests(dir, "vehicles"),

            "out ba7c905c4cef3869 err b56fa342ba320e98 wdf 5d98cb1e638bd4e9"
            " wdv 8a4780d0430cad22 grf bd79f4abc608bc07 grv 1bdd721814608439 wix 197047c535772cfd");
}

TEST(CompileIdentitySmall, Generated250k) {
  EXPECT_EQ(generatedDigests(250000),
            "out c1a9b330368e0a2d err ef577d20433359a8 wdf d5987ecbe3bcdb7d"
            " wdv 58a63adc11b1988e grf 0d728089c26fca29 grv 6a9c03548f010674 wix f44b5c43da9ed7b8");
}

TEST(CompileIdentityLarge, Generated1M) {
  EXPECT_EQ(generatedDigests(1000000),
            "out 206627e04c0555f0 err ffea83dd127357c0 wdf 569fdfad2f4ad8bd"
            " wdv 3e1e104cc5bad3a2 grf 2e8f19d71d8e3185 grv 52ab2b41546c975c wix 830fa0d6112f28c9");
}

TEST(CompileIdentityLarge, Generated4M) {
  EXPECT_EQ(generatedDigests(4000000),
            "out f20d5f6167bb7ad5 err 38f03ce7ba9846a3 wdf e75c9ab3547c9a08"
            " wdv c24efd3acedb7c9d grf 0d5a8d3eed5e5b0e grv 812d2d929ded82a5 wix a1ce8b50e0ecd4c3");
}

}  // namespace
