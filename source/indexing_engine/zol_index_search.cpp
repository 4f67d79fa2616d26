// Searching a word index for the one term of a single-word (form 4) condition, and the result
// functions. The search state holds the index file of its last search; the file comes from the
// process-wide cache of open index files, which checks at every search that it is still the
// file under the path, reads it entry by entry in its first search and from memory later. An exact
// term is a binary search for its key; a term with wildcards is matched, character by character,
// against every key that starts with the term's literal prefix. Every key is bounds-checked before
// it is read, so a damaged file gives ZOL_RC_INDEX_INVALID and never a read outside the file.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "zol_codepage.h"
#include "zol_index_cache.h"
#include "zol_index_file.h"
#include "zol_normalize.h"
#include "zol_status.h"

namespace {

// Location numbers of the search's checks.
enum SearchErrcode : uint32_t {
  kErrSearchState = 301,
  kErrName = 302,
  kErrDirectories = 303,
  kErrReserved = 304,
  kErrResultNull = 305,
  kErrResultArea = 306,
  kErrCondCodePage = 307,
  kErrCondForm = 308,
  kErrCondTermCount = 309,
  kErrCondText = 310,
  kErrTerm = 311,
  kErrTermLength = 312,
  kErrMaskSame = 313,
  kErrCodePageMismatch = 314,
  kErrKeyBounds = 315,
  kErrMemory = 316,
  kErrNormalize = 317,
  kErrPath = 318,
  kErrStat = 319,
  kErrTooManyHits = 320,
  kErrResultHandle = 331,
  kErrResultOption = 332,
  kErrResultNotOpen = 333,
  kErrResultCount = 334,
  kErrResultBuffer = 335,
  kErrResultOpen = 336,
};

constexpr uint32_t kStateMagic = 0x5A4F4C53;   // "ZOLS"
constexpr uint32_t kResultMagic = 0x5A4F4C52;  // "ZOLR"

// What *searchHandle points to: the index file last searched.
struct SearchState {
  uint32_t magic = kStateMagic;
  std::shared_ptr<zol::IndexFile> file;
};

// What a result handle points to.
struct SearchResult {
  uint32_t magic = kResultMagic;
  bool open = false;
  std::vector<uint32_t> docIds;
};

// ---- Patterns ------------------------------------------------------------------------------

enum class UnitKind : uint8_t { kChar, kAnyRun, kAnyOne };

// One character of a key or a pattern: its code point (-1 for bytes that are no character)
// and where its bytes are.
struct Unit {
  int32_t codePoint;
  uint32_t offset;
  uint32_t length;
  UnitKind kind;
};

bool statefulEbcdic(uint8_t codePage) {
  return codePage >= 10 && codePage <= 15;
}

bool shiftByte(uint8_t b) {
  return b == 0x0E || b == 0x0F;
}

// Splits text into characters. In the stateful EBCDIC code pages a lone shift byte carries no
// character and is skipped, so that texts compare by their characters only.
void decodeUnits(uint8_t codePage, const uint8_t* text, size_t length, uint32_t base,
                 std::vector<Unit>* units) {
  zol::CharReader reader(codePage, reinterpret_cast<const char*>(text), length);
  size_t offset;
  size_t n;
  int32_t c;
  bool stateful = statefulEbcdic(codePage);
  while (reader.next(&offset, &n, &c)) {
    if (stateful && c < 0 && std::all_of(text + offset, text + offset + n, shiftByte)) continue;
    units->push_back(
        Unit{c, base + static_cast<uint32_t>(offset), static_cast<uint32_t>(n), UnitKind::kChar});
  }
}

// A term with its literal parts normalized: the units refer to bytes.
struct Pattern {
  std::string bytes;        // normalized literal parts, back to back
  std::vector<Unit> units;  // characters and wildcards in order
  size_t prefixLength = 0;  // bytes of the normalized literal text before the first wildcard
  bool wild = false;
};

// Appends the normalized form of one literal run to the pattern. False when the run cannot be
// normalized (out of memory).
bool addLiteral(uint8_t codePage, const uint8_t* run, size_t length, Pattern* p) {
  if (length == 0) return true;
  size_t base = p->bytes.size();
  p->bytes.resize(base + zol::maxNormalizedLength(codePage, length));
  size_t n = 0;
  zol::FoldResult r = zol::normalizeKey(codePage, reinterpret_cast<const char*>(run), length,
                                        p->bytes.data() + base, p->bytes.size() - base, &n);
  p->bytes.resize(base + n);
  if (r != zol::FoldResult::kOk) return false;
  decodeUnits(codePage, reinterpret_cast<const uint8_t*>(p->bytes.data()) + base, n,
              static_cast<uint32_t>(base), &p->units);
  return true;
}

// Splits a term at its wildcards. A wildcard counts only as a whole one-byte character (in the
// stateful EBCDIC code pages it may follow the shift byte that ends a double-byte run; that
// byte stays with the literal before it). May throw std::bad_alloc.
bool compilePattern(uint8_t codePage, const uint8_t* text, size_t length, const uint8_t* options,
                    Pattern* p) {
  zol::CharReader reader(codePage, reinterpret_cast<const char*>(text), length);
  size_t runStart = 0;
  size_t offset;
  size_t n;
  int32_t c;
  bool stateful = statefulEbcdic(codePage);
  while (reader.next(&offset, &n, &c)) {
    uint8_t last = text[offset + n - 1];
    UnitKind kind = UnitKind::kChar;
    if (last != 0 && last == options[0]) kind = UnitKind::kAnyRun;
    if (last != 0 && last == options[1]) kind = UnitKind::kAnyOne;
    if (kind == UnitKind::kChar) continue;
    if (n > 1 && !(stateful && std::all_of(text + offset, text + offset + n - 1, shiftByte))) {
      continue;
    }
    if (!addLiteral(codePage, text + runStart, offset + n - 1 - runStart, p)) return false;
    if (!p->wild) p->prefixLength = p->bytes.size();
    p->wild = true;
    p->units.push_back(Unit{-1, 0, 0, kind});
    runStart = offset + n;
  }
  if (!addLiteral(codePage, text + runStart, length - runStart, p)) return false;
  if (!p->wild) p->prefixLength = p->bytes.size();
  if (stateful) {
    // Keys continue a double-byte run where the prefix ended it: use only the part before the
    // first shift-out byte to narrow the range.
    size_t so = p->bytes.find('\x0E');
    if (so != std::string::npos && so < p->prefixLength) p->prefixLength = so;
  }
  return true;
}

bool sameChar(const Unit& a, const uint8_t* aBytes, const Unit& b, const uint8_t* bBytes) {
  if (a.codePoint >= 0 || b.codePoint >= 0) return a.codePoint == b.codePoint;
  return a.length == b.length && std::memcmp(aBytes + a.offset, bBytes + b.offset, a.length) == 0;
}

// Wildcard match of a key's characters against the pattern: the last any-run wildcard seen is
// the only point to retry from, which suffices for patterns of runs and single characters.
bool matches(const Pattern& p, const std::vector<Unit>& key, const uint8_t* keyBytes) {
  const uint8_t* patBytes = reinterpret_cast<const uint8_t*>(p.bytes.data());
  size_t pi = 0;
  size_t ki = 0;
  size_t starP = SIZE_MAX;
  size_t starK = 0;
  while (ki < key.size()) {
    if (pi < p.units.size() && p.units[pi].kind == UnitKind::kAnyRun) {
      starP = pi++;
      starK = ki;
    } else if (pi < p.units.size() && (p.units[pi].kind == UnitKind::kAnyOne ||
                                       sameChar(p.units[pi], patBytes, key[ki], keyBytes))) {
      ++pi;
      ++ki;
    } else if (starP != SIZE_MAX) {
      pi = starP + 1;
      ki = ++starK;
    } else {
      return false;
    }
  }
  while (pi < p.units.size() && p.units[pi].kind == UnitKind::kAnyRun)
    ++pi;
  return pi == p.units.size();
}

// ---- Index lookups -------------------------------------------------------------------------

// Reads entries and keys of an index, noting when one cannot be read or lies outside the key
// area. A key returned stays valid until the next call.
class KeyReader {
 public:
  explicit KeyReader(const zol::IndexFile& file) : file_(file) {}
  bool damaged() const { return damaged_; }

