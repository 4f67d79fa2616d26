// Library error records: reason and action tables and the exception with the id and class.
#include "tyk_common/tyk_error_translation.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_message_table.h"

namespace {

struct IdPair {
  unsigned long id;
  TykEnReasonCode reason;
};

// First match wins; an id without a pair gives 28.
constexpr IdPair kIdTable[] = {
    {1000001, TYK_REASON_COS_1000001},     {1000002, TYK_REASON_COS_1000002},
    {1000003, TYK_REASON_COS_1000003},     {1000101, TYK_REASON_COS_OTHER},
    {1000105, TYK_REASON_COS_OTHER},       {1000102, TYK_REASON_RESOURCE_IN_USE},
    {1000103, TYK_REASON_RESOURCE_IN_USE}, {1000104, TYK_REASON_RESOURCE_IN_USE},
    {1000401, TYK_REASON_FILE_WRITE},      {1000402, TYK_REASON_FILE_REMOVE},
    {1000403, TYK_REASON_COS_OTHER},       {1000404, TYK_REASON_FILE_RENAME},
    {1000601, TYK_REASON_COS_OTHER},       {1000602, TYK_REASON_COS_OTHER},
    {1000801, TYK_REASON_OUT_OF_STORAGE},  {1000802, TYK_REASON_OUT_OF_STORAGE},
    {1000906, TYK_REASON_OUT_OF_STORAGE},  {1001001, TYK_REASON_OUT_OF_STORAGE},
    {1001002, TYK_REASON_OUT_OF_STORAGE},  {1000901, TYK_REASON_KERNEL_SEVERE},
    {1000902, TYK_REASON_COS_1000902},     {1000903, TYK_REASON_COS_1000903},
    {1000904, TYK_REASON_COS_1000904},     {1000905, TYK_REASON_COS_1000905},
};

}  // namespace

TykEnReturnCode TykClCosInterface::getTykReturnCodeForCosError(const _CosStError& error) {
  return error.iv_ulId == 0 ? TYK_RC_OK : TYK_RC_ERROR;
}

TykEnReasonCode TykClCosInterface::getTykReasonCodeForCosError(const _CosStError& error) {
  return getTykReasonCodeForCosErrorId(error.iv_ulId);
}

TykEnReasonCode TykClCosInterface::getTykReasonCodeForCosErrorId(unsigned long id) {
  for (const IdPair& pair : kIdTable) {
    if (pair.id == id) return pair.reason;
  }
  return TYK_REASON_COS_OTHER;
}

TykEnErrorAction TykClCosInterface::getTykActionForCosError(const _CosStError&) {
  return TYK_ACTION_ERROR;
}

TykEnErrorAction TykClCosInterface::getTykActionForCosErrorAction(CosEnErrorAction action) {
  switch (static_cast<uint32_t>(action)) {
    case 0:
      return TYK_ACTION_NONE;
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
      return TYK_ACTION_ERROR;
    case 8:
    case 10:
      return TYK_ACTION_COS_RESOURCES;
    default:
      return TYK_ACTION_COS_UNKNOWN;  // 6 and every action without a pair
  }
}

void TykClCosInterface::handleCosError(const char* origin, unsigned int line,
                                       const _CosStError& error) {
  if (error.iv_ulId == 0) return;
  TykClException exception(getTykReturnCodeForCosError(error), getTykReasonCodeForCosError(error),
                           TYK_ACTION_ERROR, nullptr);
  exception.context(TYK_MSG_COS_ERROR_ID) << ": " << error.iv_ulId;
  exception.context(TYK_MSG_COS_ERROR_CLASS) << ": " << error.iv_ulClass;
  exception.throwFrom(origin, line, false);
}
