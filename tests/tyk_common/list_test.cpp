// Lists: reference counting, the validity marker, the array-based list and the thesaurus
// output list with its iterator, which keeps the result store alive after the list is gone.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common_services/cos_memmgr.h"
#include "support/temp_dir.h"
#include "support/thrown.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_list.h"
#include "tyk_common/tyk_thes_output.h"

namespace {

using Iterator = TykClListABase::Iterator;

// A result store that reports its destruction.
class ProbeStore : public TykClThesOutput {
 public:
  ProbeStore(uint32_t capacity, bool* destroyed)
      : TykClThesOutput(capacity), destroyed_(destroyed) {}
  ~ProbeStore() override { *destroyed_ = true; }

 private:
  bool* destroyed_;
};

// Fills the first count entries with the texts "w0", "w1", ...
void fill(TykClThesOutput* store, uint32_t count) {
  CNETRESULT* result = store->getResultRecord();
  for (uint32_t i = 0; i < count; ++i) {
    const std::string text = testsupport::numbered("w", i);
    std::memcpy(result->entries[i].text, text.data(), text.size());
    result->entries[i].length = static_cast<uint16_t>(text.size());
    result->entries[i].depth = i;
  }
  result->count = count;
}

std::string textAt(const Iterator& it) {
  const auto* entry = static_cast<const CNETRESENT*>(it.getCurrent());
  return std::string(entry->text, entry->length);
}

// A list built in the lookup API's order: construct, store, init.
std::unique_ptr<TykClThesOutputList> listOf(TykClErrorInfo& info, TykClThesOutput* store) {
  std::unique_ptr<TykClThesOutputList> list(
      new TykClThesOutputList(TYK_LIST_TYPE_THES_OUTPUT, info));
  list->setResultStore(store);
  list->init();
  return list;
}

// An array-based list needs a derived class for its iterator.
class NumberList : public TykClArrayBasedList {
 public:
  explicit NumberList(TykClErrorInfo& info)
      : TykClArrayBasedList(TYK_LIST_TYPE_THES_OUTPUT, info) {}
  Iterator* getNewIterator() const override { return nullptr; }
};

TEST(TykThesOutputList, IteratorMovesWithinThreeEntries) {
  TykClErrorInfo info;
  auto* store = new TykClThesOutput(5);
  fill(store, 3);
  auto list = listOf(info, store);
  EXPECT_EQ(list->getNumberOfElements(), 3u);
  std::unique_ptr<Iterator> it(list->getNewIterator());
  ASSERT_NE(it, nullptr);

  std::vector<std::string> seen;
  for (; it->isValid(); it->setToNext(1)) {
    seen.push_back(textAt(*it));
    if (!it->setToNext(0)) break;  // n = 0 stays put and succeeds while on an entry
    if (it->isAtLastElement()) {
      seen.push_back("last");
      break;
    }
  }
  // The loop ends on the last entry, read once.
  EXPECT_EQ(seen, (std::vector<std::string>{"w0", "w1", "w2", "last"}));
  EXPECT_TRUE(it->isAtLastElement());
  EXPECT_FALSE(it->isAtFirstElement());
  EXPECT_FALSE(it->setToNext(1));
  EXPECT_EQ(textAt(*it), "w2");
  EXPECT_FALSE(it->setToNext(0xFFFFFFFFu));  // no wrap-around past the end
  EXPECT_FALSE(it->setToPrevious(3));
  EXPECT_EQ(textAt(*it), "w2");
  EXPECT_TRUE(it->setToPrevious(2));
  EXPECT_TRUE(it->isAtFirstElement());
  EXPECT_TRUE(it->setToLast());
  EXPECT_TRUE(it->setToPrevious(1));
  EXPECT_EQ(it->getCurrent(), store->getResultRecord()->entries + 1);
  EXPECT_TRUE(it->setToFirst());
  EXPECT_EQ(textAt(*it), "w0");

  // The count is read from the store at every call.
  fill(store, 4);
  EXPECT_TRUE(it->setToNext(3));
  EXPECT_TRUE(it->isAtLastElement());
  EXPECT_EQ(textAt(*it), "w3");
}

TEST(TykThesOutputList, EmptyListAndListWithoutStore) {
  TykClErrorInfo info;
  auto list = listOf(info, new TykClThesOutput(0));
  EXPECT_TRUE(list->isEmpty());
  std::unique_ptr<Iterator> it(list->getNewIterator());
  EXPECT_FALSE(it->isValid());
  EXPECT_TRUE(it->isAtFirstElement());
  EXPECT_FALSE(it->isAtLastElement());
  EXPECT_TRUE(it->setToLast());
  EXPECT_FALSE(it->isValid());
  EXPECT_FALSE(it->setToNext(1));
  EXPECT_TRUE(it->setToFirst());
  EXPECT_FALSE(it->setToPrevious(1));

  // A list without a store counts nothing and its iterator finds nothing.
  TykClThesOutputList bare(TYK_LIST_TYPE_THES_OUTPUT, info);
  EXPECT_TRUE(bare.isEmpty());
  std::unique_ptr<Iterator> none(bare.getNewIterator());
  EXPECT_FALSE(none->isValid());
  EXPECT_EQ(none->getCurrent(), nullptr);
  EXPECT_EQ(none->getValidityMarker(), nullptr);
}

TEST(TykThesOutputList, IteratorOutlivesItsListAndTheStoreGoesWithTheLastHolder) {
  TykClErrorInfo info;
  bool destroyed = false;
  auto* store = new ProbeStore(3, &destroyed);
  fill(store, 3);
  auto list = listOf(info, store);
  EXPECT_EQ(store->getReferenceCount(), 1);
  std::unique_ptr<Iterator> first(list->getNewIterator());
  std::unique_ptr<Iterator> second(list->getNewIterator());
  EXPECT_EQ(store->getReferenceCount(), 3);
  const TykClListABase::ValidityMarker* marker = first->getValidityMarker();
  ASSERT_NE(marker, nullptr);
  EXPECT_EQ(marker, list->getValidityMarker());
  EXPECT_TRUE(marker->isValid());

  list.reset();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(store->getReferenceCount(), 2);
  // The marker stays readable and now says that the list is gone.
  EXPECT_FALSE(marker->isValid());
  std::vector<std::string> texts;
  for (first->setToFirst(); first->isValid();) {
    texts.push_back(textAt(*first));
    if (!first->setToNext(1)) break;
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"w0", "w1", "w2"}));

  first.reset();
  EXPECT_FALSE(destroyed);
  EXPECT_TRUE(second->setToLast());
  EXPECT_EQ(textAt(*second), "w2");
  second.reset();
  EXPECT_TRUE(destroyed);
}

