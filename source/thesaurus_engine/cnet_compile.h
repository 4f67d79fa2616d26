// The three compilation steps that turn a definition file into the four files of a working
// set: step 1 reads the blocks and records every word occurrence in the temporary files, step
// 2 gives every distinct word an id (in order of first appearance) and drops blocks that
// repeat an earlier one, step 3 writes each word with its groups and derived relations, then
// the groups and the header.
#ifndef THESAURUS_ENGINE_CNET_COMPILE_H
#define THESAURUS_ENGINE_CNET_COMPILE_H

#include "thesaurus_engine/cnet.h"

// Compiles the definition into the set named by `work` (opened for writing and closed here).
// The work files go into the set's primary directory; they are deleted on every path.
void cnetCompileSteps(CNETCTL* work, const CNETDEF* definition, const CNETCODE* code,
                      const CNETEXEC* exec, CNETSTATUS* status);

#endif  // THESAURUS_ENGINE_CNET_COMPILE_H
