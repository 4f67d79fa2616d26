// Formatter of converted search conditions: writes a form 3, 4 or 5 condition back as query text
// in the condition's code page, so that a converted or expanded condition can be shown to a
// person and converted again into the same terms and condition text.
#include <cstring>

#include "indexing_engine/zol.h"
#include "zol_codepage.h"
#include "zol_query.h"
#include "zol_status.h"

namespace zol {
namespace {

using query::Syntax;
using query::Tok;

struct Failure {
  uint32_t retcode;
  uint32_t errcode;
  size_t offset;
};

bool failWith(Failure* f, uint32_t errcode, size_t offset = 0,
              uint32_t retcode = ZOL_RC_PARAMETER) {
  *f = {retcode, errcode, offset};
  return false;
}

// One syntax character encoded in the code page; length 0 when the code page lacks it.
struct Glyph {
  char bytes[8];
  size_t length;
};

// The characters the formatter writes, encoded once per call.
struct Glyphs {
  Glyph blank, quote, andOp, orOp, notOp, open, close, caret, anyRun, anyOne, digit[10];

  explicit Glyphs(uint8_t codePage) {
    auto make = [codePage](Glyph& g, int32_t codePoint) {
      g.length = encodeChar(codePage, codePoint, g.bytes, sizeof g.bytes);
    };
    make(blank, ' ');
    make(quote, '"');
    make(andOp, '&');
    make(orOp, '|');
    make(notOp, '!');
    make(open, '(');
    make(close, ')');
    make(caret, '^');
    make(anyRun, '*');
    make(anyOne, '?');
    for (int i = 0; i < 10; ++i)
      make(digit[i], '0' + i);
  }
};

// The caller's buffer. Writing stops for good at the first piece that does not fit together
// with the terminator, so the work done is bounded by the capacity.
class Output {
 public:
  Output(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

  bool full() const { return full_; }
  bool missingGlyph() const { return missingGlyph_; }
  size_t used() const { return used_; }

  void put(const char* bytes, size_t n) {
    if (full_) return;
    if (n >= capacity_ - used_) {
      full_ = true;
      return;
    }
    std::memcpy(buffer_ + used_, bytes, n);
    used_ += n;
  }

  void put(const Glyph& g) {
    if (g.length == 0) missingGlyph_ = true;
    put(g.bytes, g.length);
  }

 private:
  char* buffer_;
  size_t capacity_;
  size_t used_ = 0;
  bool full_ = false;
  bool missingGlyph_ = false;
};

// A term to write, taken from a ZOLTERM or a ZOLWORDTERM.
struct TermView {
  const char* text;
  int32_t length;
  bool phrase;
  bool masked;     // forms 3 and 5: kind 'M', whose '*' and '?' are wildcards
  int weight;      // 0 or 100: none written
  uint8_t anyRun;  // form 4: the bytes that stand for '*' and '?' (0: none)
  uint8_t anyOne;
};

TermView viewOf(const ZOLTERM& t) {
  return {t.text, t.length, t.phrase != 0, t.kind == 'M', t.weight, 0, 0};
}

TermView viewOf(const ZOLWORDTERM& t) {
  return {t.text, t.length, false, false, t.weight, t.options[0], t.options[1]};
}

// Writes one term: quoted when it is a phrase or holds a blank or syntax character, followed by
// ^N for a weight other than 100. Fails for texts the query syntax cannot express.
bool writeTerm(uint8_t codePage, const Glyphs& g, const TermView& t, size_t at, Output& out,
               Failure* f) {
  if (t.text == nullptr || t.length <= 0) return failWith(f, query::kErrFormatTermText, at);
  if (t.weight < 0 || t.weight > query::kMaxWeight) {
    return failWith(f, query::kErrFormatWeight, at);
  }
  const size_t length = static_cast<size_t>(t.length);
  bool quoted = t.phrase;
  bool wild = false;
  {
    CharReader reader(codePage, t.text, length);
    if (!reader.valid()) return failWith(f, query::kErrFormatCodePage, at);
    size_t offset, n;
    int32_t codePoint;
    while (reader.next(&offset, &n, &codePoint)) {
      const uint8_t byte = static_cast<uint8_t>(t.text[offset]);
      if (n == 1 && byte != 0 && (byte == t.anyRun || byte == t.anyOne)) {
        wild = true;
        continue;
      }
      switch (query::classify(codePoint)) {
        case Syntax::kWordChar:
          break;
        case Syntax::kQuote:
          return failWith(f, query::kErrFormatQuoteInTerm, at);
        case Syntax::kWildcard:
          if (t.masked) {
            wild = true;
          } else {
            quoted = true;  // a literal '*' or '?' is protected by quotes
          }
          break;
        default:
          quoted = true;
      }
    }
  }
  if (quoted && wild) return failWith(f, query::kErrFormatMaskQuoted, at);
  if (quoted) out.put(g.quote);
  if (wild && (t.anyRun != 0 || t.anyOne != 0)) {
    // Single-word form: its own wildcard bytes become '*' and '?'.
    CharReader reader(codePage, t.text, length);
    size_t offset, n;
    int32_t codePoint;
    while (reader.next(&offset, &n, &codePoint)) {
      const uint8_t byte = static_cast<uint8_t>(t.text[offset]);
      if (n == 1 && byte != 0 && byte == t.anyRun) {
        out.put(g.anyRun);
      } else if (n == 1 && byte != 0 && byte == t.anyOne) {
        out.put(g.anyOne);
      } else {
        out.put(t.text + offset, n);
      }
    }
  } else {
    out.put(t.text, length);
  }
  if (quoted) out.put(g.quote);
  if (t.weight != 0 && t.weight != query::kMaxWeight) {
    out.put(g.caret);  // 1 to 99
    if (t.weight >= 10) out.put(g.digit[t.weight / 10 % 10]);
    out.put(g.digit[t.weight % 10]);
  }
  return true;
}

// The groups of fields a form uses.
struct Converted {
  int32_t count;
  const char* text;
  const ZOLTERM* terms;
  const ZOLWORDTERM* wordTerms;
  const ZOLMIXTERM* mixTerms;
};

bool selectForm(const ZOLSEARCHCOND& c, Converted* v, Failure* f) {
  switch (c.form) {
    case 3:
      *v = {c.termCount, c.conditionText, c.terms, nullptr, nullptr};
      break;
    case 4:
      *v = {c.wordTermCount, c.wordConditionText, nullptr, c.wordTerms, nullptr};
      break;
    case 5:
      *v = {c.mixTermCount, c.mixConditionText, nullptr, nullptr, c.mixTerms};
      break;
    default:
      return failWith(f, query::kErrFormatForm);
  }
  const bool noArray = v->terms == nullptr && v->wordTerms == nullptr && v->mixTerms == nullptr;
  if (v->count < 0 || v->text == nullptr || (v->count > 0 && noArray)) {
    return failWith(f, query::kErrFormatTerms);
  }
  return true;
}

Tok operatorToken(uint8_t op, bool* known) {
  *known = true;
  switch (op) {
    case '&':
      return Tok::kAnd;
    case '+':
      return Tok::kOr;
    case '!':
      return Tok::kNot;
    case '(':
      return Tok::kOpen;
    case ')':
      return Tok::kClose;
    default:
      *known = false;
      return Tok::kTerm;
  }
}

// Scans the condition text, checks its grammar and writes the query.
bool formatCondition(const ZOLSEARCHCOND& c, const Converted& v, Output& out, Failure* f) {
  const Glyphs g(c.codePage);
  const auto* text = reinterpret_cast<const uint8_t*>(v.text);
  const uint8_t blank = blankByte(c.codePage);
  query::Grammar grammar;
  bool afterOperand = false;
  for (size_t i = 0; text[i] != 0 && !out.full();) {
    const uint8_t b = text[i];
    if (b == 0x20 || b == blank) {
      ++i;
      continue;
    }
    const size_t at = i;
    Tok tok;
    const TermView* term = nullptr;
    TermView view{};
    if (b >= '0' && b <= '9') {
      int64_t k = 0;
      for (; text[i] >= '0' && text[i] <= '9'; ++i) {
        if (k <= v.count) k = k * 10 + (text[i] - '0');
      }
      if (k < 1 || k > v.count) return failWith(f, query::kErrFormatReference, at);
      const size_t e = static_cast<size_t>(k - 1);
      tok = Tok::kTerm;
      if (v.terms != nullptr) {
        view = viewOf(v.terms[e]);
      } else if (v.wordTerms != nullptr) {
        view = viewOf(v.wordTerms[e]);
      } else if (v.mixTerms[e].entryKind == 1) {
        view = viewOf(v.mixTerms[e].term);
      } else {
        bool known = false;
        tok = operatorToken(v.mixTerms[e].op, &known);
        if (v.mixTerms[e].entryKind != 2 || !known) {
          return failWith(f, query::kErrFormatEntry, at);
        }
      }
      if (tok == Tok::kTerm) term = &view;
    } else {
      bool known = false;
      tok = operatorToken(b, &known);
      if (!known) return failWith(f, query::kErrFormatToken, at);
      ++i;
    }
    bool impliedAnd = false;
    query::GrammarResult r = grammar.feed(tok, at, &impliedAnd);
    if (r.error != query::GrammarError::kNone) {
      return failWith(f, query::kErrFormatGrammarBase + static_cast<uint32_t>(r.error), r.offset);
    }
    // Operands side by side get one blank; '!' and '(' hug what follows, ')' what precedes.
    if (afterOperand && (tok == Tok::kTerm || tok == Tok::kOpen || tok == Tok::kNot)) {
      out.put(g.blank);
    }
    switch (tok) {
      case Tok::kTerm:
        if (!writeTerm(c.codePage, g, *term, at, out, f)) return false;
        break;
      case Tok::kAnd:
      case Tok::kOr:
        out.put(g.blank);
        out.put(tok == Tok::kAnd ? g.andOp : g.orOp);
        out.put(g.blank);
        break;
      case Tok::kNot:
        out.put(g.notOp);
        break;
      case Tok::kOpen:
        out.put(g.open);
        break;
      case Tok::kClose:
        out.put(g.close);
        break;
    }
    afterOperand = tok == Tok::kTerm || tok == Tok::kClose;
  }
  if (out.missingGlyph()) return failWith(f, query::kErrFormatUnencodable);
  if (out.full()) return failWith(f, query::kErrFormatTooSmall);
  if (grammar.empty()) return failWith(f, query::kErrFormatEmpty, 0, ZOL_RC_EMPTY_QUERY);
  query::GrammarResult r = grammar.finish();
  if (r.error != query::GrammarError::kNone) {
    return failWith(f, query::kErrFormatGrammarBase + static_cast<uint32_t>(r.error), r.offset);
  }
  return true;
}

}  // namespace
}  // namespace zol

THES_EXPORT void ZOLformatSearchCond(const ZOLSEARCHCOND* condition, char* buffer, int32_t capacity,
                                     int32_t* length, ZOLSTATUS* status) {
  zol::clearStatus(status);
  if (length != nullptr) *length = 0;
  zol::Failure f{};
  zol::Converted v{};
  bool ok = false;
  if (condition == nullptr || length == nullptr) {
    zol::failWith(&f, zol::query::kErrFormatNoCondition);
  } else if (capacity < 0 || (buffer == nullptr && capacity > 0)) {
    zol::failWith(&f, zol::query::kErrFormatBuffer);
  } else if (zol::codePageInfo(condition->codePage) == nullptr) {
    zol::failWith(&f, zol::query::kErrFormatCodePage);
  } else if (zol::selectForm(*condition, &v, &f)) {
    zol::Output out(buffer, static_cast<size_t>(capacity));
    ok = zol::formatCondition(*condition, v, out, &f);
    if (ok && out.used() < static_cast<size_t>(capacity)) {
      buffer[out.used()] = '\0';
      *length = static_cast<int32_t>(out.used());
    }
  }
  if (ok) return;
  if (buffer != nullptr && capacity > 0) buffer[0] = '\0';
  if (zol::fail(status, f.retcode, f.errcode, ZOL_CTX_CONVERT)) {
    status->kernelInfo = static_cast<uint32_t>(f.offset);
  }
}
