// Shared pieces of the command-line tools (see tool_common.h).
#include "tool_common.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common_services/cos_exception.h"
#include "common_services/cos_message.h"
#include "tyk_cnet/tyk_thesaurus.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_message_table.h"

namespace thestool {

const std::string Options::empty_;

const std::string& Options::value(const std::string& name, const std::string& fallback) const {
  auto it = values_.find(name);
  return it == values_.end() ? fallback : it->second;
}

std::string message(unsigned number, const char* p1, const char* p2) {
  try {
    CosClMessageCatalog catalog("");
    catalog.useStringTable(gs_apszTykMessageTable, TYK_MESSAGE_COUNT);
    CosClMessage text(catalog, number, p1, p2);
    return text.getText();
  } catch (const CosClException& e) {
    return std::string("message table unusable: ") + e.getCause();
  }
}

std::string parseOptions(int argc, const char* const* argv, const std::vector<OptionSpec>& specs,
                         Options* out) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg[0] != '-' || arg[1] == '\0') return std::string("unexpected argument '") + arg + "'";
    std::string name = arg + 1;
    if (name == "h" || name == "help") {
      out->set("help", "");
      continue;
    }
    if (name == "-version" || name == "version") {
      out->set("version", "");
      continue;
    }
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& s : specs) {
      if (s.name == name) spec = &s;
    }
    if (spec == nullptr) return "unknown option -" + name;
    if (out->has(name)) return "option -" + name + " given twice";
    if (!spec->takesValue) {
      out->set(name, "");
      continue;
    }
    if (i + 1 >= argc) return "option -" + name + " needs a value";
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

int usageError(const char* tool, const std::string& error, unsigned synopsisNumber) {
  std::fprintf(stderr, "%s: %s\nUsage: %s\n%s", tool, error.c_str(), tool,
               message(synopsisNumber).c_str());
  return kExitUsage;
}

int printHelp(unsigned titleNumber, unsigned helpNumber) {
  std::printf("%s\n\n%s", message(titleNumber).c_str(), message(helpNumber).c_str());
  return kExitOk;
}

int printVersion(const char* tool) {
  std::printf("%s %s\n", tool, cnetVersion());
  return kExitOk;
}

bool splitDictionaryPath(const std::string& path, DictionaryPath* out, std::string* error) {
  // The engine reads a tab as the separator of two directories, which are used unlocked.
  if (path.find('\t') != std::string::npos) {
    *error = "'" + path + "': a tab cannot be part of a dictionary path";
    return false;
  }
  std::string::size_type slash = path.rfind('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (slash == std::string::npos) {
    out->directory.assign(1, '.');
  } else if (slash == 0) {
    out->directory.assign(1, '/');
  } else {
    out->directory = path.substr(0, slash);
  }
  static const char* const kExtensions[] = {".wdf", ".wdv", ".grf", ".grv"};
  for (const char* ext : kExtensions) {
    std::size_t n = std::strlen(ext);
    if (base.size() > n && base.compare(base.size() - n, n, ext) == 0) {
      base.resize(base.size() - n);
      break;
    }
  }
  if (base.empty()) {
    *error = "'" + path + "' names no dictionary";
    return false;
  }
  if (out->directory.size() > CNET_NAME_MAX || base.size() > CNET_NAME_MAX) {
    *error = "'" + path + "' is too long";
    return false;
  }
  out->name = base;
  return true;
}

bool codePageOfCcsid(unsigned long ccsid, uint8_t* codePage) {
  if (ccsid > 0xFFFF) return false;
  try {
    *codePage = map2ZOLCCSID(static_cast<uint16_t>(ccsid));
    return true;
  } catch (const TykClException&) {
    return false;
  }
}

bool parseCcsid(const std::string& text, uint16_t* ccsid, uint8_t* codePage) {
  long v = 0;
  if (!parseInteger(text, 0, 65535, &v)) return false;
  if (!codePageOfCcsid(static_cast<unsigned long>(v), codePage)) return false;
  *ccsid = static_cast<uint16_t>(v);
  return true;
}

std::string engineMessage(const CNETSTATUS& status) {
  char text[CNET_MESSAGE_SIZE] = {0};
  zolCNETgetMessage(34, &status, text);
  text[CNET_MESSAGE_SIZE - 1] = '\0';
  return text;
}

void printError(const std::string& text) {
  std::string t = text;
  while (!t.empty() && t.back() == '\n')
    t.pop_back();
  std::fprintf(stderr, "%s\n", t.c_str());
}

}  // namespace thestool
