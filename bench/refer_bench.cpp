// Lookup benchmark on a compiled synthetic dictionary: related-term lookups through
// zolCNETrefer (depth 1 and 3, with no search-context cell and with a reused one) against the
// same breadth-first traversal answered by SQLite (relations in an indexed table, one prepared
// statement, connection kept open) and by a plain in-memory traversal over std::vector
// relation lists, plus expansions of a 5-term query, and verify and dump of the whole
// dictionary at two sizes. All in one run; every figure is the median of the repetitions.
//
//   refer_bench [--repeat R] [--samples S] [--occurrences N] [--vocabulary V] [--dir D]
//               [--calls N]
//
// With --calls N it only builds the dictionary, writes the sample terms to <dir>/samples.txt
// and makes N depth-1 lookups without a context cell, for counting their system calls
// (strace -c with N = 0 and N = 1000, the difference divided by 1000).
//
// The three traversals are checked against each other: every sample must give the same
// entries (text, depth, strength, parent) in all of them.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bench_support.h"
#include "thesaurus_engine/cnet.h"

namespace {

using benchsupport::median;
using benchsupport::now;
using benchsupport::ok;

constexpr const char* kName = "bench";
constexpr uint32_t kMaxTerms = 100;

// One result of a traversal.
struct Entry {
  std::string text;
  uint32_t depth;
  uint8_t strength;
  int32_t parent;
  bool operator==(const Entry&) const = default;
};

struct Edge {
  uint32_t target;
  uint8_t category, id, strength;
};

// The dictionary's words and relation lists, read once through the engine's record readers.
struct Graph {
  std::vector<std::string> texts;
  std::vector<std::vector<Edge>> edges;
  std::unordered_map<std::string, uint32_t> ids;
};

bool loadGraph(const std::string& dir, Graph* g) {
  CNETCTL ctl{};
  cnetSetCNETCTL(&ctl, kName, dir.c_str(), 0);
  CNETSTATUS st{};
  cnetOpen(&ctl, "rb", &st);
  CNETHEAD head{};
  if (st.retcode == 0) cnetReadHead(&ctl, &head, &st);
  for (uint32_t id = 0; st.retcode == 0 && id < head.wordCount; ++id) {
    char text[CNET_WORD_MAX + 4];
    uint32_t length = 0, relCount = 0;
    CNETRELENT* rels = nullptr;
    const int32_t rc = cnetReadWord(&ctl, static_cast<int32_t>(id), nullptr, nullptr, &relCount,
                                    &rels, text, &length, &st);
    g->texts.emplace_back(rc == 0 ? std::string(text, length) : std::string());
    g->edges.emplace_back();
    if (rc != 0) continue;
    g->ids.emplace(g->texts.back(), id);
    for (uint32_t i = 0; i < relCount; ++i) {
      g->edges.back().push_back(
          {rels[i].target, rels[i].rel.category, rels[i].rel.id, rels[i].strength});
    }
  }
  cnetClose(&ctl, nullptr);
  return ok(st, "loading the relations");
}

// The traversal of the engine's related-term lookup over any source of relation lists, with
// every relation selected and minimum strength 1: hits first, each word once at its shortest
// depth, the input word expanded but not returned. forEachStep(word, visit) calls
// visit(target, strength, target text) for each relation of word in stored order; the texts must
// stay valid until the traversal ends. A template, so that the in-memory source costs no call
// through a function object per relation.
template <class ForEachStep>
void traverse(uint32_t hit, const std::string& hitText, uint32_t words, int depthLimit,
              ForEachStep&& forEachStep, std::vector<Entry>* out) {
  struct Visit {
    uint32_t word, from;
    int32_t parent;
    uint32_t depth;
    uint8_t strength;
    std::string_view text;
  };
  out->clear();
  std::vector<uint8_t> visited(words / 8 + 1, 0);
  std::vector<Visit> queue;
  queue.push_back({hit, UINT32_MAX, 0, 0, 100, hitText});
  visited[hit / 8] |= static_cast<uint8_t>(1u << (hit % 8));
  for (size_t head = 0; head < queue.size(); ++head) {
    const Visit v = queue[head];
    if (v.text != hitText) {
      if (out->size() >= kMaxTerms) return;
      out->push_back({std::string(v.text), v.depth, v.strength, v.parent});
    }
    if (static_cast<int>(v.depth) + 1 > depthLimit) continue;
    const int32_t parent = static_cast<int32_t>(out->size()) - 1;
    forEachStep(v.word, [&](uint32_t target, uint8_t strength, std::string_view text) {
      if (target == v.word || target == v.from) return;
      uint8_t& bits = visited[target / 8];
      const uint8_t mask = static_cast<uint8_t>(1u << (target % 8));
      if (bits & mask) return;
      bits |= mask;
      queue.push_back({target, v.word, parent, v.depth + 1, strength, text});
    });
  }
}

// The engine's lookup of one term with every relation selected.
bool engineLookup(const std::string& dir, void** cell, const std::string& word, int depth,
                  std::vector<CNETRESENT>* buffer, std::vector<Entry>* out) {
  CNETTERM term{};
  std::memcpy(term.text, word.data(), word.size());
  term.length = static_cast<uint16_t>(word.size());
  term.weight = 100;
  CNETCOND cond{};
  cond.relations = CNET_REL_SYNONYM | CNET_REL_RELATED | CNET_REL_HIGHER | CNET_REL_LOWER;
  cond.userFamilies = CNET_USER_SYMMETRIC | CNET_USER_HIGHER | CNET_USER_LOWER;
  cond.maxTerms = kMaxTerms;
  cond.maxDepth = depth;
  cond.minStrength = 1;
  CNETRESULT result{buffer->data(), 0};
  CNETSTATUS st{};
  zolCNETrefer(cell, kName, dir.c_str(), &term, &cond, 0, &result, &st);
  if (out != nullptr) {
    out->clear();
    for (uint32_t i = 0; i < result.count; ++i) {
      const CNETRESENT& e = (*buffer)[i];
      out->push_back({std::string(e.text, e.length), e.depth, e.strength, e.parent});
    }
  }
  return ok(st, "lookup");
}

// The same relations in SQLite: words(id, text) and rel(src, ord, dst, strength), keyed by
// (src, ord), read breadth-first through one prepared statement that joins the target's text.
class SqliteGraph {
 public:
  ~SqliteGraph() {
    sqlite3_finalize(find_);
    sqlite3_finalize(next_);
    sqlite3_close(db_);
  }
  bool open(const std::string& path, const Graph& g) {
    std::filesystem::remove(path);
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) return false;
    exec(
        "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
        "CREATE TABLE words(id INTEGER PRIMARY KEY, text TEXT NOT NULL);"
        "CREATE TABLE rel(src INTEGER, ord INTEGER, dst INTEGER, strength INTEGER,"
        " PRIMARY KEY(src, ord)) WITHOUT ROWID; BEGIN");
    sqlite3_stmt* w = nullptr;
    sqlite3_stmt* r = nullptr;
    sqlite3_prepare_v2(db_, "INSERT INTO words VALUES(?1, ?2)", -1, &w, nullptr);
    sqlite3_prepare_v2(db_, "INSERT INTO rel VALUES(?1, ?2, ?3, ?4)", -1, &r, nullptr);
    for (uint32_t id = 0; id < g.texts.size(); ++id) {
      sqlite3_bind_int64(w, 1, id);
      sqlite3_bind_text(w, 2, g.texts[id].data(), static_cast<int>(g.texts[id].size()),
                        SQLITE_STATIC);
      sqlite3_step(w);
      sqlite3_reset(w);
      for (size_t i = 0; i < g.edges[id].size(); ++i) {
        sqlite3_bind_int64(r, 1, id);
        sqlite3_bind_int64(r, 2, static_cast<int64_t>(i));
        sqlite3_bind_int64(r, 3, g.edges[id][i].target);
        sqlite3_bind_int(r, 4, g.edges[id][i].strength);
        sqlite3_step(r);
        sqlite3_reset(r);
      }
    }
    sqlite3_finalize(w);
    sqlite3_finalize(r);
    exec("COMMIT; CREATE UNIQUE INDEX words_text ON words(text); ANALYZE");
    return sqlite3_prepare_v2(db_, "SELECT id FROM words WHERE text = ?1", -1, &find_, nullptr) ==
               SQLITE_OK &&
           sqlite3_prepare_v2(db_,
                              "SELECT r.dst, r.strength, w.text FROM rel r JOIN words w ON "
                              "w.id = r.dst WHERE r.src = ?1 ORDER BY r.ord",
                              -1, &next_, nullptr) == SQLITE_OK;
  }
  bool lookup(const std::string& word, uint32_t words, int depth, std::vector<Entry>* out) {
    sqlite3_bind_text(find_, 1, word.data(), static_cast<int>(word.size()), SQLITE_STATIC);
    const bool found = sqlite3_step(find_) == SQLITE_ROW;
    const uint32_t hit = found ? static_cast<uint32_t>(sqlite3_column_int64(find_, 0)) : 0;
    sqlite3_reset(find_);
    if (!found) return false;
    texts_.clear();
    traverse(
        hit, word, words, depth,
        [this](uint32_t id, auto&& visit) {
          sqlite3_bind_int64(next_, 1, id);
          while (sqlite3_step(next_) == SQLITE_ROW) {
            // Column texts live only until the next step: keep copies for the traversal.
            texts_.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(next_, 2)),
                                static_cast<size_t>(sqlite3_column_bytes(next_, 2)));
            visit(static_cast<uint32_t>(sqlite3_column_int64(next_, 0)),
                  static_cast<uint8_t>(sqlite3_column_int(next_, 1)), texts_.back());
          }
          sqlite3_reset(next_);
        },
        out);
    return true;
  }

 private:
  void exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
      std::fprintf(stderr, "sqlite: %s\n", error);
      sqlite3_free(error);
    }
  }
  sqlite3* db_ = nullptr;
  sqlite3_stmt* find_ = nullptr;
  sqlite3_stmt* next_ = nullptr;
  std::deque<std::string> texts_;
};