  // Key of entry i, null when damaged.
  const uint8_t* key(uint32_t i, zol::IndexEntry* e) {
    const uint8_t* k = file_.entry(i, e) ? file_.key(*e, scratch_) : nullptr;
    if (k == nullptr) damaged_ = true;
    return k;
  }

  // The first entry whose key is not below target (count() when none, or on damage).
  uint32_t lowerBound(const uint8_t* target, size_t length) {
    uint32_t lo = 0;
    uint32_t hi = file_.count();
    while (lo < hi) {
      uint32_t mid = lo + (hi - lo) / 2;
      zol::IndexEntry e;
      const uint8_t* k = key(mid, &e);
      if (k == nullptr) return file_.count();
      if (zol::compareKeys(k, e.keyLength, target, length) < 0) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    return lo;
  }

 private:
  const zol::IndexFile& file_;
  bool damaged_ = false;
  uint8_t scratch_[zol::kMaxKeyLength];
};

// Document ids of the entries whose key equals key. May throw std::bad_alloc.
void searchExact(KeyReader& reader, uint32_t count, const uint8_t* key, size_t length,
                 std::vector<uint32_t>* hits) {
  for (uint32_t i = reader.lowerBound(key, length); i < count; ++i) {
    zol::IndexEntry e;
    const uint8_t* k = reader.key(i, &e);
    if (k == nullptr || zol::compareKeys(k, e.keyLength, key, length) != 0) break;
    hits->push_back(e.docId);
  }
}

// Document ids of the entries whose key matches the pattern, in key order. May throw
// std::bad_alloc.
void searchPattern(KeyReader& reader, uint32_t count, uint8_t codePage, const Pattern& p,
                   std::vector<uint32_t>* hits) {
  const uint8_t* prefix = reinterpret_cast<const uint8_t*>(p.bytes.data());
  std::vector<Unit> keyUnits;
  for (uint32_t i = reader.lowerBound(prefix, p.prefixLength); i < count; ++i) {
    zol::IndexEntry e;
    const uint8_t* k = reader.key(i, &e);
    if (k == nullptr || e.keyLength < p.prefixLength ||
        (p.prefixLength > 0 && std::memcmp(k, prefix, p.prefixLength) != 0)) {
      break;
    }
    keyUnits.clear();
    decodeUnits(codePage, k, e.keyLength, 0, &keyUnits);
    if (matches(p, keyUnits, k)) hits->push_back(e.docId);
  }
}

// The checks of ZOLsearchIndex on its arguments; 0 or the errcode of the first failure.
uint32_t checkSearch(const char* name, const void* r1, const void* r2, const void* r3,
                     const ZOLSEARCHCOND& cond) {
  if (!zol::validIndexName(name)) return kErrName;
  if (r1 != nullptr || r2 != nullptr || r3 != nullptr) return kErrReserved;
  if (zol::codePageInfo(cond.codePage) == nullptr) return kErrCondCodePage;
  if (cond.form != 4) return kErrCondForm;
  if (cond.wordTermCount != 1 || cond.wordTerms == nullptr) return kErrCondTermCount;
  if (cond.wordConditionText != nullptr && std::strcmp(cond.wordConditionText, "1") != 0) {
    return kErrCondText;
  }
  const ZOLWORDTERM& t = cond.wordTerms[0];
  if (t.type != 1 || t.charKind != 'C' || t.text == nullptr) return kErrTerm;
  if (t.length == 0 || t.length > zol::kMaxDocLength) return kErrTermLength;
  return 0;
}

// Gives the state the index file of name, from the cache of open index files.
bool openIndex(SearchState* state, const char* name, const char* directories, ZOLSTATUS* status) {
  zol::Directories dirs;
  if (!zol::splitDirectories(directories, &dirs)) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrDirectories, ZOL_CTX_SEARCH);
    return false;
  }
  std::string path;
  zol::FileId id;
  int err = zol::chooseIndexPath(dirs, name, &path, &id);
  if (!zol::pathFits(path)) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrPath, ZOL_CTX_SEARCH, path.c_str());
    return false;
  }
  if (err == ENOENT || err == ENOTDIR) {
    state->file.reset();
    zol::fail(status, ZOL_RC_INDEX_NOT_EXIST, kErrStat, ZOL_CTX_SEARCH, path.c_str(), err);
    return false;
  }
  if (err != 0) {
    zol::fail(status, ZOL_RC_OPEN, kErrStat, ZOL_CTX_SEARCH, path.c_str(), err);
    return false;
  }
  state->file = zol::openCachedIndex(path, id, status);
  return state->file != nullptr;
}

