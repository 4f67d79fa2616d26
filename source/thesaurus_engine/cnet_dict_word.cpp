// Word lookup through the word index, equal-group search, and the small helpers and comparators
// of the dictionary records.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "cnet_dict.h"
#include "cnet_status.h"

namespace {

constexpr uint32_t kErrHitMemory = 4308;
constexpr uint32_t kHitBufferSize = 4096;

// The search state kept between lookups: the engine's handle first (null until the engine has
// set it up), then the one-word condition, the result area and the term entry it points to.
struct SearchContext {
  void* handle = nullptr;
  ZOLSEARCHCOND condition{};
  ZOLSEARCHRESULT result{};
  ZOLWORDTERM term{};
  char text[CNET_WORD_MAX + 1] = {};
};

// Sets up the fixed parts of a fresh context; the engine's handle stays as it is.
void prepare(SearchContext* c) {
  c->condition = ZOLSEARCHCOND{};
  c->condition.form = 4;
  c->condition.wordTermCount = 1;
  c->condition.wordTerms = &c->term;
  c->condition.wordConditionText = "1";
  c->term = ZOLWORDTERM{};
  c->term.type = 1;
  c->term.charKind = 'C';
  c->term.text = c->text;
  c->term.mode = 'N';
  c->result = ZOLSEARCHRESULT{};
  c->result.kind = 2;
  c->result.version = 1;
  c->result.bufferSize = kHitBufferSize;
}

void releaseContext(SearchContext* c, CNETSTATUS* status) {
  ZOLSTATUS engine{};
  ZOLsearchIndex_Release(&c->handle, &engine);
  if (engine.retcode != 0) cnetConvertStatus_ZOL_CNET(&engine, status);
}

// Fetches the hits of a finished search into a new array sorted by rank and id.
void collectHits(SearchContext* c, uint32_t* count, CNETOCC** ids, CNETSTATUS* status) {
  void* result = c->result.resultHandle;
  const int32_t hits = c->result.hitCount;
  ZOLSTATUS engine{};
  if (hits > 0) {
    auto* array = static_cast<CNETOCC*>(std::calloc(static_cast<size_t>(hits), sizeof(CNETOCC)));
    if (array == nullptr) {
      cnetFail(status, CNET_NO_MEMORY, kErrHitMemory);
    } else {
      ZOLsearchIndex_OpenResult(result, 0, &engine);
      if (engine.retcode == 0) {
        ZOLsearchIndex_GetResult(result, 0, hits, reinterpret_cast<ZOLHIT*>(array), nullptr,
                                 nullptr, &engine);
        ZOLSTATUS closing{};
        ZOLsearchIndex_CloseResult(result, 0, &closing);
        if (engine.retcode == 0) engine = closing;
      }
      if (engine.retcode != 0) {
        cnetConvertStatus_ZOL_CNET(&engine, status);
        std::free(array);
      } else {
        std::qsort(array, static_cast<size_t>(hits), sizeof(CNETOCC), cnetOccCmp);
        *ids = array;
        *count = static_cast<uint32_t>(hits);
      }
    }
  }
  ZOLSTATUS releasing{};
  ZOLsearchIndex_ReleaseResult(result, &releasing);
  c->result.resultHandle = nullptr;
  c->result.hitCount = 0;
  if (releasing.retcode != 0) cnetConvertStatus_ZOL_CNET(&releasing, status);
}

}  // namespace

static_assert(sizeof(CNETOCC) == sizeof(ZOLHIT), "an occurrence is an engine hit");

THES_EXPORT int32_t cnetWord_WordID(void** searchCache, CNETCTL* ctl, const CNETHEAD* head,
                                    const char* word, uint32_t length, uint16_t option,
                                    const uint8_t options[2], uint32_t* count, CNETOCC** ids,
                                    CNETSTATUS* status) {
  *count = 0;
  *ids = nullptr;
  char display[CNET_WORD_MAX + 1];
  int32_t displayLength = 0;
  cnetZOLunnormalizeWord(head->codePage, word, static_cast<int32_t>(length), display, CNET_WORD_MAX,
                         &displayLength, status);
  if (cnetFailed(status)) return -1;

  SearchContext local;
  SearchContext* c = &local;
  if (searchCache != nullptr) {
    if (*searchCache == nullptr) *searchCache = new (std::nothrow) SearchContext;
    if (*searchCache != nullptr) c = static_cast<SearchContext*>(*searchCache);
  }
  if (c->handle == nullptr) prepare(c);
  c->condition.codePage = head->codePage;
  std::memcpy(c->text, display, static_cast<size_t>(displayLength));
  c->text[displayLength] = '\0';
  c->term.length = static_cast<uint16_t>(displayLength);
  c->term.options[0] = options != nullptr ? options[0] : 0;
  c->term.options[1] = options != nullptr ? options[1] : 0;
  c->term.weight = static_cast<int16_t>(option);

  ZOLSTATUS engine{};
  ZOLsearchIndex(&c->handle, ctl->name, ctl->directories, 0, c->condition, nullptr, nullptr,
                 nullptr, &c->result, &engine);
  if (engine.retcode != 0) {
    cnetConvertStatus_ZOL_CNET(&engine, status);
  } else {
    collectHits(c, count, ids, status);
  }
  if (c == &local) releaseContext(c, status);
  return -1;
}

