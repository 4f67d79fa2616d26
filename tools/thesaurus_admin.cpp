// thesaurus-admin: checks a dictionary, writes it back as a definition file, exports it as a
// synonym file or as SKOS, or removes it.
//
//   thesaurus-admin -f <dictionary> {-check | -recreate | -clear} [-targetFile <file>]
//                   [-replace] [-v]
//   thesaurus-admin -f <dictionary> -export synonyms|skos [-targetFile <file>] [-replace]
//                   [-strength <n>] [-base <IRI>] [-lang <tag>]
//
// The dictionary is named by its path without extension. -recreate needs -targetFile; -export
// writes to standard output without it. Neither overwrites an existing file unless -replace
// is given. -v shows the progress of the check and of the recreation; on a terminal the check
// shows one status line without it.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "dumped_dictionary.h"
#include "engine_console.h"
#include "skos_export.h"
#include "synonym_export.h"
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

// The usage lines of the message table and the line of -export.
std::string synopsis() {
  std::string text = message(kAdminSynopsis);
  while (text.size() > 1 && text.back() == '\n' && text[text.size() - 2] == '\n')
    text.pop_back();
  return text +
         "or: (-f <dictionary>) -export synonyms|skos ([-targetFile <file>]) ([-replace])\n"
         "    ([-strength <minimum strength>]) ([-base <IRI>]) ([-lang <language tag>])\n";
}

// Writes the dictionary in an export format to target (standard output when empty).
int runExport(const DictionaryPath& dict, const std::string& shown, const Options& opts,
              const std::string& target, bool replace) {
  const std::string format = opts.value("export");
  long strength = 0;
  if (format != "synonyms" && format != "skos")
    return usageError(kTool, "-export is synonyms or skos", synopsis());
  if (opts.has("strength") &&
      (format != "synonyms" || !parseInteger(opts.value("strength"), 0, 100, &strength))) {
    return usageError(kTool, "-strength is a number from 0 to 100 and goes with -export synonyms",
                      synopsis());
  }
  if ((opts.has("base") || opts.has("lang")) && format != "skos")
    return usageError(kTool, "-base and -lang go with -export skos", synopsis());
  const std::string base = opts.value("base", "urn:thesaurus:" + iriEncode(dict.name) + ":");
  const std::string& lang = opts.value("lang");
  for (char c : lang) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
      return usageError(kTool, "-lang takes a language tag such as en or pt-BR", synopsis());
  }
  for (char c : base) {
    if (static_cast<unsigned char>(c) <= ' ' ||
        std::string("<>\"{}|^`\\").find(c) != std::string::npos)
      return usageError(kTool, "-base takes an IRI without blanks and <>\"{}|^`\\", synopsis());
  }
  if (!target.empty() && !replace && ::access(target.c_str(), F_OK) == 0) {
    printError(std::string(kTool) + ": " + target + " exists; -replace overwrites it");
    return kExitFailed;
  }

  DumpedDictionary dumped;
  std::string error;
  if (!dumped.open(dict, &error)) {
    printError(std::string(kTool) + ": " + shown + ": " + error);
    return kExitFailed;
  }
  FILE* out = target.empty() ? stdout : std::fopen(target.c_str(), "w");
  if (out == nullptr) {
    printError(std::string(kTool) + ": cannot write " + target);
    return kExitFailed;
  }
  ExportCounts counts;
  bool ok = format == "skos"
                ? exportSkos(&dumped, out, base, lang, &counts, &error)
                : exportSynonyms(&dumped, out, static_cast<unsigned>(strength), &counts, &error);
  ok = std::fflush(out) == 0 && std::ferror(out) == 0 && ok;
  if (out != stdout) ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    printError(std::string(kTool) + ": " + shown + ": " +
               (error.empty() ? "writing " + (target.empty() ? "the output" : target) + " failed"
                              : error));
    if (!target.empty()) ::unlink(target.c_str());
    return kExitFailed;
  }
  std::fprintf(stderr, "%s: %s: %llu groups, %llu words and %llu relations written to %s", kTool,
               shown.c_str(), static_cast<unsigned long long>(counts.groups),
               static_cast<unsigned long long>(counts.words),
               static_cast<unsigned long long>(counts.relations),
               target.empty() ? "standard output" : target.c_str());
  if (counts.small > 0)
    std::fprintf(stderr, "; %llu groups with fewer than two words",
                 static_cast<unsigned long long>(counts.small));
  std::fprintf(stderr, "; %llu skipped that %s cannot hold\n",
               static_cast<unsigned long long>(counts.skipped),
               format == "skos" ? "SKOS" : "a synonym file");
  return kExitOk;
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
      {"export", true, "synonyms|skos",
       "write the dictionary as a synonym file or as SKOS in Turtle (-targetFile, or standard "
       "output)"},
      {optTarget, true},
      {"replace", false, "", "overwrite an existing -targetFile"},
      {"strength", true, "<0..100>", "-export synonyms: only words of at least this strength"},
      {"base", true, "<IRI>", "-export skos: namespace of the concepts' IRIs"},
      {"lang", true, "<tag>", "-export skos: language tag of the labels"},
      {optV, false}};
  Options opts;
  std::string error = parseOptions(argc, argv, specs, &opts);
  if (!error.empty()) return usageError(kTool, error, synopsis());
  if (opts.has("help")) return printHelp(kAdminTitle, kAdminHelp, specs);
  if (opts.has("version")) return printVersion(kTool);

  int actions =
      opts.has(optCheck) + opts.has(optRecreate) + opts.has(optClear) + opts.has("export");
  if (actions != 1) {
    return usageError(
        kTool,
        "give exactly one of -" + optCheck + ", -" + optRecreate + ", -" + optClear + ", -export",
        synopsis());
  }
  if (!opts.has(optF) || opts.value(optF).empty()) {
    return usageError(kTool, "option -" + optF + " is required", synopsis());
  }
  DictionaryPath dict;
  if (!splitDictionaryPath(opts.value(optF), &dict, &error)) {
    return usageError(kTool, error, synopsis());
  }
  const bool writes = opts.has(optRecreate) || opts.has("export");
  if (opts.has(optTarget) && !writes) {
    return usageError(
        kTool, "option -" + optTarget + " belongs to -" + optRecreate + " and -export", synopsis());
  }
  if (opts.has("replace") && !writes) {
    return usageError(kTool, "option -replace belongs to -" + optRecreate + " and -export",
                      synopsis());
  }
  if (!opts.has("export") && (opts.has("strength") || opts.has("base") || opts.has("lang"))) {
    return usageError(kTool, "options -strength, -base and -lang belong to -export", synopsis());
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
  if (opts.has("export")) {
    if (opts.has(optTarget) && (target.empty() || target.size() > CNET_NAME_MAX))
      return usageError(kTool, "-" + optTarget + " takes a file name", synopsis());
    return runExport(dict, shown, opts, target, opts.has("replace"));
  }
  if (target.empty()) {
    return usageError(kTool, "-" + optRecreate + " needs -" + optTarget + " <file>", synopsis());
  }
  if (target.size() > CNET_NAME_MAX) {
    return usageError(kTool, "-" + optTarget + " is too long", synopsis());
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
