// Command-line option parsing of the thesaurus tools, and the help, version and usage texts
// built from the same option tables.
//
// Every option is written "-name" or "-name value", and also "--name", "--name value" and
// "--name=value" as Linux users write long options. "-h", "-help" and "--help" ask for the help
// text, "-version" and "--version" for the version. An unknown option, a missing value or an
// option given twice is a usage error (exit 2). The tools are single-threaded here.
#ifndef TOOLS_TOOL_OPTIONS_H
#define TOOLS_TOOL_OPTIONS_H

#include <map>
#include <string>
#include <vector>

namespace thestool {

constexpr int kExitOk = 0;
constexpr int kExitNotFound = 1;  // a lookup found nothing, as grep says for no match
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 8;

// One option a tool accepts: its name without the leading '-', whether a value follows, and,
// for options that the tool's message-table help does not describe, the value's placeholder
// and a one-line description that --help adds under "Further options".
struct OptionSpec {
  std::string name;
  bool takesValue = false;
  std::string valueName = "";
  std::string help = "";
};

// The options found on a command line; each name at most once.
class Options {
 public:
  bool has(const std::string& name) const { return values_.count(name) != 0; }
  // The value of an option, or fallback when it was not given.
  const std::string& value(const std::string& name, const std::string& fallback = empty_) const;
  void set(const std::string& name, const std::string& value) { values_[name] = value; }

 private:
  static const std::string empty_;
  std::map<std::string, std::string> values_;
};

// Parses argv[1 .. argc) against specs. Returns an empty string on success, else a one-line
// description of the usage error. Help is recorded under the name "help" and the version under
// "version".
std::string parseOptions(int argc, const char* const* argv, const std::vector<OptionSpec>& specs,
                         Options* out);

// Reads a decimal integer that must fill the whole text and lie in [low, high].
bool parseInteger(const std::string& text, long low, long high, long* out);

// Prints "<tool>: <error>" and the synopsis to standard error and returns kExitUsage.
int usageError(const char* tool, const std::string& error, const std::string& synopsis);

// Prints the help text of a tool to standard output: the text given, then the options of specs
// that carry their own description or that the text does not name, then -h/--help and
// --version, so that the help names every option the tool accepts. Returns kExitOk.
int printHelp(const std::string& text, const std::vector<OptionSpec>& specs);

// Prints "<tool> <library version>" to standard output; returns kExitOk.
int printVersion(const char* tool);

}  // namespace thestool

#endif  // TOOLS_TOOL_OPTIONS_H
