// The definition file reader: opens a definition file, reads it line by line and delivers one
// group definition block at a time, its words normalized, sorted, duplicates dropped, members
// before relation entries. Syntax errors end the read with status 567 and a reason; warnings
// (zolC701W to zolC705W) go to standard error through cnetWarnf.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cnet_def_syntax.h"
#include "cnet_grow.h"
#include "cnet_os.h"
#include "cnet_status.h"
#include "thesaurus_engine/cnet.h"

namespace {

constexpr uint32_t kInitialText = 8192;
constexpr uint32_t kInputBlock = 65536;  // bytes of the file read at once
constexpr uint32_t kInitialEntries = 256;
constexpr uint32_t kGrowStep = 256;  // entries and text bytes by which a block's tables grow
constexpr uint32_t kLineMax = 255;   // bytes of a line kept in the line buffer
constexpr uint8_t kUtf8 = 34;
constexpr uint8_t kDefaultStrength = 100;

// Location numbers.
constexpr uint32_t kErrClose = 401;
constexpr uint32_t kErrSortCopy = 408;
constexpr uint32_t kErrOpenMemory = 4400;
constexpr uint32_t kErrTextMemory = 4402;
constexpr uint32_t kErrEntryMemory = 4404;
constexpr uint32_t kErrOpen = 4450;
constexpr uint32_t kErrRead = 4451;
constexpr uint32_t kErrFormat = 4453;

// Reasons of status 567.
constexpr uint32_t kBadHead = 2;
constexpr uint32_t kBadRelation = 3;
constexpr uint32_t kBadNumberStart = 4;
constexpr uint32_t kBadNumberEnd = 5;
constexpr uint32_t kNumberRange = 6;
constexpr uint32_t kEmptyWord = 7;
constexpr uint32_t kLongWord = 8;
constexpr uint32_t kBadStrength = 9;
constexpr uint32_t kStrengthRange = 10;

// Whether the last byte taken from a definition file was CR, so that the LF of a CR LF pair
// does not count as a line of its own. One flag for the process; cnetDefOpen resets it.
std::atomic<bool> gPreviousEndedWithCr{false};

// The state of one cnetDefReadStream1 call.
struct Reader {
  DEFCTL* def;
  const CNETEXEC* exec;
  CNETSTATUS* status;
  const CnetDefSyntax& syntax;

