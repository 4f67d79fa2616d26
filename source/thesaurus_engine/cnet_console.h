// Console helpers shared inside the engine, beside the exported cnetTimef, cnetProgress and
// cnetWarnf.
#ifndef THESAURUS_ENGINE_CNET_CONSOLE_H
#define THESAURUS_ENGINE_CNET_CONSOLE_H

#include "thesaurus_engine/cnet.h"

// True when progress output is on: exec is null or has CNET_EXEC_PROGRESS.
bool cnetProgressOn(const CNETEXEC* exec);

// Writes to standard output, without a time stamp, when progress output is on; flushes.
void cnetProgressPrintf(const CNETEXEC* exec, const char* format, ...) THES_PRINTF(2, 3);

// A percentage counter over a 64-bit count of steps. cnetProgress computes its percentage in 32
// bits, so a larger count is scaled down by a power of two until done x 100 still fits.
class CnetProgressCounter {
 public:
  CnetProgressCounter(const CNETEXEC* exec, uint64_t total);
  // Shows the counter for `done` of the total steps (progress output only).
  void show(uint64_t done) const;
  // Shows the counter at the total: the last counter of a task.
  void showTotal() const { show(total_); }

 private:
  const CNETEXEC* exec_;
  uint64_t total_;
  int shift_ = 0;
};

#endif  // THESAURUS_ENGINE_CNET_CONSOLE_H
