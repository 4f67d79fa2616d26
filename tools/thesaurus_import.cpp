// thesaurus-import: turns a thesaurus in SKOS (Turtle or N-Triples) or a synonym file into a
// definition file that thesaurus-compile accepts.
//
//   thesaurus-import -f <file> [-format turtle|ntriples|synonyms] [-targetFile <file>]
//                    [-replace] [-lang <tag>] [-q] [-tempDirectory <dir>] [-memory <MiB>]
//
// The format follows from the extension (.ttl, .nt, .txt or .syn) unless -format names it;
// "-f -" reads standard input. The definition goes to -targetFile (written beside it under a
// temporary name and renamed when complete) or to standard output. Warnings about what is left
// out, and the counts at the end, go to standard error; -q leaves only the counts. Exit status:
// 0 done, 2 usage error, 8 failed (unreadable input, a syntax error, a failed write).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "definition_writer.h"
#include "import_report.h"
#include "skos_reader.h"
#include "synonym_reader.h"
#include "tool_options.h"

using namespace thestool;

namespace {

const char kTool[] = "thesaurus-import";
const char kSynopsis[] =
    "(-f <SKOS or synonym file, - for standard input>)\n"
    "([-format turtle|ntriples|synonyms])\n([-targetFile <definition file>]) ([-replace])\n"
    "([-lang <language tag>]) ([-q]) ([-tempDirectory <dir>]) ([-memory <MiB>])\n";
const char kHelp[] =
    "Thesaurus Import\n\n"
    "Writes a definition file for thesaurus-compile from a thesaurus in SKOS (Turtle or\n"
    "N-Triples) or from a synonym file (\"a, b, c\" equivalents, \"a, b => c\" mappings).\n"
    "Each SKOS concept becomes a synonym block of its labels in the chosen language, with its\n"
    "broader, narrower, related and mapping relations as relation lines.\n\n";

bool endsWith(const std::string& text, const char* tail) {
  const std::string t = tail;
  return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
}

// The format named by -format or by the input's extension; empty when neither says.
std::string formatOf(const Options& opts, const std::string& input) {
  if (opts.has("format")) return opts.value("format");
  if (endsWith(input, ".ttl")) return "turtle";
  if (endsWith(input, ".nt")) return "ntriples";
  if (endsWith(input, ".txt") || endsWith(input, ".syn")) return "synonyms";
  return "";
}

int failed(const std::string& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: %s\n", kTool, text.c_str());
  return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<OptionSpec> specs = {
      {"f", true, "<file>", "the SKOS or synonym file; - reads standard input"},
      {"format", true, "turtle|ntriples|synonyms",
       "the input's format (default: from the extension .ttl, .nt, .txt or .syn)"},
      {"targetFile", true, "<file>", "the definition file to write (default: standard output)"},
      {"replace", false, "", "overwrite an existing -targetFile"},
      {"lang", true, "<tag>",
       "language of the labels (default: labels without a tag, then en); labels without a tag "
       "come after the language's own"},
      {"q", false, "", "quiet: no warning per skipped label, only the counts at the end"},
      {"tempDirectory", true, "<dir>",
       "directory for the sort's temporary files (default: $TMPDIR or /tmp)"},
      {"memory", true, "<MiB>", "memory for sorting SKOS, 3 to 4096 (default 42)"}};
  Options opts;
  std::string error = parseOptions(argc, argv, specs, &opts);
  if (!error.empty()) return usageError(kTool, error, kSynopsis);
  if (opts.has("help")) return printHelp(kHelp, specs);
  if (opts.has("version")) return printVersion(kTool);

  const std::string& input = opts.value("f");
  if (input.empty()) return usageError(kTool, "option -f is required", kSynopsis);
  const std::string format = formatOf(opts, input);
  if (format != "turtle" && format != "ntriples" && format != "synonyms") {
    return usageError(kTool,
                      format.empty()
                          ? "-format is needed: the extension of " + input + " names no format"
                          : "-format is turtle, ntriples or synonyms",
                      kSynopsis);
  }
  if (format == "synonyms" && opts.has("lang"))
    return usageError(kTool, "-lang goes with SKOS input", kSynopsis);
  for (char c : opts.value("lang")) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
      return usageError(kTool, "-lang takes a language tag such as en or pt-BR", kSynopsis);
  }
  long memory = 42;
  if (opts.has("memory") && !parseInteger(opts.value("memory"), 3, 4096, &memory))
    return usageError(kTool, "-memory is a number of MiB from 3 to 4096", kSynopsis);
  const std::string& target = opts.value("targetFile");
  if (opts.has("targetFile") && target.empty())
    return usageError(kTool, "-targetFile takes a file name", kSynopsis);
  if (opts.has("replace") && target.empty())
    return usageError(kTool, "-replace goes with -targetFile", kSynopsis);
  if (!target.empty() && !opts.has("replace") && ::access(target.c_str(), F_OK) == 0)
    return failed(target + " exists; -replace overwrites it");
  const char* tmp = std::getenv("TMPDIR");
  const std::string tempDirectory =
      opts.value("tempDirectory", tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp");

  FILE* in = input == "-" ? stdin : std::fopen(input.c_str(), "rbe");
  if (in == nullptr) return failed("cannot read " + input);
  // The definition is written under a temporary name beside the target and renamed at the end.
  std::string partial;
  FILE* out = stdout;
  if (!target.empty()) {
    partial = target + ".XXXXXX";
    int fd = ::mkostemp(partial.data(), O_CLOEXEC);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (fd >= 0) ::fchmod(fd, 0666 & ~mask);
    out = fd < 0 ? nullptr : ::fdopen(fd, "w");
    if (out == nullptr) {
      if (in != stdin) std::fclose(in);
      return failed("cannot write " + target);
    }
  }
  static char buffer[1 << 20];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);

  const std::string shown = input == "-" ? "standard input" : input;
  ImportReport report(kTool, shown, opts.has("q"), format != "synonyms");
  DefinitionWriter writer(out);
  writer.comment("Imported by thesaurus-import from " + shown + " (" + format +
                 (format == "synonyms"
                      ? ""
                      : ", language " + (opts.has("lang") ? opts.value("lang") : "untagged, en")) +
                 ")");
  bool ok;
  if (format == "synonyms") {
    ok = readSynonyms(in, &writer, &report);
    if (!ok) error = shown + ": reading failed";
  } else {
    SkosOptions options;
    options.turtle = format == "turtle";
    options.lang = opts.value("lang");
    options.tempDirectory = tempDirectory;
    options.sortMemory = static_cast<std::size_t>(memory) << 20;
    ok = readSkos(in, shown, options, &writer, &report, &error);
  }
  if (in != stdin) std::fclose(in);
  ok = ok && std::fflush(out) == 0 && !writer.failed();
  if (out != stdout) {
    ok = std::fclose(out) == 0 && ok;
    if (ok && std::rename(partial.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) ::unlink(partial.c_str());
  }
  if (!ok)
    return failed(error.empty()
                      ? "writing " + (target.empty() ? "the definition" : target) + " failed"
                      : error);
  report.summary(writer, target.empty() ? "standard output" : target);
  return kExitOk;
}