  bool failed() const { return cnetFailed(status); }
  bool blank(char c) const { return cnetDefIsBlank(syntax.ebcdic, static_cast<uint8_t>(c)); }
  bool endOfLine(char c) const {
    return cnetDefIsEndOfLine(syntax.ebcdic, static_cast<uint8_t>(c));
  }
};

// Reports a syntax error of the current line.
void failInput(Reader& r, uint32_t reason) {
  if (cnetFailFile(r.status, CNET_INPUT, reason, r.def->path)) {
    r.status->line = r.def->lineNumber;
  }
}

void failRead(Reader& r) {
  cnetFailFile(r.status, CNET_READ, kErrRead, r.def->path);
}

// Reads the next block of the file into the input buffer. Returns 1 when bytes came, 0 at the
// end of the file, -1 on a read error (reported).
int refill(Reader& r) {
  DEFCTL* def = r.def;
  size_t n = cnetOs()->readStream(def->input, kInputBlock, def->file);
  def->inputNext = 0;
  def->inputEnd = static_cast<uint32_t>(n);
  if (n > 0) return 1;
  if (std::feof(def->file)) return 0;
  failRead(r);
  return -1;
}

// Takes one byte. Returns 1 for a byte, 0 at the end of the file, -1 on a read error (reported).
inline int readByte(Reader& r, char* c) {
  DEFCTL* def = r.def;
  if (def->inputNext == def->inputEnd) {
    int got = refill(r);
    if (got <= 0) return got;
  }
  *c = def->input[def->inputNext++];
  return 1;
}

// Marks the end of the input: pending, with length 0, and never consumed.
void setEndOfInput(DEFCTL* def) {
  def->lineBuffer[0] = '\0';
  def->pendingLine = def->lineBuffer;
  def->pendingLength = 0;
}

// Makes the next non-comment, non-empty line pending, or marks the end of the input. Does
// nothing while a line is pending.
void readLine(Reader& r) {
  DEFCTL* def = r.def;
  if (def->pendingLine != nullptr) return;
  for (;;) {
    uint32_t n = 0;
    bool atEnd = false;
    char c = 0;
    while (n < kLineMax) {
      int got = readByte(r, &c);
      if (got < 0) return;
      if (got == 0) {
        atEnd = true;
        break;
      }
      def->lineBuffer[n++] = c;
      if (r.endOfLine(c)) break;
    }
    def->lineBuffer[n] = '\0';
    if (n == 0) {
      ++def->lineNumber;
      setEndOfInput(def);
      return;
    }
    if (def->lineBuffer[0] == '\0') {
      setEndOfInput(def);
      return;
    }
    char last = def->lineBuffer[n - 1];
    if (!r.endOfLine(last) && !atEnd) {
      // Overlong line: the rest of it, up to and including its line end, is dropped.
      for (;;) {
        int got = readByte(r, &c);
        if (got < 0) return;
        if (got == 0) break;
        last = c;
        if (r.endOfLine(c)) break;
      }
      char first = def->lineBuffer[0];
      if (first != r.syntax.commentLead && first != r.syntax.commentLead2) {
        cnetWarnf(r.exec, def->path, "zolC701W: Warning: line %lu: Too long line.  Truncated.\n",
                  static_cast<unsigned long>(def->lineNumber + 1));
      }
    }
    bool lineFeed = cnetDefIsLineFeed(r.syntax.ebcdic, static_cast<uint8_t>(def->lineBuffer[0]));
    if (!(lineFeed && gPreviousEndedWithCr.load(std::memory_order_relaxed))) ++def->lineNumber;
    gPreviousEndedWithCr.store(last == '\x0D', std::memory_order_relaxed);

    char first = def->lineBuffer[0];
    if (first == r.syntax.commentLead || first == r.syntax.commentLead2) continue;
    uint32_t begin = 0;
    uint32_t end = n;
    while (begin < end && r.blank(def->lineBuffer[begin]))
      ++begin;
    while (end > begin && r.blank(def->lineBuffer[end - 1]))
      --end;
    if (begin == end) continue;
    def->pendingLine = def->lineBuffer + begin;
    def->pendingLength = static_cast<int32_t>(end - begin);
    return;
  }
}

void consumeLine(DEFCTL* def) {
  def->pendingLine = nullptr;
  def->pendingLength = 0;
}

// Length of the token at text: the bytes up to the first blank or the end.
uint32_t tokenLength(const Reader& r, const char* text, uint32_t length) {
  uint32_t n = 0;
  while (n < length && !r.blank(text[n]))
    ++n;
  return n;
}

// Looks a keyword token up in a table and sets *rel. An empty or blank token leaves *rel.
void parseKeyword(Reader& r, const CnetDefKeywordTable& table, const char* token, uint32_t length,
                  REL* rel) {
  uint32_t i = 0;
  while (i < length && r.blank(token[i]))
    ++i;
  if (i == length) return;
  const CnetDefKeyword* match = nullptr;
  for (uint32_t k = 0; k < table.count; ++k) {
    const CnetDefKeyword& entry = table.entries[k];
    if (length >= entry.length && std::memcmp(token, entry.text, entry.length) == 0) {
      match = &entry;
      break;
    }
  }
  if (match == nullptr) return failInput(r, kBadRelation);
  if (length == match->length) {
    *rel = match->rel;
    return;
  }
  if (!match->numbered) return failInput(r, kBadRelation);
  const char* rest = token + match->length;
  uint32_t restLength = length - match->length;
  if (rest[0] != r.syntax.openBracket) return failInput(r, kBadNumberStart);
  if (std::memchr(rest + 1, r.syntax.closeBracket, restLength - 1) == nullptr) {
    return failInput(r, kBadNumberEnd);
  }
  // The closing bracket inside the token stops the number before the token's end.
  char* stop = nullptr;
  int32_t number = xstrtol(r.def->codePage, rest + 1, &stop, 10);
  if (number < 1 || number > 128) return failInput(r, kNumberRange);
  cnetRelMake(rel, match->rel.category, static_cast<uint8_t>(number + CNET_ID_NUMBERED));
}

// Makes room for count + 1 entries and the spare half that the block finishing step uses.
bool reserveEntry(Reader& r) {
  DEFCTL* def = r.def;
  const uint64_t wanted = 2ull * def->entryCount + 2;
  if (def->entryCapacity >= wanted) return true;
  if (!cnetGrowBuffer(&def->entries, &def->entryCapacity, wanted, kGrowStep,
                      UINT32_MAX / sizeof(DEFENTRY))) {
    cnetFail(r.status, CNET_NO_MEMORY, kErrEntryMemory);
    return false;
  }
  return true;
}

// Makes room for need more bytes of text and its terminator.
bool reserveText(Reader& r, uint32_t need) {
  DEFCTL* def = r.def;
  const uint64_t wanted = uint64_t{def->textUsed} + need + 1;
  if (wanted <= def->textSize) return true;
  if (!cnetGrowBuffer(&def->text, &def->textSize, wanted, kGrowStep, INT32_MAX)) {
    cnetFail(r.status, CNET_NO_MEMORY, kErrTextMemory);
    return false;
  }
  return true;
}

// Parses a word specification (a word and an optional strength) and appends its entry.
void parseWordSpec(Reader& r, const char* text, uint32_t length, REL rel) {
  DEFCTL* def = r.def;
  uint32_t begin = 0;
  uint32_t end = length;
  while (begin < end && r.blank(text[begin]))
    ++begin;
  while (end > begin && r.blank(text[end - 1]))
    --end;
  const char* item = text + begin;
  uint32_t specLength = end - begin;

  uint32_t wordLength = specLength;
  uint8_t strength = kDefaultStrength;
  for (uint32_t i = specLength; i-- > 0;) {
    if (item[i] != r.syntax.strengthMarker || (i > 0 && !r.blank(item[i - 1]))) continue;
    uint32_t strengthLength = specLength - i - 1;
    if (strengthLength == 0) return failInput(r, kBadStrength);
    char copy[kLineMax + 1];
    std::memcpy(copy, item + i + 1, strengthLength);
    copy[strengthLength] = '\0';
    char* stop = nullptr;
    int32_t value = xstrtol(def->codePage, copy, &stop, 10);
    if (stop != copy + strengthLength) return failInput(r, kBadStrength);
    if (value < 1 || value > 100) return failInput(r, kStrengthRange);
    strength = static_cast<uint8_t>(value);
    wordLength = i;
    while (wordLength > 0 && r.blank(item[wordLength - 1]))
      --wordLength;
    break;
  }
  if (wordLength == 0) return failInput(r, kEmptyWord);
  if (wordLength > CNET_TERM_MAX) return failInput(r, kLongWord);

  uint32_t need = (def->codePage == kUtf8 ? 3 : 2) * wordLength;
  if (!reserveText(r, need)) return;
  int32_t normalized = 0;
  cnetZOLnormalizeWord(def->codePage, item, static_cast<int32_t>(wordLength),
                       def->text + def->textUsed,
                       static_cast<int32_t>(def->textSize - def->textUsed), &normalized, r.status);
  if (r.failed()) return;
  if (normalized > CNET_WORD_MAX) return failInput(r, kLongWord);
  if (normalized < 1) return failInput(r, kEmptyWord);
  if (!reserveEntry(r)) return;
  DEFENTRY& e = def->entries[def->entryCount++];
  e.textOffset = def->textUsed;
  e.length = static_cast<uint32_t>(normalized);
  e.line = def->lineNumber;
  e.strength = strength;
  e.rel = rel;
  e.zero = 0;
  def->textUsed += static_cast<uint32_t>(normalized);
}

// An entry of the sort copy and the word it names.
struct SortItem {
  DEFENTRY entry;
  const char* word;
};

// Word order: bytes over the shorter length, then the shorter word; equal words by line, the
// latest line first.
int compareItems(const void* a, const void* b) {
  const SortItem& x = *static_cast<const SortItem*>(a);
  const SortItem& y = *static_cast<const SortItem*>(b);
  uint32_t n = x.entry.length < y.entry.length ? x.entry.length : y.entry.length;
  int c = std::memcmp(x.word, y.word, n);
  if (c != 0) return c;
  if (x.entry.length != y.entry.length) return x.entry.length < y.entry.length ? -1 : 1;
  if (x.entry.line != y.entry.line) return x.entry.line > y.entry.line ? -1 : 1;
  return 0;
}

// Sorts the block's entries, drops repeated words (the latest line stays) with zolC705W and
// puts the members before the relation entries. Does nothing for fewer than two entries.
void finishBlock(Reader& r) {
  DEFCTL* def = r.def;
  uint32_t count = def->entryCount;
  if (count < 2) return;
  auto* items = static_cast<SortItem*>(std::malloc(sizeof(SortItem) * count));
  if (items == nullptr) {
    cnetFail(r.status, CNET_NO_MEMORY, kErrSortCopy);
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    items[i].entry = def->entries[i];
    items[i].word = def->text + def->entries[i].textOffset;
  }
  std::qsort(items, count, sizeof(SortItem), compareItems);

  uint32_t kept = 0;  // sorted entries kept, compacted to the front of items
  for (uint32_t i = 0; i < count; ++i) {
    if (kept > 0) {
      const SortItem& previous = items[kept - 1];
      if (previous.entry.length == items[i].entry.length &&
          std::memcmp(previous.word, items[i].word, previous.entry.length) == 0) {
        cnetWarnf(r.exec, def->path,
                  "zolC705W: Warning: line %lu: Equivalent to the word in line %lu.  "
                  "Discarded.\n",
                  static_cast<unsigned long>(items[i].entry.line),
                  static_cast<unsigned long>(previous.entry.line));
        continue;
      }
    }
    items[kept++] = items[i];
  }
  uint32_t members = 0;
  for (uint32_t i = 0; i < kept; ++i) {
    if (items[i].entry.rel.category == CNET_CAT_MEMBER) def->entries[members++] = items[i].entry;
  }
  uint32_t total = members;
  for (uint32_t i = 0; i < kept; ++i) {
    if (items[i].entry.rel.category != CNET_CAT_MEMBER) def->entries[total++] = items[i].entry;
  }
  std::free(items);
  def->memberCount = members;
  def->relationCount = total - members;
  def->entryCount = total;
}

// Reads the head line and the lines of one block. Returns false when a status was set.
bool readBlockLines(Reader& r) {
  DEFCTL* def = r.def;
  def->blockLine = def->lineNumber;
  const char* head = def->pendingLine;
  uint32_t headLength = static_cast<uint32_t>(def->pendingLength);
  uint32_t token = tokenLength(r, head, headLength);
  if (token < r.syntax.wordsLength ||
      std::memcmp(head, r.syntax.words, r.syntax.wordsLength) != 0) {
    failInput(r, kBadHead);
    return false;
  }
  if (token > r.syntax.wordsLength) {
    parseKeyword(r, r.syntax.headTable, head + r.syntax.wordsLength, token - r.syntax.wordsLength,
                 &def->blockRel);
    if (r.failed()) return false;
  }
  consumeLine(def);
  for (;;) {
    readLine(r);
    if (r.failed()) return false;
    if (def->pendingLength < 1 || def->pendingLine[0] == r.syntax.headLead) return true;
    const char* line = def->pendingLine;
    uint32_t length = static_cast<uint32_t>(def->pendingLength);
    if (line[0] == r.syntax.relationLead) {
      uint32_t n = tokenLength(r, line, length);
      REL rel{CNET_CAT_NONE, 0};
      parseKeyword(r, r.syntax.relationTable, line, n, &rel);
      if (r.failed()) return false;
      parseWordSpec(r, line + n, length - n, rel);
      ++def->relationCount;
    } else {
      parseWordSpec(r, line, length, REL{CNET_CAT_MEMBER, 0});
      ++def->memberCount;
    }
    if (r.failed()) return false;
    consumeLine(def);
  }
}

// Frees the block buffers and the read-ahead input of def and clears their sizes.
void freeBuffers(DEFCTL* def) {
  std::free(def->text);
  std::free(def->entries);
  std::free(def->input);
  def->text = nullptr;
  def->entries = nullptr;
  def->input = nullptr;
  def->inputNext = def->inputEnd = 0;
  def->textSize = 0;
  def->textUsed = 0;
  def->entryCapacity = 0;
}

}  // namespace

