/* The index file manager: passes the notifications of one index on to the index file objects
 * (tyk_indexfilebase.h) registered with it.
 *
 * The manager holds up to 10 objects in a table, in order of registration; it does not own
 * them. Each notify operation calls the operation of the same name on every registered object
 * in table order, with the same argument. Nothing is caught: an exception from one object ends
 * the notification and reaches the caller, and the objects after it miss that notification.
 *
 * Threads: one index is driven by one thread at a time; nothing is locked.
 */
#ifndef TYK_COMMON_TYK_INDEXFILE_MGR_H
#define TYK_COMMON_TYK_INDEXFILE_MGR_H

#include <cstdint>

#include "thesaurus_export.h"

class TykClIndexFileBase;

#define TYK_INDEXFILE_MGR_SLOTS 10

class THES_EXPORT TykClIndexFileMgr {
 public:
  TykClIndexFileMgr();
  // Does nothing to the registered objects.
  virtual ~TykClIndexFileMgr();
  TykClIndexFileMgr(const TykClIndexFileMgr&) = delete;
  TykClIndexFileMgr& operator=(const TykClIndexFileMgr&) = delete;

  // Appends the object to the table. When the table is full, throws TykClException (reason 7)
  // and leaves the table as it is. An object registered twice is notified twice.
  void registerForNotify(TykClIndexFileBase& object);
  // Removes the first slot that holds the object, keeping the order of the others; an object
  // that is not registered changes nothing.
  void deregisterForNotify(TykClIndexFileBase& object);

  void notifyCreate();
  void notifyClear();
  void notifyDestroy();
  void notifyRename(const char* newIndexName);
  void notifyCopy(const char* targetDirectory);
  void notifyMove(const char* targetDirectory);
  void notifyInit();
  void notifyStartTransaction();
  void notifyEndTransaction();
  void notifyCommitTransaction();
  void notifyRollbackTransaction();
  void notifyStartMergeTransaction();
  void notifyEndMergeTransaction();
  void notifyCommitMergeTransaction();
  void notifyRollbackMergeTransaction();

  uint32_t getNumberOfObjects() const { return iv_ulCount; }

 private:
  template <typename... Args>
  void notifyAll(void (TykClIndexFileBase::*operation)(Args...), Args... args);

  TykClIndexFileBase* iv_apclObjects[TYK_INDEXFILE_MGR_SLOTS]; /* filled from the front */
  uint32_t iv_ulCount;                                         /* filled slots */
};

#endif /* TYK_COMMON_TYK_INDEXFILE_MGR_H */
