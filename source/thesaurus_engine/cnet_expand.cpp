// Search-condition expansion: converts a search condition with the indexing engine, looks every
// word term up in the thesaurus and writes a new converted condition in which each word term
// with related terms becomes an OR group of the term and its related terms, each weighted by the
// strength of its relation. Everything the new condition points to is owned by the expansion
// context in the caller's cell, until the next expansion with that cell or the release.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cnet_def_syntax.h"
#include "cnet_dict.h"
#include "cnet_grow.h"
#include "cnet_reader.h"
#include "cnet_refer.h"
#include "cnet_status.h"
#include "thesaurus_engine/cnet.h"

namespace {

// Location numbers of the checks shared by both forms.
constexpr uint32_t kErrNotExist = 4601;
constexpr uint32_t kErrNames = 4602;
constexpr uint32_t kErrRecords = 4603;
constexpr uint32_t kErrReserved = 4604;
constexpr uint32_t kErrMaxTerms = 4605;
constexpr uint32_t kErrMode = 4606;
constexpr uint32_t kErrSummary = 4607;
constexpr uint32_t kErrNoCell = 4608;  // no context cell: the results could not be released
constexpr uint32_t kErrContext = 4609;

// Checks of the expansion proper: the plain form reports them from 4610 on, the mixed form
// from 4630 on.
constexpr uint32_t kPlainBase = 4610;
constexpr uint32_t kMixedBase = 4630;
enum Check : uint32_t {
  kNoConditionText = 0,  // condition text (or term array, items) missing
  kTextsMemory = 1,      // copy of the term texts and condition text
  kItemsMemory = 2,      // copy of the engine items
  kNoTerms = 3,          // no term entries
  kRoomMemory = 4,       // result entries and term ranges
  kBeyondRoom = 5,       // a lookup returned more entries than it had room for
  kShrinkMemory = 6,     // shrinking the result entries
  kTermsMemory = 7,      // new term array
  kScanMemory = 8,       // growth of the new text while copying
  kBadReference = 9,     // term reference outside 1 to the term count
  kReplaceMemory = 10,   // growth of the new text for a replacement
};

constexpr uint8_t kUtf8 = 34;
constexpr uint8_t kShiftOut = 0x0E;
constexpr uint8_t kShiftIn = 0x0F;
constexpr uint32_t kScanStep = 512;
constexpr uint32_t kReplaceStep = 256;

// Frees what the previous expansion left in ctx; the search context stays.
void freeResults(CNETEXPCTX* ctx) {
  std::free(ctx->conditionText);
  std::free(ctx->terms);
  std::free(ctx->mixTerms);
  std::free(ctx->results);
  std::free(ctx->summary);
  std::free(ctx->texts);
  std::free(ctx->items);
  void* searchContext = ctx->searchContext;
  std::memset(ctx, 0, sizeof *ctx);
  ctx->searchContext = searchContext;
}

// Access to the term inside an entry of either form.
ZOLTERM& termOf(ZOLTERM& e) {
  return e;
}
ZOLTERM& termOf(ZOLMIXTERM& e) {
  return e.term;
}
const ZOLTERM& termOf(const ZOLTERM& e) {
  return e;
}
const ZOLTERM& termOf(const ZOLMIXTERM& e) {
  return e.term;
}
bool isTerm(const ZOLTERM&) {
  return true;
}
bool isTerm(const ZOLMIXTERM& e) {
  return e.entryKind == 1;
}

// The new condition text, grown in steps.
class TextBuilder {
 public:
  ~TextBuilder() { std::free(text_); }
  // Appends n bytes; the text grows to a multiple of `step` bytes.
  bool append(const char* bytes, size_t n, uint32_t step, uint32_t errcode, CNETSTATUS* status) {
    if (used_ + n + 1 > size_ &&
        !cnetGrowBuffer(&text_, &size_, uint64_t{used_} + n + 1, step, SIZE_MAX)) {
      cnetFail(status, CNET_NO_MEMORY, errcode);
      return false;
    }
    std::memcpy(text_ + used_, bytes, n);
    used_ += n;
    text_[used_] = '\0';
    return true;
  }
  // Hands the terminated text over to the caller.
  char* release() {
    char* t = text_;
    text_ = nullptr;
    return t;
  }

