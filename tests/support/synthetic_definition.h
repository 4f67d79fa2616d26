// A deterministic synthetic definition file for tests and benchmarks: a given number of word
// occurrences drawn from a Zipf-like vocabulary (so words repeat across blocks), in blocks of
// every kind (synonym, related, numbered related, plain), with relation lines of every kind
// (named and numbered) and strengths. The same parameters always give the same bytes.
#ifndef TESTS_SUPPORT_SYNTHETIC_DEFINITION_H
#define TESTS_SUPPORT_SYNTHETIC_DEFINITION_H

#include <cstdint>
#include <string>

namespace synthetic {

struct Options {
  uint64_t occurrences = 100000;  // word lines to write
  uint64_t vocabulary = 0;        // distinct words to draw from; 0: occurrences / 4
  uint32_t seed = 1;
  double zipf = 1.0;  // exponent of the rank distribution
};

// The word of a vocabulary rank: lower-case syllables, sometimes two words ("ka lomi").
std::string wordOf(uint64_t rank);

// Writes the definition to path; returns the number of word occurrences written, or 0 when the
// file cannot be written.
uint64_t writeDefinition(const std::string& path, const Options& options);

}  // namespace synthetic

#endif  // TESTS_SUPPORT_SYNTHETIC_DEFINITION_H
