/* Index files: objects that keep files of their own beside an index and follow the index's
 * lifecycle and transactions.
 *
 * TykClIndexLocation is the caller's description of where an index lives: its name, its
 * directory and the directory of its shadow (work) files. TykClIndexFileBase is the base class
 * of every object that keeps such files: the notifications of the index file manager
 * (tyk_indexfile_mgr.h) are its virtual operations, which do nothing here, and it offers the
 * file operations that derived classes use, each failing with TykClException (return code 8,
 * action 100001) whose context names the file under "File name".
 *
 * Ownership: an index file object refers to the caller's location, which must outlive it.
 * Threads: one index, with its objects, is driven by one thread at a time; nothing is locked.
 */
#ifndef TYK_COMMON_TYK_INDEXFILEBASE_H
#define TYK_COMMON_TYK_INDEXFILEBASE_H

#include <string>

#include "common_services/cos_file.h"
#include "thesaurus_export.h"

/* Where an index lives. The strings are copied. */
class THES_EXPORT TykClIndexLocation {
 public:
  TykClIndexLocation(const char* indexName, const char* indexDirectory,
                     const char* shadowDirectory);

  const char* getIndexName() const { return iv_strIndexName.c_str(); }
  const CosClLocation& getIndexDirectory() const { return iv_clIndexDirectory; }
  const CosClLocation& getShadowDirectory() const { return iv_clShadowDirectory; }

 private:
  std::string iv_strIndexName;
  CosClLocation iv_clIndexDirectory;
  CosClLocation iv_clShadowDirectory;
};

class THES_EXPORT TykClIndexFileBase {
 public:
  explicit TykClIndexFileBase(const TykClIndexLocation& location) : iv_rclLocation(location) {}
  virtual ~TykClIndexFileBase();
  TykClIndexFileBase(const TykClIndexFileBase&) = delete;
  TykClIndexFileBase& operator=(const TykClIndexFileBase&) = delete;

  // Notifications, in the order of the virtual table. Each does nothing here.
  virtual void onIndexFileCreate();
  virtual void onIndexFileClear();
  virtual void onIndexFileDestroy();
  virtual void onIndexFileRename(const char* newIndexName);
  virtual void onIndexFileCopy(const char* targetDirectory);
  virtual void onIndexFileMove(const char* targetDirectory);
  virtual void onIndexFileInit();
  virtual void onIndexFileStartTransaction();
  virtual void onIndexFileEndTransaction();
  virtual void onIndexFileCommitTransaction();
  virtual void onIndexFileRollbackTransaction();
  virtual void onIndexFileStartMergeTransaction();
  virtual void onIndexFileEndMergeTransaction();
  virtual void onIndexFileCommitMergeTransaction();
  virtual void onIndexFileRollbackMergeTransaction();

  const TykClIndexLocation& getLocation() const { return iv_rclLocation; }

 protected:
  // Copies source over target. Missing source: reason 16; failed copy: 18 (naming target).
  void indexFileCopy(const CosClFilename& source, const CosClFilename& target) const;
  // Moves source to target, which must not exist: a rename, else a copy and a removal of the
  // source. Missing source or existing target: 16, before anything is touched; failed copy:
  // 18; failed removal of the source: 23 (the copy stays).
  void indexFileMove(const CosClFilename& source, const CosClFilename& target) const;
  // Renames source to target. Missing source: 16; failed rename: 22 (both naming source).
  void indexFileRename(const CosClFilename& source, const CosClFilename& target) const;
  // Removes a file without looking whether it exists. Failure: 23.
  void indexFileDelete(const CosClFilename& file) const;
  // Puts source in the place of target, replacing an existing target in one step, so that the
  // target is at every moment either the old file or the new one, whole; the target's directory
  // is then flushed to disk. Across file systems it copies to a work file beside the target
  // (flushed to disk), renames that over the target and removes the source. Missing source:
  // 16 before anything is touched; failed copy or rename: 18; failed removal: 23.
  void indexFileReplace(const CosClFilename& source, const CosClFilename& target) const;

 private:
  const TykClIndexLocation& iv_rclLocation;
};

#endif /* TYK_COMMON_TYK_INDEXFILEBASE_H */
