// The cost of the flat lookup API over the engine: on a compiled synthetic dictionary of about
// 200,000 words, related-term lookups through tykThesaurusLookupPerform with iteration over
// every entry (tykThesaurusEntryObtainData) against zolCNETrefer called directly, with the same
// words and settings (every relation, term limit 100, depth 1 and depth 3, no search-context
// cell on either side). The two are timed word by word, in alternating order; each figure is the
// median over the repetitions of the time for all sample words.
//
//   api_bench [--repeat R] [--samples S] [--occurrences N] [--vocabulary V] [--dir D]
//
// Before timing, every sample must give the same entries through both.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "thesaurus_engine/cnet.h"
#include "tyk_cnet/tyk_api_thes.h"
#include "tyk_common/tyk_error_info.h"

namespace {

using benchsupport::median;
using benchsupport::now;
using benchsupport::ok;

constexpr const char* kName = "bench";
constexpr uint32_t kMaxTerms = 100;
constexpr uint8_t kAllRelations = 0xF0;

// Texts of count words spread evenly over the word ids.
std::vector<std::string> sampleWords(const std::string& dir, size_t count) {
  std::vector<std::string> out;
  CNETCTL ctl{};
  cnetSetCNETCTL(&ctl, kName, dir.c_str(), 0);
  CNETSTATUS st{};
  cnetOpen(&ctl, "rb", &st);
  CNETHEAD head{};
  if (st.retcode == 0) cnetReadHead(&ctl, &head, &st);
  for (size_t i = 0; st.retcode == 0 && i < count; ++i) {
    const auto id = static_cast<int32_t>(i * head.wordCount / count);
    char text[CNET_WORD_MAX + 4];
    uint32_t length = 0, relCount = 0;
    CNETRELENT* rels = nullptr;
    if (cnetReadWord(&ctl, id, nullptr, nullptr, &relCount, &rels, text, &length, &st) == 0)
      out.emplace_back(text, length);
  }
  cnetClose(&ctl, nullptr);
  ok(st, "reading the sample words");
  return out;
}

// The engine directly; returns the number of entries.
uint32_t engineLookup(const std::string& dir, const std::string& word, int depth,
                      std::vector<CNETRESENT>* buffer) {
  CNETTERM term{};
  std::memcpy(term.text, word.data(), word.size());
  term.length = static_cast<uint16_t>(word.size());
  term.weight = 100;
  CNETCOND cond{};
  cond.relations = kAllRelations;
  cond.userFamilies = kAllRelations & 0x7F;
  cond.maxTerms = kMaxTerms;
  cond.maxDepth = depth;
  CNETRESULT result{buffer->data(), 0};
  CNETSTATUS st{};
  zolCNETrefer(nullptr, kName, dir.c_str(), &term, &cond, 0, &result, &st);
  return st.retcode == 0 ? result.count : 0;
}

// The API with iteration over every entry; returns the number of entries, and their texts
// when asked.
uint32_t apiLookup(TykClThesaurus* handle, const std::string& word,
                   std::vector<std::string>* texts) {
  TykClThesOutputList* list = nullptr;
  if (tykThesaurusLookupPerform(handle, &list, word.data(), static_cast<unsigned>(word.size())) !=
      TYK_RC_OK)
    return 0;
  TykClListABase::Iterator* it = list->getNewIterator();
  uint32_t entries = 0;
  char text[CNET_WORD_MAX];
  uint32_t length = 0, type = 0;
  uint8_t strength = 0;
  short depth = 0;
  unsigned short number = 0;
  for (bool more = it->setToFirst(); more; more = it->setToNext(1)) {
    if (tykThesaurusEntryObtainData(it, text, &length, &strength, &depth, &type, &number) != 0)
      break;
    if (texts != nullptr) texts->emplace_back(text, length);
    ++entries;
  }
  delete it;
  delete list;
  return entries;
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 5;
  size_t sampleCount = 1000;
  uint64_t occurrences = 1100000, vocabulary = 650000;
  std::string dir = "/tmp/api_bench";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--repeat") repeat = std::atoi(argv[i + 1]);
    if (opt == "--samples") sampleCount = std::strtoul(argv[i + 1], nullptr, 10);
    if (opt == "--occurrences") occurrences = std::strtoull(argv[i + 1], nullptr, 10);
    if (opt == "--vocabulary") vocabulary = std::strtoull(argv[i + 1], nullptr, 10);
    if (opt == "--dir") dir = argv[i + 1];
  }
  const uint32_t words = benchsupport::buildSynthetic(kName, dir, occurrences, vocabulary);
  if (words == 0) return 1;
  const std::vector<std::string> samples = sampleWords(dir, sampleCount);
  if (samples.empty()) return 1;

