// thesaurus-import and the export of thesaurus-admin run as real processes: synonym files and
// the transport vocabulary (SKOS in Turtle and N-Triples) imported, compiled, looked up,
// exported and imported again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tool_runner.h"

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using toolstest::replaced;
using toolstest::runTool;
using toolstest::ToolResult;

namespace {

const std::string kImport = THES_IMPORT;
const std::string kCompile = THES_COMPILE;
const std::string kAdmin = THES_ADMIN;
const std::string kLookup = THES_LOOKUP;
const std::string kSource = THES_SOURCE_DIR;
const std::string kExpected = THES_EXPECTED;
const std::string kTurtle = kSource + "/samples/transport.ttl";
const std::string kNTriples = kSource + "/samples/transport.nt";

// text without its first line (the import's comment naming its source).
std::string body(const std::string& text) {
  return text.substr(text.find('\n') + 1);
}

// Imports input into dir/<name>.def and compiles it; the dictionary is dir/<name>.
void importAndCompile(const TempDir& dir, const std::string& input, const std::string& name,
                      std::vector<std::string> options = {}) {
  options.insert(options.begin(), {"-f", input, "-targetFile", dir.file(name + ".def"), "-q"});
  ToolResult r = runTool(kImport, options);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = runTool(kCompile, {"-f", dir.file(name + ".def"), "-ccsid", "1208"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_EQ(r.err.find("Warning"), std::string::npos) << r.err;
}

std::string recreated(const TempDir& dir, const std::string& name) {
  ToolResult r = runTool(kAdmin, {"-f", dir.file(name), "-recreate", "-targetFile",
                                  dir.file(name + ".dump"), "-replace"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return readFile(dir.file(name + ".dump"));
}

TEST(ImportTool, SynonymFileGivesTheExpectedDefinitionAndWarnings) {
  const std::string input = kSource + "/tests/tools/data/synonyms.txt";
  ToolResult r = runTool(kImport, {"-f", input});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(body(r.out), readFile(kExpected + "/synonyms.def"));
  EXPECT_EQ(replaced(r.err, input, "INPUT"), readFile(kExpected + "/synonyms.err"));
  // -q leaves only the two lines of counts.
  r = runTool(kImport, {"--f=" + input, "-q"});
  EXPECT_EQ(toolstest::lines(r.err).size(), 2u) << r.err;
}

TEST(ImportTool, TurtleAndNTriplesGiveTheSameDefinition) {
  ToolResult turtle = runTool(kImport, {"-f", kTurtle});
  ToolResult ntriples = runTool(kImport, {"-f", kNTriples, "-q"});
  ASSERT_EQ(turtle.exitCode, 0) << turtle.err;
  ASSERT_EQ(ntriples.exitCode, 0) << ntriples.err;
  EXPECT_EQ(body(turtle.out), body(ntriples.out));
  EXPECT_EQ(replaced(turtle.err, kTurtle, "INPUT"), readFile(kExpected + "/transport.err"));
  // Every block head is followed by member lines before any relation line.
  EXPECT_EQ(turtle.out.find(":WORDS:SYNONYM\n  ."), std::string::npos);
}

TEST(ImportTool, VocabularyAnswersLookupsAndSurvivesTheRoundTrips) {
  TempDir dir;
  importAndCompile(dir, kTurtle, "transport");
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"-term", "lorry", "-relType", "PT"}, "  truck [UF 80]\n"},    // altLabel to prefLabel
      {{"-term", "steamer", "-relType", "PT"}, "  ship [UF 80]\n"},   // a label with blanks
      {{"-term", "station", "-relType", "PT"}, "  depot [UF 80]\n"},  // untagged before en
      {{"-term", "car", "-relType", "BT", "-maxDepth", "2"},          // broader
       "  road vehicle [BT 100]\n    land vehicle [BT 100]\n"},
      {{"-term", "tram", "-relType", "RT", "-maxDepth", "1"},  // related, one direction given
       "  pantograph [RT 100]\n  track [RT 100]\n  tram route [RT 100]\n"},
      {{"-term", "heavy goods vehicle", "-relType", "RT", "-relName", "1", "-maxDepth", "1"},
       "  truck [RT(1) 100]\n"},  // exactMatch
      {{"-term", "hgv", "-relType", "RT", "-relName", "2", "-maxDepth", "1"},
       "  semi-trailer truck [RT(2) 100]\n"},  // closeMatch
      {{"-term", "cargo aircraft", "-relType", "RT", "-relName", "3", "-maxDepth", "1"},
       "  air freight [RT(3) 100]\n"},  // relatedMatch
      {{"-term", "rail freight", "-relType", "BT", "-relName", "4", "-maxDepth", "1"},
       "  train [BT(4) 100]\n"},  // broadMatch
      {{"-term", "carrier vehicle", "-relType", "NT", "-relName", "4", "-maxDepth", "1"},
       "  van [NT(4) 100]\n"},  // narrowMatch
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), {"-f", dir.file("transport")});
    ToolResult r = runTool(kLookup, args);
    EXPECT_EQ(r.exitCode, 0) << c.args[1] << ": " << r.err;
    EXPECT_EQ(r.out, c.out) << c.args[1];
  }
  // German labels were left out, and the other language gives another dictionary.
  EXPECT_EQ(runTool(kLookup, {"-f", dir.file("transport"), "-term", "LKW"}).exitCode, 1);
  importAndCompile(dir, kNTriples, "transport-de", {"-lang", "de"});
  EXPECT_EQ(
      runTool(kLookup, {"-f", dir.file("transport-de"), "-term", "LKW", "-relType", "PT"}).out,
      "  lastkraftwagen [UF 80]\n");

