// thesaurus-admin: checks a dictionary, writes it back as a definition file, or removes it.
//
//   thesaurus-admin -f <dictionary> {-check | -recreate | -clear} [-targetFile <file>]
//                   [-replace] [-v]
//
// The dictionary is named by its path without extension. -recreate needs -targetFile and does
// not overwrite an existing file unless -replace is given. -v shows the progress of the check
// and of the recreation.
#include <cstdio>
#include <string>

#include "engine_console.h"
#include "thesaurus_engine/cnet.h"
#include "tool_common.h"

using namespace thestool;

namespace {

const char kTool[] = "thesaurus-admin";

// Prints the engine's message for a failed operation on dictionary `shown`.
int failed(const std::string& shown, const CNETSTATUS& status) {
  std::fflush(stdout);
  printError(std::string(kTool) + ": " + shown + ": " + engineMessage(status));
  return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string optF = message(kOptF), optV = message(kOptV),
                    optTarget = message(kOptTargetFile), optCheck = message(kOptCheck),
                    optRecreate = message(kOptRecreate), optClear = message(kOptClear);
  const std::vector<OptionSpec> specs = {
      {optF, true},
      {optCheck, false},
      {optRecreate, false, "", "write the dictionary back as a definition file (-targetFile)"},
      {optClear, false, "", "remove the dictionary's files"},
      {optTarget, true},
      {"replace", false, "", "overwrite an existing -targetFile"},
      {optV, false}};
  Options opts;
  std::string error = parseOptions(argc, argv, specs, &opts);
  if (!error.empty()) return usageError(kTool, error, kAdminSynopsis);
  if (opts.has("help")) return printHelp(kAdminTitle, kAdminHelp, specs);
  if (opts.has("version")) return printVersion(kTool);

  int actions = opts.has(optCheck) + opts.has(optRecreate) + opts.has(optClear);
  if (actions != 1) {
    return usageError(kTool,
                      "give exactly one of -" + optCheck + ", -" + optRecreate + ", -" + optClear,
                      kAdminSynopsis);
  }
  if (!opts.has(optF) || opts.value(optF).empty()) {
    return usageError(kTool, "option -" + optF + " is required", kAdminSynopsis);
  }
  DictionaryPath dict;
  if (!splitDictionaryPath(opts.value(optF), &dict, &error)) {
    return usageError(kTool, error, kAdminSynopsis);
  }
  if (opts.has(optTarget) && !opts.has(optRecreate)) {
    return usageError(kTool, "option -" + optTarget + " belongs to -" + optRecreate,
                      kAdminSynopsis);
  }
  if (opts.has("replace") && !opts.has(optRecreate)) {
    return usageError(kTool, "option -replace belongs to -" + optRecreate, kAdminSynopsis);
  }

  const bool verbose = opts.has(optV);
  CNETEXEC exec = {};
  exec.flags = CNET_EXEC_WARNINGS | (verbose ? CNET_EXEC_PROGRESS : 0);
  CNETSTATUS status = {};
  const std::string shown = dict.directory + "/" + dict.name;

  if (opts.has(optCheck)) {
    // On a terminal the progress of the check is one status line on standard error.
    const bool progress = !verbose && standardErrorIsTerminal();
    EngineConsole console(kTool, shown, false, progress);
    if (console.start()) exec.flags |= CNET_EXEC_PROGRESS;
    zolCNETverify(dict.name.c_str(), dict.directory.c_str(), &exec, 0, 0, &status);
    console.finish();
    if (status.retcode != 0) return failed(shown, status);
    std::printf("Dictionary %s is consistent.\n", shown.c_str());
    return kExitOk;
  }

  if (opts.has(optClear)) {
    // Clearing a dictionary that is not there would succeed silently; say so instead.
    CNETSTATUS probe = {};
    if (cnetExist(dict.name.c_str(), dict.directory.c_str(), nullptr, &probe) == 0 &&
        probe.retcode == 0) {
      probe.retcode = CNET_NOT_EXIST;
      return failed(shown, probe);
    }
    zolCNETclear(dict.name.c_str(), dict.directory.c_str(), &status);
    if (status.retcode != 0) return failed(shown, status);
    std::printf("Dictionary %s removed.\n", shown.c_str());
    return kExitOk;
  }

  const std::string& target = opts.value(optTarget);
  if (target.empty()) {
    return usageError(kTool, "-" + optRecreate + " needs -" + optTarget + " <file>",
                      kAdminSynopsis);
  }
  if (target.size() > CNET_NAME_MAX) {
    return usageError(kTool, "-" + optTarget + " is too long", kAdminSynopsis);
  }
  CNETDEF def = {};
  def.kind = CNET_DEF_FILE;
  def.path = target.c_str();
  if (opts.has("replace")) exec.flags |= CNET_EXEC_REPLACE;
  zolCNETdump(dict.name.c_str(), dict.directory.c_str(), nullptr, &def, &exec, 0, &status);
  if (status.retcode != 0) return failed(shown, status);
  std::printf("Definition file %s written from dictionary %s.\n", target.c_str(), shown.c_str());
  return kExitOk;
}
