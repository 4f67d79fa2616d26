// Naming rules of a dictionary: valid names and directories, the file paths of its sets and
// the lock files. cnetCorrectNames and cnetSetCNETCTL are the exported entry points; the
// helpers below are shared by the engine's modules.
#ifndef THESAURUS_ENGINE_CNET_NAMES_H
#define THESAURUS_ENGINE_CNET_NAMES_H

#include <cstddef>

#include "thesaurus_engine/cnet.h"

// The four file extensions of set `set` (0 to 3), in record order.
const char* const* cnetSetExtensions(unsigned set);

// out = "<directory>/<name>.<extension>" (directory "" gives "/<name>.<extension>"). Returns
// false, with out emptied, when the path would not fit into size bytes.
bool cnetFormPath(char* out, size_t size, const char* directory, const char* name,
                  const char* extension);

// out = "<directory>/<name><suffix>", for the lock files.
bool cnetFormLockPath(char* out, size_t size, const char* directory, const char* name,
                      const char* suffix);

#endif  // THESAURUS_ENGINE_CNET_NAMES_H
