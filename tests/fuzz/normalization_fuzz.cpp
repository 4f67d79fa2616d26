// Fuzz target of the normalizers: random UTF-16 text through every kind of normalizer, in one
// call with room enough and in calls of random capacities resumed from the unconsumed rest.
//
// Input: byte 0 seeds the capacities; byte 1 chooses how the rest becomes text: even, as
// UTF-16LE; odd, as pairs (page, low byte) where pages below 0xE0 stand for the blocks where
// normalization happens (Latin, combining marks, Thai, Hangul, surrogates, compatibility forms).
//
// Checked: no call writes beyond its capacity, returns more than it, or consumes more than
// given; a call that consumes nothing writes nothing, and some room makes every call progress;
// resumed calls give the output of one call (Thai: the same text apart from white space, since
// the words of a rest may be found differently); the one-call output is ICU's unorm2 result
// (Unicode), the model's (Unicode and table), the table's (table) or the input (copy).
// getNormalizedLength walks the text's UTF-8 with sane byte lengths and results.
#include <unicode/uchar.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/normalization_model.h"
#include "tyk_common/tyk_normalization.h"

namespace {

constexpr size_t kMaxUnits = 400;
constexpr unsigned int kMaxExpansion = 18;  // the most units NFKC makes of one unit

void check(bool condition, const char* what, const char* normalizer) {
  if (condition) return;
  std::fprintf(stderr, "normalization fuzz: %s (%s)\n", what, normalizer);
  std::abort();
}

struct Destroy {
  void operator()(TykClNormalization* n) const { TykClNormalization::destroyNormalizer(n); }
};

using Owned = std::unique_ptr<TykClNormalization, Destroy>;

struct Subject {
  const char* name;
  Owned normalizer;
  enum Kind { kCopy, kTable, kUnicode, kUnicodeTable, kThai } kind;
  bool nfkc;
};

std::vector<Subject>& subjects() {
  static std::vector<Subject> all = [] {
    auto make = [](TykEnUnicodeNormalization form, bool accent, bool letter, uint32_t language) {
      return Owned(TykClNormalization::createNormalizer(TykClIndexConfig(form, accent, letter),
                                                        CosClCCSID(1208), CosClLanguage(language)));
    };
    const auto kNfc = TYK_UNICODE_NORMALIZATION_NFC, kNfkc = TYK_UNICODE_NORMALIZATION_NFKC,
               kNone = TYK_UNICODE_NORMALIZATION_NONE;
    std::vector<Subject> made;
    made.push_back({"copy", make(kNone, false, false, 0), Subject::kCopy, false});
    made.push_back({"table both", make(kNone, true, true, 0), Subject::kTable, false});
    made.push_back({"table letter", make(kNone, false, true, 0), Subject::kTable, false});
    made.push_back({"NFC", make(kNfc, false, false, 0), Subject::kUnicode, false});
    made.push_back({"NFKC", make(kNfkc, false, false, 0), Subject::kUnicode, true});
    made.push_back({"NFC table both", make(kNfc, true, true, 0), Subject::kUnicodeTable, false});
    made.push_back(
        {"NFKC table accent", make(kNfkc, true, false, 0), Subject::kUnicodeTable, true});
    made.push_back({"Thai", make(kNone, false, false, 120), Subject::kThai, false});
    return made;
  }();
  return all;
}

const TykClNormalizationTable* tableOf(const Subject& s) {
  if (s.kind == Subject::kTable)
    return &static_cast<TykClNormalizationTableBased&>(*s.normalizer).getTable();
  if (s.kind == Subject::kUnicodeTable)
    return &static_cast<TykClNormalizationUnicodeAndTableBased&>(*s.normalizer).getTable();
  return nullptr;
}

std::u16string expectedOneCall(const Subject& s, const std::u16string& text) {
  switch (s.kind) {
    case Subject::kUnicode:
      return testsupport::icuNormalize(text, s.nfkc);
    case Subject::kUnicodeTable:
      return testsupport::modelNormalize(text, s.nfkc, tableOf(s));
    case Subject::kTable: {
      std::u16string out;
      for (char16_t unit : text) {
        const TykStNormalizationRow* row = tableOf(s)->findRow(unit);
        out += row ? static_cast<char16_t>(row->usFirst) : unit;
        if (row && row->usSecond) out += static_cast<char16_t>(row->usSecond);
      }
      return out;
    }
    default:
      return text;
  }
}

std::u16string withoutWhiteSpace(const std::u16string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    UChar32 c;
    U16_NEXT(text.data(), i, text.size(), c);
    if (!u_isUWhiteSpace(c)) out.append(text, start, i - start);
  }
  return out;
}

