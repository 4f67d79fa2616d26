// The shared library has no code of its own: its exported symbols come from the static parts
// linked into it (see source/CMakeLists.txt).
#include "thesaurus_engine/cnet.h"
