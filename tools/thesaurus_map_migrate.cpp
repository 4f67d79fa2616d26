// thesaurus-map-migrate: writes the 64-bit form of an index's name map files and document map
// files beside the old ones, or shows the entries of a map file.
//
//   thesaurus-map-migrate -directory <index directory> -index <index name> [-maps <list>]
//   thesaurus-map-migrate -show <map file>
//
// The maps are named by their file extensions: tf (field names), an and as (attribute names).
// Without -maps every map file the index has is converted; the document map files go with the
// first map (or alone when the index has no map file). The old files stay as they are. Exit
// status: 0 done, 2 usage error, 8 a map or document map file failed; 1 when a byte copy
// failed (its message is on standard output).
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tool_common.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_map_abase.h"

using namespace thestool;

namespace {

const char kTool[] = "thesaurus-map-migrate";

const char kSynopsis[] =
    "Usage: thesaurus-map-migrate -directory <index directory> -index <index name>\n"
    "                             [-maps <list>]\n"
    "       thesaurus-map-migrate -show <map file>\n";
const char kHelp[] =
    "\n"
    "Writes the 64-bit form of the index's name map files beside them, with \".64\" appended\n"
    "to each file name, and of its document map files (.dii, .did, .ded, .dei) with the first\n"
    "map. The old files are not changed; putting the new ones in place is left to you.\n"
    "\n"
    "  -directory <dir>  the directory of the index\n"
    "  -index <name>     the name of the index\n"
    "  -maps <list>      the maps to convert, comma-separated: tf (field names), an and as\n"
    "                    (attribute names); default: every map file the index has\n"
    "  -show <file>      print the entries of a (32-bit) map file instead\n"
    "  -h, -help, --help print this text\n"
    "  -version, --version\n"
    "                    print the version of the tool and of the library\n"
    "Every option may also be written with two dashes: --name value or --name=value.\n";

const char* const kMapKinds[] = {"tf", "an", "as"};

// The extension strings of a ReadMap, which must live as long as the map.
struct MapExtensions {
  std::string map;
  std::string shadow;
};

// A map read as it is on disk: any count up to what its file holds, nothing added, no shadow
// file touched.
class ReadMap : private MapExtensions, public TykClMapABase {
 public:
  ReadMap(const TykClIndexLocation& location, const std::string& extension,
          TykClErrorInfo& errorInfo)
      : MapExtensions{extension, extension + "$"},
        TykClMapABase(location, map.c_str(), shadow.c_str(), errorInfo, 0xFFFFFFFFu, 255, 255) {}

  using TykClMapABase::loadFromIndexFile;
};

int usage(const std::string& error) {
  std::fprintf(stderr, "%s: %s\n%s", kTool, error.c_str(), kSynopsis);
  return kExitUsage;
}

int failed(const TykClException& e) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: failed (return code %u, reason %u)\n", kTool,
               static_cast<unsigned>(e.getReturnCode()), static_cast<unsigned>(e.getReasonCode()));
  if (e.getContext()[0] != '\0') printError(e.getContext());
  return kExitFailed;
}

// Splits "a,b" into its parts; false for an unknown or repeated map kind.
bool parseMaps(const std::string& list, std::vector<std::string>* out) {
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type comma = list.find(',', start);
    const std::string kind = list.substr(start, comma - start);
    bool known = false;
    for (const char* k : kMapKinds)
      known = known || kind == k;
    for (const std::string& seen : *out)
      known = known && seen != kind;
    if (!known) return false;
    out->push_back(kind);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

int show(const std::string& path) {
  const CosClFilename file(path.c_str());
  const TykClIndexLocation location(file.getBaseName(), file.getDirectory(), file.getDirectory());
  TykClErrorInfo info;
  ReadMap map(location, file.getExtension(), info);
  map.init();
  map.loadFromIndexFile(file);
  map.display(stdout);
  return kExitOk;
}

int migrate(const std::string& directory, const std::string& index,
            const std::vector<std::string>& kinds, bool explicitKinds) {
  const TykClIndexLocation location(index.c_str(), directory.c_str(), directory.c_str());
  TykClErrorInfo info;
  int converted = 0;
  for (const std::string& kind : kinds) {
    ReadMap map(location, kind, info);
    const CosClFilename file(location.getIndexDirectory(), index.c_str(), kind.c_str());
    if (!file.isExistent()) {
      if (!explicitKinds) continue;
      std::fprintf(stderr, "%s: map file %s does not exist\n", kTool, file.getFullName());
      return kExitFailed;
    }
    map.init();
    // A file already in the 64-bit form cannot be read as a 32-bit map, and is only copied; a
    // 32-bit file that cannot be read is reported as such when the conversion refuses it.
    std::unique_ptr<TykClException> loadError;
    try {
      map.loadFromIndexFile(file);
    } catch (const TykClException& e) {
      loadError = std::make_unique<TykClException>(e);
    }
    try {
      map.convert32To64();
    } catch (const TykClException& e) {
      if (loadError != nullptr && e.getReasonCode() == TYK_REASON_CALLING_SEQUENCE)
        return failed(*loadError);
      throw;
    }
    ++converted;
  }
  if (converted == 0) ReadMap(location, kMapKinds[0], info).convert32To64docmapfiles();
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options opts;
  const std::string error = parseOptions(
      argc, argv, {{"directory", true}, {"index", true}, {"maps", true}, {"show", true}}, &opts);
  if (!error.empty()) return usage(error);
  if (opts.has("help")) {
    std::printf("%s%s", kSynopsis, kHelp);
    return kExitOk;
  }
  if (opts.has("version")) return printVersion(kTool);
  try {
    if (opts.has("show")) {
      if (opts.has("directory") || opts.has("index") || opts.has("maps"))
        return usage("-show takes no other option");
      if (opts.value("show").empty()) return usage("-show needs a map file");
      return show(opts.value("show"));
    }
    if (opts.value("directory").empty() || opts.value("index").empty())
      return usage("options -directory and -index are required");
    std::vector<std::string> kinds;
    if (opts.has("maps") && !parseMaps(opts.value("maps"), &kinds))
      return usage("-maps takes a comma-separated list of tf, an and as");
    if (!opts.has("maps")) kinds.assign(std::begin(kMapKinds), std::end(kMapKinds));
    return migrate(opts.value("directory"), opts.value("index"), kinds, opts.has("maps"));
  } catch (const TykClException& e) {
    return failed(e);
  }
}