void memoryLookup(const Graph& g, const std::string& word, int depth, std::vector<Entry>* out) {
  const auto it = g.ids.find(word);
  if (it == g.ids.end()) return;
  traverse(
      it->second, word, static_cast<uint32_t>(g.texts.size()), depth,
      [&g](uint32_t id, auto&& visit) {
        for (const Edge& e : g.edges[id])
          visit(e.target, e.strength, g.texts[e.target]);
      },
      out);
}

// Times fn over every sample, repeat times; returns the median rate per second.
double rate(int repeat, size_t samples, const std::function<void()>& fn) {
  std::vector<double> rates;
  for (int r = 0; r < repeat; ++r) {
    const double start = now();
    fn();
    rates.push_back(static_cast<double>(samples) / (now() - start));
  }
  return median(rates);
}

double seconds(int repeat, const std::function<bool()>& fn) {
  std::vector<double> times;
  for (int r = 0; r < repeat; ++r) {
    const double start = now();
    if (!fn()) return -1;
    times.push_back(now() - start);
  }
  return median(times);
}

bool verify(const std::string& dir) {
  CNETEXEC exec{};
  CNETSTATUS st{};
  zolCNETverify(kName, dir.c_str(), &exec, 0, 0, &st);
  return ok(st, "verify");
}

