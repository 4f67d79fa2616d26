// Console helpers shared inside the engine, beside the exported cnetTimef, cnetProgress and
// cnetWarnf.
#ifndef THESAURUS_ENGINE_CNET_CONSOLE_H
#define THESAURUS_ENGINE_CNET_CONSOLE_H

#include "thesaurus_engine/cnet.h"

// True when progress output is on: exec is null or has CNET_EXEC_PROGRESS.
bool cnetProgressOn(const CNETEXEC* exec);

// Writes to standard output, without a time stamp, when progress output is on; flushes.
void cnetProgressPrintf(const CNETEXEC* exec, const char* format, ...) THES_PRINTF(2, 3);

#endif  // THESAURUS_ENGINE_CNET_CONSOLE_H