// Clears def, opens the definition file and allocates the block buffers.
THES_EXPORT void cnetDefOpen(DEFCTL* def, const CNETDEF* source, uint8_t codePage, const char* mode,
                             CNETSTATUS* status) {
  if (def == nullptr) return;
  std::memset(def, 0, sizeof *def);
  gPreviousEndedWithCr.store(false, std::memory_order_relaxed);
  def->codePage = codePage;
  const char* path = "";
  if (source != nullptr) {
    def->kind = source->kind;
    def->format = source->format;
    if (source->path != nullptr) path = source->path;
  }
  std::strncpy(def->path, path, sizeof def->path - 1);
  def->file = (path[0] == '\0' || mode == nullptr) ? nullptr : cnetOs()->openStream(path, mode);
  if (def->file == nullptr) {
    cnetFailFile(status, CNET_OPEN, kErrOpen, def->path);
    return;
  }
  def->text = static_cast<char*>(std::malloc(kInitialText));
  def->entries = static_cast<DEFENTRY*>(std::malloc(kInitialEntries * sizeof(DEFENTRY)));
  // A file that is read is read a block at a time.
  if (mode[0] == 'r') def->input = static_cast<char*>(std::malloc(kInputBlock));
  if (def->text == nullptr || def->entries == nullptr ||
      (mode[0] == 'r' && def->input == nullptr)) {
    freeBuffers(def);
    cnetFail(status, CNET_NO_MEMORY, kErrOpenMemory);
    return;
  }
  def->textSize = kInitialText;
  def->entryCapacity = kInitialEntries;
}

