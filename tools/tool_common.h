// Shared pieces of the thesaurus command-line tools: the texts of the message table, dictionary
// path splitting, CCSID mapping and the engine's messages. Option parsing and the exit codes
// are in tool_options.h. The tools call these from one thread.
#ifndef TOOLS_TOOL_COMMON_H
#define TOOLS_TOOL_COMMON_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "thesaurus_engine/cnet.h"
#include "tool_options.h"

namespace thestool {

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

// Prints "<tool>: <error>" and the synopsis (message synopsisNumber) to standard error and
// returns kExitUsage.
int usageError(const char* tool, const std::string& error, unsigned synopsisNumber);

// Prints the title and the help text of a tool (message numbers) followed by the options of
// specs that the message text does not describe; returns kExitOk.
int printHelp(unsigned titleNumber, unsigned helpNumber, const std::vector<OptionSpec>& specs);

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

// The CCSID of an engine code page number among the CCSIDs the tools accept; 0 for none.
uint16_t ccsidOfCodePage(uint8_t codePage);

// Reads a CCSID option value; false when it is not a number or not supported.
bool parseCcsid(const std::string& text, uint16_t* ccsid, uint8_t* codePage);

// The engine's message text for a failed status.
std::string engineMessage(const CNETSTATUS& status);

// Prints text to standard error, ending it with exactly one line end.
void printError(const std::string& text);

}  // namespace thestool

#endif  // TOOLS_TOOL_COMMON_H
