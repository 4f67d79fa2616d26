// Import benchmark: writes a deterministic SKOS thesaurus as N-Triples of a given number of
// triples (concepts with types, labels in English and French, definitions, broader, narrower,
// related and mapping relations, grouped by subject as published dumps are), then times
// thesaurus-import of it against `LC_ALL=C sort` of the same file, interleaved, and reports
// medians, the ratio and both programs' peak resident memory.
//
//   import_bench [--repeat R] [--dir D] [--tool PATH] [triples ...]   (default 1000000)
//
// Both programs run as child processes, so that ru_maxrss is each one's own peak.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

using benchsupport::median;
using benchsupport::now;

struct Run {
  double seconds;
  long maxRssKiB;
  int status;
};

// Runs argv as a child process with LC_ALL=C, its output and messages to /dev/null.
Run runChild(const std::vector<std::string>& args) {
  std::fflush(stdout);
  double start = now();
  pid_t pid = fork();
  if (pid == 0) {
    setenv("LC_ALL", "C", 1);
    std::vector<char*> argv;
    for (const std::string& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (freopen("/dev/null", "w", stdout) == nullptr ||
        freopen("/dev/null", "w", stderr) == nullptr)
      _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  return {now() - start, usage.ru_maxrss, status};
}

// A small deterministic generator (64-bit linear congruential).
struct Random {
  uint64_t state = 0x2545F4914F6CDD1Dull;
  uint32_t next(uint32_t bound) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>((state >> 33) % bound);
  }
};

const char* const kSyllables[] = {"ka",  "lo",  "mi",  "ne",  "ru",  "sa",  "ti",  "vo",
                                  "ber", "dan", "fel", "gor", "hul", "jin", "kor", "lat"};

std::string wordOf(uint32_t n, Random* r) {
  std::string w;
  for (int i = 0, k = 2 + static_cast<int>(r->next(3)); i < k; ++i)
    w += kSyllables[r->next(16)];
  return w + " " + std::to_string(n);
}

// Writes `triples` triples (the last concept may be cut short); returns the number written.
uint64_t writeThesaurus(const std::string& path, uint64_t triples) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return 0;
  const std::string skos = "<http://www.w3.org/2004/02/skos/core#";
  const std::string base = "<http://example.org/agro/c";
  Random r;
  uint64_t written = 0;
  const uint32_t concepts = static_cast<uint32_t>(triples / 9 + 1);
  auto conceptIri = [&base](uint32_t n) {
    char id[16];
    std::snprintf(id, sizeof id, "%07u>", n);
    return base + id;
  };
  auto triple = [&](const std::string& s, const std::string& p, const std::string& o) {
    if (written == triples) return;
    std::fprintf(f, "%s %s %s .\n", s.c_str(), p.c_str(), o.c_str());
    ++written;
  };
  auto emit = [&](const std::string& s, const char* p, const std::string& o) {
    triple(s, skos + p + ">", o);
  };
  // A literal with its language tag, built by appending: GCC 12 at -O3 misreads a string
  // literal joined to a temporary string.
  auto literal = [](const std::string& word, const char* lang) {
    std::string text = "\"";
    text += word;
    text += "\"@";
    text += lang;
    return text;
  };
  for (uint32_t c = 0; written < triples; ++c) {
    const std::string s = conceptIri(c);
    triple(s, "<http://www.w3.org/1999/02/22-rdf-syntax-ns#type>", skos + "Concept>");
    emit(s, "inScheme", "<http://example.org/agro/>");
    emit(s, "prefLabel", literal(wordOf(c, &r), "en"));
    emit(s, "prefLabel", literal(wordOf(c, &r), "fr"));
    if (r.next(2) == 0) emit(s, "altLabel", literal(wordOf(c, &r), "en"));
    if (r.next(3) == 0) emit(s, "altLabel", literal(wordOf(c, &r), "fr"));
    if (r.next(3) == 0)
      emit(s, "definition",
           "\"A definition of concept " + std::to_string(c) +
               ", long enough to be skipped at some cost.\"@en");
    if (c > 0) emit(s, "broader", conceptIri(r.next(c)));
    if (r.next(10) < 7) emit(s, "narrower", conceptIri(r.next(concepts)));
    if (r.next(10) < 3) emit(s, "related", conceptIri(r.next(concepts)));
    if (r.next(5) == 0)
      emit(s, "exactMatch", "<http://other.example/v/" + std::to_string(r.next(concepts)) + ">");
    if (r.next(10) == 0) emit(s, "closeMatch", conceptIri(r.next(concepts)));
  }
  std::fclose(f);
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 5;
  std::string dir = "/tmp/thesaurus-import-bench";
  std::string tool = THES_IMPORT_TOOL;
  std::vector<uint64_t> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else if (std::strcmp(argv[i], "--tool") == 0 && i + 1 < argc) {
      tool = argv[++i];
    } else {
      sizes.push_back(std::strtoull(argv[i], nullptr, 10));
    }
  }
  if (sizes.empty()) sizes = {1000000};
  std::filesystem::create_directories(dir);
  std::printf("%10s %8s %8s %8s %7s %12s %12s\n", "triples", "MB", "sort s", "import s", "ratio",
              "sort MiB", "import MiB");
  for (uint64_t size : sizes) {
    const std::string nt = dir + "/thesaurus-" + std::to_string(size) + ".nt";
    const std::string def = dir + "/thesaurus-" + std::to_string(size) + ".def";
    const uint64_t triples = writeThesaurus(nt, size);
    if (triples == 0) {
      std::fprintf(stderr, "cannot write %s\n", nt.c_str());
      return 1;
    }
    std::vector<double> sortTimes, importTimes;
    long sortRss = 0, importRss = 0;
    for (int k = 0; k < repeat; ++k) {
      // Interleaved, so that both see the same state of a shared machine.
      Run s = runChild({"sort", nt, "-o", "/dev/null"});
      Run m =
          runChild({tool, "-f", nt, "-targetFile", def, "-replace", "-q", "-tempDirectory", dir});
      if (s.status != 0 || m.status != 0) {
        std::fprintf(stderr, "run failed (sort %d, import %d)\n", s.status, m.status);
        return 1;
      }
      sortTimes.push_back(s.seconds);
      importTimes.push_back(m.seconds);
      sortRss = std::max(sortRss, s.maxRssKiB);
      importRss = std::max(importRss, m.maxRssKiB);
    }
    const double ms = median(sortTimes), mi = median(importTimes);
    std::printf("%10llu %8.1f %8.3f %8.3f %7.2f %12.1f %12.1f\n",
                static_cast<unsigned long long>(triples),
                static_cast<double>(std::filesystem::file_size(nt)) / 1e6, ms, mi, mi / ms,
                sortRss / 1024.0, importRss / 1024.0);
    std::fflush(stdout);
    std::filesystem::remove(nt);
    std::filesystem::remove(def);
  }
  return 0;
}