// Closes the file (a failure is reported only when status is given) and frees the buffers.
THES_EXPORT void cnetDefClose(DEFCTL* def, CNETSTATUS* status) {
  if (def == nullptr) return;
  if (def->kind == CNET_DEF_FILE && def->file != nullptr) {
    if (cnetOs()->closeStream(def->file) != 0 && status != nullptr) {
      cnetFailFile(status, CNET_CLOSE, kErrClose, def->path);
    }
  }
  def->file = nullptr;
  freeBuffers(def);
  def->entryCount = 0;
  def->pendingLine = nullptr;
  def->pendingLength = 0;
}

// Reads the next block with the read routine of the definition format.
THES_EXPORT void cnetDefRead(DEFCTL* def, const CNETEXEC* exec, CNETSTATUS* status) {
  static const CnetDefRoutine kRoutines[] = {cnetDefReadStream1};
  cnetDefRunFormat(kRoutines, sizeof kRoutines / sizeof kRoutines[0], def, exec, status,
                   kErrFormat);
}

// Reads the next accepted block of the text format; a member count of 0 means end of input.
THES_EXPORT void cnetDefReadStream1(DEFCTL* def, const CNETEXEC* exec, CNETSTATUS* status) {
  if (def == nullptr || cnetFailed(status)) return;
  Reader r{def, exec, status, cnetDefSyntax(def->codePage)};
  def->entryCount = 0;
  def->memberCount = 0;
  def->relationCount = 0;
  def->textUsed = 0;
  def->blockRel = REL{CNET_CAT_NONE, 0};
  if (def->file == nullptr || def->text == nullptr || def->entries == nullptr ||
      def->input == nullptr) {
    failRead(r);
    return;
  }
  readLine(r);
  if (r.failed()) return;
  for (;;) {
    def->entryCount = 0;
    def->memberCount = 0;
    def->relationCount = 0;
    def->textUsed = 0;
    def->blockRel = REL{CNET_CAT_NONE, 0};
    if (def->pendingLength < 1) {
      finishBlock(r);
      return;
    }
    if (!readBlockLines(r)) return;
    if (def->memberCount == 0) {
      cnetWarnf(exec, def->path,
                "zolC702W: Warning: line %lu: No member is defined.  Group definition block is "
                "ignored.\n",
                static_cast<unsigned long>(def->blockLine));
      continue;
    }
    bool noRelation = def->relationCount == 0 &&
                      (def->memberCount == 1 || def->blockRel.category == CNET_CAT_NONE);
    if (noRelation) {
      cnetWarnf(exec, def->path,
                "zolC703W: Warning: line %lu: No relation is defined.  Group definition block is "
                "ignored.\n",
                static_cast<unsigned long>(def->blockLine));
      continue;
    }
    finishBlock(r);
    // Every member may turn out to be a word of a relation line as well, which survives in its
    // place. Such a block has no members left; delivering it would read as the end of input
    // and silently lose the rest of the file, so it is ignored like a block without members.
    if (r.failed() || def->memberCount > 0) return;
    cnetWarnf(exec, def->path,
              "zolC702W: Warning: line %lu: No member is defined.  Group definition block is "
              "ignored.\n",
              static_cast<unsigned long>(def->blockLine));
  }
}
