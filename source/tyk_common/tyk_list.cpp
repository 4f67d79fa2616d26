// Reference counting, the abstract list with its validity marker, and the array-based list.
#include "tyk_common/tyk_list.h"

#include <cstdio>

#include "common_services/cos_memmgr.h"
#include "tyk_common/tyk_exception.h"

namespace {

constexpr uint16_t kMaxReferences = 0xFFFF;
constexpr const char* kCountOrigin = "source/tyk_common/tyk_list:29";
constexpr unsigned int kCountLine = 29;

}  // namespace

// ---- Memory -------------------------------------------------------------------------------

void* TykClMemoryObject::operator new(std::size_t size) {
  return CosClMemoryManager::allocate(size);
}

void TykClMemoryObject::operator delete(void* block) {
  CosClMemoryManager::free(block);
}

// ---- Reference counting -------------------------------------------------------------------

TykClReferenceCounter::~TykClReferenceCounter() = default;

void TykClReferenceCounter::addReference(TykClReferenceCounter* object) {
  if (object == nullptr) return;
  if (object->iv_usReferenceCount == kMaxReferences) {
    char text[16];
    std::snprintf(text, sizeof text, "%i", static_cast<int>(object->iv_usReferenceCount));
    TykClException exception(TYK_RC_ERROR, TYK_REASON_INTERNAL, TYK_ACTION_ERROR, text);
    exception.throwFrom(kCountOrigin, kCountLine);
  }
  ++object->iv_usReferenceCount;
}

void TykClReferenceCounter::releaseReference(TykClReferenceCounter* object) {
  if (object == nullptr) return;
  if (object->iv_usReferenceCount > 0) --object->iv_usReferenceCount;
  if (object->iv_usReferenceCount == 0) delete object;
}

// ---- Lists and iterators ------------------------------------------------------------------

TykClListABase::ValidityMarker::~ValidityMarker() = default;

TykClListABase::Iterator::Iterator(const TykClListABase* list)
    : iv_pclList(list), iv_clMarker(list != nullptr ? list->getValidityMarker() : nullptr) {}

TykClListABase::Iterator::~Iterator() = default;

TykClListABase::TykClListABase(TykEnListType type, TykClErrorInfo& errorInfo)
    : iv_clMarker(nullptr), iv_enListType(type), iv_pclErrorInfo(&errorInfo) {}

TykClListABase::~TykClListABase() {
  if (ValidityMarker* marker = iv_clMarker.get()) marker->invalidate();
}

// The previous marker is turned invalid too: whoever still holds it must not take it as a sign
// that this list is alive, since this list no longer invalidates it when it goes.
void TykClListABase::init() {
  auto* marker = new ValidityMarker();
  if (ValidityMarker* previous = iv_clMarker.get()) previous->invalidate();
  iv_clMarker.set(marker);
}

bool TykClListABase::isEmpty() const {
  return getNumberOfElements() == 0;
}

TykClArrayBasedList::TykClArrayBasedList(TykEnListType type, TykClErrorInfo& errorInfo)
    : TykClListABase(type, errorInfo), iv_pvArray(nullptr), iv_uiElementCount(0), iv_uiExtra(0) {}

TykClArrayBasedList::~TykClArrayBasedList() {
  CosClMemoryManager::free(iv_pvArray);
}

void TykClArrayBasedList::initArray(void* array, unsigned int count, unsigned int extra) {
  if (iv_pvArray != array) CosClMemoryManager::free(iv_pvArray);
  iv_pvArray = array;
  iv_uiElementCount = count;
  iv_uiExtra = extra;
}

unsigned int TykClArrayBasedList::getNumberOfElements() const {
  return iv_uiElementCount;
}

bool TykClArrayBasedList::matchesType(TykEnListType type) const {
  return type == TYK_LIST_TYPE_THES_OUTPUT;
}
