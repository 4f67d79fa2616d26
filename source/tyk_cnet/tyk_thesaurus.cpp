// The lookup object: settings in the engine's condition and term records, lookups of a term and
// of the top terms through zolCNETrefer, the dictionary's size, and the CCSID mapping.
#include "tyk_cnet/tyk_thesaurus.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common_services/cos_memmgr.h"
#include "tyk_cnet/tyk_context.h"
#include "tyk_common/tyk_error_translation.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_thes_output.h"

namespace {

struct CcsidEntry {
  uint16_t ccsid;
  uint8_t codePage;
};

constexpr CcsidEntry kCcsids[] = {
    {932, 1},   {942, 1},   {943, 1},   {5039, 1},  {950, 2},   {949, 3},   {970, 3},
    {1363, 3},  {850, 5},   {819, 7},   {1252, 8},  {1381, 9},  {1383, 9},  {1386, 9},
    {1250, 16}, {1251, 17}, {1253, 18}, {1254, 19}, {1255, 20}, {1256, 21}, {1257, 22},
    {1258, 23}, {874, 24},  {1208, 34}, {954, 35},
};

constexpr uint16_t kMaxRelationNumber = 128;
constexpr int16_t kTermWeight = 100;
constexpr int32_t kDefaultDepth = 10;

// Throws the exception of a throw site whose text is a number ("%i").
[[noreturn]] void throwNumber(TykEnReasonCode reason, int value, const char* origin,
                              unsigned int line) {
  char text[16];
  std::snprintf(text, sizeof text, "%i", value);
  TykClException exception(TYK_RC_ERROR, reason, TYK_ACTION_ERROR, text);
  exception.throwFrom(origin, line);
}

[[noreturn]] void throwText(TykEnReasonCode reason, const char* text, const char* origin,
                            unsigned int line) {
  TykClException exception(TYK_RC_ERROR, reason, TYK_ACTION_ERROR, text);
  exception.throwFrom(origin, line);
}

// Copies a directories or name argument into its 261-byte member; null or a text longer than
// 260 characters throws reason 25 (with the length as text when there is one).
void copyName(char* member, const char* text, const char* origin, unsigned int line) {
  if (text == nullptr) throwText(TYK_REASON_INVALID_PARAMETER, nullptr, origin, line);
  const std::size_t length = strnlen(text, TYK_THES_NAME_MAX + 1);
  if (length > TYK_THES_NAME_MAX) {
    throwNumber(TYK_REASON_INVALID_PARAMETER, static_cast<int>(std::strlen(text)), origin, line);
  }
  std::memcpy(member, text, length);
  member[length] = '\0';
}

RELATION* newRelationList(uint32_t capacity) {
  const std::size_t bytes = std::size_t{capacity} * sizeof(RELATION);
  auto* list = static_cast<RELATION*>(CosClMemoryManager::allocate(bytes));
  std::memset(list, 0, bytes);
  return list;
}

}  // namespace

THES_EXPORT uint8_t map2ZOLCCSID(uint16_t ccsid) {
  for (const CcsidEntry& entry : kCcsids) {
    if (entry.ccsid == ccsid) return entry.codePage;
  }
  throwNumber(TYK_REASON_INVALID_CCSID, ccsid, "source/tyk_cnet/tyk_thesaurus:274", 274);
}

TykClThesaurus::TykClThesaurus(const char* directories, const char* name, unsigned short ccsid,
                               int termLimit, TykClContext& context)
    : iv_stStatus{},
      iv_bTruncated(false),
      iv_pclLastList(nullptr),
      iv_ulRelationCapacity(0),
      iv_stCondition{},
      iv_stTerm{},
      iv_acDirectories{},
      iv_acName{},
      iv_ppvSearchContext(nullptr),
      iv_pclErrorInfo(&context.getErrorInfo()),
      iv_pclContext(&context),
      iv_pstRelations(nullptr),
      iv_clLastListMarker(nullptr) {
  map2ZOLCCSID(ccsid);
  copyName(iv_acDirectories, directories, "source/tyk_cnet/tyk_thesaurus:252", 252);
  copyName(iv_acName, name, "source/tyk_cnet/tyk_thesaurus:256", 256);
  iv_pstRelations = newRelationList(TYK_THES_RELATION_STEP);
  iv_ulRelationCapacity = TYK_THES_RELATION_STEP;
  iv_stCondition.userList = iv_pstRelations;
  iv_stCondition.maxTerms = static_cast<uint32_t>(termLimit);
  iv_stCondition.maxDepth = kDefaultDepth;
  iv_stTerm.weight = kTermWeight;
}

TykClThesaurus::~TykClThesaurus() {
  CosClMemoryManager::free(iv_pstRelations);
}