  // SKOS round trip: the exported Turtle imports to a dictionary that dumps identically.
  const std::string first = recreated(dir, "transport");
  ToolResult r = runTool(kAdmin, {"-f", dir.file("transport"), "-export", "skos", "-targetFile",
                                  dir.file("again.ttl"), "-base", "http://example.org/t/"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "thesaurus-admin: " + dir.file("transport") +
                       ": 273 groups, 472 words and 445 relations written to " +
                       dir.file("again.ttl") + "; 0 skipped that SKOS cannot hold\n");
  importAndCompile(dir, dir.file("again.ttl"), "again");
  EXPECT_EQ(recreated(dir, "again"), first);

  // Synonym files: one line per concept, the preferred label first; exported, imported and
  // exported again, the lines stay the same.
  r = runTool(kAdmin, {"-f", dir.file("transport"), "-export", "synonyms"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\ntruck, lorry\n"), std::string::npos) << r.out;
  std::string exported = r.out;
  for (const char* name : {"syn1", "syn2"}) {
    writeFile(dir.file(std::string(name) + ".txt"), exported);
    importAndCompile(dir, dir.file(std::string(name) + ".txt"), name);
    const std::string again = runTool(kAdmin, {"-f", dir.file(name), "-export", "synonyms"}).out;
    if (std::string(name) == "syn2") {
      EXPECT_EQ(again, exported);
    }
    exported = again;
  }
  // Only the words of at least a strength: alternative labels (80) stay, hidden ones (50) go.
  r = runTool(kAdmin, {"-f", dir.file("transport"), "-export", "synonyms", "-strength", "60"});
  EXPECT_NE(r.out.find("\nbicycle, bike, cycle, push-bike\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("bycicle"), std::string::npos);
}

TEST(ImportTool, ExitStatusesAndMessages) {
  TempDir dir;
  writeFile(dir.file("bad.ttl"),
            "@prefix skos: <http://www.w3.org/2004/02/skos/core#> .\n"
            "<a:x> skos:prefLabel \"x\" ;\n  skos:altLabel .\n");
  writeFile(dir.file("undefined.ttl"), "<a:x> skos:prefLabel \"x\" .\n");
  writeFile(dir.file("exists.def"), "keep\n");
  writeFile(dir.file("words.txt"), "a, b\n");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;  // a part of standard error
  };
  const Case cases[] = {
      {{}, 2, "option -f is required"},
      {{"-f", dir.file("words.dat")}, 2, "-format is needed"},
      {{"-f", dir.file("words.txt"), "-format", "xml"}, 2, "-format is turtle, ntriples or"},
      {{"-f", dir.file("words.txt"), "-lang", "de"}, 2, "-lang goes with SKOS input"},
      {{"-f", kTurtle, "-lang", "e n"}, 2, "-lang takes a language tag"},
      {{"-f", kTurtle, "-memory", "2"}, 2, "-memory is a number of MiB from 3"},
      {{"-f", kTurtle, "-replace"}, 2, "-replace goes with -targetFile"},
      {{"-f", dir.file("missing.ttl")}, 8, "cannot read " + dir.file("missing.ttl")},
      {{"-f", dir.file("bad.ttl")}, 8, dir.file("bad.ttl") + ":3:"},
      {{"-f", dir.file("undefined.ttl")}, 8, "undefined prefix in 'skos:prefLabel'"},
      {{"-f", dir.file("words.txt"), "-targetFile", dir.file("exists.def")},
       8,
       "exists; -replace overwrites it"},
      {{"-f", kTurtle, "-targetFile", dir.file("none/x.def")}, 8, "cannot write"},
  };
  for (const Case& c : cases) {
    ToolResult r = runTool(kImport, c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.err << "\n" << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
  EXPECT_EQ(readFile(dir.file("exists.def")), "keep\n");
  // A failed import leaves no file behind, not even its partial one.
  EXPECT_EQ(dir.list(),
            (std::vector<std::string>{"bad.ttl", "exists.def", "undefined.ttl", "words.txt"}));
  ASSERT_EQ(runTool(kImport, {"-f", dir.file("words.txt"), "-targetFile", dir.file("exists.def"),
                              "-replace", "-q"})
                .exitCode,
            0);
  EXPECT_EQ(body(readFile(dir.file("exists.def"))), ":WORDS:SYNONYM\n  a\n  b  :80\n");
}

TEST(AdminTool, ExportUsageAndFailures) {
  TempDir dir;
  writeFile(dir.file("d.def"), ":WORDS:SYNONYM\ncar\nauto :70\n:WORDS:RELATED(9)\ncar\nvan\n");
  ASSERT_EQ(runTool(kCompile, {"-f", dir.file("d.def"), "-ccsid", "1208"}).exitCode, 0);
  writeFile(dir.file("taken.ttl"), "keep\n");
  const std::string d = dir.file("d");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  };
  const Case cases[] = {
      {{"-f", d, "-export", "xml"}, 2, "-export is synonyms or skos"},
      {{"-f", d, "-export", "skos", "-strength", "50"}, 2, "goes with -export synonyms"},
      {{"-f", d, "-export", "synonyms", "-strength", "101"}, 2, "-strength is a number"},
      {{"-f", d, "-export", "synonyms", "-lang", "en"}, 2, "-base and -lang go with -export skos"},
      {{"-f", d, "-export", "skos", "-base", "http://a b/"}, 2, "-base takes an IRI"},
      {{"-f", d, "-check", "-lang", "en"}, 2, "belong to -export"},
      {{"-f", d, "-export", "skos", "-check"}, 2, "give exactly one of"},
      {{"-f", dir.file("none"), "-export", "skos"}, 8, "Dictionary does not exist."},
      {{"-f", d, "-export", "skos", "-targetFile", dir.file("taken.ttl")}, 8, "exists"},
  };
  for (const Case& c : cases) {
    ToolResult r = runTool(kAdmin, c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.err << "\n" << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << c.err;
  }
  EXPECT_EQ(readFile(dir.file("taken.ttl")), "keep\n");
  // What a format cannot hold is counted: the group of numbered relation 9 in both formats.
  ToolResult r = runTool(kAdmin, {"-f", d, "-export", "synonyms"});
  EXPECT_EQ(r.out, "car, auto\n");
  EXPECT_NE(r.err.find("; 1 skipped that a synonym file cannot hold"), std::string::npos) << r.err;
  r = runTool(kAdmin, {"-f", d, "-export", "skos", "-lang", "en"});
  EXPECT_NE(r.out.find("skos:prefLabel \"car\"@en ;\n    skos:altLabel \"auto\"@en"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.err.find("; 1 skipped that SKOS cannot hold"), std::string::npos) << r.err;
}

}  // namespace
