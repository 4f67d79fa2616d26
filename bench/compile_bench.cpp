// Compile benchmark: generates synthetic definition files of given sizes (word occurrences),
// then times zolCNETregist on each against `LC_ALL=C sort` and `LC_ALL=C sort --parallel=1` of
// the same file, interleaved in the same run, and reports medians, the ratios (medians of the
// ratios of each round), the compiler's peak resident memory and the bytes it wrote.
//
//   compile_bench [--repeat R] [--dir D] [--keep] [occurrences ...]
//                 (default: --repeat 3, sizes 250000 1000000 4000000 16000000)
//
// Each command runs in a child process, so that its peak memory (ru_maxrss) and the bytes it
// wrote are its own: wchar of /proc/self/io counts every byte handed to write(2), page cache or
// not; "disk" is write_bytes less cancelled_write_bytes, what was bound for storage (work files
// deleted before write-back drop out). The CPU columns (user + system time) are less disturbed
// by other work on a shared machine than the wall times. The last lines compare the time per
// occurrence of each size from 1M on with that of 1M against the growth of log2 n. --keep
// leaves the definition files in the directory.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// What /proc/self/io says a process wrote.
struct Written {
  unsigned long long wchar = 0;  // bytes handed to write(2)
  unsigned long long disk = 0;   // write_bytes - cancelled_write_bytes: bytes bound for storage
};

struct Run {
  double seconds = 0;
  double cpuSeconds = 0;  // user + system time of the child
  long maxRssKiB = 0;
  int status = 0;
  Written written;
};

using benchsupport::median;
using benchsupport::now;

// The bytes this process wrote so far, from /proc/self/io.
Written bytesWritten() {
  Written w;
  unsigned long long writeBytes = 0, cancelled = 0;
  if (FILE* f = std::fopen("/proc/self/io", "r")) {
    char key[64];
    unsigned long long v;
    while (std::fscanf(f, "%63[^:]: %llu\n", key, &v) == 2) {
      if (std::strcmp(key, "wchar") == 0) w.wchar = v;
      if (std::strcmp(key, "write_bytes") == 0) writeBytes = v;
      if (std::strcmp(key, "cancelled_write_bytes") == 0) cancelled = v;
    }
    std::fclose(f);
  }
  w.disk = writeBytes > cancelled ? writeBytes - cancelled : 0;
  return w;
}

// Runs fn in a child process and measures its wall time, peak memory and bytes written (the
// child reports the latter through a pipe just before it exits; an exec'd child reports 0).
template <typename Fn>
Run inChild(Fn fn) {
  int fds[2];
  if (pipe(fds) != 0) {
    Run failed;
    failed.status = -1;
    return failed;
  }
  double start = now();
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    int rc = fn();
    Written written = bytesWritten();
    if (write(fds[1], &written, sizeof written) != sizeof written) rc = 1;
    _exit(rc);
  }
  close(fds[1]);
  Run run;
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  run.seconds = now() - start;
  run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.maxRssKiB = usage.ru_maxrss;
  run.status = status;
  if (read(fds[0], &run.written, sizeof run.written) != sizeof run.written) run.written = {};
  close(fds[0]);
  return run;
}

int compile(const std::string& dir, const std::string& def) {
  return benchsupport::compile("bench", dir, def) ? 0 : 1;
}

int sortFile(const std::string& def, bool oneThread) {
  setenv("LC_ALL", "C", 1);
  if (oneThread) {
    execlp("sort", "sort", "--parallel=1", def.c_str(), "-o", "/dev/null",
           static_cast<char*>(nullptr));
  } else {
    execlp("sort", "sort", def.c_str(), "-o", "/dev/null", static_cast<char*>(nullptr));
  }
  return 127;
}

struct Row {
  uint64_t n;
  double microsPerOccurrence;
  double cpuMicrosPerOccurrence;
};

}  // namespace

