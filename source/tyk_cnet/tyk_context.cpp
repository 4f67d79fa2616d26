// The caller's context: error information, registered callbacks and timers.
#include "tyk_cnet/tyk_context.h"

TykClContext::TykClContext(TykClErrorInfo& errorInfo)
    : iv_rclErrorInfo(errorInfo),
      iv_pfuRanking(nullptr),
      iv_enRankingOrder(TYK_SORT_NONE),
      iv_pvRankingUserData(nullptr),
      iv_pfuSkip(nullptr),
      iv_pvSkipUserData(nullptr),
      iv_pfuDate(nullptr),
      iv_bDateFlag(false),
      iv_pvDateUserData(nullptr),
      iv_pfuNumber(nullptr),
      iv_bNumberFlag(false),
      iv_pvNumberUserData(nullptr) {
  for (CosClTiming& timer : iv_aclTimers)
    timer.init(false);
}

TykClContext::~TykClContext() = default;

void TykClContext::registerRankingCallback(RankingCallback callback, TykEnSortOrder order,
                                           void* userData) {
  iv_pfuRanking = callback;
  iv_enRankingOrder = order;
  iv_pvRankingUserData = userData;
}

void TykClContext::registerSkipDocumentSetCallback(SkipDocumentSetCallback callback,
                                                   void* userData) {
  iv_pfuSkip = callback;
  iv_pvSkipUserData = userData;
}

void TykClContext::registerDateCallback(DateCallback callback, bool flag, void* userData) {
  iv_pfuDate = callback;
  iv_bDateFlag = flag;
  iv_pvDateUserData = userData;
}

void TykClContext::registerNumberCallback(NumberCallback callback, bool flag, void* userData) {
  iv_pfuNumber = callback;
  iv_bNumberFlag = flag;
  iv_pvNumberUserData = userData;
}
