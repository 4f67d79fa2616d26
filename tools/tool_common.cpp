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

int usageError(const char* tool, const std::string& error, unsigned synopsisNumber) {
  return usageError(tool, error, message(synopsisNumber));
}

int printHelp(unsigned titleNumber, unsigned helpNumber, const std::vector<OptionSpec>& specs) {
  return printHelp(message(titleNumber) + "\n\n" + message(helpNumber), specs);
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

uint16_t ccsidOfCodePage(uint8_t codePage) {
  static const uint16_t kCcsids[] = {1208, 819,  850,  874,  1250, 1251, 1252, 1253, 1254,
                                     1255, 1256, 1257, 1258, 932,  942,  943,  5039, 954,
                                     950,  949,  970,  1363, 1381, 1383, 1386};
  for (uint16_t ccsid : kCcsids) {
    uint8_t page = 0;
    if (codePageOfCcsid(ccsid, &page) && page == codePage) return ccsid;
  }
  return 0;
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
