// Word index search speed: one index of 1,000,000 distinct generated words is built once in a
// temporary directory; then exact searches of random present words (with a reused and with a
// fresh search handle) and a wildcard prefix search are timed, each including the fetch and
// release of the hits. The build's time and peak memory growth are reported as counters.
//
//   build/bench/index_search_bench
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "indexing_engine/zol.h"

namespace {

constexpr uint32_t kWords = 1000000;

// Distinct words: three mixed-case letters from a hash (spreading the keys), then the word's
// number in base 26 (making each word distinct even after case folding).
std::string wordAt(uint64_t i) {
  uint64_t h = (i + 1) * 0x9E3779B97F4A7C15ull;
  h ^= h >> 31;
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string w;
  for (int k = 0; k < 3; ++k, h /= 52)
    w += kLetters[h % 52];
  do {
    w += static_cast<char>('a' + i % 26);
    i /= 26;
  } while (i != 0);
  return w;
}

// Peak resident memory of the process in KiB.
long peakRssKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// The index, built on first use and deleted at exit.
struct Corpus {
  std::string dir;
  double buildSeconds = 0;
  double buildPeakMiB = 0;
  bool ok = false;

  Corpus() {
    char tmpl[] = "/tmp/zol-bench-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return;
    dir = tmpl;
    long before = peakRssKiB();
    auto start = std::chrono::steady_clock::now();
    ZOLINDEX* h = nullptr;
    ZOLINDEXDESC desc = {2, 34, 2, 1, {}};
    ZOLINDEXPARM parm = {0x200000, 0x100000, 0x18, 'N', {}};
    uint32_t last = 0;
    ZOLSTATUS st;
    ZOLcreateIndexInit(&h, "bench", dir.c_str(), dir.c_str(), 'N', 'B', &desc, &parm, &last, &st);
    for (uint32_t i = 0; i < kWords && st.retcode == 0; ++i) {
      std::string w = wordAt(i);
      ZOLINDEXDOC doc = {};
      doc.type = 1;
      doc.charKind = 'C';
      doc.text = w.data();
      doc.length = static_cast<uint16_t>(w.size());
      ZOLcreateItemIndexOneDoc(h, i, 1, &doc, &st);
    }
    if (st.retcode == 0) ZOLcreateIndexLast(h, &st);
    if (st.retcode == 0) ZOLcreateIndexTerm(h, 'G', &st);
    buildSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    buildPeakMiB = static_cast<double>(peakRssKiB() - before) / 1024.0;
    if (st.retcode == 0) ZOLverifyIndex("bench", dir.c_str(), 0, 8, 0, &st);
    ok = st.retcode == 0;
    if (!ok)
      std::fprintf(stderr, "index build or check failed: retcode %u errcode %u\n", st.retcode,
                   st.errcode);
  }
  ~Corpus() {
    ZOLSTATUS st;
    ZOL_deleteIndex(3, "bench", dir.c_str(), &st);
    if (!dir.empty()) std::remove(dir.c_str());
  }
};

Corpus& corpus() {
  static Corpus c;
  return c;
}

// One search with the full result protocol; returns the hit count, -1 on failure.
int64_t searchOnce(void** handle, const std::string& term, uint8_t anyRun) {
  ZOLWORDTERM t = {};
  t.type = 1;
  t.charKind = 'C';
  t.text = term.data();
  t.length = static_cast<uint16_t>(term.size());
  t.options[0] = anyRun;
  t.weight = 100;
  t.mode = 'N';
  ZOLSEARCHCOND cond = {};
  cond.codePage = 34;
  cond.form = 4;
  cond.wordTermCount = 1;
  cond.wordTerms = &t;
  cond.wordConditionText = "1";
  ZOLSEARCHRESULT result = {};
  result.kind = 2;
  result.version = 1;
  result.bufferSize = 4096;
  ZOLSTATUS st;
  ZOLsearchIndex(handle, "bench", corpus().dir.c_str(), 0, cond, nullptr, nullptr, nullptr, &result,
                 &st);
  if (st.retcode != 0) return -1;
  ZOLHIT hits[256];
  int32_t n = result.hitCount < 256 ? result.hitCount : 256;
  ZOLsearchIndex_OpenResult(result.resultHandle, 0, &st);
  ZOLsearchIndex_GetResult(result.resultHandle, 0, n, hits, nullptr, nullptr, &st);
  ZOLsearchIndex_CloseResult(result.resultHandle, 0, &st);
  ZOLsearchIndex_ReleaseResult(result.resultHandle, &st);
  benchmark::DoNotOptimize(hits);
  return result.hitCount;
}

// Random present words, in upper case so that normalization has work to do.
std::vector<std::string> queries(bool prefixOnly) {
  std::mt19937 rng(42);
  std::vector<std::string> q;
  for (int i = 0; i < 8192; ++i) {
    std::string w = wordAt(rng() % kWords);
    if (prefixOnly) w = w.substr(0, 3) + "*";
    for (char& c : w) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    }
    q.push_back(w);
  }
  return q;
}

void addBuildCounters(benchmark::State& state) {
  state.counters["build_s"] = corpus().buildSeconds;
  state.counters["build_peak_MiB"] = corpus().buildPeakMiB;
}

void BM_ExactSearchReusedHandle(benchmark::State& state) {
  if (!corpus().ok) return state.SkipWithError("no index");
  const std::vector<std::string> q = queries(false);
  void* handle = nullptr;
  size_t i = 0;
  for (auto _ : state) {
    if (searchOnce(&handle, q[i++ % q.size()], 0) != 1) return state.SkipWithError("miss");
  }
  ZOLSTATUS st;
  ZOLsearchIndex_Release(&handle, &st);
  addBuildCounters(state);
}

void BM_ExactSearchFreshHandle(benchmark::State& state) {
  if (!corpus().ok) return state.SkipWithError("no index");
  const std::vector<std::string> q = queries(false);
  size_t i = 0;
  for (auto _ : state) {
    void* handle = nullptr;
    int64_t n = searchOnce(&handle, q[i++ % q.size()], 0);
    ZOLSTATUS st;
    ZOLsearchIndex_Release(&handle, &st);
    if (n != 1) return state.SkipWithError("miss");
  }
}

void BM_WildcardPrefixSearch(benchmark::State& state) {
  if (!corpus().ok) return state.SkipWithError("no index");
  const std::vector<std::string> q = queries(true);
  void* handle = nullptr;
  size_t i = 0;
  int64_t hits = 0;
  for (auto _ : state) {
    int64_t n = searchOnce(&handle, q[i++ % q.size()], '*');
    if (n < 1) return state.SkipWithError("miss");
    hits += n;
  }
  state.counters["hits_per_search"] =
      benchmark::Counter(static_cast<double>(hits), benchmark::Counter::kAvgIterations);
  ZOLSTATUS st;
  ZOLsearchIndex_Release(&handle, &st);
}

// Nine repetitions each; only the aggregates (mean, median, deviation) are reported.
BENCHMARK(BM_ExactSearchReusedHandle)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_ExactSearchFreshHandle)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_WildcardPrefixSearch)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