// The search proper on an open index. May throw std::bad_alloc.
void runSearch(const zol::IndexFile& file, const ZOLSEARCHCOND& cond, std::vector<uint32_t>* hits,
               ZOLSTATUS* status) {
  const ZOLWORDTERM& term = cond.wordTerms[0];
  const uint8_t* text = reinterpret_cast<const uint8_t*>(term.text);
  KeyReader reader(file);
  Pattern pattern;
  if (term.options[0] != 0 || term.options[1] != 0) {
    if (!compilePattern(cond.codePage, text, term.length, term.options, &pattern)) {
      throw std::bad_alloc();
    }
  }
  if (pattern.wild) {
    searchPattern(reader, file.count(), cond.codePage, pattern, hits);
  } else {
    char key[zol::kMaxKeyLength];
    size_t n = 0;
    zol::FoldResult r =
        zol::normalizeKey(cond.codePage, term.text, term.length, key, sizeof key, &n);
    if (r == zol::FoldResult::kNoMemory) throw std::bad_alloc();
    if (r != zol::FoldResult::kOk) {
      zol::fail(status, ZOL_RC_NORMALIZE, kErrNormalize, ZOL_CTX_SEARCH);
      return;
    }
    searchExact(reader, file.count(), reinterpret_cast<const uint8_t*>(key), n, hits);
  }
  if (reader.damaged()) {
    zol::fail(status, ZOL_RC_INDEX_INVALID, kErrKeyBounds, ZOL_CTX_SEARCH, file.path().c_str());
  }
}