bool dump(const std::string& dir) {
  const std::string path = dir + "/dump.def";
  CNETDEF d{};
  d.kind = CNET_DEF_FILE;
  d.path = path.c_str();
  CNETEXEC exec{};
  exec.flags = CNET_EXEC_REPLACE;
  CNETSTATUS st{};
  zolCNETdump(kName, dir.c_str(), nullptr, &d, &exec, 0, &st);
  return ok(st, "dump");
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 5;
  size_t sampleCount = 2000;
  uint64_t occurrences = 1000000, vocabulary = 800000;
  std::string dir = "/tmp/refer_bench";
  long calls = -1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--repeat") repeat = std::atoi(argv[i + 1]);
    if (opt == "--samples") sampleCount = std::strtoul(argv[i + 1], nullptr, 10);
    if (opt == "--occurrences") occurrences = std::strtoull(argv[i + 1], nullptr, 10);
    if (opt == "--vocabulary") vocabulary = std::strtoull(argv[i + 1], nullptr, 10);
    if (opt == "--dir") dir = argv[i + 1];
    if (opt == "--calls") calls = std::atol(argv[i + 1]);
  }
  const uint32_t words =
      benchsupport::buildSynthetic(kName, dir + "/full", occurrences, vocabulary);
  const uint32_t halfWords =
      benchsupport::buildSynthetic(kName, dir + "/half", occurrences / 2, vocabulary / 2);
  if (words == 0 || halfWords == 0) return 1;
  const std::string full = dir + "/full";
  Graph graph;
  if (!loadGraph(full, &graph)) return 1;
  SqliteGraph sql;
  if (!sql.open(full + "/bench.sqlite", graph)) return 1;

  // Samples spread evenly over the present words.
  std::vector<std::string> samples;
  for (size_t i = 0; i < sampleCount; ++i) {
    const std::string& t = graph.texts[i * graph.texts.size() / sampleCount];
    if (!t.empty()) samples.push_back(t);
  }
  if (calls >= 0) {
    FILE* out = std::fopen((dir + "/samples.txt").c_str(), "w");
    if (out == nullptr) return 1;
    for (const std::string& s : samples)
      std::fprintf(out, "%s\n", s.c_str());
    std::fclose(out);
    std::vector<CNETRESENT> buffer(kMaxTerms);
    for (long i = 0; i < calls; ++i)
      engineLookup(full, nullptr, samples[static_cast<size_t>(i) % samples.size()], 1, &buffer,
                   nullptr);
    return 0;
  }
  std::printf("dictionary: %u words (half size: %u), %zu sample terms, term limit %u, %d runs\n",
              words, halfWords, samples.size(), kMaxTerms, repeat);

  std::vector<CNETRESENT> buffer(kMaxTerms);
  std::vector<Entry> a, b, c;
  for (int depth : {1, 3}) {
    size_t mismatches = 0, results = 0;
    for (const std::string& s : samples) {
      engineLookup(full, nullptr, s, depth, &buffer, &a);
      sql.lookup(s, words, depth, &b);
      memoryLookup(graph, s, depth, &c);
      results += a.size();
      if (a != b || a != c) ++mismatches;
    }
    void* cell = nullptr;
    const double fresh = rate(repeat, samples.size(), [&] {
      for (const std::string& s : samples)
        engineLookup(full, nullptr, s, depth, &buffer, nullptr);
    });
    const double reused = rate(repeat, samples.size(), [&] {
      for (const std::string& s : samples)
        engineLookup(full, &cell, s, depth, &buffer, nullptr);
    });
    const double sqlite = rate(repeat, samples.size(), [&] {
      for (const std::string& s : samples)
        sql.lookup(s, words, depth, &b);
    });
    const double memory = rate(repeat, samples.size(), [&] {
      for (const std::string& s : samples)
        memoryLookup(graph, s, depth, &c);
    });
    CNETSTATUS st{};
    zolCNETrefer_Release(&cell, &st);
    std::printf(
        "depth %d: %.1f results per lookup, %zu mismatches\n"
        "  engine, no context cell   %10.0f lookups/s   time / in-memory = %.2f, / sqlite = %.2f\n"
        "  engine, reused context    %10.0f lookups/s   time / in-memory = %.2f, / sqlite = %.2f\n"
        "  sqlite                    %10.0f lookups/s\n"
        "  in-memory std::vector     %10.0f lookups/s\n",
        depth, static_cast<double>(results) / static_cast<double>(samples.size()), mismatches,
        fresh, memory / fresh, sqlite / fresh, reused, memory / reused, sqlite / reused, sqlite,
        memory);
  }

  // Expansion of a 5-term query, context kept between expansions.
  {
    std::vector<std::string> queries;
    for (size_t i = 0; i + 5 <= samples.size(); i += 5) {
      auto q = [&](size_t k) {
        const std::string& t = samples[i + k];
        return t.find(' ') == std::string::npos ? t : "\"" + t + "\"";
      };
      queries.push_back(q(0) + " & " + q(1) + " & (" + q(2) + " | " + q(3) + ") & !" + q(4));
    }
    void* context = nullptr;
    CNETCOND cond{};
    cond.relations = CNET_REL_SYNONYM | CNET_REL_RELATED;
    cond.maxTerms = 20;
    cond.maxDepth = 1;
    cond.minStrength = 1;
    CNETEXPOPT options{};
    options.mode = 1;
    bool failed = false;
    const double expansions = rate(repeat, queries.size(), [&] {
      for (const std::string& q : queries) {
        ZOLSEARCHCOND in{};
        in.codePage = 34;
        in.form = 1;
        in.queryText = q.c_str();
        in.queryLength = -1;
        ZOLSEARCHCOND out{};
        CNETSTATUS st{};
        zolCNETexpandSearchCond(&context, kName, full.c_str(), &in, &cond, &options, 0, &out,
                                nullptr, &st);
        if (!failed && !ok(st, "expansion")) failed = true;
      }
    });
    CNETSTATUS st{};
    zolCNETexpandSearchCond_Release(&context, &st);
    std::printf(
        "expansion of a 5-term query (synonyms and related, depth 1, 20 terms each): "
        "%.0f expansions/s%s\n",
        expansions, failed ? " (with failures)" : "");
  }

  // Whole-dictionary operations at two sizes: time per word shows whether they are linear.
  const std::string half = dir + "/half";
  const double verifyFull = seconds(repeat, [&] { return verify(full); });
  const double verifyHalf = seconds(repeat, [&] { return verify(half); });
  const double dumpFull = seconds(repeat, [&] { return dump(full); });
  const double dumpHalf = seconds(repeat, [&] { return dump(half); });
  auto perWord = [](double s, uint32_t n) { return s * 1e9 / n; };
  std::printf("verify: %.3f s (%u words, %.0f ns/word), %.3f s (%u words, %.0f ns/word)\n",
              verifyFull, words, perWord(verifyFull, words), verifyHalf, halfWords,
              perWord(verifyHalf, halfWords));
  std::printf("dump:   %.3f s (%u words, %.0f ns/word), %.3f s (%u words, %.0f ns/word)\n",
              dumpFull, words, perWord(dumpFull, words), dumpHalf, halfWords,
              perWord(dumpHalf, halfWords));
  return 0;
}
