// The flat thesaurus lookup API over TykClThesaurus: handles, settings, lookups into new output
// lists, the dictionary's size, and reading entries through an iterator. Exceptions end in
// tyk::guarded.
#include "tyk_cnet/tyk_api_thes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tyk_api_guard.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_exception.h"

namespace {

constexpr uint8_t kMaxStrength = 100;
constexpr int32_t kDefaultDepth = 10;

// A new output list with room for the handle's term limit, ready for a lookup.
std::unique_ptr<TykClThesOutputList> newOutputList(TykClThesaurus& thesaurus) {
  const uint32_t limit = thesaurus.getCondition().maxTerms;
  if (limit > TYK_THES_TERM_LIMIT_MAX) {
    char text[16];
    std::snprintf(text, sizeof text, "%i", static_cast<int>(limit));
    TykClException exception(TYK_RC_ERROR, TYK_REASON_INVALID_PARAMETER, TYK_ACTION_ERROR, text);
    exception.throwFrom("source/tyk_cnet/tyk_api_thes:283", 283);
  }
  std::unique_ptr<TykClThesOutputList> list(
      new TykClThesOutputList(TYK_LIST_TYPE_THES_OUTPUT, thesaurus.getErrorInfo()));
  list->setResultStore(new TykClThesOutput(limit));
  list->init();
  return list;
}

}  // namespace

THES_EXPORT TykEnReturnCode tykHandleNewThesaurusLookup(const char* directories, const char* name,
                                                        unsigned short ccsid, int termLimit,
                                                        TykClThesaurus** handle,
                                                        TykClContext* context) {
  if (context == nullptr) return TYK_RC_INVALID_HANDLE;
  TykClErrorInfo& info = context->getErrorInfo();
  return tyk::guarded(info, "source/tyk_cnet/tyk_api_thes:89", [&] {
    info.resetReturnCode();
    if (handle == nullptr)
      return tyk::argumentError(info, "source/tyk_cnet/tyk_api_thes:66",
                                TYK_REASON_INVALID_PARAMETER);
    if (directories == nullptr)
      return tyk::argumentError(info, "source/tyk_cnet/tyk_api_thes:69",
                                TYK_REASON_INVALID_PARAMETER);
    if (name == nullptr)
      return tyk::argumentError(info, "source/tyk_cnet/tyk_api_thes:71",
                                TYK_REASON_INVALID_PARAMETER);
    *handle = nullptr;
    // A constructor that throws returns its storage through the class's operator delete.
    *handle = new TykClThesaurus(directories, name, ccsid, termLimit, *context);
    return info.getReturnCode();
  });
}

THES_EXPORT TykEnReturnCode tykHandleDeleteThesaurusLookup(TykClThesaurus** handle) {
  if (handle == nullptr || *handle == nullptr) return TYK_RC_INVALID_HANDLE;
  TykClErrorInfo& info = (*handle)->getErrorInfo();
  return tyk::guarded(info, "source/tyk_cnet/tyk_api_thes:107", [&] {
    // The object goes whether or not the engine could release its state.
    std::unique_ptr<TykClThesaurus> thesaurus(*handle);
    *handle = nullptr;
    thesaurus->release();
    return info.getReturnCode();
  });
}

THES_EXPORT TykEnReturnCode tykThesaurusLookupSetRelationTypes(TykClThesaurus* handle,
                                                               uint8_t types) {
  if (handle == nullptr) return TYK_RC_INVALID_HANDLE;
  handle->getCondition().relations = types;
  handle->getCondition().userFamilies = static_cast<uint8_t>(types & ~TYK_THES_SYNONYM);
  return TYK_RC_OK;
}

THES_EXPORT TykEnReturnCode tykThesaurusLookupAddRelation(TykClThesaurus* handle,
                                                          unsigned short number,
                                                          unsigned int relationType) {
  if (handle == nullptr) return TYK_RC_INVALID_HANDLE;
  TykClErrorInfo& info = handle->getErrorInfo();
  return tyk::guarded(info, "source/tyk_cnet/tyk_api_thes:153", [&] {
    handle->addRelation(relationType, number);
    return info.getReturnCode();
  });
}

THES_EXPORT TykEnReturnCode tykThesaurusLookupSetTermLimit(TykClThesaurus* handle, int limit) {
  if (handle == nullptr) return TYK_RC_INVALID_HANDLE;
  handle->getCondition().maxTerms = static_cast<uint32_t>(limit);
  return TYK_RC_OK;
}

THES_EXPORT TykEnReturnCode tykThesaurusLookupSetDepth(TykClThesaurus* handle, short depth) {
  if (handle == nullptr) return TYK_RC_INVALID_HANDLE;
  handle->getCondition().maxDepth = depth == 0 ? kDefaultDepth : depth;
  return TYK_RC_OK;
}

THES_EXPORT TykEnReturnCode tykThesaurusLookupSetStrength(TykClThesaurus* handle,
                                                          uint8_t strength) {
  if (handle == nullptr) return TYK_RC_INVALID_HANDLE;
  TykClErrorInfo& info = handle->getErrorInfo();
  return tyk::guarded(info, "source/tyk_cnet/tyk_api_thes:204", [&] {
    if (strength > kMaxStrength) {
      info.resetReturnCode();
      return tyk::argumentError(info, "source/tyk_cnet/tyk_api_thes:204",
                                TYK_REASON_STRENGTH_RANGE);
    }
    handle->getCondition().minStrength = strength;
    return TYK_RC_OK;
  });
}