 private:
  char* text_ = nullptr;
  size_t size_ = 0;
  size_t used_ = 0;
};

// One expansion of one converted condition; Entry is ZOLTERM (plain) or ZOLMIXTERM (mixed).
template <typename Entry>
class Expansion {
 public:
  Expansion(CNETEXPCTX* ctx, CnetReadSession& session, const CNETCOND& cond, uint32_t base,
            CNETSTATUS* status)
      : ctx_(ctx), session_(session), cond_(cond), base_(base), status_(status) {}
  ~Expansion() {
    std::free(work_);
    std::free(ranges_);
  }
  Expansion(const Expansion&) = delete;
  Expansion& operator=(const Expansion&) = delete;

  // Runs every step on the n entries and the condition text of the engine's conversion. On
  // success the context holds the new entries (*newTerms), the new text and the results.
  bool run(const Entry* entries, int32_t n, const char* text, Entry** newTerms) {
    if (!copyInput(entries, n, text)) return false;
    if (n <= 0) return fail(CNET_UNEXPECTED, kNoTerms);
    n_ = static_cast<uint32_t>(n);
    for (uint32_t i = 0; i < n_; ++i) {
      ZOLTERM& t = termOf(work_[i]);
      if (!isTerm(work_[i])) continue;
      if (t.weight == 0) t.weight = 100;
      if (t.kind == 'W') t.marker = 'N';
    }
    return lookUpAll() && buildTerms(newTerms) && buildText();
  }

  bool omitted() const { return omitted_; }
  uint32_t count() const { return fill_; }

 private:
  struct Range {
    uint32_t start;  // first result entry of the term's related terms
    uint32_t end;    // one past the last
  };

  bool fail(uint32_t retcode, Check check) {
    cnetFail(status_, retcode, base_ + check);
    return false;
  }

  // Copies the entries into a working array, and their texts, items and the condition text
  // into the context, so that they outlive the engine's conversion.
  bool copyInput(const Entry* entries, int32_t n, const char* text) {
    if (text == nullptr || (n > 0 && entries == nullptr))
      return fail(CNET_PARAMETER, kNoConditionText);
    const size_t count = n > 0 ? static_cast<size_t>(n) : 0;
    size_t textBytes = std::strlen(text) + 1;
    size_t itemCount = 0;
    for (size_t i = 0; i < count; ++i) {
      const ZOLTERM& t = termOf(entries[i]);
      if (t.length > 0 && t.text == nullptr) return fail(CNET_PARAMETER, kNoConditionText);
      if (t.itemCount > 0 && t.items == nullptr) return fail(CNET_PARAMETER, kNoConditionText);
      if (t.length > 0) textBytes += static_cast<size_t>(t.length);
      if (t.itemCount > 0) itemCount += static_cast<size_t>(t.itemCount);
    }
    ctx_->texts = static_cast<char*>(std::malloc(textBytes));
    if (ctx_->texts == nullptr) return fail(CNET_NO_MEMORY, kTextsMemory);
    if (itemCount > 0) {
      ctx_->items = static_cast<ZOLITEM*>(std::malloc(itemCount * sizeof(ZOLITEM)));
      if (ctx_->items == nullptr) return fail(CNET_NO_MEMORY, kItemsMemory);
    }
    if (count > 0) {
      work_ = static_cast<Entry*>(std::malloc(count * sizeof(Entry)));
      if (work_ == nullptr) return fail(CNET_NO_MEMORY, kTextsMemory);
      std::memcpy(work_, entries, count * sizeof(Entry));
    }
    char* nextText = ctx_->texts;
    ZOLITEM* nextItem = ctx_->items;
    for (size_t i = 0; i < count; ++i) {
      ZOLTERM& t = termOf(work_[i]);
      if (t.length > 0) {
        std::memcpy(nextText, t.text, static_cast<size_t>(t.length));
        t.text = nextText;
        nextText += t.length;
      }
      if (t.itemCount > 0) {
        std::memcpy(nextItem, t.items, static_cast<size_t>(t.itemCount) * sizeof(ZOLITEM));
        t.items = nextItem;
        nextItem += t.itemCount;
      }
    }
    std::memcpy(nextText, text, std::strlen(text) + 1);
    text_ = nextText;
    return true;
  }

