// Term lookup: the top terms of a dictionary, or the terms related to a given term, found
// breadth-first from the term's hits in the word index along the selected relations, within a
// depth, a minimum strength and the room of the caller's result array.
#include <cstdlib>
#include <cstring>

#include "cnet_dict.h"
#include "cnet_reader.h"
#include "cnet_refer.h"
#include "cnet_relset.h"
#include "cnet_status.h"
#include "thesaurus_engine/cnet.h"

namespace {

// Location numbers.
constexpr uint32_t kErrNames = 4204;
constexpr uint32_t kErrRecords = 4205;
constexpr uint32_t kErrReserved = 4207;
constexpr uint32_t kErrNotExist = 4208;
constexpr uint32_t kErrTopCondition = 4209;
constexpr uint32_t kErrTerm = 4210;
constexpr uint32_t kErrNoHit = 4212;
constexpr uint32_t kErrNoPresentHit = 4213;
constexpr uint32_t kErrQueue = 4228;
constexpr uint32_t kErrQueueGrowth = 4229;
constexpr uint32_t kErrVisited = 4230;
constexpr uint32_t kErrTargetRange = 4231;  // a relation or hit names a word beyond the count
constexpr uint32_t kErrTermTooLong = 4282;

constexpr uint32_t kQueueStep = 128;
constexpr uint8_t kUtf8 = 34;

// A word waiting to be visited.
struct Visit {
  uint32_t word;     // word id
  uint32_t from;     // word it was reached from, 0xFFFFFFFF for hits
  int32_t parent;    // parent result index
  REL rel;           // relation it was reached by, (0,0) for hits
  uint32_t depth;    // relation steps from the hits
  uint8_t strength;  // relation strength, or the hit's rank
};

// First-in, first-out queue that grows by kQueueStep entries at a time: a chain of blocks of
// kQueueStep entries, so that growing never copies what is queued and a block is freed as soon
// as it has been read.
class VisitQueue {
 public:
  ~VisitQueue() {
    while (head_ != nullptr) {
      Block* next = head_->next;
      std::free(head_);
      head_ = next;
    }
  }
  bool push(const Visit& v, CNETSTATUS* status) {
    if (tail_ == nullptr || tailFill_ == kQueueStep) {
      auto* b = static_cast<Block*>(std::malloc(sizeof(Block)));
      if (b == nullptr) {
        cnetFail(status, CNET_NO_MEMORY, tail_ == nullptr ? kErrQueue : kErrQueueGrowth);
        return false;
      }
      b->next = nullptr;
      (tail_ == nullptr ? head_ : tail_->next) = b;
      tail_ = b;
      tailFill_ = 0;
    }
    tail_->items[tailFill_++] = v;
    return true;
  }
  bool empty() const { return head_ == nullptr || (head_ == tail_ && headRead_ == tailFill_); }
  Visit pop() {
    if (headRead_ == kQueueStep) {
      Block* next = head_->next;
      std::free(head_);
      head_ = next;
      headRead_ = 0;
    }
    return head_->items[headRead_++];
  }

 private:
  struct Block {
    Block* next;
    Visit items[kQueueStep];
  };
  Block* head_ = nullptr;
  Block* tail_ = nullptr;
  uint32_t headRead_ = 0;  // entries of the head block already popped
  uint32_t tailFill_ = 0;  // entries of the tail block in use
};

// One bit per word id.
class VisitedSet {
 public:
  ~VisitedSet() { std::free(bits_); }
  bool init(uint32_t words, CNETSTATUS* status) {
    bits_ = static_cast<uint8_t*>(std::calloc(size_t{words} / 8 + 1, 1));
    if (bits_ == nullptr) cnetFail(status, CNET_NO_MEMORY, kErrVisited);
    return bits_ != nullptr;
  }
  // Marks id; returns true when it was not marked before.
  bool mark(uint32_t id) {
    const uint8_t mask = static_cast<uint8_t>(1u << (id % 8));
    if (bits_[id / 8] & mask) return false;
    bits_[id / 8] |= mask;
    return true;
  }

 private:
  uint8_t* bits_ = nullptr;
};

class Lookup {
 public:
  Lookup(CnetReadSession& session, const CNETCOND& cond, CNETRESULT& result, CNETSTATUS* status)
      : s_(session), cond_(cond), result_(result), status_(status) {}

