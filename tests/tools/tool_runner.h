// Runs a command-line tool as a child process and collects its exit code, standard output and
// standard error, for the tests of the real tool binaries.
#ifndef TESTS_TOOLS_TOOL_RUNNER_H
#define TESTS_TOOLS_TOOL_RUNNER_H

#include <string>
#include <vector>

namespace toolstest {

struct ToolResult {
  int exitCode = -1;  // the exit status; 128 + signal when the tool was killed
  std::string out;    // standard output
  std::string err;    // standard error
};

// Runs program with args (argv[1..]) and waits for it; stdin is /dev/null.
ToolResult runTool(const std::string& program, const std::vector<std::string>& args);

// Runs program like runTool, but with standard error on a pseudo-terminal (so that the tool
// sees a terminal there); err receives what the terminal showed, its line ends as "\r\n".
// elapsedSeconds receives the run's wall-clock time.
ToolResult runToolOnTerminal(const std::string& program, const std::vector<std::string>& args,
                             double* elapsedSeconds);

// text with every occurrence of from replaced by to.
std::string replaced(std::string text, const std::string& from, const std::string& to);

// The lines of text, without their line ends.
std::vector<std::string> lines(const std::string& text);

// text without the engine's progress time stamps ("Mon Dec 07 02:11:14 2026: "), so that
// progress output can be compared exactly.
std::string withoutTimestamps(const std::string& text);

}  // namespace toolstest

#endif  // TESTS_TOOLS_TOOL_RUNNER_H