SearchResult* resultOf(void* handle, uint32_t option, ZOLSTATUS* status) {
  auto* r = static_cast<SearchResult*>(handle);
  if (r == nullptr || r->magic != kResultMagic) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrResultHandle, ZOL_CTX_SEARCH);
    return nullptr;
  }
  if (option != 0) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrResultOption, ZOL_CTX_SEARCH);
    return nullptr;
  }
  return r;
}

}  // namespace

// option is not used by this engine; the three reserved pointers must be null.
THES_EXPORT void ZOLsearchIndex(void** searchHandle, const char* name, const char* directories,
                                uint32_t option, ZOLSEARCHCOND condition, const void* reserved1,
                                const void* reserved2, const void* reserved3,
                                ZOLSEARCHRESULT* result, ZOLSTATUS* status) {
  (void)option;
  zol::clearStatus(status);
  if (result == nullptr) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrResultNull, ZOL_CTX_SEARCH);
    return;
  }
  result->hitCount = 0;
  result->resultHandle = nullptr;
  if (result->kind != 2 || result->version != 1) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrResultArea, ZOL_CTX_SEARCH);
    return;
  }
  if (uint32_t err = checkSearch(name, reserved1, reserved2, reserved3, condition); err != 0) {
    zol::fail(status, ZOL_RC_PARAMETER, err, ZOL_CTX_SEARCH);
    return;
  }
  const ZOLWORDTERM& term = condition.wordTerms[0];
  if (term.options[0] != 0 && term.options[0] == term.options[1]) {
    zol::fail(status, ZOL_RC_MASK, kErrMaskSame, ZOL_CTX_SEARCH);
    return;
  }
  // The caller's state, a new one stored in its cell, or one for this call alone.
  SearchState local;
  SearchState* state = &local;
  if (searchHandle != nullptr && *searchHandle != nullptr) {
    state = static_cast<SearchState*>(*searchHandle);
    if (state->magic != kStateMagic) {
      zol::fail(status, ZOL_RC_PARAMETER, kErrSearchState, ZOL_CTX_SEARCH);
      return;
    }
  } else if (searchHandle != nullptr) {
    state = new (std::nothrow) SearchState;
    if (state == nullptr) {
      zol::fail(status, ZOL_RC_NO_MEMORY, kErrMemory, ZOL_CTX_SEARCH);
      return;
    }
    *searchHandle = state;
  }
  try {
    if (!openIndex(state, name, directories, status)) return;
    if (state->file->header().codePage != condition.codePage) {
      zol::fail(status, ZOL_RC_INDEX_INVALID, kErrCodePageMismatch, ZOL_CTX_SEARCH,
                state->file->path().c_str());
      return;
    }
    auto r = std::make_unique<SearchResult>();
    ZOLSTATUS scratch;
    ZOLSTATUS* st = status != nullptr ? status : &scratch;
    if (status == nullptr) zol::clearStatus(&scratch);
    runSearch(*state->file, condition, &r->docIds, st);
    if (st->retcode != 0) return;
    if (r->docIds.size() > INT32_MAX) {
      zol::fail(status, ZOL_RC_NO_MEMORY, kErrTooManyHits, ZOL_CTX_SEARCH);
      return;
    }
    result->hitCount = static_cast<int32_t>(r->docIds.size());
    result->resultHandle = r.release();
  } catch (const std::bad_alloc&) {
    zol::fail(status, ZOL_RC_NO_MEMORY, kErrMemory, ZOL_CTX_SEARCH);
  }
}