THES_EXPORT TykEnReturnCode tykThesaurusLookupSetMasks(TykClThesaurus* handle, const char* mask1,
                                                       unsigned length1, const char* mask2,
                                                       unsigned length2) {
  if (handle == nullptr) return TYK_RC_INVALID_HANDLE;
  TykClErrorInfo& info = handle->getErrorInfo();
  return tyk::guarded(info, "source/tyk_cnet/tyk_api_thes:237", [&] {
    if (length1 > 1) {
      info.resetReturnCode();
      return tyk::argumentError(info, "source/tyk_cnet/tyk_api_thes:237", TYK_REASON_MASK1_LENGTH);
    }
    if (length2 > 1) {
      info.resetReturnCode();
      return tyk::argumentError(info, "source/tyk_cnet/tyk_api_thes:243", TYK_REASON_MASK2_LENGTH);
    }
    CNETTERM& term = handle->getTerm();
    term.options[0] = mask2 != nullptr ? static_cast<uint8_t>(mask2[0]) : 0;
    term.options[1] = mask1 != nullptr ? static_cast<uint8_t>(mask1[0]) : 0;
    return TYK_RC_OK;
  });
}

THES_EXPORT TykEnReturnCode tykThesaurusLookupPerform(TykClThesaurus* handle,
                                                      TykClThesOutputList** list, const char* term,
                                                      unsigned length) {
  if (handle == nullptr) return TYK_RC_INVALID_HANDLE;
  TykClErrorInfo& info = handle->getErrorInfo();
  return tyk::guarded(info, "source/tyk_cnet/tyk_api_thes:296", [&] {
    if (list == nullptr)
      return tyk::argumentError(info, "source/tyk_cnet/tyk_api_thes:290",
                                TYK_REASON_INVALID_PARAMETER);
    std::unique_ptr<TykClThesOutputList> output = newOutputList(*handle);
    handle->process(term, length, output.get());
    *list = output.release();
    return info.getReturnCode();
  });
}

THES_EXPORT TykEnReturnCode tykThesaurusLookupObtainHighestTerms(TykClThesaurus* handle,
                                                                 TykClThesOutputList** list) {
  if (handle == nullptr) return TYK_RC_INVALID_HANDLE;
  TykClErrorInfo& info = handle->getErrorInfo();
  return tyk::guarded(info, "source/tyk_cnet/tyk_api_thes:337", [&] {
    if (list == nullptr)
      return tyk::argumentError(info, "source/tyk_cnet/tyk_api_thes:331",
                                TYK_REASON_INVALID_PARAMETER);
    std::unique_ptr<TykClThesOutputList> output = newOutputList(*handle);
    handle->processHighestTerms(output.get());
    *list = output.release();
    return info.getReturnCode();
  });
}

THES_EXPORT TykEnReturnCode tykThesaurusLookupObtainProperties(TykClThesaurus* handle,
                                                               uint32_t* words, uint32_t* groups) {
  if (handle == nullptr) return TYK_RC_INVALID_HANDLE;
  TykClErrorInfo& info = handle->getErrorInfo();
  return tyk::guarded(info, "source/tyk_cnet/tyk_api_thes:362", [&] {
    if (words == nullptr || groups == nullptr)
      return tyk::argumentError(info, "source/tyk_cnet/tyk_api_thes:358",
                                TYK_REASON_INVALID_PARAMETER);
    *words = handle->obtainProperties(groups);
    return info.getReturnCode();
  });
}

THES_EXPORT TykEnReturnCode tykThesaurusLookupObtainResultInformation(TykClThesaurus* handle,
                                                                      uint32_t* count,
                                                                      bool* complete) {
  if (handle == nullptr) return TYK_RC_INVALID_HANDLE;
  TykClErrorInfo& info = handle->getErrorInfo();
  return tyk::guarded(info, "source/tyk_cnet/tyk_api_thes:380", [&] {
    if (count == nullptr || complete == nullptr)
      return tyk::argumentError(info, "source/tyk_cnet/tyk_api_thes:376",
                                TYK_REASON_INVALID_PARAMETER);
    *complete = !handle->isTruncated();
    *count = handle->getLastListCount();
    return TYK_RC_OK;
  });
}

THES_EXPORT TykEnReturnCode tykThesaurusEntryObtainData(TykClListABase::Iterator* iterator,
                                                        char* text, uint32_t* length,
                                                        uint8_t* strength, short* depth,
                                                        uint32_t* relationType,
                                                        unsigned short* relationNumber) {
  if (iterator == nullptr) return TYK_RC_INVALID_HANDLE;
  const auto* entries = dynamic_cast<const TykClThesOutputList::TykClThesIterator*>(iterator);
  if (entries == nullptr || !entries->isValid()) return TYK_RC_ERROR;
  if (text == nullptr || length == nullptr || strength == nullptr || depth == nullptr ||
      relationType == nullptr || relationNumber == nullptr)
    return TYK_RC_ERROR;
  const auto* entry = static_cast<const CNETRESENT*>(entries->getCurrent());
  const uint32_t bytes = std::min<uint32_t>(entry->length, CNET_WORD_MAX);
  std::memcpy(text, entry->text, bytes);
  *length = bytes;
  *strength = entry->strength;
  *depth = static_cast<short>(entry->depth);
  *relationType = entry->relation.type;
  *relationNumber = entry->relation.number;
  return TYK_RC_OK;
}
