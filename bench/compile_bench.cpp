// Compile benchmark: generates synthetic definition files of given sizes (word occurrences),
// then times zolCNETregist on each against `LC_ALL=C sort` of the same file, in the same run,
// and reports medians, the ratio and the compiler's peak resident memory.
//
//   compile_bench [--repeat R] [--dir D] [occurrences ...]     (default 250000 1000000 4000000)
//
// Each compilation runs in a child process so that its peak memory (ru_maxrss) is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "support/synthetic_definition.h"
#include "thesaurus_engine/cnet.h"

namespace {

struct Run {
  double seconds;
  long maxRssKiB;
  int status;
};

using benchsupport::median;
using benchsupport::now;

// Runs fn in a child process and measures its wall time and peak memory.
template <typename Fn>
Run inChild(Fn fn) {
  double start = now();
  pid_t pid = fork();
  if (pid == 0) _exit(fn());
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  return {now() - start, usage.ru_maxrss, status};
}

int compile(const std::string& dir, const std::string& def) {
  return benchsupport::compile("bench", dir, def) ? 0 : 1;
}

int sortFile(const std::string& def) {
  setenv("LC_ALL", "C", 1);
  execlp("sort", "sort", def.c_str(), "-o", "/dev/null", static_cast<char*>(nullptr));
  return 127;
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 3;
  std::string dir = "/tmp/thesaurus-compile-bench";
  std::vector<uint64_t> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else {
      sizes.push_back(std::strtoull(argv[i], nullptr, 10));
    }
  }
  if (sizes.empty()) sizes = {250000, 1000000, 4000000};
  std::filesystem::create_directories(dir);
  std::printf("%12s %10s %10s %8s %12s %14s\n", "occurrences", "sort s", "compile s", "ratio",
              "peak MiB", "us/(n log2 n)");
  for (uint64_t n : sizes) {
    std::string def = dir + "/bench-" + std::to_string(n) + ".def";
    synthetic::Options o;
    o.occurrences = n;
    if (synthetic::writeDefinition(def, o) != n) {
      std::fprintf(stderr, "cannot write %s\n", def.c_str());
      return 1;
    }
    std::vector<double> sortTimes, compileTimes;
    long peak = 0;
    for (int r = 0; r < repeat; ++r) {
      Run s = inChild([&] { return sortFile(def); });
      Run c = inChild([&] { return compile(dir, def); });
      if (s.status != 0 || c.status != 0) {
        std::fprintf(stderr, "run failed (sort %d, compile %d)\n", s.status, c.status);
        return 1;
      }
      sortTimes.push_back(s.seconds);
      compileTimes.push_back(c.seconds);
      peak = std::max(peak, c.maxRssKiB);
    }
    double ms = median(sortTimes), mc = median(compileTimes);
    double perNLogN = mc * 1e6 / (double(n) * std::log2(double(n)));
    std::printf("%12llu %10.3f %10.3f %8.2f %12.1f %14.4f\n", static_cast<unsigned long long>(n),
                ms, mc, mc / ms, peak / 1024.0, perNLogN);
    std::fflush(stdout);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
