// thesaurus-compile: compiles a definition file into a thesaurus dictionary.
//
//   thesaurus-compile -f <definition file> -ccsid <ccsid> [-targetDirectory <dir>] [-q] [-v]
//
// The dictionary takes the definition file's base name without its extension and is written
// into the target directory, or else beside the definition file. An existing dictionary of
// that name is replaced once the new one is complete. Warnings about the definition go to
// standard error, or with -q only one line per warning id with its count; -v adds the engine's
// progress lines on standard output. Without -v, a terminal on standard error shows one status
// line while the compilation runs.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "engine_console.h"
#include "thesaurus_engine/cnet.h"
#include "tool_common.h"

using namespace thestool;

namespace {

const char kTool[] = "thesaurus-compile";

// Longest dictionary name whose files ("<name>.wdf", "<name>.$00", ...) still fit a file name.
constexpr std::size_t kNameMax = 251;

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int parameterError(const std::string& text) {
  printError(text);
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string optF = message(kOptF), optCcsid = message(kOptCcsid), optV = message(kOptV),
                    optTarget = message(kOptTargetDirectory);
  const std::vector<OptionSpec> specs = {
      {optF, true},
      {optCcsid, true},
      {optTarget, true},
      {"q", false, "", "quiet: instead of each warning, one line per warning id with its count"},
      {optV, false}};
  Options opts;
  std::string error = parseOptions(argc, argv, specs, &opts);
  if (!error.empty()) return usageError(kTool, error, kCompilerSynopsis);
  if (opts.has("help")) return printHelp(kCompilerTitle, kCompilerHelp, specs);
  if (opts.has("version")) return printVersion(kTool);

  const std::string& path = opts.value(optF);
  if (path.empty()) return parameterError(message(kNoDefinitionFile));
  if (path.size() > CNET_NAME_MAX)
    return parameterError(message(kDefinitionPathTooLong, path.c_str()));
  if (isDirectory(path)) {
    return parameterError("Parameter error: " + path + "\n\tThe definition file is a directory.");
  }
  if (!isFile(path)) return parameterError(message(kDefinitionMissing, path.c_str()));

  // Directory and base name of the definition file; the name loses its extension.
  std::string::size_type slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? "."
                          : slash == 0               ? "/"
                                                     : path.substr(0, slash);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string::size_type dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  if (name.size() > kNameMax) return parameterError(message(kDefinitionNameTooLong, path.c_str()));

  if (!opts.has(optCcsid))
    return usageError(kTool, "option -" + optCcsid + " is required", kCompilerSynopsis);
  uint16_t ccsid = 0;
  uint8_t codePage = 0;
  if (!parseCcsid(opts.value(optCcsid), &ccsid, &codePage)) {
    return parameterError(message(kInvalidCcsid) + ": " + opts.value(optCcsid));
  }

  if (opts.has(optTarget)) {
    directory = opts.value(optTarget);
    if (directory.empty()) return parameterError(message(kNoTargetDirectory));
    if (directory.size() > CNET_NAME_MAX) {
      return parameterError(message(kDefinitionPathTooLong, directory.c_str()));
    }
    if (!isDirectory(directory)) {
      return parameterError("Parameter error: " + directory +
                            "\n\tThe target directory does not exist.");
    }
  }
  if (directory.find('\t') != std::string::npos || name.find('\t') != std::string::npos) {
    return parameterError("Parameter error: " + path +
                          "\n\tA tab cannot be part of a dictionary name.");
  }

  CNETDEF def = {};
  def.kind = CNET_DEF_FILE;
  def.path = path.c_str();
  CNETCODE code = {};
  code.codePage = codePage;
  CNETEXEC exec = {};
  exec.flags = CNET_EXEC_REPLACE | CNET_EXEC_WARNINGS;
  const bool verbose = opts.has(optV);
  if (verbose) exec.flags |= CNET_EXEC_PROGRESS;
  // On a terminal the progress lines become one status line on standard error.
  const bool progress = !verbose && standardErrorIsTerminal();
  EngineConsole console(kTool, path, opts.has("q"), progress, path);
  if (console.start() && progress) exec.flags |= CNET_EXEC_PROGRESS;
  CNETSTATUS status = {};
  zolCNETregist(name.c_str(), directory.c_str(), &def, &code, &exec, nullptr, &status);
  console.finish();
  std::fflush(stdout);
  if (status.retcode != 0) {
    printError(std::string(kTool) + ": " + engineMessage(status));
    return kExitFailed;
  }
  if (verbose)
    std::printf("Dictionary %s/%s written (CCSID %u).\n", directory.c_str(), name.c_str(), ccsid);
  return kExitOk;
}
