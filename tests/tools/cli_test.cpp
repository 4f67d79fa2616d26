// What every tool shares: help with -h, -help and --help that names every option the manual page
// documents and no option the tool refuses, and --version.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "support/temp_dir.h"
#include "thesaurus_engine/cnet.h"
#include "tool_runner.h"

using toolstest::runTool;
using toolstest::ToolResult;

namespace {

struct Tool {
  const char* name;
  std::string path;
};

const Tool kTools[] = {
    {"thesaurus-compile", THES_COMPILE}, {"thesaurus-lookup", THES_LOOKUP},
    {"thesaurus-admin", THES_ADMIN},     {"thesaurus-map-migrate", THES_MIGRATE},
#ifdef THES_IMPORT
    {"thesaurus-import", THES_IMPORT},
#endif
};

// The options a manual page documents: each "\-name" (not "\-\-name") on the .B, .BI and .BR
// lines of its OPTIONS section.
std::set<std::string> manualOptions(const std::string& page) {
  std::set<std::string> out;
  const std::string text = testsupport::readFile(page);
  static const std::regex line(R"(\n\.B[IR]? [^\n]*)"), name(R"((^|[^-])\\-([A-Za-z]+))");
  const std::string options = text.substr(text.find(".SH OPTIONS"));
  for (std::sregex_iterator it(options.begin(), options.end(), line), end; it != end; ++it) {
    const std::string l = it->str();
    for (std::sregex_iterator n(l.begin(), l.end(), name); n != end; ++n)
      out.insert((*n)[2]);
  }
  return out;
}

// The options a help text names: every "-name" after a blank, a bracket or a comma.
std::set<std::string> helpOptions(const std::string& help) {
  std::set<std::string> out;
  static const std::regex word(R"((^|[\s(\[{|,])-([A-Za-z]+))");
  for (std::sregex_iterator it(help.begin(), help.end(), word), end; it != end; ++it)
    out.insert((*it)[2]);
  return out;
}

TEST(ToolConventions, HelpNamesEveryDocumentedOptionAndOnlyAcceptedOnes) {
  for (const Tool& tool : kTools) {
    SCOPED_TRACE(tool.name);
    ToolResult help = runTool(tool.path, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.err, "");
    for (const char* spelling : {"-h", "-help"})
      EXPECT_EQ(runTool(tool.path, {spelling}).out, help.out) << spelling;

    const std::set<std::string> documented =
        manualOptions(std::string(THES_MANUALS) + "/" + tool.name + ".1");
    const std::set<std::string> named = helpOptions(help.out);
    EXPECT_GE(documented.size(), 4u);
    for (const std::string& option : documented)
      EXPECT_TRUE(named.count(option)) << "--help does not name -" << option;
    for (const std::string& option : named) {
      EXPECT_TRUE(documented.count(option)) << "the manual page does not document -" << option;
      // The tool knows every option its help names (it may want a value or other options).
      ToolResult r = runTool(tool.path, {"-" + option});
      EXPECT_EQ(r.err.find("unknown option"), std::string::npos) << "-" << option << ": " << r.err;
    }

    ToolResult version = runTool(tool.path, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string(tool.name) + " " + cnetVersion() + "\n");
    ToolResult wrong = runTool(tool.path, {"--no-such-option"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.err.find("unknown option --no-such-option"), std::string::npos) << wrong.err;
  }
}

}  // namespace
