// thesaurus-lookup run as a real process on the compiled sample thesaurus.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"
#include "tool_runner.h"

using testsupport::readFile;
using testsupport::TempDir;
using toolstest::lines;
using toolstest::runTool;
using toolstest::ToolResult;

namespace {

const std::string kCompile = THES_COMPILE;
const std::string kLookup = THES_LOOKUP;
const std::string kSample = THES_SAMPLE;
const std::string kExpected = THES_EXPECTED;

// One compiled sample for all tests of this file; the tests only read it.
class LookupTool : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    ToolResult r =
        runTool(kCompile, {"-f", kSample, "-ccsid", "1208", "-targetDirectory", dir_->path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string dict() { return dir_->file("vehicles"); }

  // Runs the lookup on the sample with args after "-f <dictionary>".
  static ToolResult lookup(std::vector<std::string> args) {
    args.insert(args.begin(), {"-f", dict()});
    return runTool(kLookup, args);
  }

  static TempDir* dir_;
};

TempDir* LookupTool::dir_ = nullptr;

// One result line of the text format: indentation, term, relation and strength.
struct Line {
  int depth;
  std::string term, relation;
  int strength;
};

Line parseLine(const std::string& line) {
  Line l{};
  std::string::size_type text = line.find_first_not_of(' ');
  l.depth = static_cast<int>(text / 2);
  std::string::size_type open = line.rfind(" ["), space = line.rfind(' ');
  l.term = line.substr(text, open - text);
  l.relation = line.substr(open + 2, space - open - 2);
  l.strength = std::atoi(line.c_str() + space + 1);
  return l;
}

TEST_F(LookupTool, OutputsMatchTheExpectedFiles) {
  struct Case {
    std::vector<std::string> args;
    const char* expected;
  };
  const Case cases[] = {
      {{"-term", "car", "-relType", "BT"}, "car_broader.txt"},
      {{"-term", "Car", "-relType", "NT,UF", "-maxDepth", "1"}, "car_narrower_synonyms.txt"},
      {{"-term", "car", "-relType", "NT", "-relName", "2", "-format", "tsv"}, "car_parts.tsv"},
      {{"-term", "bike", "-relType", "BT,UF", "-maxDepth", "2", "-format", "dot"}, "bike.dot"},
      {{"-term", "car", "-relType", "RT", "-relName", "4"}, "car_translations.txt"},
      {{"-global"}, "global.txt"},
      {{"-expand", "car & garage"}, "expand_car_garage.txt"},
      // Long options, with their value after a blank or after '='.
      {{"--term=car", "--relType", "BT"}, "car_broader.txt"},
      {{"--term", "car", "--relType=BT", "-format", "json"}, "car_broader.json"},
      {{"-term", "b?ke", "-wildcard", "*?", "-relType", "UF", "-maxDepth", "1"},
       "bike_wildcard.txt"},
  };
  for (const Case& c : cases) {
    ToolResult r = lookup(c.args);
    EXPECT_EQ(r.exitCode, 0) << c.expected << ": " << r.err;
    // The JSON document names the dictionary as given, which lies in a new directory each run.
    std::string out = r.out;
    const std::string named = "\"dictionary\": \"" + dict() + "\"";
    if (out.rfind("{" + named, 0) == 0) out.replace(1, named.size(), "\"dictionary\": \"DICT\"");
    EXPECT_EQ(out, readFile(kExpected + "/" + c.expected)) << c.expected;
    EXPECT_EQ(r.err, "") << c.expected;
  }
}

TEST_F(LookupTool, RelationSelectionFollowsOnlyTheChosenRelations) {
  // Each named relation alone gives only its own tag.
  for (const char* type : {"UF", "RT", "BT", "NT"}) {
    ToolResult r = lookup({"-term", "truck", "-relType", type});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_FALSE(r.out.empty()) << type;
    for (const std::string& line : lines(r.out))
      EXPECT_EQ(parseLine(line).relation, type) << line;
  }
  // Numbered relation 3 of every family: only RT(3) exists for "diesel".
  ToolResult r = lookup({"-term", "diesel", "-relName", "3", "-maxDepth", "1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const std::string& line : lines(r.out))
    EXPECT_EQ(parseLine(line).relation, "RT(3)");
  // diesel's own strength is that of its first occurrence (60), which bounds its relations.
  EXPECT_NE(r.out.find("  truck [RT(3) 60]\n"), std::string::npos) << r.out;

  // -relName 0 means the named relation of the family.
  EXPECT_EQ(lookup({"-term", "car", "-relType", "BT", "-relName", "0"}).out,
            readFile(kExpected + "/car_broader.txt"));

  // The default and -all follow every relation, named and numbered.
  ToolResult all = lookup({"-term", "car", "-maxDepth", "1", "-all"});
  ToolResult dflt = lookup({"-term", "car", "-maxDepth", "1"});
  EXPECT_EQ(all.out, dflt.out);
  for (const char* tag :
       {"[UF ", "[RT ", "[BT ", "[NT ", "[RT(3) ", "[NT(2) ", "[RT(1) ", "[RT(4) ", "[RT(5) "}) {
    EXPECT_NE(all.out.find(tag), std::string::npos) << tag << "\n" << all.out;
  }

  // PT is the synonym of highest strength.
  r = lookup({"-term", "car", "-relType", "PT"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "  automobile [UF 90]\n");
}

TEST_F(LookupTool, LimitsOnDepthStrengthAndTermsHold) {
  ToolResult deep = lookup({"-term", "vehicle", "-relType", "NT", "-maxDepth", "3", "-maxTerms",
                            "1000", "-format", "tsv"});
  ASSERT_EQ(deep.exitCode, 0) << deep.err;
  std::vector<std::string> rows = lines(deep.out);
  ASSERT_GT(rows.size(), 20u);
  int lastDepth = 0, maxDepth = 0;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    // index, depth, term, relation, strength, parent
    int depth = std::atoi(rows[i].substr(rows[i].find('\t') + 1).c_str());
    EXPECT_GE(depth, lastDepth) << "breadth-first order broken at " << rows[i];
    lastDepth = depth;
    maxDepth = std::max(maxDepth, depth);
    int parent = std::atoi(rows[i].substr(rows[i].rfind('\t') + 1).c_str());
    if (depth > 1) {
      EXPECT_GE(parent, 0) << rows[i];
      EXPECT_LT(parent, static_cast<int>(i - 1)) << rows[i];
    }
  }
  EXPECT_EQ(maxDepth, 3);

  ToolResult weak = lookup({"-term", "car", "-maxDepth", "2", "-maxTerms", "1000"});
  ToolResult strong =
      lookup({"-term", "car", "-maxDepth", "2", "-maxTerms", "1000", "-strength", "80"});
  ASSERT_EQ(strong.exitCode, 0) << strong.err;
  std::vector<std::string> strongLines = lines(strong.out);
  EXPECT_LT(strongLines.size(), lines(weak.out).size());
  ASSERT_FALSE(strongLines.empty());
  for (const std::string& line : strongLines)
    EXPECT_GE(parseLine(line).strength, 80) << line;

  // The term limit cuts the list, and -v says that terms were left out.
  ToolResult cut = lookup({"-term", "car", "-maxTerms", "3", "-v"});
  ASSERT_EQ(cut.exitCode, 0) << cut.err;
  EXPECT_EQ(lines(cut.out).size(), 3u);
  EXPECT_EQ(lines(weak.out)[0], lines(cut.out)[0]);
  EXPECT_NE(cut.err.find("3 terms (more terms left out at -maxTerms)"), std::string::npos)
      << cut.err;
  ToolResult whole = lookup({"-term", "sedan", "-relType", "UF", "-v"});
  EXPECT_NE(whole.err.find("\n1 terms\n"), std::string::npos) << whole.err;
}

TEST_F(LookupTool, AccentedAndMultiWordTermsAreFound) {
  ToolResult r = lookup({"-term", "Coupé", "-relType", "UF"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "  coupe [UF 90]\n");
  r = lookup({"-term", "Straßenbahn", "-relName", "4"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("  tram [RT(4) 90]\n"), std::string::npos) << r.out;
  r = lookup({"-term", "station wagon", "-relType", "UF"});
  EXPECT_EQ(r.out, "  estate car [UF 90]\n  estate [UF 54]\n");
}

TEST_F(LookupTool, ExpansionWidensEveryWordOfTheQuery) {
  ToolResult r = lookup({"-expand", "bike | \"sailing boat\"", "-relType", "UF"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "(bike | bicycle^90 | cycle^72 | push-bike^54) | (\"sailing boat\" | \"sailboat\"^90 | "
            "\"yacht\"^60)\n");
  // Unknown words stay as they are.
  r = lookup({"-expand", "zebra & car", "-relType", "UF", "-strength", "90"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "zebra & (car | automobile^90)\n");
  r = lookup({"-expand", "car &", "-relType", "UF"});
  EXPECT_EQ(r.exitCode, 8);
  EXPECT_NE(r.err.find("thesaurus-lookup: "), std::string::npos);
}

TEST_F(LookupTool, FailuresAndUsageErrorsHaveTheirExitCodes) {
  // A term that is not there is no failure: exit 1, as grep says for no match.
  ToolResult r = lookup({"-term", "zebra"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "thesaurus-lookup: 'zebra' is not in the dictionary\n");

  r = runTool(kLookup, {"-f", dir_->file("none"), "-term", "car"});
  EXPECT_EQ(r.exitCode, 8);
  EXPECT_NE(r.err.find("Kernel return code: 543"), std::string::npos) << r.err;

  const std::vector<std::pair<std::vector<std::string>, std::string>> usage = {
      {{"-term", "car", "-relType", "XX"}, "Relationship type XX is invalid."},
      {{"-term", "car", "-relName", "129"}, "Relationship name 129 is invalid."},
      {{"-term", "car", "-relType", "PT,NT"}, "PT stands alone"},
      {{"-term", "car", "-all", "-relName", "2"}, "-all goes without -relType and -relName"},
      {{"-term", "car", "-maxTerms", "0"}, "-maxTerms is a number from 1 to"},
      {{"-term", "car", "-maxDepth", "x"}, "-maxDepth is a number"},
      {{"-term", "car", "-strength", "101"}, "-strength is a number from 0 to 100"},
      {{"-term", "car", "-format", "xml"}, "-format is text, tsv, dot or json"},
      {{"-term", "car", "-wildcard", "***"}, "-wildcard takes one or two different characters"},
      {{"-wildcard", "*"}, "goes with -term"},
      {{"-expand", "car", "-format", "tsv"}, "with -format text or json only"},
      {{"--term=car", "--all=yes"}, "option --all takes no value"},
      {{"-term", std::string(65, 'a')}, "-term takes 1 to 64 bytes"},
      {{"-term", "car", "-expand", "car"}, "-expand goes without"},
      {{"-global", "-term", "car"}, "-global goes without"},
      {{"-expand", "car", "-relType", "PT"}, "PT goes without -expand"},
      {{"-expand", "car", "-maxTerms", "65"}, "-maxTerms is a number from 1 to 64"},
      {{"-term"}, "option -term needs a value"},
      {{"-color"}, "unknown option -color"},
  };
  for (const auto& [args, text] : usage) {
    r = lookup(args);
    EXPECT_EQ(r.exitCode, 2) << text;
    EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  r = lookup({"-ccsid", "1200", "-term", "car"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "Invalid CCSID specified: 1200\n");
  r = runTool(kLookup, {"-term", "car"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("(-f <thesaurus file>)\n"), std::string::npos) << r.err;
}

}  // namespace
