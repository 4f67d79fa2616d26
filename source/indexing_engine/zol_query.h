// Query syntax shared by the search-condition conversion (zol_query_convert.cpp) and the
// formatter (zol_query_format.cpp): the syntax characters, the grammar check that both run over
// their token streams, the limits and the location numbers (errcodes) of every check.
//
// Characters are recognised by code point, never by byte, so the rules hold in every code page.
// Everything here is constant or per call; a Grammar belongs to one call.
#ifndef INDEXING_ENGINE_ZOL_QUERY_H
#define INDEXING_ENGINE_ZOL_QUERY_H

#include <cstddef>
#include <cstdint>

namespace zol::query {

// What a character means in a query. Everything that is not listed is part of a word.
enum class Syntax { kWordChar, kBlank, kAnd, kOr, kNot, kOpen, kClose, kQuote, kWeight, kWildcard };

inline Syntax classify(int32_t codePoint) {
  switch (codePoint) {
    case 0x20:  // blank; tabs and line ends separate as blanks do
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
      return Syntax::kBlank;
    case '&':
      return Syntax::kAnd;
    case '|':
    case '+':
      return Syntax::kOr;
    case '!':
      return Syntax::kNot;
    case '(':
      return Syntax::kOpen;
    case ')':
      return Syntax::kClose;
    case '"':
      return Syntax::kQuote;
    case '^':
      return Syntax::kWeight;
    case '*':  // any run of characters
    case '?':  // any one character
      return Syntax::kWildcard;
    default:
      return Syntax::kWordChar;
  }
}

// Tokens of a query or of a converted condition text, as the grammar sees them.
enum class Tok { kTerm, kAnd, kOr, kNot, kOpen, kClose };

// Limits that keep hostile input from causing huge allocations.
constexpr size_t kMaxQueryBytes = size_t{1} << 20;  // query text
constexpr size_t kMaxTermBytes = 32767;             // one term's text (ZOLTERM.length is i16)
constexpr size_t kMaxTerms = 10000;                 // terms of one query
constexpr size_t kMaxTokens = 50000;                // tokens (terms and operators) of one query
constexpr int kMaxWeight = 100;

enum class GrammarError {
  kNone,
  kNoLeftOperand,    // '&' or '|' where an operand belongs
  kNoRightOperand,   // an operator at the end or right before ')'
  kEmptyGroup,       // "( )"
  kUnbalancedClose,  // ')' without '('
  kUnbalancedOpen,   // '(' never closed
};

struct GrammarResult {
  GrammarError error;
  size_t offset;  // where the error lies (the offset given with the token concerned)
};

// Checks that a token stream is a well-formed query: operands joined by binary operators or
// side by side (implied AND), '!' before an operand, balanced parentheses. Works without
// recursion, so deep nesting cannot exhaust the stack.
class Grammar {
 public:
  // Takes the next token at `offset`. *impliedAnd is set when the token starts an operand right
  // after an operand, that is when an AND is implied in front of it.
  GrammarResult feed(Tok tok, size_t offset, bool* impliedAnd) {
    *impliedAnd = false;
    switch (tok) {
      case Tok::kTerm:
      case Tok::kOpen:
      case Tok::kNot:
        *impliedAnd = prev_ == Prev::kOperand;
        if (tok == Tok::kOpen) {
          if (depth_ == 0) outerOpen_ = offset;
          ++depth_;
        }
        if (tok == Tok::kNot) lastOperator_ = offset;
        prev_ = tok == Tok::kTerm ? Prev::kOperand : tok == Tok::kOpen ? Prev::kOpen : Prev::kNot;
        return {GrammarError::kNone, 0};
      case Tok::kAnd:
      case Tok::kOr:
        if (prev_ != Prev::kOperand) return {GrammarError::kNoLeftOperand, offset};
        prev_ = Prev::kBinary;
        lastOperator_ = offset;
        return {GrammarError::kNone, 0};
      case Tok::kClose:
        if (prev_ == Prev::kOpen) return {GrammarError::kEmptyGroup, offset};
        if (depth_ == 0) return {GrammarError::kUnbalancedClose, offset};
        if (prev_ != Prev::kOperand) return {GrammarError::kNoRightOperand, lastOperator_};
        --depth_;
        return {GrammarError::kNone, 0};
    }
    return {GrammarError::kNone, 0};
  }