  // Makes room for `needed` result entries in all; new entries are cleared.
  bool reserve(size_t needed) {
    if (needed <= room_) return true;
    const size_t old = room_;
    if (!cnetGrowBuffer(&ctx_->results, &room_, needed, kCnetGrowDouble,
                        SIZE_MAX / sizeof(CNETRESENT))) {
      return fail(CNET_NO_MEMORY, kRoomMemory);
    }
    std::memset(ctx_->results + old, 0, (room_ - old) * sizeof(CNETRESENT));
    return true;
  }

  // True when the term is looked up: a word term of 1 to 64 bytes whose normalized form fits
  // the dictionary's words.
  bool wanted(const Entry& e, bool* ok) {
    *ok = true;
    const ZOLTERM& t = termOf(e);
    if (!isTerm(e) || t.kind != 'W' || t.length < 1 || t.length > CNET_TERM_MAX) return false;
    if (session_.codePage() != kUtf8) return true;
    int32_t normalized = 0;
    cnetZOLnormalizeWordLength(kUtf8, t.text, t.length, &normalized, status_);
    if (cnetFailed(status_)) *ok = false;
    return *ok && normalized <= CNET_WORD_MAX;
  }

  // Looks up every word term; its related terms go to the fill position.
  bool lookUpAll() {
    ranges_ = static_cast<Range*>(std::malloc(n_ * sizeof(Range)));
    if (ranges_ == nullptr) return fail(CNET_NO_MEMORY, kRoomMemory);
    if (!reserve(n_)) return false;
    fill_ = n_;
    for (uint32_t i = 0; i < n_; ++i) {
      CNETRESENT& entry = ctx_->results[i];
      std::memset(&entry, 0, sizeof entry);
      entry.parent = isTerm(work_[i]) ? -1 : -2;
      ranges_[i] = Range{fill_, fill_};
      bool ok = true;
      if (!wanted(work_[i], &ok)) {
        if (!ok) return false;
        continue;
      }
      const ZOLTERM& t = termOf(work_[i]);
      std::memcpy(entry.text, t.text, static_cast<size_t>(t.length));
      entry.length = static_cast<uint16_t>(t.length);
      if (!reserve(size_t{fill_} + cond_.maxTerms) || !lookUp(i, t)) return false;
      ranges_[i].end = fill_;
    }
    void* p = std::realloc(ctx_->results, size_t{fill_} * sizeof(CNETRESENT));
    if (p == nullptr) return fail(CNET_NO_MEMORY, kShrinkMemory);
    ctx_->results = static_cast<CNETRESENT*>(p);
    room_ = fill_;
    return true;
  }