  // Every word without a broader term that is the lowest-numbered of its symmetric relatives.
  void topTerms() {
    const uint32_t words = s_.head().wordCount;
    for (uint32_t id = 0; id < words; ++id) {
      uint32_t relCount = 0, length = 0;
      CNETRELENT* rels = nullptr;
      char text[CNET_WORD_MAX];
      int32_t rc = cnetReadWord(s_.ctl(), static_cast<int32_t>(id), nullptr, nullptr, &relCount,
                                &rels, text, &length, status_);
      if (rc < 0) return;
      if (rc == 1 || !isTop(id, rels, relCount)) continue;
      if (result_.count >= cond_.maxTerms) {
        ++status_->termsOmitted;
        continue;
      }
      CNETRESENT& e = result_.entries[result_.count];
      std::memset(&e, 0, sizeof e);
      if (!display(text, length, e.text, &e.length)) return;
      e.parent = -1;
      ++result_.count;
    }
  }

  // Breadth-first search from the hits of term.
  void related(void** cache, const CNETTERM& term) {
    RELSET set{};
    cnetRelConvert(cond_.relations, cond_.userFamilies, static_cast<int32_t>(cond_.userCount),
                   cond_.userList, &set, status_);
    if (cnetFailed(status_)) return;
    const uint8_t cp = s_.codePage();
    char normal[CNET_WORD_MAX];
    int32_t normalLength = 0;
    cnetZOLnormalizeWord(cp, term.text, term.length, normal, CNET_WORD_MAX, &normalLength, status_);
    if (cnetFailed(status_)) return;
    if (!display(normal, static_cast<uint32_t>(normalLength), input_, &inputLength_)) return;

    uint32_t hitCount = 0;
    CNETOCC* hits = nullptr;
    cnetWord_WordID(cache, s_.ctl(), &s_.head(), normal, static_cast<uint32_t>(normalLength), 0,
                    term.options, &hitCount, &hits, status_);
    HitsOwner owner{hits};
    if (cnetFailed(status_)) return;
    if (hitCount == 0) {
      cnetFail(status_, CNET_NOT_FOUND, kErrNoHit);
      return;
    }
    if (!visited_.init(s_.head().wordCount, status_)) return;
    for (uint32_t i = 0; i < hitCount; ++i) {
      const uint32_t id = hits[i].wordId;
      if (!inRange(id)) return;
      if (!visited_.mark(id)) continue;
      if (!queue_.push(Visit{id, 0xFFFFFFFF, 0, REL{0, 0}, 0, hits[i].rank}, status_)) return;
    }
    traverse(set);
    if (!cnetFailed(status_) && !hitPresent_) cnetFail(status_, CNET_NOT_FOUND, kErrNoPresentHit);
  }

 private:
  struct HitsOwner {
    CNETOCC* p;
    ~HitsOwner() { std::free(p); }
  };

  static bool isTop(uint32_t id, const CNETRELENT* rels, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
      if (rels[i].rel.category == CNET_CAT_HIGHER) return false;
      if (rels[i].rel.category == CNET_CAT_SYMMETRIC && rels[i].target < id) return false;
    }
    return true;
  }

  bool inRange(uint32_t id) {
    if (id < s_.head().wordCount) return true;
    cnetFailFile(status_, CNET_INTEGRITY, kErrTargetRange, s_.ctl()->files[1].path);
    return false;
  }

  // The display form of a stored word (at most 192 bytes).
  bool display(const char* text, uint32_t length, char* out, uint16_t* outLength) {
    int32_t n = 0;
    cnetZOLunnormalizeWord(s_.codePage(), text, static_cast<int32_t>(length), out, CNET_WORD_MAX,
                           &n, status_);
    if (cnetFailed(status_)) return false;
    *outLength = static_cast<uint16_t>(n);
    return true;
  }

