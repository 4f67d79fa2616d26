// The thesaurus output list: its reference-counted result store and the iterator that shares
// the store, so that it outlives the list.
#include "tyk_common/tyk_thes_output.h"

#include <cstring>

#include "common_services/cos_memmgr.h"

// ---- Result store -------------------------------------------------------------------------

TykClThesOutput::TykClThesOutput(uint32_t capacity)
    : iv_ulCapacity(capacity), iv_stResult{nullptr, 0}, iv_aulReserved{0, 0} {
  const std::size_t bytes = std::size_t{capacity} * sizeof(CNETRESENT);
  iv_stResult.entries = static_cast<CNETRESENT*>(CosClMemoryManager::allocate(bytes));
  std::memset(iv_stResult.entries, 0, bytes);
}

TykClThesOutput::~TykClThesOutput() {
  CosClMemoryManager::free(iv_stResult.entries);
}

// ---- List ---------------------------------------------------------------------------------

TykClThesOutputList::TykClThesOutputList(TykEnListType type, TykClErrorInfo& errorInfo)
    : TykClListABase(type, errorInfo), iv_clStore(nullptr) {}

TykClThesOutputList::~TykClThesOutputList() = default;

unsigned int TykClThesOutputList::getNumberOfElements() const {
  const TykClThesOutput* store = iv_clStore.get();
  return store != nullptr ? store->getCount() : 0;
}

bool TykClThesOutputList::isEmpty() const {
  return getNumberOfElements() == 0;
}

bool TykClThesOutputList::matchesType(TykEnListType type) const {
  return type == TYK_LIST_TYPE_THES_OUTPUT;
}

TykClListABase::Iterator* TykClThesOutputList::getNewIterator() const {
  return new TykClThesIterator(this);
}

// ---- Iterator -----------------------------------------------------------------------------

TykClThesOutputList::TykClThesIterator::TykClThesIterator(const TykClThesOutputList* list)
    : Iterator(list),
      iv_clStore(list != nullptr ? list->getResultStore() : nullptr),
      iv_ulIndex(0) {}

TykClThesOutputList::TykClThesIterator::~TykClThesIterator() = default;

uint32_t TykClThesOutputList::TykClThesIterator::count() const {
  const TykClThesOutput* store = iv_clStore.get();
  return store != nullptr ? store->getCount() : 0;
}

bool TykClThesOutputList::TykClThesIterator::isAtFirstElement() const {
  return iv_ulIndex == 0;
}

bool TykClThesOutputList::TykClThesIterator::isAtLastElement() const {
  return iv_ulIndex + 1 == count();
}

bool TykClThesOutputList::TykClThesIterator::isValid() const {
  return iv_ulIndex < count();
}

bool TykClThesOutputList::TykClThesIterator::setToFirst() {
  iv_ulIndex = 0;
  return true;
}

bool TykClThesOutputList::TykClThesIterator::setToLast() {
  iv_ulIndex = count() - 1;
  return true;
}

bool TykClThesOutputList::TykClThesIterator::setToNext(unsigned int n) {
  // Compared in 64 bits so that a huge n cannot wrap past the end.
  if (uint64_t{iv_ulIndex} + n >= count()) return false;
  iv_ulIndex += n;
  return true;
}

bool TykClThesOutputList::TykClThesIterator::setToPrevious(unsigned int n) {
  if (iv_ulIndex < n) return false;
  iv_ulIndex -= n;
  return true;
}

void* TykClThesOutputList::TykClThesIterator::getCurrent() const {
  TykClThesOutput* store = iv_clStore.get();
  if (store == nullptr) return nullptr;
  return store->getResultRecord()->entries + iv_ulIndex;
}