  // One related-term lookup for term i; a word that is not in the thesaurus has no related
  // terms.
  bool lookUp(uint32_t i, const ZOLTERM& t) {
    CNETTERM term{};
    std::memcpy(term.text, t.text, static_cast<size_t>(t.length));
    term.length = static_cast<uint16_t>(t.length);
    term.weight = 100;
    CNETRESULT result{ctx_->results + fill_, 0};
    CNETSTATUS st{};
    // On the session this expansion opened: one existence check, lock and open for all terms.
    cnetReferOnSession(session_, &ctx_->searchContext, &term, cond_, result, &st);
    if (st.retcode == CNET_NOT_FOUND) return true;
    if (st.retcode != 0) {
      *status_ = st;
      return false;
    }
    if (result.count > cond_.maxTerms) return fail(CNET_UNEXPECTED, kBeyondRoom);
    for (uint32_t k = 0; k < result.count; ++k) {
      CNETRESENT& e = result.entries[k];
      e.parent = e.parent == -1 ? static_cast<int32_t>(i) : e.parent + static_cast<int32_t>(fill_);
    }
    if (st.termsOmitted != 0) omitted_ = true;
    fill_ += result.count;
    return true;
  }

  // The new term array: the input entries, then one copy of its term per related entry, with
  // the related term's text and the weight scaled by the relation's strength. The weight is at
  // least 1: a weight truncated to 0 would read as the full weight 100.
  bool buildTerms(Entry** out) {
    Entry* terms = static_cast<Entry*>(std::calloc(fill_, sizeof(Entry)));
    if (terms == nullptr) return fail(CNET_NO_MEMORY, kTermsMemory);
    *out = terms;
    std::memcpy(terms, work_, size_t{n_} * sizeof(Entry));
    for (uint32_t i = 0; i < n_; ++i) {
      const int16_t weight = termOf(work_[i]).weight;
      for (uint32_t j = ranges_[i].start; j < ranges_[i].end; ++j) {
        const CNETRESENT& r = ctx_->results[j];
        terms[j] = work_[i];
        ZOLTERM& t = termOf(terms[j]);
        t.text = r.text;
        t.length = static_cast<int16_t>(r.length);
        const auto scaled = static_cast<int16_t>(static_cast<double>(r.strength) * weight / 100.0);
        t.weight = scaled < 1 ? int16_t{1} : scaled;
      }
    }
    return true;
  }

  // Separators of the condition text: the code page's blank and the control bytes, except the
  // shift bytes, which belong to tokens.
  bool separator(uint8_t b) const {
    return b != 0 && (b == blank_ || (b <= 0x20 && b != kShiftOut && b != kShiftIn));
  }

  // The new condition text: every reference to a term with related terms becomes
  // "( k + j ... )"; everything else is copied unchanged.
  bool buildText() {
    blank_ = cnetDefIsEbcdic(session_.codePage()) ? 0x40 : 0x20;
    const auto* text = reinterpret_cast<const uint8_t*>(text_);
    TextBuilder out;
    size_t copied = 0;
    size_t p = 0;
    while (text[p] != 0) {
      if (separator(text[p])) {
        ++p;
        continue;
      }
      const size_t token = p;
      while (text[p] != 0 && !separator(text[p]))
        ++p;
      if (text[token] < '0' || text[token] > '9') continue;
      uint64_t k = 0;
      size_t digitsEnd = token;
      for (; digitsEnd < p && text[digitsEnd] >= '0' && text[digitsEnd] <= '9'; ++digitsEnd) {
        if (k <= n_) k = k * 10 + (text[digitsEnd] - '0');
      }
      if (k < 1 || k > n_) return fail(CNET_PARAMETER, kBadReference);
      if (!out.append(text_ + copied, token - copied, kScanStep, base_ + kScanMemory, status_) ||
          !appendReference(out, static_cast<uint32_t>(k))) {
        return false;
      }
      copied = digitsEnd;
    }
    if (!out.append(text_ + copied, p - copied, kScanStep, base_ + kScanMemory, status_)) {
      return false;
    }
    ctx_->conditionText = out.release();
    return true;
  }