  TykClErrorInfo info;
  TykClContext context(info);
  TykClThesaurus* handle = nullptr;
  if (tykHandleNewThesaurusLookup(dir.c_str(), kName, 1208, static_cast<int>(kMaxTerms), &handle,
                                  &context) != TYK_RC_OK)
    return 1;
  tykThesaurusLookupSetRelationTypes(handle, kAllRelations);
  std::printf("dictionary: %u words, %zu sample terms, term limit %u, %d runs\n", words,
              samples.size(), kMaxTerms, repeat);

  std::vector<CNETRESENT> buffer(kMaxTerms);
  int status = 0;
  for (int depth : {1, 3}) {
    tykThesaurusLookupSetDepth(handle, static_cast<short>(depth));
    size_t mismatches = 0, results = 0;
    for (const std::string& s : samples) {
      std::vector<std::string> texts;
      const uint32_t n = engineLookup(dir, s, depth, &buffer);
      apiLookup(handle, s, &texts);
      bool same = texts.size() == n;
      for (uint32_t i = 0; same && i < n; ++i)
        same = texts[i] == std::string(buffer[i].text, buffer[i].length);
      mismatches += same ? 0 : 1;
      results += n;
    }
    if (mismatches != 0) status = 1;
    std::vector<double> engineTimes, apiTimes;
    // Each word's fastest time on each side over the repetitions: less exposed to other load.
    std::vector<double> engineBest(samples.size(), 1e9), apiBest(samples.size(), 1e9);
    uint64_t sink = 0;
    for (int r = 0; r < repeat; ++r) {
      // Word by word, both sides, the first one changing from word to word: a slower moment of
      // the shared machine, or the cache the first side warms for the second, falls on both.
      double engineTime = 0, apiTime = 0;
      for (size_t i = 0; i < samples.size(); ++i) {
        const bool engineFirst = (i + static_cast<size_t>(r)) % 2 == 0;
        for (int side = 0; side < 2; ++side) {
          const bool engineSide = (side == 0) == engineFirst;
          const double start = now();
          sink += engineSide ? engineLookup(dir, samples[i], depth, &buffer)
                             : apiLookup(handle, samples[i], nullptr);
          const double elapsed = now() - start;
          (engineSide ? engineTime : apiTime) += elapsed;
          double& best = engineSide ? engineBest[i] : apiBest[i];
          best = std::min(best, elapsed);
        }
      }
      engineTimes.push_back(engineTime);
      apiTimes.push_back(apiTime);
    }
    const double perEngine = median(engineTimes) * 1e6 / static_cast<double>(samples.size());
    const double perApi = median(apiTimes) * 1e6 / static_cast<double>(samples.size());
    double engineBestSum = 0, apiBestSum = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
      engineBestSum += engineBest[i];
      apiBestSum += apiBest[i];
    }
    std::printf(
        "depth %d: %.1f results per lookup, %zu mismatches (checksum %llu)\n"
        "  zolCNETrefer                    %8.1f us per lookup\n"
        "  API lookup + entry iteration    %8.1f us per lookup\n"
        "  API / engine                    %8.3f   (per-word best times: %.3f)\n",
        depth, static_cast<double>(results) / static_cast<double>(samples.size()), mismatches,
        static_cast<unsigned long long>(sink), perEngine, perApi, perApi / perEngine,
        apiBestSum / engineBestSum);
  }
  tykHandleDeleteThesaurusLookup(&handle);
  return status;
}
