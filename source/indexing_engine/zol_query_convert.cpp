// Search-condition conversion of the indexing engine: reads a query in its code page character
// by character, checks it against the query grammar and builds the plain (form 3) or the mixed
// (form 5) converted condition. All memory the converted condition points into belongs to one
// conversion object, handed to the caller as the conversion handle.
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "indexing_engine/zol.h"
#include "zol_codepage.h"
#include "zol_query.h"
#include "zol_status.h"

namespace zol {
namespace {

using query::Syntax;
using query::Tok;

constexpr uint32_t kConversionMagic = 0x5A4F4C43;  // "ZOLC": tells a conversion from other handles

// Everything one conversion owns. Each member is filled once and never resized afterwards, so
// the pointers of the converted condition stay valid until release.
struct Conversion {
  uint32_t magic = kConversionMagic;
  std::vector<char> query;      // copy of the query text; term texts point into it
  std::vector<ZOLTERM> terms;   // plain form
  std::vector<ZOLMIXTERM> mix;  // mixed form
  std::vector<ZOLITEM> items;   // one per term
  std::string condition;        // the condition text, terminated
};

// One token of a query. Offsets are byte offsets in the query text.
struct Token {
  Tok tok;
  uint8_t op;         // operators: '&', '+', '!', '(' or ')'
  bool impliedAnd;    // an AND is implied in front of this token
  bool phrase;        // terms: written in quotes
  bool masked;        // terms: a word with a wildcard
  int weight;         // terms: 1 to 100
  size_t offset;      // first byte (the opening quote of a phrase)
  size_t length;      // bytes in the query, quotes included, weight excluded
  size_t textOffset;  // terms: the text without quotes
  size_t textLength;
};

struct Failure {
  uint32_t retcode;
  uint32_t errcode;
  size_t offset;
};

bool failWith(Failure* f, uint32_t errcode, size_t offset, uint32_t retcode = ZOL_RC_PARAMETER) {
  *f = {retcode, errcode, offset};
  return false;
}

// A character reader with one character of lookahead. Syntax characters and blanks are one byte
// in every code page; when the reader returns one together with shift bytes in front of it (the
// shift-in of a mixed EBCDIC text), those bytes are left to the text before it.
class Cursor {
 public:
  struct Char {
    size_t offset;
    size_t length;
    int32_t codePoint;
    Syntax syntax;
  };

  Cursor(uint8_t codePage, const char* text, size_t length)
      : reader_(codePage, text, length), end_(length) {}

  bool valid() const { return reader_.valid(); }
  size_t end() const { return end_; }

  // The next character without consuming it; false at the end.
  bool peek(Char* c) {
    if (!have_) {
      Char& p = pending_;
      if (!reader_.next(&p.offset, &p.length, &p.codePoint)) return false;
      p.syntax = query::classify(p.codePoint);
      if (p.syntax != Syntax::kWordChar && p.length > 1) {
        p.offset += p.length - 1;
        p.length = 1;
      }
      have_ = true;
    }
    *c = pending_;
    return true;
  }

  void advance() { have_ = false; }

