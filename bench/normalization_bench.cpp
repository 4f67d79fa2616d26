// Normalization throughput: every kind of normalizer over a mixed-script text of more than
// 1 MB of UTF-16, with 64-unit output buffers (each call resumed from the unconsumed rest)
// and with one buffer large enough for one call, against memcpy of the text (the limit) and
// against ICU's unorm2 normalizing the same text in one call (what a caller would use
// instead). Every measurement of a round runs twice in turn, the second time timed in CPU time
// of the thread (so that each starts with the text in the caches, and time spent waiting for
// a core on a shared machine does not count); the figures are medians over the rounds, and
// each ratio is the median of the ratios taken within a round.
//
//   build/bench/normalization_bench [rounds] [--nfd] [--only TEXT]
//
// --only keeps the normalizer named TEXT (and the baselines), for profiling.
// With --nfd the text is first decomposed (NFD), so that nearly every character goes through
// a normalization step: a harder case than the text people write, for information.
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "tyk_common/tyk_normalization.h"

namespace {

// The sentences the text is made of, as people write them (precomposed), with one line typed
// with combining marks and one with compatibility characters.
const char* const kSentences[] = {
    "The quick brown fox jumps over the lazy dog while the committee reviews the budget. ",
    "Der Bürgermeister lässt die Straße vor dem Rathaus für das Volksfest sperren. ",
    "Le directeur général a présenté à l'assemblée un rapport détaillé sur l'année écoulée. ",
    "El niño pidió una piña y un café con leche en la estación de autobuses. ",
    "Zażółć gęślą jaźń, a potem przeczytaj gazetę przy śniadaniu. ",
    "Příliš žluťoučký kůň úpěl ďábelské ódy na břehu řeky. ",
    "Η γρήγορη καφέ αλεπού πηδάει πάνω από τον τεμπέλη σκύλο στην αυλή. ",
    "Съешь же ещё этих мягких французских булок, да выпей же чаю. ",
    "Tiếng Việt là ngôn ngữ chính thức của Việt Nam, với hàng triệu người nói. ",
    "한국어는 대한민국과 조선민주주의인민공화국의 공용어이며 많은 사람이 사용합니다. ",
    "日本語の文章を正規化してから索引に登録します。東京都の天気は晴れです。",
    "ประเทศไทยมีประชากรประมาณหกสิบหกล้านคน ",
    "اللغة العربية هي إحدى اللغات الرسمية في الأمم المتحدة. ",
    "Vie\xCC\xA3\xCC\x82t Nam co\xCC\x81 nhu\xCC\x9B\xCC\x83ng ca\xCC\x89nh \xC4\x91"
    "e\xCC\xA3p. ",
    "Compatibility: \xEF\xAC\x81le \xEF\xAC\x82ow \xE2\x91\xA0 \xEF\xBD\x86\xEF\xBD\x95\xEF\xBD\x8C"
    "\xEF\xBD\x8C 5\xE3\x8E\x8F \xC2\xBD. ",
};

constexpr size_t kMinBytes = 1 << 20;  // at least 1 MB of UTF-16
constexpr unsigned int kSmallBuffer = 64;

std::u16string fromUtf8(const char* text) {
  std::u16string out(std::strlen(text) + 1, u'\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strFromUTF8(out.data(), static_cast<int32_t>(out.size()), &length, text, -1, &error);
  out.resize(U_SUCCESS(error) ? static_cast<size_t>(length) : 0);
  return out;
}

std::u16string icuNormalize(const UNormalizer2* n2, const std::u16string& text,
                            std::u16string& out) {
  UErrorCode error = U_ZERO_ERROR;
  int32_t n = unorm2_normalize(n2, text.data(), static_cast<int32_t>(text.size()), out.data(),
                               static_cast<int32_t>(out.size()), &error);
  if (U_FAILURE(error)) {
    std::fprintf(stderr, "unorm2_normalize: %s\n", u_errorName(error));
    std::exit(1);
  }
  return out.substr(0, static_cast<size_t>(n));
}

// The text in calls with capacity units of room each, resumed from the unconsumed rest;
// the output is gathered only when keep is set. Returns the units written.
size_t normalizeAll(TykClNormalization& n, const std::u16string& text, std::u16string& buffer,
                    unsigned int capacity, std::u16string* keep) {
  const auto* in = reinterpret_cast<const uint16_t*>(text.data());
  auto* out = reinterpret_cast<uint16_t*>(buffer.data());
  unsigned int left = static_cast<unsigned int>(text.size());
  size_t written = 0;
  while (left != 0) {
    const unsigned int before = left;
    const unsigned int w = n.normalize(out, capacity, in + (text.size() - left), left);
    if (keep) keep->append(buffer.data(), w);
    written += w;
    if (left == before) {
      std::fprintf(stderr, "no progress with %u units of room\n", capacity);
      std::exit(1);
    }
  }
  return written;
}

// The CPU time of this thread: the machine is shared, and time the thread waits for a core
// is not the normalizer's.
double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Subject {
  std::string name;
  TykClNormalization* normalizer;
  const char* baseline;  // the ICU figure it is compared with, or null
  double oneCallTarget;  // the most time it may take against the baseline, in one call
  double smallTarget;    // and with 64-unit buffers
};

}  // namespace

int main(int argc, char** argv) {
  int rounds = 21;
  bool nfd = false;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--nfd") == 0) {
      nfd = true;
    } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
      only = argv[++i];
    } else {
      rounds = std::atoi(argv[i]);
    }
  }
  if (rounds < 1) rounds = 1;

  UErrorCode error = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&error);
  const UNormalizer2* nfkc = unorm2_getNFKCInstance(&error);
  const UNormalizer2* nfdInstance = unorm2_getNFDInstance(&error);
  if (U_FAILURE(error)) return 1;

  std::u16string text;
  while (text.size() * 2 < kMinBytes) {
    for (const char* s : kSentences)
      text += fromUtf8(s);
  }
  std::u16string big(text.size() * 18 + 64, u'\0');
  if (nfd) text = icuNormalize(nfdInstance, text, big), big.resize(text.size() * 18 + 64);
  const double megabytes = static_cast<double>(text.size() * 2) / 1e6;
  std::printf("text: %zu UTF-16 units (%.2f MB)%s, %d rounds\n", text.size(), megabytes,
              nfd ? ", decomposed (NFD)" : "", rounds);

  auto make = [](TykEnUnicodeNormalization form, bool accent, bool letter, uint32_t language) {
    return TykClNormalization::createNormalizer(TykClIndexConfig(form, accent, letter),
                                                CosClCCSID(1208), CosClLanguage(language));
  };
  const auto kNone = TYK_UNICODE_NORMALIZATION_NONE, kNfc = TYK_UNICODE_NORMALIZATION_NFC,
             kNfkc = TYK_UNICODE_NORMALIZATION_NFKC;
  std::vector<Subject> subjects = {
      {"memcopy", make(kNone, false, false, 0), nullptr, 0, 0},
      {"table (both switches)", make(kNone, true, true, 0), "unorm2 NFC", 1, 1},
      {"Unicode NFC", make(kNfc, false, false, 0), "unorm2 NFC", 2, 3},
      {"Unicode NFKC", make(kNfkc, false, false, 0), "unorm2 NFKC", 2, 3},
      {"Unicode NFC + table", make(kNfc, true, true, 0), "unorm2 NFC", 2, 3},
      {"Unicode NFKC + table", make(kNfkc, true, true, 0), "unorm2 NFKC", 2, 3},
      {"Thai", make(kNone, false, false, 120), nullptr, 0, 0},
  };
  if (!only.empty()) {
    std::erase_if(subjects, [&](const Subject& s) {
      if (s.name == only) return false;
      TykClNormalization::destroyNormalizer(s.normalizer);
      return true;
    });
  }

  // Correctness first: resumed calls give the one-call output, and the Unicode normalizers
  // give ICU's.
  for (const Subject& s : subjects) {
    std::u16string whole, pieces;
    normalizeAll(*s.normalizer, text, big, static_cast<unsigned int>(big.size()), &whole);
    normalizeAll(*s.normalizer, text, big, kSmallBuffer, &pieces);
    const bool thai = s.normalizer->getKind() == TYK_NORMALIZATION_KIND_THAI;
    if (whole != pieces && !thai) {
      std::fprintf(stderr, "%s: resumed output differs\n", s.name.c_str());
      return 1;
    }
    const std::u16string* expected = nullptr;
    std::u16string reference;
    if (s.name == "Unicode NFC") reference = icuNormalize(nfc, text, big), expected = &reference;
    if (s.name == "Unicode NFKC") reference = icuNormalize(nfkc, text, big), expected = &reference;
    if (expected && whole != *expected) {
      std::fprintf(stderr, "%s: output differs from unorm2\n", s.name.c_str());
      return 1;
    }
  }

  // The measurements of one round, in the order they run.
  struct Measure {
    std::string name;
    std::function<void()> run;
    std::vector<double> seconds;
  };
  std::vector<Measure> measures;
  measures.push_back(
      {"memcpy", [&] { std::memcpy(big.data(), text.data(), text.size() * 2); }, {}});
  measures.push_back({"unorm2 NFC",
                      [&] {
                        UErrorCode e = U_ZERO_ERROR;
                        unorm2_normalize(nfc, text.data(), static_cast<int32_t>(text.size()),
                                         big.data(), static_cast<int32_t>(big.size()), &e);
                      },
                      {}});
  measures.push_back({"unorm2 NFKC",
                      [&] {
                        UErrorCode e = U_ZERO_ERROR;
                        unorm2_normalize(nfkc, text.data(), static_cast<int32_t>(text.size()),
                                         big.data(), static_cast<int32_t>(big.size()), &e);
                      },
                      {}});
  for (const Subject& s : subjects) {
    measures.push_back({s.name + ", one call",
                        [&] {
                          normalizeAll(*s.normalizer, text, big,
                                       static_cast<unsigned int>(big.size()), nullptr);
                        },
                        {}});
    measures.push_back({s.name + ", 64-unit buffer",
                        [&] { normalizeAll(*s.normalizer, text, big, kSmallBuffer, nullptr); },
                        {}});
  }
  for (int r = 0; r < rounds; ++r) {
    for (Measure& m : measures) {
      m.run();  // untimed: the text and the buffers in the caches, as for the others
      const double start = cpuSeconds();
      m.run();
      m.seconds.push_back(cpuSeconds() - start);
    }
  }

  auto find = [&](const std::string& name) -> const Measure& {
    for (const Measure& m : measures)
      if (m.name == name) return m;
    std::abort();
  };
  // Median over the rounds of a's time divided by b's time.
  auto ratio = [&](const Measure& a, const Measure& b) {
    std::vector<double> ratios;
    for (int r = 0; r < rounds; ++r)
      ratios.push_back(a.seconds[static_cast<size_t>(r)] / b.seconds[static_cast<size_t>(r)]);
    return benchsupport::median(ratios);
  };
  const Measure& limit = find("memcpy");
  // Times are given as multiples of memcpy's and of the ICU baseline's in the same round.
  std::printf("\n%-40s %9s %8s %28s\n", "", "MB/s", "/memcpy", "/unorm2 (target)");
  for (const Measure& m : measures) {
    const double mbs = megabytes / benchsupport::median(m.seconds);
    std::printf("%-40s %9.1f %8.1f", m.name.c_str(), mbs, ratio(m, limit));
    for (const Subject& s : subjects) {
      if (m.name.rfind(s.name + ",", 0) != 0 || s.baseline == nullptr) continue;
      const double target =
          m.name.find("64-unit") != std::string::npos ? s.smallTarget : s.oneCallTarget;
      const double r = ratio(m, find(s.baseline));
      std::printf(" %6.2f %-11s (%.0f: %s)", r, s.baseline, target, r <= target ? "met" : "missed");
    }
    std::printf("\n");
  }
  for (Subject& s : subjects)
    TykClNormalization::destroyNormalizer(s.normalizer);
  return 0;
}
