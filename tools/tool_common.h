// Shared pieces of the thesaurus command-line tools: argument parsing, the texts of the
// message table, dictionary path splitting, CCSID mapping and the exit codes.
//
// Every tool accepts options of the form "-name" or "-name value"; "-h" and "-help" print the
// tool's help text. An unknown option, a missing value or an option given twice is a usage
// error (exit 2); a failed operation exits 8; success exits 0. The tools are single-threaded.
#ifndef TOOLS_TOOL_COMMON_H
#define TOOLS_TOOL_COMMON_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "thesaurus_engine/cnet.h"

namespace thestool {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 8;

// Numbers of the message table that the tools use by name.
enum Msg : unsigned {
  kOptF = 79,
  kOptCcsid = 80,
  kOptV = 81,
  kOptTerm = 82,
  kOptMaxTerms = 83,
  kOptMaxDepth = 84,
  kOptStrength = 85,
  kOptRelType = 86,
  kOptRelName = 87,
  kOptTargetDirectory = 88,
  kOptTargetFile = 89,
  kOptCheck = 90,
  kOptRecreate = 91,
  kOptClear = 92,
  kCompilerTitle = 93,
  kCompilerSynopsis = 94,
  kCompilerHelp = 95,
  kLookupTitle = 96,
  kLookupSynopsis = 97,
  kLookupHelp = 98,
  kAdminTitle = 99,
  kAdminSynopsis = 100,
  kAdminHelp = 101,
  kDefinitionMissing = 102,
  kNoDefinitionFile = 103,
  kDefinitionPathTooLong = 104,
  kDefinitionNameTooLong = 105,
  kNoTargetDirectory = 106,
  kRelationTypeInvalid = 135,
  kRelationNameInvalid = 136,
  kInvalidCcsid = 146,
};

// The text of message `number` of the message table with %1 and %2 filled in.
std::string message(unsigned number, const char* p1 = nullptr, const char* p2 = nullptr);

// One option a tool accepts: its name without the leading '-' and whether a value follows.
struct OptionSpec {
  std::string name;
  bool takesValue;
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
// description of the usage error. "-h" and "-help" are always accepted (name "help"), and so
// are "--version" and "-version" (name "version").
std::string parseOptions(int argc, const char* const* argv, const std::vector<OptionSpec>& specs,
                         Options* out);

// Reads a decimal integer that must fill the whole text and lie in [low, high].
bool parseInteger(const std::string& text, long low, long high, long* out);

// Prints "<tool>: <error>" and the synopsis (message synopsisNumber) to standard error and
// returns kExitUsage.
int usageError(const char* tool, const std::string& error, unsigned synopsisNumber);

// Prints the title and the help text of a tool to standard output; returns kExitOk.
int printHelp(unsigned titleNumber, unsigned helpNumber);

// Prints "<tool> <library version>" to standard output; returns kExitOk.
int printVersion(const char* tool);

// A dictionary named by a path: the directory part ("." for none, "/" for the root) and the
// base name with a dictionary file extension (.wdf, .wdv, .grf, .grv) removed.
struct DictionaryPath {
  std::string directory;
  std::string name;
};
// Splits path; returns false (with *error set) when no name remains or the path holds a tab.
bool splitDictionaryPath(const std::string& path, DictionaryPath* out, std::string* error);

// Maps a CCSID to the engine's code page number; false for an unsupported CCSID.
bool codePageOfCcsid(unsigned long ccsid, uint8_t* codePage);

// Reads a CCSID option value; false when it is not a number or not supported.
bool parseCcsid(const std::string& text, uint16_t* ccsid, uint8_t* codePage);

// The engine's message text for a failed status.
std::string engineMessage(const CNETSTATUS& status);

// Prints text to standard error, ending it with exactly one line end.
void printError(const std::string& text);

}  // namespace thestool

#endif  // TOOLS_TOOL_COMMON_H