  void traverse(const RELSET& set) {
    while (!queue_.empty()) {
      const Visit v = queue_.pop();
      uint32_t relCount = 0, length = 0;
      CNETRELENT* rels = nullptr;
      char text[CNET_WORD_MAX];
      // The relations of a word at the depth limit are not followed, so only its text is read.
      const uint32_t depth = v.depth + 1;
      const bool expand = cond_.maxDepth >= 0 && depth <= static_cast<uint32_t>(cond_.maxDepth);
      int32_t rc = cnetReadWord(s_.ctl(), static_cast<int32_t>(v.word), nullptr, nullptr, &relCount,
                                expand ? &rels : nullptr, text, &length, status_);
      if (rc < 0) return;
      if (rc == 1) continue;
      if (v.depth == 0) hitPresent_ = true;
      char shown[CNET_WORD_MAX];
      uint16_t shownLength = 0;
      if (!display(text, length, shown, &shownLength)) return;
      if (shownLength != inputLength_ || std::memcmp(shown, input_, shownLength) != 0) {
        if (result_.count >= cond_.maxTerms) {
          status_->termsOmitted = 1;
          return;
        }
        CNETRESENT& e = result_.entries[result_.count++];
        std::memcpy(e.text, shown, shownLength);
        e.length = shownLength;
        e.depth = v.depth;
        e.strength = v.strength;
        cnetRelConvert_REL_RELATION(&e.relation, &v.rel);
        e.parent = v.parent;
      }
      if (!expand) continue;
      for (uint32_t i = 0; i < relCount; ++i) {
        const CNETRELENT& r = rels[i];
        if (r.target == v.word || r.target == v.from || r.strength < cond_.minStrength ||
            !cnetRelInSet(set, r.rel)) {
          continue;
        }
        if (!inRange(r.target)) return;
        if (!visited_.mark(r.target)) continue;
        const int32_t parent = static_cast<int32_t>(result_.count) - 1;
        if (!queue_.push(Visit{r.target, v.word, parent, r.rel, depth, r.strength}, status_)) {
          return;
        }
      }
    }
  }

  CnetReadSession& s_;
  const CNETCOND& cond_;
  CNETRESULT& result_;
  CNETSTATUS* status_;
  char input_[CNET_WORD_MAX];
  uint16_t inputLength_ = 0;
  bool hitPresent_ = false;
  VisitQueue queue_;
  VisitedSet visited_;
};

// The checks that need the header: a term that can be looked up, or a condition for the top
// terms.
bool checkRequest(const CnetReadSession& s, const CNETTERM* term, const CNETCOND& cond,
                  CNETSTATUS* status) {
  if (term == nullptr) {
    if (cond.relations != 0 || cond.userCount != 0 || cond.maxDepth != 0) {
      cnetFail(status, CNET_PARAMETER, kErrTopCondition);
      return false;
    }
    return true;
  }
  if (term->length == 0 || term->length > CNET_TERM_MAX || term->weight != 100) {
    cnetFail(status, CNET_PARAMETER, kErrTerm);
    return false;
  }
  if (s.codePage() == kUtf8 && term->length >= 43) {
    int32_t n = 0;
    cnetZOLnormalizeWordLength(s.codePage(), term->text, term->length, &n, status);
    if (cnetFailed(status)) return false;
    if (n > CNET_WORD_MAX) {
      cnetFail(status, CNET_PARAMETER, kErrTermTooLong);
      return false;
    }
  }
  return true;
}

}  // namespace

THES_EXPORT void zolCNETrefer(void** searchContext, const char* name, const char* directories,
                              const CNETTERM* term, const CNETCOND* condition, int32_t reserved,
                              CNETRESULT* result, CNETSTATUS* status) {
  if (status == nullptr) return;
  cnetClearStatus(status);
  if (!cnetCorrectNames(&name, &directories)) {
    cnetFail(status, CNET_NAME_LENGTH, kErrNames);
    return;
  }
  if (result == nullptr || condition == nullptr) {
    cnetFail(status, CNET_PARAMETER, kErrRecords);
    return;
  }
  if (reserved != 0 || (term != nullptr && cnetAnyNonZero(term->reserved, sizeof term->reserved)) ||
      cnetAnyNonZero(condition->reserved0, sizeof condition->reserved0) ||
      cnetAnyNonZero(condition->reserved1, sizeof condition->reserved1)) {
    cnetFail(status, CNET_RESERVED, kErrReserved);
    return;
  }
  result->count = 0;
  if (condition->maxTerms > 0 && result->entries == nullptr) {
    cnetFail(status, CNET_PARAMETER, kErrRecords);
    return;
  }
  CnetReadSession session(nullptr, name, directories, status);
  if (!session.exists(kErrNotExist)) return;
  if (session.open(kCnetWordFiles)) {
    cnetReferOnSession(session, searchContext, term, *condition, *result, status);
  }
  session.close();
}

void cnetReferOnSession(CnetReadSession& session, void** searchContext, const CNETTERM* term,
                        const CNETCOND& condition, CNETRESULT& result, CNETSTATUS* status) {
  result.count = 0;
  if (!checkRequest(session, term, condition, status)) return;
  Lookup lookup(session, condition, result, status);
  if (term == nullptr) {
    lookup.topTerms();
  } else {
    lookup.related(searchContext, *term);
  }
}

THES_EXPORT void zolCNETrefer_Release(void** searchContext, CNETSTATUS* status) {
  cnetWord_WordID_Release(searchContext, status);
}