  // Writes reference k: unchanged without related terms, else the OR group.
  bool appendReference(TextBuilder& out, uint32_t k) {
    const Range& r = ranges_[k - 1];
    const uint32_t errcode = base_ + kReplaceMemory;
    char number[16];
    int len = std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(k));
    if (r.start == r.end)
      return out.append(number, static_cast<size_t>(len), kReplaceStep, errcode, status_);
    const char blank = static_cast<char>(blank_);
    const char open[2] = {'(', blank};
    if (!out.append(open, 2, kReplaceStep, errcode, status_) ||
        !out.append(number, static_cast<size_t>(len), kReplaceStep, errcode, status_) ||
        !out.append(&blank, 1, kReplaceStep, errcode, status_)) {
      return false;
    }
    for (uint32_t j = r.start; j < r.end; ++j) {
      const char plus[2] = {'+', blank};
      len = std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(j) + 1);
      if (!out.append(plus, 2, kReplaceStep, errcode, status_) ||
          !out.append(number, static_cast<size_t>(len), kReplaceStep, errcode, status_) ||
          !out.append(&blank, 1, kReplaceStep, errcode, status_)) {
        return false;
      }
    }
    return out.append(")", 1, kReplaceStep, errcode, status_);
  }

  CNETEXPCTX* ctx_;
  CnetReadSession& session_;
  const CNETCOND& cond_;
  uint32_t base_;
  CNETSTATUS* status_;
  Entry* work_ = nullptr;       // the input entries, pointing into the context's copies
  const char* text_ = nullptr;  // the copied condition text
  Range* ranges_ = nullptr;     // related entries per term
  size_t room_ = 0;             // result entries allocated
  uint32_t n_ = 0;              // input entries
  uint32_t fill_ = 0;           // result entries in use
  uint8_t blank_ = 0x20;
  bool omitted_ = false;
};

// The entry checks that need no dictionary.
bool checkRequest(const char* name, const char* directories, const ZOLSEARCHCOND* condition,
                  const CNETCOND* lookup, const CNETEXPOPT* options, int32_t reserved,
                  const ZOLSEARCHCOND* out, CNETSTATUS* status) {
  if (name == nullptr || directories == nullptr || name[0] == '\0' ||
      strnlen(name, CNET_NAME_MAX + 1) > CNET_NAME_MAX ||
      strnlen(directories, CNET_NAME_MAX + 1) > CNET_NAME_MAX) {
    return !cnetFail(status, CNET_NAME_LENGTH, kErrNames);
  }
  if (condition == nullptr || out == nullptr || lookup == nullptr || options == nullptr) {
    return !cnetFail(status, CNET_PARAMETER, kErrRecords);
  }
  if (reserved != 0 || cnetAnyNonZero(lookup->reserved0, sizeof lookup->reserved0) ||
      cnetAnyNonZero(lookup->reserved1, sizeof lookup->reserved1) ||
      cnetAnyNonZero(options->reserved, sizeof options->reserved)) {
    return !cnetFail(status, CNET_RESERVED, kErrReserved);
  }
  if (lookup->maxTerms < 1 || lookup->maxTerms > 64) {
    return !cnetFail(status, CNET_PARAMETER, kErrMaxTerms);
  }
  if (options->mode != 1) return !cnetFail(status, CNET_PARAMETER, kErrMode);
  return true;
}

