#include "support/synthetic_definition.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace synthetic {
namespace {

constexpr const char* kSyllables[] = {"ka", "lo", "mi", "ne", "su", "ta",  "ri",  "po",
                                      "de", "gu", "ba", "fe", "zo", "hi",  "ju",  "va",
                                      "xe", "qi", "wa", "yo", "cu", "sha", "tro", "pla"};
constexpr uint64_t kSyllableCount = sizeof kSyllables / sizeof kSyllables[0];

// Draws ranks 0 .. n-1 with probability proportional to 1 / (rank + 1)^s.
class Zipf {
 public:
  Zipf(uint64_t n, double s) : cdf_(n) {
    double sum = 0;
    for (uint64_t i = 0; i < n; ++i)
      cdf_[i] = (sum += 1.0 / std::pow(double(i + 1), s));
    for (double& c : cdf_)
      c /= sum;
  }
  uint64_t draw(std::mt19937_64& rng) {
    double u = std::uniform_real_distribution<double>(0, 1)(rng);
    auto it = std::lower_bound(cdf_.begin(), cdf_.end(), u);
    return std::min<uint64_t>(it - cdf_.begin(), cdf_.size() - 1);
  }

 private:
  std::vector<double> cdf_;
};

std::string syllables(uint64_t n) {
  std::string s;
  do {
    s += kSyllables[n % kSyllableCount];
    n /= kSyllableCount;
  } while (n > 0);
  return s;
}

}  // namespace

std::string wordOf(uint64_t rank) {
  // Every 16th word is a two-word term; the rank is spread so that neighbours look different.
  uint64_t mixed = rank * 2654435761u % 4294967291u;
  std::string w = syllables(rank) + syllables(mixed % 7);
  if (rank % 16 == 5) {
    w += ' ';
    w += syllables(mixed % 97);
  }
  return w;
}

uint64_t writeDefinition(const std::string& path, const Options& o) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  uint64_t vocabulary = o.vocabulary != 0 ? o.vocabulary : std::max<uint64_t>(o.occurrences / 4, 8);
  Zipf zipf(vocabulary, o.zipf);
  std::mt19937_64 rng(o.seed);
  auto pick = [&](uint64_t n) { return std::uniform_int_distribution<uint64_t>(0, n - 1)(rng); };
  static const char* kRelations[] = {".SYNONYM_OF", ".RELATED_TO", ".LOWER_THAN", ".HIGHER_THAN"};
  std::string line;
  uint64_t written = 0, block = 0;
  while (written < o.occurrences) {
    uint64_t kind = pick(10);
    if (block++ % 50 == 0)
      std::fprintf(f, "* block %llu\n", static_cast<unsigned long long>(block));
    if (kind < 4) {
      std::fputs(":WORDS:SYNONYM\n", f);
    } else if (kind < 6) {
      std::fputs(":WORDS:RELATED\n", f);
    } else if (kind < 7) {
      std::fprintf(f, ":WORDS:RELATED(%llu)\n", static_cast<unsigned long long>(1 + pick(128)));
    } else {
      std::fputs(":WORDS\n", f);
    }
    uint64_t members = 2 + pick(5);
    uint64_t relations = kind >= 7 ? 1 + pick(3) : pick(3);
    for (uint64_t i = 0; i < members + relations && written < o.occurrences; ++i, ++written) {
      line.clear();
      if (i >= members) {
        line = kRelations[pick(4)];
        if (pick(4) == 0) {
          line += '(';
          line += std::to_string(1 + pick(128));
          line += ')';
        }
        line += "  ";
      }
      line += wordOf(zipf.draw(rng));
      if (pick(10) < 3) {
        line += " :";
        line += std::to_string(1 + pick(100));
      }
      line += '\n';
      std::fputs(line.c_str(), f);
    }
  }
  return std::fclose(f) == 0 ? written : 0;
}

}  // namespace synthetic