 private:
  CharReader reader_;
  size_t end_;
  Char pending_{};
  bool have_ = false;
};

bool isDelimiter(Syntax s) {
  return s != Syntax::kWordChar && s != Syntax::kWildcard && s != Syntax::kWeight;
}

// Reads a word from the current character up to the next delimiter.
bool readWord(Cursor& in, Token* t, Failure* f) {
  Cursor::Char c{};
  in.peek(&c);
  t->offset = t->textOffset = c.offset;
  size_t end = in.end();
  bool wildcardsOnly = true;
  while (in.peek(&c)) {
    if (c.syntax != Syntax::kWordChar && c.syntax != Syntax::kWildcard) {
      end = c.offset;
      break;
    }
    if (c.syntax == Syntax::kWildcard) {
      t->masked = true;
    } else {
      wildcardsOnly = false;
    }
    in.advance();
  }
  t->length = t->textLength = end - t->offset;
  if (wildcardsOnly) return failWith(f, query::kErrMaskOnly, t->offset, ZOL_RC_MASK);
  return true;
}

// Reads a quoted phrase; the current character is the opening quote. Wildcard characters in a
// phrase are taken literally.
bool readPhrase(Cursor& in, Token* t, Failure* f) {
  Cursor::Char c{};
  in.peek(&c);
  in.advance();
  t->phrase = true;
  t->offset = c.offset;
  t->textOffset = c.offset + 1;
  bool hasNonBlank = false;
  while (in.peek(&c)) {
    in.advance();
    if (c.syntax == Syntax::kQuote) {
      t->textLength = c.offset - t->textOffset;
      t->length = c.offset + 1 - t->offset;
      if (!hasNonBlank) return failWith(f, query::kErrEmptyPhrase, t->offset);
      return true;
    }
    if (c.syntax != Syntax::kBlank) hasNonBlank = true;
  }
  return failWith(f, query::kErrUnterminatedQuote, t->offset);
}

// Reads an optional weight ^N right behind a term; without one the weight is 100.
bool readWeight(Cursor& in, Token* t, Failure* f) {
  t->weight = query::kMaxWeight;
  Cursor::Char c{};
  if (!in.peek(&c) || c.syntax != Syntax::kWeight) return true;
  const size_t caret = c.offset;
  in.advance();
  int value = 0;
  size_t digits = 0;
  while (in.peek(&c) && c.codePoint >= '0' && c.codePoint <= '9') {
    if (value <= query::kMaxWeight) value = value * 10 + (c.codePoint - '0');
    ++digits;
    in.advance();
  }
  if (digits == 0) return failWith(f, query::kErrWeightSyntax, caret);
  if (in.peek(&c) && !isDelimiter(c.syntax)) return failWith(f, query::kErrWeightSyntax, caret);
  if (value < 1 || value > query::kMaxWeight) return failWith(f, query::kErrWeightRange, caret);
  t->weight = value;
  return true;
}

// Reads the next token at a character that is not a blank.
bool readToken(Cursor& in, const Cursor::Char& c, Token* t, Failure* f) {
  switch (c.syntax) {
    case Syntax::kAnd:
    case Syntax::kOr:
    case Syntax::kNot:
    case Syntax::kOpen:
    case Syntax::kClose: {
      static constexpr struct {
        Syntax syntax;
        Tok tok;
        uint8_t op;
      } kOperators[] = {{Syntax::kAnd, Tok::kAnd, '&'},
                        {Syntax::kOr, Tok::kOr, '+'},
                        {Syntax::kNot, Tok::kNot, '!'},
                        {Syntax::kOpen, Tok::kOpen, '('},
                        {Syntax::kClose, Tok::kClose, ')'}};
      for (const auto& o : kOperators) {
        if (o.syntax == c.syntax) {
          t->tok = o.tok;
          t->op = o.op;
        }
      }
      t->offset = c.offset;
      t->length = 1;
      in.advance();
      return true;
    }
    case Syntax::kWeight:
      return failWith(f, query::kErrWeightWithoutTerm, c.offset);
    case Syntax::kQuote:
      t->tok = Tok::kTerm;
      return readPhrase(in, t, f) && readWeight(in, t, f);
    default:
      t->tok = Tok::kTerm;
      return readWord(in, t, f) && readWeight(in, t, f);
  }
}

// Splits a query into tokens and checks its grammar; the first error in reading order wins.
bool tokenize(uint8_t codePage, const char* text, size_t length, std::vector<Token>* tokens,
              size_t* termCount, Failure* f) {
  Cursor in(codePage, text, length);
  if (!in.valid()) return failWith(f, query::kErrCodePage, 0);
  query::Grammar grammar;
  Cursor::Char c{};
  while (in.peek(&c)) {
    if (c.syntax == Syntax::kBlank) {
      in.advance();
      continue;
    }
    Token t{};
    if (!readToken(in, c, &t, f)) return false;
    if (t.tok == Tok::kTerm) {
      if (t.textLength > query::kMaxTermBytes) {
        return failWith(f, query::kErrTermTooLong, t.offset);
      }
      if (++*termCount > query::kMaxTerms) return failWith(f, query::kErrTooManyTerms, t.offset);
    }
    if (tokens->size() >= query::kMaxTokens) {
      return failWith(f, query::kErrTooManyTokens, t.offset);
    }
    query::GrammarResult g = grammar.feed(t.tok, t.offset, &t.impliedAnd);
    if (g.error != query::GrammarError::kNone) {
      return failWith(f, query::kErrGrammarBase + static_cast<uint32_t>(g.error), g.offset);
    }
    tokens->push_back(t);
  }
  if (grammar.empty()) return failWith(f, query::kErrEmptyQuery, 0, ZOL_RC_EMPTY_QUERY);
  query::GrammarResult g = grammar.finish();
  if (g.error != query::GrammarError::kNone) {
    return failWith(f, query::kErrGrammarBase + static_cast<uint32_t>(g.error), g.offset);
  }
  return true;
}

// Fills a term entry for token t, whose engine item is conv.items[item].
void fillTerm(Conversion& conv, const Token& t, size_t item, ZOLTERM* term) {
  conv.items[item] = {static_cast<uint32_t>(t.offset), static_cast<uint32_t>(t.length)};
  term->kind = t.masked ? 'M' : 'W';
  term->phrase = t.phrase ? 1 : 0;
  term->text = conv.query.data() + t.textOffset;
  term->length = static_cast<int16_t>(t.textLength);
  term->itemCount = 1;
  term->items = &conv.items[item];
  term->weight = static_cast<int16_t>(t.weight);
}

// Appends one token to a condition text, separated by the code page's blank.
void appendToken(std::string& text, char blank, const std::string& token) {
  if (!text.empty()) text += blank;
  text += token;
}

// Plain form: one term entry per term; operators stay in the text, implied ANDs become '&'.
void buildPlain(Conversion& conv, const std::vector<Token>& tokens, size_t termCount, char blank) {
  conv.terms.resize(termCount);
  conv.items.resize(termCount);
  size_t n = 0;
  for (const Token& t : tokens) {
    if (t.impliedAnd) appendToken(conv.condition, blank, "&");
    if (t.tok == Tok::kTerm) {
      fillTerm(conv, t, n, &conv.terms[n]);
      appendToken(conv.condition, blank, std::to_string(++n));
    } else {
      appendToken(conv.condition, blank, std::string(1, static_cast<char>(t.op)));
    }
  }
}

// Mixed form: every token is an entry and the text numbers them all in order.
void buildMixed(Conversion& conv, const std::vector<Token>& tokens, size_t termCount, char blank) {
  conv.mix.resize(tokens.size());
  conv.items.resize(termCount);
  size_t item = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    ZOLMIXTERM& e = conv.mix[i];
    if (t.tok == Tok::kTerm) {
      e.entryKind = 1;
      fillTerm(conv, t, item++, &e.term);
    } else {
      e.entryKind = 2;
      e.op = t.op;
      e.term.text = conv.query.data() + t.offset;
      e.term.length = static_cast<int16_t>(t.length);
    }
    appendToken(conv.condition, blank, std::to_string(i + 1));
  }
}

// Converts a form 1 or 6 query into a new conversion; *out is set from it on success.
bool convertQuery(const ZOLSEARCHCOND& condition, bool mixed, ZOLSEARCHCOND* out,
                  std::unique_ptr<Conversion>* made, Failure* f) {
  if (codePageInfo(condition.codePage) == nullptr) return failWith(f, query::kErrCodePage, 0);
  size_t length = 0;
  if (condition.queryLength < 0) {
    if (condition.queryText == nullptr) return failWith(f, query::kErrNoQueryText, 0);
    length = strnlen(condition.queryText, query::kMaxQueryBytes + 1);
  } else {
    length = static_cast<size_t>(condition.queryLength);
    if (length > 0 && condition.queryText == nullptr) {
      return failWith(f, query::kErrNoQueryText, 0);
    }
  }
  if (length > query::kMaxQueryBytes) return failWith(f, query::kErrQueryTooLong, 0);
  if (length == 0) return failWith(f, query::kErrEmptyQuery, 0, ZOL_RC_EMPTY_QUERY);

  try {
    std::vector<Token> tokens;
    size_t termCount = 0;
    if (!tokenize(condition.codePage, condition.queryText, length, &tokens, &termCount, f)) {
      return false;
    }
    auto conv = std::make_unique<Conversion>();
    conv->query.assign(condition.queryText, condition.queryText + length);
    const char blank = static_cast<char>(blankByte(condition.codePage));
    *out = condition;
    out->termCount = out->wordTermCount = out->mixTermCount = 0;
    out->terms = nullptr;
    out->conditionText = out->mixConditionText = nullptr;
    out->wordTerms = nullptr;
    out->wordConditionText = nullptr;
    out->mixTerms = nullptr;
    if (mixed) {
      buildMixed(*conv, tokens, termCount, blank);
      out->form = 5;
      out->mixTermCount = static_cast<int32_t>(conv->mix.size());
      out->mixTerms = conv->mix.data();
      out->mixConditionText = conv->condition.data();
    } else {
      buildPlain(*conv, tokens, termCount, blank);
      out->form = 3;
      out->termCount = static_cast<int32_t>(conv->terms.size());
      out->terms = conv->terms.data();
      out->conditionText = conv->condition.data();
    }
    *made = std::move(conv);
    return true;
  } catch (const std::bad_alloc&) {
    return failWith(f, query::kErrNoMemory, 0, ZOL_RC_NO_MEMORY);
  }
}

// Shared body of both conversions. A conversion already held in *handle is released once the
// new one is built, so the condition may point into it; on failure *handle ends up null.
void convert(void** handle, const ZOLSEARCHCOND& condition, ZOLSEARCHCOND* out, ZOLSTATUS* status,
             bool mixed) {
  clearStatus(status);
  if (out != nullptr) std::memset(out, 0, sizeof *out);
  if (handle == nullptr) {
    fail(status, ZOL_RC_PARAMETER, query::kErrNoHandleCell, ZOL_CTX_CONVERT);
    return;
  }
  auto* previous = static_cast<Conversion*>(*handle);
  if (previous != nullptr && previous->magic != kConversionMagic) {
    fail(status, ZOL_RC_PARAMETER, query::kErrReleaseForeign, ZOL_CTX_CONVERT);
    return;  // not ours: left in the cell untouched
  }
  Failure f{};
  std::unique_ptr<Conversion> made;
  ZOLSEARCHCOND result{};
  bool ok = false;
  if (out == nullptr) {
    failWith(&f, query::kErrNoOutput, 0);
  } else if (condition.form == 1 || condition.form == 6) {
    ok = convertQuery(condition, mixed, &result, &made, &f);
  } else if (condition.form == 3 || condition.form == 4 || condition.form == 5) {
    ok = (condition.form == 5) == mixed;
    if (ok) {
      result = condition;
    } else {
      failWith(&f, query::kErrOtherForm, 0);
    }
  } else {
    failWith(&f, query::kErrForm, 0);
  }
  ZOLconvertSearchCond_Release(handle, nullptr);
  if (!ok) {
    if (fail(status, f.retcode, f.errcode, ZOL_CTX_CONVERT)) {
      status->kernelInfo = static_cast<uint32_t>(f.offset);
    }
    return;
  }
  *out = result;
  *handle = made.release();
}

}  // namespace
}  // namespace zol

THES_EXPORT void ZOLconvertSearchCond(void** handle, ZOLSEARCHCOND condition, ZOLSEARCHCOND* out,
                                      ZOLSTATUS* status) {
  zol::convert(handle, condition, out, status, false);
}

THES_EXPORT void ZOLconvertSearchCond_Mix(void** handle, ZOLSEARCHCOND condition,
                                          ZOLSEARCHCOND* out, ZOLSTATUS* status) {
  zol::convert(handle, condition, out, status, true);
}

THES_EXPORT void ZOLconvertSearchCond_Release(void** handle, ZOLSTATUS* status) {
  zol::clearStatus(status);
  if (handle == nullptr || *handle == nullptr) return;
  auto* conv = static_cast<zol::Conversion*>(*handle);
  if (conv->magic != zol::kConversionMagic) {
    zol::fail(status, ZOL_RC_PARAMETER, zol::query::kErrReleaseForeign, ZOL_CTX_CONVERT);
    return;
  }
  conv->magic = 0;
  delete conv;
  *handle = nullptr;
}
