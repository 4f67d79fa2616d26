/* TykClContext: the caller's context object of the class layer.
 *
 * It names the error information that every object created with the context records its
 * errors in, and keeps the callbacks and timers that the indexing side of the search product
 * registers. The thesaurus lookup only takes the error information; it never calls the
 * callbacks. The context does not own the error information, which must outlive it.
 *
 * Threads: one thread at a time.
 */
#ifndef TYK_CNET_TYK_CONTEXT_H
#define TYK_CNET_TYK_CONTEXT_H

#include <cstdint>

#include "common_services/cos_timing.h"
#include "thesaurus_export.h"

class TykClErrorInfo;

/* Order in which a ranking callback wants its documents. */
enum TykEnSortOrder : uint32_t {
  TYK_SORT_NONE = 0,
  TYK_SORT_ASCENDING = 1,
  TYK_SORT_DESCENDING = 2,
};

/* Data handed to a skip-document-set callback; its layout belongs to the indexing side. */
struct TYKSKIPDATA;

#define TYK_CONTEXT_TIMERS 6

class THES_EXPORT TykClContext {
 public:
  using RankingCallback = unsigned (*)(unsigned, void*);
  using SkipDocumentSetCallback = unsigned (*)(TYKSKIPDATA*, void*);
  using DateCallback = bool (*)(const unsigned short*, unsigned, const char*, const char*, void*,
                                unsigned short*, unsigned short*, unsigned short*, bool*,
                                unsigned*);
  using NumberCallback = bool (*)(const unsigned short*, unsigned, const char*, const char*, void*,
                                  double*, bool*, unsigned*);

  // No callbacks, every timer stopped.
  explicit TykClContext(TykClErrorInfo& errorInfo);
  ~TykClContext();
  TykClContext(const TykClContext&) = delete;
  TykClContext& operator=(const TykClContext&) = delete;

  TykClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }

  // The register operations only store their arguments.
  void registerRankingCallback(RankingCallback callback, TykEnSortOrder order, void* userData);
  void registerSkipDocumentSetCallback(SkipDocumentSetCallback callback, void* userData);
  void registerDateCallback(DateCallback callback, bool flag, void* userData);
  void registerNumberCallback(NumberCallback callback, bool flag, void* userData);

  RankingCallback getRankingCallback() const { return iv_pfuRanking; }
  TykEnSortOrder getRankingSortOrder() const { return iv_enRankingOrder; }
  void* getRankingUserData() const { return iv_pvRankingUserData; }
  SkipDocumentSetCallback getSkipDocumentSetCallback() const { return iv_pfuSkip; }
  void* getSkipDocumentSetUserData() const { return iv_pvSkipUserData; }
  DateCallback getDateCallback() const { return iv_pfuDate; }
  bool getDateFlag() const { return iv_bDateFlag; }
  void* getDateUserData() const { return iv_pvDateUserData; }
  NumberCallback getNumberCallback() const { return iv_pfuNumber; }
  bool getNumberFlag() const { return iv_bNumberFlag; }
  void* getNumberUserData() const { return iv_pvNumberUserData; }
  // Timer 0 to 5.
  CosClTiming& getTimer(unsigned int index) { return iv_aclTimers[index % TYK_CONTEXT_TIMERS]; }

 private:
  TykClErrorInfo& iv_rclErrorInfo;
  RankingCallback iv_pfuRanking;
  TykEnSortOrder iv_enRankingOrder;
  void* iv_pvRankingUserData;
  SkipDocumentSetCallback iv_pfuSkip;
  void* iv_pvSkipUserData;
  DateCallback iv_pfuDate;
  bool iv_bDateFlag;
  void* iv_pvDateUserData;
  NumberCallback iv_pfuNumber;
  bool iv_bNumberFlag;
  void* iv_pvNumberUserData;
  CosClTiming iv_aclTimers[TYK_CONTEXT_TIMERS];
};

#endif /* TYK_CNET_TYK_CONTEXT_H */
