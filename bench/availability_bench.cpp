// Availability of a dictionary while it is replaced: reader processes look terms up without a
// pause (no search context, as the flat lookup API does) while the main process recompiles the
// dictionary over and over. Each reader counts the lookups that were answered (found or not
// found) and those that were turned away (not existing, locked, anything else), and the longest
// run of failed lookups in milliseconds.
//
//   availability_bench [--occurrences N] [--replacements R] [--readers K] [--dir D]
//
// Defaults: 1,000,000 occurrences, 20 replacements, 3 readers, a fresh directory under /tmp.
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench_support.h"
#include "support/synthetic_definition.h"
#include "thesaurus_engine/cnet.h"

namespace {

using benchsupport::now;

// What one reader saw, sent back to the main process through a pipe.
struct ReaderReport {
  uint64_t lookups = 0;
  uint64_t answered = 0;
  uint64_t notExisting = 0;  // 543
  uint64_t locked = 0;       // 531
  uint64_t other = 0;
  double longestFailedRunMs = 0;
  uint32_t otherCode = 0;  // the first other code seen
};

// Looks words up until stop is set; writes the report to fd.
void readLoop(const std::string& dir, const std::vector<std::string>& words,
              const std::atomic<int>* stop, int fd) {
  ReaderReport r;
  double failedSince = -1;
  CNETCOND cond{};
  cond.relations = CNET_REL_SYNONYM | CNET_REL_RELATED | CNET_REL_HIGHER | CNET_REL_LOWER;
  cond.maxTerms = 100;
  cond.maxDepth = 1;
  std::vector<CNETRESENT> entries(cond.maxTerms);
  for (size_t i = 0; stop->load(std::memory_order_relaxed) == 0; ++i) {
    const std::string& w = words[i % words.size()];
    CNETTERM term{};
    term.length = static_cast<uint16_t>(w.size());
    std::memcpy(term.text, w.data(), w.size());
    term.weight = 100;
    CNETRESULT result{entries.data(), 0};
    CNETSTATUS st{};
    zolCNETrefer(nullptr, "avail", dir.c_str(), &term, &cond, 0, &result, &st);
    ++r.lookups;
    const bool answered = st.retcode == 0 || st.retcode == CNET_NOT_FOUND;
    if (answered) {
      ++r.answered;
      if (failedSince >= 0) {
        const double ms = (now() - failedSince) * 1000;
        if (ms > r.longestFailedRunMs) r.longestFailedRunMs = ms;
        failedSince = -1;
      }
      continue;
    }
    if (failedSince < 0) failedSince = now();
    if (st.retcode == CNET_NOT_EXIST) {
      ++r.notExisting;
    } else if (st.retcode == CNET_LOCKED) {
      ++r.locked;
    } else {
      ++r.other;
      if (r.otherCode == 0) r.otherCode = st.retcode;
    }
  }
  if (failedSince >= 0) {
    const double ms = (now() - failedSince) * 1000;
    if (ms > r.longestFailedRunMs) r.longestFailedRunMs = ms;
  }
  if (::write(fd, &r, sizeof r) != static_cast<ssize_t>(sizeof r)) std::perror("write");
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t occurrences = 1000000;
  int replacements = 20;
  int readers = 3;
  std::string dir;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--occurrences") occurrences = std::strtoull(argv[i + 1], nullptr, 10);
    if (opt == "--replacements") replacements = std::atoi(argv[i + 1]);
    if (opt == "--readers") readers = std::atoi(argv[i + 1]);
    if (opt == "--dir") dir = argv[i + 1];
  }
  bool ownDir = false;
  if (dir.empty()) {
    char tmpl[] = "/tmp/availability-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) return 1;
    dir = tmpl;
    ownDir = true;
  }
  const std::string def = dir + "/avail.def";
  synthetic::Options options;
  options.occurrences = occurrences;
  if (synthetic::writeDefinition(def, options) != occurrences) return 1;
  if (!benchsupport::compile("avail", dir, def)) return 1;

  // Words of every frequency: the most frequent ranks are the words with most relations.
  std::vector<std::string> words;
  for (uint64_t rank = 0; rank < 2000; ++rank)
    words.push_back(synthetic::wordOf(rank * 37));

  // The stop flag lives in memory shared with the readers.
  void* shared = ::mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) return 1;
  auto* stop = new (shared) std::atomic<int>(0);
  std::vector<pid_t> pids;
  std::vector<int> pipes;
  for (int k = 0; k < readers; ++k) {
    int fds[2];
    if (::pipe(fds) != 0) return 1;
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      readLoop(dir, words, stop, fds[1]);
      ::_exit(0);
    }
    ::close(fds[1]);
    pids.push_back(pid);
    pipes.push_back(fds[0]);
  }

  std::vector<double> compileSeconds;
  int failedCompiles = 0;
  const double start = now();
  for (int r = 0; r < replacements; ++r) {
    const double t0 = now();
    if (!benchsupport::compile("avail", dir, def)) ++failedCompiles;
    compileSeconds.push_back(now() - t0);
  }
  const double elapsed = now() - start;
  stop->store(1);

  ReaderReport total;
  std::printf(
      "%d replacements of a %llu-occurrence dictionary in %.1f s (median compile %.2f s, "
      "%d failed), %d readers\n",
      replacements, static_cast<unsigned long long>(occurrences), elapsed,
      benchsupport::median(compileSeconds), failedCompiles, readers);
  std::printf("reader   lookups   answered   543   531   other   longest failed run\n");
  for (int k = 0; k < readers; ++k) {
    ReaderReport r;
    if (::read(pipes[k], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) return 1;
    int wstatus = 0;
    ::waitpid(pids[k], &wstatus, 0);
    std::printf("%6d %9llu %9.3f%% %5llu %5llu %7llu   %.1f ms%s\n", k,
                static_cast<unsigned long long>(r.lookups), 100.0 * r.answered / r.lookups,
                static_cast<unsigned long long>(r.notExisting),
                static_cast<unsigned long long>(r.locked), static_cast<unsigned long long>(r.other),
                r.longestFailedRunMs,
                r.otherCode != 0 ? (" (other: " + std::to_string(r.otherCode) + ")").c_str() : "");
    total.lookups += r.lookups;
    total.answered += r.answered;
    if (r.longestFailedRunMs > total.longestFailedRunMs)
      total.longestFailedRunMs = r.longestFailedRunMs;
  }
  std::printf("all    %9llu %9.3f%%                        %.1f ms\n",
              static_cast<unsigned long long>(total.lookups),
              100.0 * total.answered / total.lookups, total.longestFailedRunMs);
  if (ownDir) std::filesystem::remove_all(dir);
  return 0;
}