void TykClThesaurus::addRelation(unsigned int relationType, unsigned short number) {
  if (number == 0) {
    iv_stCondition.relations = static_cast<uint8_t>(iv_stCondition.relations | relationType);
    return;
  }
  if (number > kMaxRelationNumber) {
    throwNumber(TYK_REASON_RELATION_NUMBER, number, "source/tyk_cnet/tyk_thesaurus:71", 71);
  }
  uint8_t kind = 0;
  switch (relationType) {
    case TYK_THES_RELATED:
      kind = CNET_RELTYPE_USER_SYMMETRIC;
      break;
    case TYK_THES_BROADER:
      kind = CNET_RELTYPE_USER_HIGHER;
      break;
    case TYK_THES_NARROWER:
      kind = CNET_RELTYPE_USER_LOWER;
      break;
    case 0:
      // Family 0 with a number starts the settings over; the list storage is kept.
      std::memset(&iv_stCondition, 0, sizeof iv_stCondition);
      if (iv_pstRelations != nullptr)
        std::memset(iv_pstRelations, 0, std::size_t{iv_ulRelationCapacity} * sizeof(RELATION));
      iv_stCondition.userList = iv_pstRelations;
      break;
    default:
      throwText(TYK_REASON_RELATION_TYPE, "TYK_THES_SYNONYM", "source/tyk_cnet/tyk_thesaurus:109",
                109);
  }
  if (iv_stCondition.userCount == iv_ulRelationCapacity) {
    const uint32_t grown = iv_ulRelationCapacity + TYK_THES_RELATION_STEP;
    RELATION* list = newRelationList(grown);
    if (iv_pstRelations != nullptr)
      std::memcpy(list, iv_pstRelations, std::size_t{iv_ulRelationCapacity} * sizeof(RELATION));
    CosClMemoryManager::free(iv_pstRelations);
    iv_pstRelations = list;
    iv_ulRelationCapacity = grown;
    iv_stCondition.userList = iv_pstRelations;
  }
  RELATION& entry = iv_pstRelations[iv_stCondition.userCount++];
  entry.type = kind;
  entry.number = static_cast<uint8_t>(number);
}

void TykClThesaurus::setLastList(TykClThesOutputList* list) {
  iv_pclLastList = list;
  iv_clLastListMarker.set(list != nullptr ? list->getValidityMarker() : nullptr);
}

unsigned int TykClThesaurus::getLastListCount() const {
  const TykClListABase::ValidityMarker* marker = iv_clLastListMarker.get();
  if (iv_pclLastList == nullptr || marker == nullptr || !marker->isValid()) return 0;
  return iv_pclLastList->getNumberOfElements();
}

void TykClThesaurus::runLookup(const CNETTERM* term, TykClThesOutputList* list, const char* origin,
                               unsigned int line) {
  TykClThesOutput* store = list->getResultStore();
  // The engine never writes more entries than the store has room for, whatever the term
  // limit has become since the list was made.
  CNETCOND condition = iv_stCondition;
  condition.maxTerms = std::min(condition.maxTerms, store->getCapacity());
  std::memset(&iv_stStatus, 0, sizeof iv_stStatus);
  zolCNETrefer(iv_ppvSearchContext, iv_acName, iv_acDirectories, term, &condition, 0,
               store->getResultRecord(), &iv_stStatus);
  tykHandleCnetError(origin, line, iv_stStatus);
  if (iv_stStatus.termsOmitted > 0) iv_bTruncated = true;
}

void TykClThesaurus::process(const char* term, unsigned int length, TykClThesOutputList* list) {
  iv_bTruncated = false;
  iv_stTerm.length = static_cast<uint16_t>(length);
  if (length > CNET_TERM_MAX) {
    throwNumber(TYK_REASON_TERM_TOO_LONG, static_cast<int>(length),
                "source/tyk_cnet/tyk_thesaurus:133", 133);
  }
  if ((term == nullptr && length != 0) || list == nullptr || list->getResultStore() == nullptr) {
    throwText(TYK_REASON_INVALID_PARAMETER, nullptr, "source/tyk_cnet/tyk_thesaurus:136", 136);
  }
  setLastList(list);
  if (length != 0) std::memcpy(iv_stTerm.text, term, length);
  runLookup(&iv_stTerm, list, "source/tyk_cnet/tyk_thesaurus:146", 146);
}

void TykClThesaurus::processHighestTerms(TykClThesOutputList* list) {
  iv_bTruncated = false;
  std::memset(&iv_stTerm, 0, sizeof iv_stTerm);
  iv_stTerm.weight = kTermWeight;
  if (list == nullptr || list->getResultStore() == nullptr) {
    throwText(TYK_REASON_INVALID_PARAMETER, nullptr, "source/tyk_cnet/tyk_thesaurus:162", 162);
  }
  setLastList(list);
  iv_stCondition.relations = 0;
  iv_stCondition.userFamilies = 0;
  iv_stCondition.userCount = 0;
  iv_stCondition.maxDepth = 0;
  runLookup(nullptr, list, "source/tyk_cnet/tyk_thesaurus:173", 173);
}

void TykClThesaurus::release() {
  CosClMemoryManager::free(iv_pstRelations);
  iv_pstRelations = nullptr;
  iv_ulRelationCapacity = 0;
  iv_stCondition.userList = nullptr;
  iv_stCondition.userCount = 0;
  setLastList(nullptr);
  std::memset(&iv_stStatus, 0, sizeof iv_stStatus);
  zolCNETrefer_Release(iv_ppvSearchContext, &iv_stStatus);
  tykHandleCnetError("./headers/tyk_cnet/tyk_thesaurus:240", 240, iv_stStatus);
}

uint32_t TykClThesaurus::obtainProperties(uint32_t* groups) {
  std::memset(&iv_stStatus, 0, sizeof iv_stStatus);
  CNETINFO information{};
  const uint32_t words =
      zolCNETgetInfo(iv_acName, iv_acDirectories, 0, &information, 0, &iv_stStatus);
  tykHandleCnetError("./headers/tyk_cnet/tyk_thesaurus:315", 315, iv_stStatus);
  if (groups != nullptr) *groups = information.groups;
  return words;
}