THES_EXPORT void cnetWord_WordID_Release(void** searchCache, CNETSTATUS* status) {
  if (searchCache == nullptr || *searchCache == nullptr) return;
  auto* c = static_cast<SearchContext*>(*searchCache);
  releaseContext(c, status);
  delete c;
  *searchCache = nullptr;
}

THES_EXPORT int32_t cnetSameGroupId(const CNETGROUPREC* group, const CNETGROUPENT* entries,
                                    CNETCTL* ctl, uint32_t lowestGroupId, CNETSTATUS* status) {
  const uint32_t count = group->memberCount + group->relCount;
  if (count == 0) return -1;
  uint32_t groupCount = 0;
  uint32_t* groups = nullptr;
  if (cnetReadWord(ctl, static_cast<int32_t>(entries[0].word), &groupCount, &groups, nullptr,
                   nullptr, nullptr, nullptr, status) != 0) {
    return -1;
  }
  // The word's group ids live in the word buffer, which reading groups does not touch.
  for (uint32_t i = 0; i < groupCount; ++i) {
    const uint32_t id = groups[i];
    if (id < lowestGroupId) continue;
    CNETGROUPREC stored{};
    CNETGROUPENT* storedEntries = nullptr;
    const int32_t rc =
        cnetReadGroup(ctl, static_cast<int32_t>(id), &stored, &storedEntries, status);
    if (rc < 0) return -1;
    if (rc == 1) continue;
    if (stored.rel.category == group->rel.category && stored.rel.id == group->rel.id &&
        stored.memberCount == group->memberCount && stored.relCount == group->relCount &&
        std::memcmp(storedEntries, entries, 8 * size_t{count}) == 0) {
      return static_cast<int32_t>(id);
    }
  }
  return -1;
}

THES_EXPORT void cnetGrpIdCheck(uint32_t* ids, uint32_t* count) {
  if (*count == 0) return;
  std::qsort(ids, *count, sizeof(uint32_t), cnetGrpIdCmp);
  uint32_t kept = 1;
  for (uint32_t i = 1; i < *count; ++i) {
    if (ids[i] != ids[kept - 1]) ids[kept++] = ids[i];
  }
  *count = kept;
}

THES_EXPORT char* cnetStrNDup(const char* text, uint32_t n) {
  char* copy = static_cast<char*>(std::malloc(size_t{n} + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text, n);
  copy[n] = '\0';
  return copy;
}

THES_EXPORT int32_t cnetWordCmp(const char* a, uint32_t lengthA, const char* b, uint32_t lengthB) {
  const int c = std::memcmp(a, b, std::min(lengthA, lengthB));
  if (c != 0) return c;
  return static_cast<int32_t>(lengthA - lengthB);
}

THES_EXPORT int32_t cnetGrpIdCmp(const void* a, const void* b) {
  uint32_t x, y;
  std::memcpy(&x, a, 4);
  std::memcpy(&y, b, 4);
  return static_cast<int32_t>(x - y);
}

THES_EXPORT int32_t cnetOccCmp(const void* a, const void* b) {
  const auto* x = static_cast<const CNETOCC*>(a);
  const auto* y = static_cast<const CNETOCC*>(b);
  if (x->rank != y->rank) return int32_t{x->rank} - int32_t{y->rank};
  return x->wordId < y->wordId ? -1 : (x->wordId > y->wordId ? 1 : 0);
}

THES_EXPORT int32_t cnetGRVcmp(const void* a, const void* b) {
  const auto* x = static_cast<const CNETGROUPENT*>(a);
  const auto* y = static_cast<const CNETGROUPENT*>(b);
  if (x->word != y->word) return static_cast<int32_t>(x->word - y->word);
  return int32_t{x->strength} - int32_t{y->strength};
}