// One call into a buffer with a guard area; checks the contract and appends the output.
unsigned int call(const Subject& s, const char16_t* in, unsigned int count, unsigned int capacity,
                  std::u16string& joined) {
  std::vector<uint16_t> buf(capacity + 8, 0xBEEF);
  unsigned int left = count;
  const unsigned int written =
      s.normalizer->normalize(buf.data(), capacity, reinterpret_cast<const uint16_t*>(in), left);
  check(written <= capacity, "more written than the capacity", s.name);
  for (size_t i = capacity; i < buf.size(); ++i)
    check(buf[i] == 0xBEEF, "write beyond the capacity", s.name);
  check(left <= count, "more consumed than given", s.name);
  check(left < count || written == 0, "output without consumed input", s.name);
  joined.append(buf.begin(), buf.begin() + written);
  return left;
}

std::u16string textOf(const uint8_t* data, size_t size) {
  static const uint8_t kPages[] = {0x00, 0x00, 0x01, 0x02, 0x03, 0x03, 0x0E, 0x11, 0x1E,
                                   0x20, 0x30, 0x31, 0xAC, 0xD8, 0xDC, 0xFB, 0xFF};
  std::u16string text;
  const bool paged = (data[1] & 1) != 0;
  for (size_t i = 2; i + 1 < size && text.size() < kMaxUnits; i += 2) {
    uint8_t high = data[i + 1], low = data[i];
    if (paged && high < 0xE0) high = kPages[high % sizeof kPages];
    text += static_cast<char16_t>(high << 8 | low);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::u16string text = textOf(data, size);
  const auto n = static_cast<unsigned int>(text.size());
  uint32_t random = data[0] * 2654435761u + 1;
  auto next = [&random] {
    random = random * 1103515245u + 12345u;
    return random >> 16;
  };

  for (const Subject& s : subjects()) {
    std::u16string whole;
    check(call(s, text.data(), n, n * kMaxExpansion + 8, whole) == 0, "one call left input",
          s.name);
    if (s.kind == Subject::kThai) {
      check(withoutWhiteSpace(whole) == withoutWhiteSpace(text), "Thai lost text", s.name);
    } else {
      check(whole == expectedOneCall(s, text), "one call differs from the expected", s.name);
    }

    std::u16string joined;
    unsigned int done = 0;
    while (done < n) {
      unsigned int room = 1 + next() % 40;
      unsigned int left = call(s, text.data() + done, n - done, room, joined);
      // A result that does not fit is left; some room is always enough.
      while (left == n - done) {
        check(room <= 2 * (n * kMaxExpansion + 8), "no progress with room enough", s.name);
        room *= 2;
        left = call(s, text.data() + done, n - done, room, joined);
      }
      done = n - left;
    }
    if (s.kind == Subject::kThai) {
      check(withoutWhiteSpace(joined) == withoutWhiteSpace(whole), "Thai resumed lost text",
            s.name);
    } else {
      check(joined == whole, "resumed calls differ from one call", s.name);
    }

    if (s.kind == Subject::kThai) continue;
    // The text as UTF-8 after one ASCII byte, so the byte before a mark is always there.
    std::string utf8 = "a";
    for (size_t i = 0; i < text.size();) {
      UChar32 c;
      U16_NEXT(text.data(), i, text.size(), c);
      if (U_IS_SURROGATE(c)) c = 0xFFFD;
      uint8_t bytes[4];
      int32_t length = 0;
      U8_APPEND_UNSAFE(bytes, length, c);
      utf8.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
    }
    for (size_t at = 1; at < utf8.size();) {
      unsigned int byteLength = 0;
      const unsigned int units = s.normalizer->getNormalizedLength(utf8.c_str() + at, byteLength);
      check(byteLength >= 1 && byteLength <= 4, "byte length of a well-formed character", s.name);
      check(units <= kMaxExpansion, "normalized length", s.name);
      at += byteLength;
    }
  }
  return 0;
}
