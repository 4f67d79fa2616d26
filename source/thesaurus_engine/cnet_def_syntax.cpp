// Keyword tables and syntax characters of definition files, with the helpers that hand them
// out: CopyStrWords, CopyStrSpace and xstrtol.
#include "cnet_def_syntax.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "cnet_status.h"

namespace {

constexpr uint8_t kMaxCodePage = 36;

// The EBCDIC byte of the few ASCII characters that keywords are made of.
constexpr char toEbcdic(char c) {
  if (c >= 'A' && c <= 'I') return static_cast<char>(0xC1 + (c - 'A'));
  if (c >= 'J' && c <= 'R') return static_cast<char>(0xD1 + (c - 'J'));
  if (c >= 'S' && c <= 'Z') return static_cast<char>(0xE2 + (c - 'S'));
  switch (c) {
    case ':':
      return static_cast<char>(0x7A);
    case '.':
      return static_cast<char>(0x4B);
    case '_':
      return static_cast<char>(0x6D);
    case '(':
      return static_cast<char>(0x4D);
    case ')':
      return static_cast<char>(0x5D);
    case '*':
      return static_cast<char>(0x5C);
    case '#':
      return static_cast<char>(0x7B);
    default:
      return c;
  }
}

constexpr CnetDefKeyword keyword(const char* ascii, uint8_t category, uint8_t id, bool numbered,
                                 bool ebcdic) {
  CnetDefKeyword k{};
  uint32_t n = 0;
  for (; ascii[n] != '\0'; ++n)
    k.text[n] = ebcdic ? toEbcdic(ascii[n]) : ascii[n];
  k.text[n] = '\0';
  k.length = n;
  k.rel = REL{category, id};
  k.numbered = numbered;
  return k;
}

constexpr std::array<CnetDefKeyword, 2> headTable(bool ebcdic) {
  return {keyword(":SYNONYM", CNET_CAT_SYMMETRIC, CNET_ID_NAMED, false, ebcdic),
          keyword(":RELATED", CNET_CAT_SYMMETRIC, CNET_ID_RELATED, true, ebcdic)};
}

constexpr std::array<CnetDefKeyword, 4> relationTable(bool ebcdic) {
  return {keyword(".SYNONYM_OF", CNET_CAT_SYMMETRIC, CNET_ID_NAMED, true, ebcdic),
          keyword(".RELATED_TO", CNET_CAT_SYMMETRIC, CNET_ID_RELATED, true, ebcdic),
          keyword(".LOWER_THAN", CNET_CAT_LOWER, CNET_ID_NAMED, true, ebcdic),
          keyword(".HIGHER_THAN", CNET_CAT_HIGHER, CNET_ID_NAMED, true, ebcdic)};
}

constexpr auto kAsciiHeads = headTable(false);
constexpr auto kEbcdicHeads = headTable(true);
constexpr auto kAsciiRelations = relationTable(false);
constexpr auto kEbcdicRelations = relationTable(true);

constexpr char kAsciiWords[] = ":WORDS";
constexpr char kEbcdicWords[] = {'\x7A', '\xE6', '\xD6', '\xD9', '\xC4', '\xE2', '\0'};

constexpr bool isEbcdic(uint32_t codePage) {
  return (codePage >= 10 && codePage <= 15) || (codePage >= 25 && codePage <= 33);
}

// One row per code page number 0 to 36.
constexpr CnetDefSyntax row(uint32_t codePage) {
  if (!isEbcdic(codePage)) {
    return {false,
            ':',
            ':',
            '.',
            '*',
            '#',
            '(',
            ')',
            kAsciiWords,
            6,
            {kAsciiHeads.data(), kAsciiHeads.size()},
            {kAsciiRelations.data(), kAsciiRelations.size()}};
  }
  char comment2 = '\x7B';
  if (codePage == 28) comment2 = '\xEC';
  if (codePage == 33) comment2 = '\x63';
  return {true,
          '\x7A',
          '\x7A',
          '\x4B',
          '\x5C',
          comment2,
          '\x4D',
          '\x5D',
          kEbcdicWords,
          6,
          {kEbcdicHeads.data(), kEbcdicHeads.size()},
          {kEbcdicRelations.data(), kEbcdicRelations.size()}};
}

constexpr std::array<CnetDefSyntax, kMaxCodePage + 1> makeRows() {
  std::array<CnetDefSyntax, kMaxCodePage + 1> rows{};
  for (uint32_t i = 0; i <= kMaxCodePage; ++i)
    rows[i] = row(i);
  return rows;
}

constexpr auto kRows = makeRows();

}  // namespace

bool cnetDefIsEbcdic(uint8_t codePage) {
  return isEbcdic(codePage);
}

const CnetDefSyntax& cnetDefSyntax(uint8_t codePage) {
  return kRows[codePage <= kMaxCodePage ? codePage : 0];
}

// Clears size bytes of out, then writes ":WORDS" and its terminator as far as they fit.
THES_EXPORT void CopyStrWords(uint8_t codePage, char* out, int32_t size) {
  if (out == nullptr || size <= 0) return;
  std::memset(out, 0, static_cast<size_t>(size));
  const CnetDefSyntax& syntax = cnetDefSyntax(codePage);
  size_t n = syntax.wordsLength + 1;
  std::memcpy(out, syntax.words, n < static_cast<size_t>(size) ? n : static_cast<size_t>(size));
}

// Clears size bytes of out and fills all but the last with the code page's blank.
THES_EXPORT void CopyStrSpace(uint8_t codePage, char* out, uint32_t size) {
  if (out == nullptr || size == 0) return;
  std::memset(out, 0, size);
  std::memset(out, cnetDefIsEbcdic(codePage) ? 0x40 : 0x20, size - 1);
}

// strtol with the result held to the 32-bit range, so that a huge number never wraps into a
// valid strength or relation number.
THES_EXPORT int32_t xstrtol(uint8_t codePage, const char* text, char** end, int32_t base) {
  (void)codePage;
  long value = std::strtol(text, end, base);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

void cnetDefRunFormat(const CnetDefRoutine* routines, size_t count, DEFCTL* def,
                      const CNETEXEC* exec, CNETSTATUS* status, uint32_t errcode) {
  if (def == nullptr) return;
  if (def->format >= count) {
    cnetFail(status, CNET_PARAMETER, errcode);
    return;
  }
  routines[def->format](def, exec, status);
}
