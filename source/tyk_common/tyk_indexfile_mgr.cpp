// The index file manager's table and the passing on of notifications.
#include "tyk_common/tyk_indexfile_mgr.h"

#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_indexfilebase.h"
#include "tyk_common/tyk_message_table.h"

TykClIndexFileMgr::TykClIndexFileMgr() : iv_apclObjects{}, iv_ulCount(0) {}

TykClIndexFileMgr::~TykClIndexFileMgr() = default;

void TykClIndexFileMgr::registerForNotify(TykClIndexFileBase& object) {
  if (iv_ulCount == TYK_INDEXFILE_MGR_SLOTS) {
    TykClException exception(TYK_RC_ERROR, TYK_REASON_INTERNAL, TYK_ACTION_ERROR, nullptr);
    exception.context(TYK_MSG_CONTEXT) << ": Too many objects registered with index";
    exception.throwFrom("source/tyk_common/tyk_indexfile_mgr:75", 75);
  }
  iv_apclObjects[iv_ulCount++] = &object;
}

void TykClIndexFileMgr::deregisterForNotify(TykClIndexFileBase& object) {
  for (uint32_t slot = 0; slot < iv_ulCount; ++slot) {
    if (iv_apclObjects[slot] != &object) continue;
    for (uint32_t later = slot + 1; later < iv_ulCount; ++later)
      iv_apclObjects[later - 1] = iv_apclObjects[later];
    iv_apclObjects[--iv_ulCount] = nullptr;
    return;
  }
}

template <typename... Args>
void TykClIndexFileMgr::notifyAll(void (TykClIndexFileBase::*operation)(Args...), Args... args) {
  // The count is read on every step, so an object that deregisters itself or another during a
  // notification never leads to a slot beyond the filled ones.
  for (uint32_t slot = 0; slot < iv_ulCount; ++slot)
    (iv_apclObjects[slot]->*operation)(args...);
}

void TykClIndexFileMgr::notifyCreate() {
  notifyAll(&TykClIndexFileBase::onIndexFileCreate);
}
void TykClIndexFileMgr::notifyClear() {
  notifyAll(&TykClIndexFileBase::onIndexFileClear);
}
void TykClIndexFileMgr::notifyDestroy() {
  notifyAll(&TykClIndexFileBase::onIndexFileDestroy);
}
void TykClIndexFileMgr::notifyRename(const char* newIndexName) {
  notifyAll(&TykClIndexFileBase::onIndexFileRename, newIndexName);
}
void TykClIndexFileMgr::notifyCopy(const char* targetDirectory) {
  notifyAll(&TykClIndexFileBase::onIndexFileCopy, targetDirectory);
}
void TykClIndexFileMgr::notifyMove(const char* targetDirectory) {
  notifyAll(&TykClIndexFileBase::onIndexFileMove, targetDirectory);
}
void TykClIndexFileMgr::notifyInit() {
  notifyAll(&TykClIndexFileBase::onIndexFileInit);
}
void TykClIndexFileMgr::notifyStartTransaction() {
  notifyAll(&TykClIndexFileBase::onIndexFileStartTransaction);
}
void TykClIndexFileMgr::notifyEndTransaction() {
  notifyAll(&TykClIndexFileBase::onIndexFileEndTransaction);
}
void TykClIndexFileMgr::notifyCommitTransaction() {
  notifyAll(&TykClIndexFileBase::onIndexFileCommitTransaction);
}
void TykClIndexFileMgr::notifyRollbackTransaction() {
  notifyAll(&TykClIndexFileBase::onIndexFileRollbackTransaction);
}
void TykClIndexFileMgr::notifyStartMergeTransaction() {
  notifyAll(&TykClIndexFileBase::onIndexFileStartMergeTransaction);
}
void TykClIndexFileMgr::notifyEndMergeTransaction() {
  notifyAll(&TykClIndexFileBase::onIndexFileEndMergeTransaction);
}
void TykClIndexFileMgr::notifyCommitMergeTransaction() {
  notifyAll(&TykClIndexFileBase::onIndexFileCommitMergeTransaction);
}
void TykClIndexFileMgr::notifyRollbackMergeTransaction() {
  notifyAll(&TykClIndexFileBase::onIndexFileRollbackMergeTransaction);
}