  // Ends the stream. An empty stream is no grammar error; callers check empty() for it.
  GrammarResult finish() const {
    if (prev_ == Prev::kBinary || prev_ == Prev::kNot) {
      return {GrammarError::kNoRightOperand, lastOperator_};
    }
    if (depth_ > 0) return {GrammarError::kUnbalancedOpen, outerOpen_};
    return {GrammarError::kNone, 0};
  }

  bool empty() const { return prev_ == Prev::kStart; }

 private:
  enum class Prev { kStart, kOperand, kBinary, kNot, kOpen };
  Prev prev_ = Prev::kStart;
  size_t depth_ = 0;
  size_t outerOpen_ = 0;     // the '(' that opened the outermost group still open
  size_t lastOperator_ = 0;  // the last '&', '|' or '!'
};

// Location numbers (ZOLSTATUS.errcode) of the conversion. Syntax errors carry the byte offset
// of the error in the query text in ZOLSTATUS.kernelInfo.
enum ConvertErr : uint32_t {
  kErrNoHandleCell = 6101,  // handle cell missing
  kErrNoOutput = 6102,      // output condition missing
  kErrCodePage = 6103,      // code page not 1 to 36, or its converter cannot be opened
  kErrForm = 6104,          // form not 1, 3, 4, 5 or 6
  kErrOtherForm = 6105,     // a converted form of the other function's kind
  kErrNoQueryText = 6106,   // query text missing
  kErrQueryTooLong = 6107,  // query longer than kMaxQueryBytes
  kErrEmptyQuery = 6108,    // ZOL_RC_EMPTY_QUERY
  kErrUnterminatedQuote = 6110,
  kErrEmptyPhrase = 6111,        // "" or a phrase of blanks
  kErrWeightWithoutTerm = 6112,  // '^' not right behind a term
  kErrWeightSyntax = 6113,       // '^' without digits, or digits followed by a word character
  kErrWeightRange = 6114,        // weight 0 or above 100
  kErrTermTooLong = 6115,        // a term longer than kMaxTermBytes
  kErrTooManyTerms = 6116,       // more than kMaxTerms
  kErrTooManyTokens = 6117,      // more than kMaxTokens
  kErrMaskOnly = 6118,           // ZOL_RC_MASK: a word made of wildcards only
  kErrGrammarBase = 6120,        // + GrammarError (6121 to 6125)
  kErrNoMemory = 6130,           // ZOL_RC_NO_MEMORY
  kErrReleaseForeign = 6140,     // release of something that is not a conversion
};

// Location numbers of the formatter; errors in the condition text carry its byte offset in
// ZOLSTATUS.kernelInfo.
enum FormatErr : uint32_t {
  kErrFormatNoCondition = 6201,  // condition or length cell missing
  kErrFormatBuffer = 6202,       // buffer missing with capacity above 0, or capacity below 0
  kErrFormatCodePage = 6203,     // code page not 1 to 36
  kErrFormatForm = 6204,         // form not 3, 4 or 5
  kErrFormatTerms = 6205,        // term count below 0, or terms/condition text missing
  kErrFormatEmpty = 6206,        // ZOL_RC_EMPTY_QUERY: the condition text has no token
  kErrFormatToken = 6207,        // a byte in the condition text that is no token
  kErrFormatReference = 6208,    // a reference below 1 or above the entry count
  kErrFormatEntry = 6209,        // a mixed entry of unknown kind or operator
  kErrFormatTermText = 6210,     // term text missing or empty
  kErrFormatWeight = 6211,       // weight outside 0 to 100
  kErrFormatQuoteInTerm = 6212,  // a '"' in a term's text cannot be written
  kErrFormatMaskQuoted = 6213,   // a masked term that would need quotes (quotes hide masks)
  kErrFormatUnencodable = 6214,  // a syntax character the code page cannot encode
  kErrFormatTooSmall = 6215,     // the buffer is too small
  kErrFormatGrammarBase = 6220,  // + GrammarError (6221 to 6225)
};

}  // namespace zol::query

#endif  // INDEXING_ENGINE_ZOL_QUERY_H
