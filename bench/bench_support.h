// Helpers the benchmark programs share: a clock, medians, status reporting and compiling a
// synthetic dictionary. Single-threaded use.
#ifndef BENCH_BENCH_SUPPORT_H
#define BENCH_BENCH_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "thesaurus_engine/cnet.h"

namespace benchsupport {

// Seconds on a monotonic clock.
double now();

// The median of the values (the upper one of an even count); 0 for none.
double median(std::vector<double> values);

// True when st is clear; otherwise prints "<what> failed: <engine message>" to standard error.
bool ok(const CNETSTATUS& st, const char* what);

// Compiles the definition file def into dictionary name in dir, replacing one that is there.
bool compile(const std::string& name, const std::string& dir, const std::string& def);

// Writes a synthetic definition of the given size to dir/<name>.def and compiles it; returns the
// number of present words, 0 on failure.
uint32_t buildSynthetic(const std::string& name, const std::string& dir, uint64_t occurrences,
                        uint64_t vocabulary);

}  // namespace benchsupport

#endif  // BENCH_BENCH_SUPPORT_H