TEST(TykThesOutputList, ReplacingTheStoreOrTheMarkerReleasesThePrevious) {
  TykClErrorInfo info;
  bool firstGone = false, secondGone = false;
  auto list = listOf(info, new ProbeStore(1, &firstGone));
  list->setResultStore(list->getResultStore());  // the same store again keeps it
  EXPECT_FALSE(firstGone);
  EXPECT_EQ(list->getResultStore()->getReferenceCount(), 1);
  list->setResultStore(new ProbeStore(2, &secondGone));
  EXPECT_TRUE(firstGone);

  std::unique_ptr<Iterator> before(list->getNewIterator());
  const TykClListABase::ValidityMarker* old = list->getValidityMarker();
  list->init();
  EXPECT_NE(list->getValidityMarker(), old);
  EXPECT_TRUE(list->getValidityMarker()->isValid());
  // The iterator made before keeps its own marker alive; the list no longer vouches for it.
  EXPECT_EQ(before->getValidityMarker(), old);
  EXPECT_FALSE(old->isValid());
  list.reset();
  EXPECT_FALSE(secondGone);
  before.reset();
  EXPECT_TRUE(secondGone);
}

TEST(TykReferenceCounting, LinksCountHoldersAndRefuseToWrap) {
  bool destroyed = false;
  auto* store = new ProbeStore(0, &destroyed);
  {
    TykClRefCountLink<TykClThesOutput> a(store);
    TykClRefCountLink<TykClThesOutput> b(a);
    TykClRefCountLink<TykClThesOutput> c;
    c = b;
    const TykClRefCountLink<TykClThesOutput>& same = c;
    c = same;  // assigning a link to itself keeps the count
    EXPECT_EQ(store->getReferenceCount(), 3);
    b.set(nullptr);
    EXPECT_EQ(store->getReferenceCount(), 2);

    // 65,535 holders is the most a 16-bit count takes; one more is refused, not wrapped.
    std::vector<TykClRefCountLink<TykClThesOutput>> many(65533, a);
    EXPECT_EQ(store->getReferenceCount(), 65535);
    TykClException e =
        testsupport::thrownBy([&] { TykClRefCountLink<TykClThesOutput> overflow(store); });
    EXPECT_EQ(e.getReasonCode(), TYK_REASON_INTERNAL);
    EXPECT_STREQ(e.getOrigin(), "source/tyk_common/tyk_list:29");
    EXPECT_STREQ(e.getContext(), "65535\n");
    EXPECT_EQ(store->getReferenceCount(), 65535);
    // A link that could not take the new object keeps what it held.
    c.set(store);  // same object: nothing to count
    TykClRefCountLink<TykClThesOutput> other;
    EXPECT_THROW(other.set(store), TykClException);
    EXPECT_EQ(c.get(), store);
    many.clear();
    EXPECT_EQ(store->getReferenceCount(), 2);
    EXPECT_FALSE(destroyed);
  }
  EXPECT_TRUE(destroyed);
}

TEST(TykArrayBasedList, OwnsItsArray) {
  TykClErrorInfo info;
  NumberList list(info);
  EXPECT_TRUE(list.isEmpty());
  auto* first = static_cast<uint32_t*>(CosClMemoryManager::allocate(4 * sizeof(uint32_t)));
  list.initArray(first, 4, 7);
  EXPECT_EQ(list.getNumberOfElements(), 4u);
  // A new array replaces (and frees) the old one; the sanitizer build sees a leak otherwise.
  auto* second = static_cast<uint32_t*>(CosClMemoryManager::allocate(2 * sizeof(uint32_t)));
  list.initArray(second, 2, 0);
  EXPECT_EQ(list.getArray(), second);
  EXPECT_EQ(list.getNumberOfElements(), 2u);
  list.initArray(second, 1, 0);  // the same array again stays
  EXPECT_EQ(list.getArray(), second);
}

}  // namespace
