// The definition file writer: the inverse of the reader. It writes the block held in a DEFCTL
// (block relation, member entries, relation entries, normalized words and strengths) as one
// group definition block of text in the code page's encoding: the head line, the relation
// lines, then the member lines. The reader accepts the lines of a block in any order and yields
// the block written.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cnet_def_syntax.h"
#include "cnet_os.h"
#include "cnet_status.h"
#include "thesaurus_engine/cnet.h"

namespace {

constexpr uint32_t kLineMax = 255;  // characters of a line, as the reader keeps them
constexpr uint8_t kDefaultStrength = 100;

// Location numbers.
constexpr uint32_t kErrWrite = 4452;
constexpr uint32_t kErrFormat = 4454;  // no write routine for the format
constexpr uint32_t kErrBlock = 4455;   // entries or text missing, or entries beyond the text

// One line being put together. Appends that would not fit are cut off; the longest line a
// sound block gives (about 220 characters) always fits.
class Line {
 public:
  void put(const char* bytes, size_t n) {
    const size_t room = kLineMax - length_;
    if (n > room) n = room;
    std::memcpy(text_ + length_, bytes, n);
    length_ += n;
  }
  void put(char c) { put(&c, 1); }
  // Two blanks of the code page.
  void blanks(char blank) {
    put(blank);
    put(blank);
  }
  void number(long value) {
    char digits[24];
    const int n = std::snprintf(digits, sizeof digits, "%ld", value);
    if (n > 0) put(digits, static_cast<size_t>(n));
  }
  size_t length() const { return length_; }
  // The line with its line end, ready to be written.
  const char* terminated() {
    text_[length_] = '\n';
    return text_;
  }

 private:
  char text_[kLineMax + 1];
  size_t length_ = 0;
};

struct Writer {
  DEFCTL* def;
  CNETSTATUS* status;
  const CnetDefSyntax& syntax;
  char blank;
};

// The keyword of rel in a keyword table: the entry of its category and id, else the last
// numbered form of its category, else nothing.
void putKeyword(Line& line, const Writer& w, const CnetDefKeywordTable& table, REL rel) {
  const CnetDefKeyword* numbered = nullptr;
  for (uint32_t k = 0; k < table.count; ++k) {
    const CnetDefKeyword& entry = table.entries[k];
    if (entry.rel.category != rel.category) continue;
    if (entry.rel.id == rel.id) {
      line.put(entry.text, entry.length);
      return;
    }
    if (entry.numbered) numbered = &entry;
  }
  if (numbered == nullptr) return;
  line.put(numbered->text, numbered->length);
  line.put(w.syntax.openBracket);
  line.number(static_cast<long>(rel.id) - CNET_ID_NUMBERED);
  line.put(w.syntax.closeBracket);
}

// True when the reader would take part of the word for a strength: the word holds a strength
// marker at its start or after a blank ('new :york', 'a :5').
bool looksLikeStrength(const Writer& w, const char* word, int32_t length) {
  for (int32_t i = 0; i < length; ++i) {
    if (word[i] == w.syntax.strengthMarker &&
        (i == 0 || cnetDefIsBlank(w.syntax.ebcdic, static_cast<uint8_t>(word[i - 1])))) {
      return true;
    }
  }
  return false;
}

// The display form of an entry's word and, unless it is 100, its strength. A strength of 100 is
// written too where the word alone would not read back as itself.
bool putWord(Line& line, const Writer& w, const DEFENTRY& e) {
  char shown[CNET_WORD_MAX];
  int32_t length = 0;
  cnetZOLunnormalizeWord(w.def->codePage, w.def->text + e.textOffset,
                         static_cast<int32_t>(e.length), shown, CNET_WORD_MAX, &length, w.status);
  if (cnetFailed(w.status)) return false;
  line.put(shown, static_cast<size_t>(length));
  if (e.strength != kDefaultStrength || looksLikeStrength(w, shown, length)) {
    line.blanks(w.blank);
    line.put(w.syntax.strengthMarker);
    line.number(e.strength);
  }
  return true;
}

// Writes a non-empty line and its line end; false after a failed write (reported).
bool writeLine(const Writer& w, Line& line) {
  if (line.length() == 0) return true;
  const size_t n = line.length() + 1;
  if (cnetOs()->writeStream(line.terminated(), n, w.def->file) == n) return true;
  cnetFailFile(w.status, CNET_WRITE, kErrWrite, w.def->path);
  return false;
}

// True when every entry's word lies inside the text buffer, so a damaged block is refused
// instead of being read out of bounds.
bool blockIsSound(const DEFCTL* def) {
  if (def->memberCount > def->entryCount) return false;
  if (def->entryCount == 0) return true;
  if (def->entries == nullptr || def->text == nullptr) return false;
  for (uint32_t i = 0; i < def->entryCount; ++i) {
    const DEFENTRY& e = def->entries[i];
    if (uint64_t{e.textOffset} + e.length > def->textSize) return false;
  }
  return true;
}

}  // namespace

// Writes the current block with the write routine of the definition format.
THES_EXPORT void cnetDefWrite(DEFCTL* def, const CNETEXEC* exec, CNETSTATUS* status) {
  static const CnetDefRoutine kRoutines[] = {cnetDefWriteStream1};
  cnetDefRunFormat(kRoutines, sizeof kRoutines / sizeof kRoutines[0], def, exec, status,
                   kErrFormat);
}

// Writes the head line, one line per relation entry, then one line per member.
THES_EXPORT void cnetDefWriteStream1(DEFCTL* def, const CNETEXEC* /*exec*/, CNETSTATUS* status) {
  if (def == nullptr || cnetFailed(status)) return;
  if (def->file == nullptr) {
    cnetFailFile(status, CNET_WRITE, kErrWrite, def->path);
    return;
  }
  if (!blockIsSound(def)) {
    cnetFail(status, CNET_PARAMETER, kErrBlock);
    return;
  }
  const CnetDefSyntax& syntax = cnetDefSyntax(def->codePage);
  const Writer w{def, status, syntax, syntax.ebcdic ? '\x40' : '\x20'};

  Line head;
  head.put(syntax.words, syntax.wordsLength);
  putKeyword(head, w, syntax.headTable, def->blockRel);
  if (!writeLine(w, head)) return;

  for (uint32_t i = def->memberCount; i < def->entryCount; ++i) {
    Line line;
    line.blanks(w.blank);
    putKeyword(line, w, syntax.relationTable, def->entries[i].rel);
    line.blanks(w.blank);
    if (!putWord(line, w, def->entries[i]) || !writeLine(w, line)) return;
  }
  // The reader ignores a block of one member line without relation lines. Such a group comes
  // from a definition that repeated its only member, so the line is repeated: the reader drops
  // the repeat and yields the same one-member block.
  const bool lone = def->memberCount == 1 && def->entryCount == 1;
  const uint32_t memberLines = lone ? 2 : def->memberCount;
  for (uint32_t i = 0; i < memberLines; ++i) {
    Line line;
    line.blanks(w.blank);
    if (!putWord(line, w, def->entries[lone ? 0 : i]) || !writeLine(w, line)) return;
  }
}