int main(int argc, char** argv) {
  int repeat = 3;
  bool keep = false;
  std::string dir = "/tmp/thesaurus-compile-bench";
  std::vector<uint64_t> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else if (std::strcmp(argv[i], "--keep") == 0) {
      keep = true;
    } else {
      sizes.push_back(std::strtoull(argv[i], nullptr, 10));
    }
  }
  if (sizes.empty()) sizes = {250000, 1000000, 4000000, 16000000};
  std::filesystem::create_directories(dir);
  std::printf(
      "medians of %d; ratios are medians of the ratios of each round; wrote = wchar, disk =\n"
      "write_bytes - cancelled_write_bytes; cpu = user + system time\n",
      repeat);
  std::printf("%11s %8s %8s %8s %9s %7s %7s %8s %9s %7s %8s %8s %9s %9s %10s\n", "occurrences",
              "def MiB", "sort s", "sort1 s", "compile s", "x sort", "x sort1", "peak MiB",
              "wrote MiB", "x def", "disk MiB", "us/occ", "cpu sort1", "cpu x s1", "cpu us/occ");
  std::vector<Row> rows;
  for (uint64_t n : sizes) {
    std::string def = dir + "/bench-" + std::to_string(n) + ".def";
    synthetic::Options o;
    o.occurrences = n;
    if (synthetic::writeDefinition(def, o) != n) {
      std::fprintf(stderr, "cannot write %s\n", def.c_str());
      return 1;
    }
    const double defBytes = double(std::filesystem::file_size(def));
    std::vector<double> sortTimes, sort1Times, compileTimes, ratios, ratios1, cpuSort1, cpuRatios1,
        cpuCompile;
    long peak = 0;
    Written written;
    for (int r = 0; r < repeat; ++r) {
      Run s = inChild([&] { return sortFile(def, false); });
      Run s1 = inChild([&] { return sortFile(def, true); });
      Run c = inChild([&] { return compile(dir, def); });
      if (s.status != 0 || s1.status != 0 || c.status != 0) {
        std::fprintf(stderr, "run failed (sort %d, sort --parallel=1 %d, compile %d)\n", s.status,
                     s1.status, c.status);
        return 1;
      }
      sortTimes.push_back(s.seconds);
      sort1Times.push_back(s1.seconds);
      compileTimes.push_back(c.seconds);
      ratios.push_back(c.seconds / s.seconds);
      ratios1.push_back(c.seconds / s1.seconds);
      cpuSort1.push_back(s1.cpuSeconds);
      cpuRatios1.push_back(c.cpuSeconds / s1.cpuSeconds);
      cpuCompile.push_back(c.cpuSeconds);
      peak = std::max(peak, c.maxRssKiB);
      written.wchar = std::max(written.wchar, c.written.wchar);
      written.disk = std::max(written.disk, c.written.disk);
    }
    const double mc = median(compileTimes);
    const double perOccurrence = mc * 1e6 / double(n);
    const double cpuPerOccurrence = median(cpuCompile) * 1e6 / double(n);
    rows.push_back({n, perOccurrence, cpuPerOccurrence});
    std::printf(
        "%11llu %8.1f %8.3f %8.3f %9.3f %7.2f %7.2f %8.1f %9.1f %7.2f %8.1f %8.3f %9.3f %9.2f "
        "%10.3f\n",
        static_cast<unsigned long long>(n), defBytes / 1048576.0, median(sortTimes),
        median(sort1Times), mc, median(ratios), median(ratios1), peak / 1024.0,
        double(written.wchar) / 1048576.0, double(written.wchar) / defBytes,
        double(written.disk) / 1048576.0, perOccurrence, median(cpuSort1), median(cpuRatios1),
        cpuPerOccurrence);
    std::fflush(stdout);
    if (!keep) std::filesystem::remove(def);
  }
  // Growth of the time per occurrence against that of log2 n, from 1M on.
  const Row* base = nullptr;
  for (const Row& row : rows) {
    if (row.n == 1000000) base = &row;
  }
  if (base != nullptr) {
    for (const Row& row : rows) {
      if (row.n <= base->n) continue;
      std::printf("us/occ %llu vs 1M: %.3f, cpu %.3f (log2 n grows %.3f)\n",
                  static_cast<unsigned long long>(row.n),
                  row.microsPerOccurrence / base->microsPerOccurrence,
                  row.cpuMicrosPerOccurrence / base->cpuMicrosPerOccurrence,
                  std::log2(double(row.n)) / std::log2(double(base->n)));
    }
  }
  if (!keep) std::filesystem::remove_all(dir);
  return 0;
}
