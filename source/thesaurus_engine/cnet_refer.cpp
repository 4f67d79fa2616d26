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

// A word reached by the traversal, about to be visited.
struct Visit {
  uint32_t word;     // word id
  uint32_t from;     // word it was reached from, 0xFFFFFFFF for hits
  int32_t parent;    // parent result index
  REL rel;           // relation it was reached by, (0,0) for hits
  uint32_t depth;    // relation steps from the hits
  uint8_t strength;  // relation strength, or the hit's rank
};

// A visited word whose relations are still to be followed. Its children are taken from its
// relation list one at a time when the breadth-first order comes to them, so that a word with a
// long list costs only the children that are visited before the traversal ends.
struct Expansion {
  uint32_t word;        // word id
  uint32_t from;        // word it was reached from, 0xFFFFFFFF for hits
  int32_t parent;       // parent result index of its children
  uint32_t depth;       // depth of its children
  const uint8_t* rels;  // its relation entries as stored
  uint32_t count;       // entries in rels
  uint32_t next;        // entries already taken
  uint8_t* owned;       // rels when they had to be copied (malloc), else null
};

// First-in, first-out queue of expansions that grows by kQueueStep entries at a time: a chain
// of blocks of kQueueStep entries, so that growing never moves what is queued and a block is
// freed as soon as it has been read. Copied relation lists still queued are freed with it.
class ExpansionQueue {
 public:
  ~ExpansionQueue() {
    while (!empty())
      pop();
    std::free(head_);
  }
  bool push(const Expansion& e, CNETSTATUS* status) {
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
    tail_->items[tailFill_++] = e;
    return true;
  }
  bool empty() const { return head_ == nullptr || (head_ == tail_ && headRead_ == tailFill_); }
  // The oldest entry; the queue must not be empty. It stays in place until pop().
  Expansion& front() {
    if (headRead_ == kQueueStep) {
      Block* next = head_->next;
      std::free(head_);
      head_ = next;
      headRead_ = 0;
    }
    return head_->items[headRead_];
  }
  void pop() {
    std::free(front().owned);
    ++headRead_;
  }

 private:
  struct Block {
    Block* next;
    Expansion items[kQueueStep];
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
    // Every hit is marked before the first is visited; repeated ones are dropped.
    uint32_t unique = 0;
    for (uint32_t i = 0; i < hitCount; ++i) {
      if (!inRange(hits[i].wordId)) return;
      if (visited_.mark(hits[i].wordId)) hits[unique++] = hits[i];
    }
    traverse(set, hits, unique);
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

  // Whether the traversal follows relation r of word (reached from word `from`), leaving aside
  // whether its target was visited.
  bool follows(uint32_t word, uint32_t from, const CNETRELENT& r, const RELSET& set) const {
    return r.target != word && r.target != from && r.strength >= cond_.minStrength &&
           cnetRelInSet(set, r.rel);
  }

  // The hits, then the children of every visited word in the order the words were visited, and
  // of each word in the order of its relation list: breadth-first, each word once.
  void traverse(const RELSET& set, const CNETOCC* hits, uint32_t hitCount) {
    for (uint32_t i = 0; i < hitCount; ++i) {
      if (!visit(Visit{hits[i].wordId, 0xFFFFFFFF, 0, REL{0, 0}, 0, hits[i].rank}, set)) return;
    }
    while (!queue_.empty()) {
      Expansion& e = queue_.front();
      if (e.next == e.count) {
        queue_.pop();
        continue;
      }
      const CNETRELENT r = cnetRelEntryAt(e.rels, e.next++);
      if (!follows(e.word, e.from, r, set) || !visited_.mark(r.target)) continue;
      if (!visit(Visit{r.target, e.word, e.parent, r.rel, e.depth, r.strength}, set)) return;
    }
  }

  // Reads the word of v, returns it unless it is the input, and queues its relations when its
  // children are within the depth. False when the traversal ends here: a failure, or no room
  // for a result.
  bool visit(const Visit& v, const RELSET& set) {
    // The relations of a word at the depth limit are not followed, so only its text is read.
    const uint32_t depth = v.depth + 1;
    const bool expand = cond_.maxDepth >= 0 && depth <= static_cast<uint32_t>(cond_.maxDepth);
    CnetWordView w{};
    const int32_t rc = cnetViewWord(s_.ctl(), v.word, expand, &w, status_);
    if (rc < 0) return false;
    if (rc == 1) return true;
    if (v.depth == 0) hitPresent_ = true;
    char shown[CNET_WORD_MAX];
    uint16_t shownLength = 0;
    if (!display(w.text, w.textLength, shown, &shownLength)) return false;
    if (shownLength != inputLength_ || std::memcmp(shown, input_, shownLength) != 0) {
      if (result_.count >= cond_.maxTerms) {
        status_->termsOmitted = 1;
        return false;
      }
      CNETRESENT& e = result_.entries[result_.count++];
      std::memcpy(e.text, shown, shownLength);
      e.length = shownLength;
      e.depth = v.depth;
      e.strength = v.strength;
      cnetRelConvert_REL_RELATION(&e.relation, &v.rel);
      e.parent = v.parent;
    }
    if (!expand || w.relCount == 0) return true;
    // A followed relation to a word beyond the dictionary fails the lookup now, as it would if
    // every child were queued at once, even when the traversal ends before reaching it.
    const uint32_t words = s_.head().wordCount;
    for (uint32_t i = 0; i < w.relCount; ++i) {
      const CNETRELENT r = cnetRelEntryAt(w.rels, i);
      if (r.target >= words && follows(v.word, v.from, r, set)) return inRange(r.target);
    }
    Expansion e{v.word, v.from, static_cast<int32_t>(result_.count) - 1, depth, w.rels, w.relCount,
                0,      nullptr};
    if (!w.stays) {
      // The view lasts only until the next read: the queue keeps a copy.
      e.owned = static_cast<uint8_t*>(std::malloc(8 * size_t{w.relCount}));
      if (e.owned == nullptr) {
        cnetFail(status_, CNET_NO_MEMORY, kErrQueueGrowth);
        return false;
      }
      std::memcpy(e.owned, w.rels, 8 * size_t{w.relCount});
      e.rels = e.owned;
    }
    if (queue_.push(e, status_)) return true;
    std::free(e.owned);
    return false;
  }

  CnetReadSession& s_;
  const CNETCOND& cond_;
  CNETRESULT& result_;
  CNETSTATUS* status_;
  char input_[CNET_WORD_MAX];
  uint16_t inputLength_ = 0;
  bool hitPresent_ = false;
  ExpansionQueue queue_;
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
