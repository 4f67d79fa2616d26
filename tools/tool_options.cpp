// Command-line option parsing of the thesaurus tools (see tool_options.h).
#include "tool_options.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "thesaurus_engine/cnet.h"

namespace thestool {

const std::string Options::empty_;

const std::string& Options::value(const std::string& name, const std::string& fallback) const {
  auto it = values_.find(name);
  return it == values_.end() ? fallback : it->second;
}

std::string parseOptions(int argc, const char* const* argv, const std::vector<OptionSpec>& specs,
                         Options* out) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.size() < 2 || arg[0] != '-' || arg == "--") {
      return "unexpected argument '" + arg + "'";
    }
    // "--name=value" carries its value; "--name" is the same option as "-name".
    const bool longForm = arg[1] == '-';
    std::string name = arg.substr(longForm ? 2 : 1);
    std::string inlineValue;
    bool hasInlineValue = false;
    if (longForm) {
      std::string::size_type eq = name.find('=');
      if (eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        name.resize(eq);
        hasInlineValue = true;
      }
    }
    const std::string shown = (longForm ? "--" : "-") + name;
    if (name == "h" || name == "help" || name == "version") {
      if (hasInlineValue) return "option " + shown + " takes no value";
      out->set(name == "version" ? "version" : "help", "");
      continue;
    }
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& s : specs) {
      if (s.name == name) spec = &s;
    }
    if (spec == nullptr) return "unknown option " + shown;
    if (out->has(name)) return "option " + shown + " given twice";
    if (!spec->takesValue) {
      if (hasInlineValue) return "option " + shown + " takes no value";
      out->set(name, "");
      continue;
    }
    if (hasInlineValue) {
      out->set(name, inlineValue);
      continue;
    }
    if (i + 1 >= argc) return "option " + shown + " needs a value";
    out->set(name, argv[++i]);
  }
  return std::string();
}

bool parseInteger(const std::string& text, long low, long high, long* out) {
  if (text.empty() || text.size() > 18) return false;
  for (char c : text) {
    if ((c < '0' || c > '9') && c != '-') return false;
  }
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0' || v < low || v > high) return false;
  *out = v;
  return true;
}

int usageError(const char* tool, const std::string& error, const std::string& synopsis) {
  std::fprintf(stderr, "%s: %s\nUsage: %s\n%s", tool, error.c_str(), tool, synopsis.c_str());
  return kExitUsage;
}

int printHelp(const std::string& text, const std::vector<OptionSpec>& specs) {
  std::string out = text;
  // One row per option: "  -name <value>" padded to a column, then the description.
  // Descriptions are wrapped at 100 columns, continued under their first word.
  auto row = [&out](const std::string& left, const std::string& help) {
    std::string line = "  " + left;
    if (line.size() >= 30) {
      out += line + "\n";
      line.clear();
    }
    line.append(30 - line.size(), ' ');
    std::string::size_type start = 0;
    while (start < help.size()) {
      std::string::size_type end = help.size();
      if (line.size() + (end - start) > 100) end = help.rfind(' ', start + 100 - line.size());
      if (end == std::string::npos || end <= start) end = help.find(' ', start);
      if (end == std::string::npos) end = help.size();
      out += line + help.substr(start, end - start) + "\n";
      line.assign(30, ' ');
      start = end + 1;
    }
    if (help.empty()) out += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
  };
  // True when text names option as "-name" followed by no further letter.
  auto names = [&text](const std::string& option) {
    for (auto at = text.find("-" + option); at != std::string::npos;
         at = text.find("-" + option, at + 1)) {
      const std::size_t end = at + 1 + option.size();
      if (end == text.size() || !std::isalpha(static_cast<unsigned char>(text[end]))) return true;
    }
    return false;
  };
  // Every option is listed: those the text leaves out come here, with or without a description.
  bool first = true;
  for (const OptionSpec& s : specs) {
    if (s.help.empty() && names(s.name)) continue;
    if (first) out += "Further options:\n";
    first = false;
    row("-" + s.name + (s.takesValue ? " " + s.valueName : ""), s.help);
  }
  if (first) out += "Further options:\n";
  row("-h, -help, --help", "print this text");
  row("-version, --version", "print the version of the tool and of the library");
  out += "Every option may also be written with two dashes: --name value or --name=value.\n";
  std::fputs(out.c_str(), stdout);
  return kExitOk;
}

int printVersion(const char* tool) {
  std::printf("%s %s\n", tool, cnetVersion());
  return kExitOk;
}

}  // namespace thestool