// Converts the condition and expands it in the form its form byte selects; fills out and the
// context on success.
void expand(CNETEXPCTX* ctx, CnetReadSession& session, const ZOLSEARCHCOND& condition,
            const CNETCOND& lookup, ZOLSEARCHCOND* out, CNETEXPSUMMARY** summary,
            CNETSTATUS* status) {
  const bool mixed = condition.form == 5 || condition.form == 6;
  void* handle = nullptr;
  ZOLSEARCHCOND converted{};
  ZOLSTATUS engine{};
  if (mixed) {
    ZOLconvertSearchCond_Mix(&handle, condition, &converted, &engine);
  } else {
    ZOLconvertSearchCond(&handle, condition, &converted, &engine);
  }
  cnetConvertStatus_ZOL_CNET(&engine, status);
  uint32_t count = 0;
  bool omitted = false;
  if (!cnetFailed(status)) {
    bool ok = false;
    if (mixed) {
      Expansion<ZOLMIXTERM> e(ctx, session, lookup, kMixedBase, status);
      ok = e.run(converted.mixTerms, converted.mixTermCount, converted.mixConditionText,
                 &ctx->mixTerms);
      count = e.count();
      omitted = e.omitted();
    } else {
      Expansion<ZOLTERM> e(ctx, session, lookup, kPlainBase, status);
      ok = e.run(converted.terms, converted.termCount, converted.conditionText, &ctx->terms);
      count = e.count();
      omitted = e.omitted();
    }
    if (ok) {
      ctx->termCount = static_cast<int32_t>(count);
      *out = condition;
      if (mixed) {
        out->form = 5;
        out->mixTermCount = ctx->termCount;
        out->mixTerms = ctx->mixTerms;
        out->mixConditionText = ctx->conditionText;
      } else {
        out->form = 3;
        out->termCount = ctx->termCount;
        out->terms = ctx->terms;
        out->conditionText = ctx->conditionText;
      }
      status->termsOmitted = omitted ? 1 : 0;
      if (summary != nullptr) {
        ctx->summary = static_cast<CNETEXPSUMMARY*>(std::calloc(1, sizeof(CNETEXPSUMMARY)));
        if (ctx->summary == nullptr) {
          cnetFail(status, CNET_NO_MEMORY, kErrSummary);
        } else {
          ctx->summary->entries = ctx->results;
          ctx->summary->count = count;
          *summary = ctx->summary;
        }
      }
    }
  }
  ZOLSTATUS released{};
  ZOLconvertSearchCond_Release(&handle, &released);
  cnetConvertStatus_ZOL_CNET(&released, status);
}

}  // namespace

THES_EXPORT void zolCNETexpandSearchCond(void** context, const char* name, const char* directories,
                                         const ZOLSEARCHCOND* condition, const CNETCOND* lookup,
                                         const CNETEXPOPT* options, int32_t reserved,
                                         ZOLSEARCHCOND* out, CNETEXPSUMMARY** summary,
                                         CNETSTATUS* status) {
  if (status == nullptr) return;
  cnetClearStatus(status);
  if (summary != nullptr) *summary = nullptr;
  if (out != nullptr) std::memset(out, 0, sizeof *out);
  if (context == nullptr) {
    cnetFail(status, CNET_PARAMETER, kErrNoCell);
    return;
  }
  auto* ctx = static_cast<CNETEXPCTX*>(*context);
  if (ctx == nullptr) {
    ctx = static_cast<CNETEXPCTX*>(std::calloc(1, sizeof(CNETEXPCTX)));
    if (ctx == nullptr) {
      cnetFail(status, CNET_NO_MEMORY, kErrContext);
      return;
    }
    *context = ctx;
  } else {
    freeResults(ctx);
  }
  if (!checkRequest(name, directories, condition, lookup, options, reserved, out, status)) return;

  CnetReadSession session(nullptr, name, directories, status);
  if (session.exists(kErrNotExist) && session.open(kCnetWordFiles)) {
    expand(ctx, session, *condition, *lookup, out, summary, status);
  }
  session.close();
  if (cnetFailed(status)) {
    freeResults(ctx);
    std::memset(out, 0, sizeof *out);
    if (summary != nullptr) *summary = nullptr;
  }
}

THES_EXPORT void zolCNETexpandSearchCond_Release(void** context, CNETSTATUS* status) {
  cnetClearStatus(status);
  if (context == nullptr || *context == nullptr) return;
  auto* ctx = static_cast<CNETEXPCTX*>(*context);
  freeResults(ctx);
  zolCNETrefer_Release(&ctx->searchContext, status);
  std::free(ctx);
  *context = nullptr;
}
