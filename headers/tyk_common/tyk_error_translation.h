/* Translation of the statuses that reach the class layer from below into its codes and into
 * TykClException: the indexing engine's ZOLSTATUS (TykClZolInterface), the thesaurus engine's
 * CNETSTATUS (tykHandleCnetError) and the common services library's error record
 * (TykClCosInterface). Each handle function returns when the status reports success and
 * otherwise throws TykClException (return code 8, action 100001) whose context names the
 * failure in lines of the message table; origin and line are the caller's. No trace dump is
 * made. All functions are stateless.
 */
#ifndef TYK_COMMON_TYK_ERROR_TRANSLATION_H
#define TYK_COMMON_TYK_ERROR_TRANSLATION_H

#include "common_services/cos_exception.h"
#include "indexing_engine/zol.h"
#include "thesaurus_engine/cnet.h"
#include "thesaurus_export.h"
#include "tyk_common/tyk_codes.h"

class THES_EXPORT TykClZolInterface {
 public:
  // Reason for an indexing-engine code or a CNET retcode; 27 when the code has no pair.
  static TykEnReasonCode getTykReasonCodeForZolRc(long code);
  static void handleZolError(const char* origin, unsigned int line, const ZOLSTATUS& status);

 private:
  static TykEnReasonCode getTykReasonCodeForZolStatus(const ZOLSTATUS& status);
  static TykEnReturnCode getTykReturnCodeForZolStatus(const ZOLSTATUS& status);
  static TykEnErrorAction getTykActionForZolStatus(const ZOLSTATUS& status);
};

class THES_EXPORT TykClCosInterface {
 public:
  static TykEnReturnCode getTykReturnCodeForCosError(const _CosStError& error);
  static TykEnReasonCode getTykReasonCodeForCosError(const _CosStError& error);
  // Reason for a library error id; 28 when the id has no pair.
  static TykEnReasonCode getTykReasonCodeForCosErrorId(unsigned long id);
  static TykEnErrorAction getTykActionForCosError(const _CosStError& error);
  static TykEnErrorAction getTykActionForCosErrorAction(CosEnErrorAction action);
  static void handleCosError(const char* origin, unsigned int line, const _CosStError& error);
};

THES_EXPORT void tykHandleCnetError(const char* origin, unsigned int line,
                                    const CNETSTATUS& status);

#endif /* TYK_COMMON_TYK_ERROR_TRANSLATION_H */