THES_EXPORT void ZOLsearchIndex_OpenResult(void* resultHandle, uint32_t option, ZOLSTATUS* status) {
  zol::clearStatus(status);
  SearchResult* r = resultOf(resultHandle, option, status);
  if (r == nullptr) return;
  if (r->open) {
    zol::fail(status, ZOL_RC_SEQUENCE, kErrResultOpen, ZOL_CTX_SEARCH);
    return;
  }
  r->open = true;
}

THES_EXPORT void ZOLsearchIndex_GetResult(void* resultHandle, uint32_t option, int32_t count,
                                          ZOLHIT* buffer, const void* reserved1,
                                          const void* reserved2, ZOLSTATUS* status) {
  zol::clearStatus(status);
  SearchResult* r = resultOf(resultHandle, option, status);
  if (r == nullptr) return;
  if (reserved1 != nullptr || reserved2 != nullptr) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrReserved, ZOL_CTX_SEARCH);
    return;
  }
  if (!r->open) {
    zol::fail(status, ZOL_RC_SEQUENCE, kErrResultNotOpen, ZOL_CTX_SEARCH);
    return;
  }
  if (count < 0) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrResultCount, ZOL_CTX_SEARCH);
    return;
  }
  size_t n = std::min(static_cast<size_t>(count), r->docIds.size());
  if (n > 0 && buffer == nullptr) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrResultBuffer, ZOL_CTX_SEARCH);
    return;
  }
  for (size_t i = 0; i < n; ++i) {
    ZOLHIT hit = {};
    hit.docId = r->docIds[i];
    hit.rank = 100;
    buffer[i] = hit;
  }
}

THES_EXPORT void ZOLsearchIndex_CloseResult(void* resultHandle, uint32_t option,
                                            ZOLSTATUS* status) {
  zol::clearStatus(status);
  SearchResult* r = resultOf(resultHandle, option, status);
  if (r == nullptr) return;
  if (!r->open) {
    zol::fail(status, ZOL_RC_SEQUENCE, kErrResultNotOpen, ZOL_CTX_SEARCH);
    return;
  }
  r->open = false;
}

THES_EXPORT void ZOLsearchIndex_ReleaseResult(void* resultHandle, ZOLSTATUS* status) {
  zol::clearStatus(status);
  if (resultHandle == nullptr) return;
  SearchResult* r = resultOf(resultHandle, 0, status);
  if (r == nullptr) return;
  r->magic = 0;
  delete r;
}

THES_EXPORT void ZOLsearchIndex_Release(void** searchHandle, ZOLSTATUS* status) {
  zol::clearStatus(status);
  if (searchHandle == nullptr || *searchHandle == nullptr) return;
  auto* state = static_cast<SearchState*>(*searchHandle);
  if (state->magic != kStateMagic) {
    zol::fail(status, ZOL_RC_PARAMETER, kErrSearchState, ZOL_CTX_SEARCH);
    return;
  }
  state->magic = 0;
  delete state;
  *searchHandle = nullptr;
}
