// Index locations, the do-nothing notifications of index files and their file operations.
#include "tyk_common/tyk_indexfilebase.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_message_table.h"

namespace {

// Throws the failure of a file operation: the file's full name under "File name".
[[noreturn]] void throwFileError(TykEnReasonCode reason, const CosClFilenameABase& file,
                                 const char* origin, unsigned int line) {
  TykClException exception(TYK_RC_ERROR, reason, TYK_ACTION_ERROR, nullptr);
  exception.context(TYK_MSG_FILE_NAME) << ": " << file.getFullName();
  exception.throwFrom(origin, line);
}

// Flushes a file or directory to disk. A failure is not reported: the operation that asked
// for it has already succeeded, and the flush only narrows what a power loss can undo.
void syncPath(const char* path, bool directory) {
  const int fd =
      ::open(path[0] == '\0' ? "." : path, O_RDONLY | O_CLOEXEC | (directory ? O_DIRECTORY : 0));
  if (fd < 0) return;
  while (::fsync(fd) != 0 && errno == EINTR) {
  }
  ::close(fd);
}

}  // namespace

TykClIndexLocation::TykClIndexLocation(const char* indexName, const char* indexDirectory,
                                       const char* shadowDirectory)
    : iv_strIndexName(indexName ? indexName : ""),
      iv_clIndexDirectory(indexDirectory),
      iv_clShadowDirectory(shadowDirectory) {}

TykClIndexFileBase::~TykClIndexFileBase() = default;

void TykClIndexFileBase::onIndexFileCreate() {}
void TykClIndexFileBase::onIndexFileClear() {}
void TykClIndexFileBase::onIndexFileDestroy() {}
void TykClIndexFileBase::onIndexFileRename(const char*) {}
void TykClIndexFileBase::onIndexFileCopy(const char*) {}
void TykClIndexFileBase::onIndexFileMove(const char*) {}
void TykClIndexFileBase::onIndexFileInit() {}
void TykClIndexFileBase::onIndexFileStartTransaction() {}
void TykClIndexFileBase::onIndexFileEndTransaction() {}
void TykClIndexFileBase::onIndexFileCommitTransaction() {}
void TykClIndexFileBase::onIndexFileRollbackTransaction() {}
void TykClIndexFileBase::onIndexFileStartMergeTransaction() {}
void TykClIndexFileBase::onIndexFileEndMergeTransaction() {}
void TykClIndexFileBase::onIndexFileCommitMergeTransaction() {}
void TykClIndexFileBase::onIndexFileRollbackMergeTransaction() {}

void TykClIndexFileBase::indexFileCopy(const CosClFilename& source,
                                       const CosClFilename& target) const {
  CosClFile file(source, nullptr);
  if (!file.isExistent())
    throwFileError(TYK_REASON_FILE_OPEN, source, "source/tyk_common/tyk_indexfilebase:68", 68);
  if (!file.copyTo(target, true))
    throwFileError(TYK_REASON_FILE_WRITE, target, "source/tyk_common/tyk_indexfilebase:76", 76);
}

void TykClIndexFileBase::indexFileMove(const CosClFilename& source,
                                       const CosClFilename& target) const {
  CosClFile file(source, nullptr);
  if (!file.isExistent())
    throwFileError(TYK_REASON_FILE_OPEN, source, "source/tyk_common/tyk_indexfilebase:86", 86);
  if (target.isExistent())
    throwFileError(TYK_REASON_FILE_OPEN, target, "source/tyk_common/tyk_indexfilebase:92", 92);
  if (file.renameAs(target)) return;
  if (!file.copyTo(target, true))
    throwFileError(TYK_REASON_FILE_WRITE, target, "source/tyk_common/tyk_indexfilebase:103", 103);
  if (!file.remove())
    throwFileError(TYK_REASON_FILE_REMOVE, target, "source/tyk_common/tyk_indexfilebase:109", 109);
}

void TykClIndexFileBase::indexFileDelete(const CosClFilename& file) const {
  CosClFile bound(file, nullptr);
  if (!bound.remove())
    throwFileError(TYK_REASON_FILE_REMOVE, file, "source/tyk_common/tyk_indexfilebase:122", 122);
}

void TykClIndexFileBase::indexFileRename(const CosClFilename& source,
                                         const CosClFilename& target) const {
  CosClFile file(source, nullptr);
  if (!file.isExistent())
    throwFileError(TYK_REASON_FILE_OPEN, source, "source/tyk_common/tyk_indexfilebase:132", 132);
  if (!file.renameAs(target))
    throwFileError(TYK_REASON_FILE_RENAME, source, "source/tyk_common/tyk_indexfilebase:140", 140);
}

void TykClIndexFileBase::indexFileReplace(const CosClFilename& source,
                                          const CosClFilename& target) const {
  CosClFile file(source, nullptr);
  if (!file.isExistent())
    throwFileError(TYK_REASON_FILE_OPEN, source, "source/tyk_common/tyk_indexfilebase:86", 86);
  if (::rename(source.getFullName(), target.getFullName()) != 0) {
    // Typically another file system: bring a whole copy beside the target first, so that the
    // step that replaces the target is still a single rename.
    const std::string work = std::string(target.getFullName()) + "~";
    const CosClFilename workName(work.c_str());
    if (!file.copyTo(workName, true))
      throwFileError(TYK_REASON_FILE_WRITE, target, "source/tyk_common/tyk_indexfilebase:103", 103);
    syncPath(work.c_str(), false);
    if (::rename(work.c_str(), target.getFullName()) != 0) {
      ::unlink(work.c_str());
      throwFileError(TYK_REASON_FILE_WRITE, target, "source/tyk_common/tyk_indexfilebase:103", 103);
    }
    if (!file.remove())
      throwFileError(TYK_REASON_FILE_REMOVE, target, "source/tyk_common/tyk_indexfilebase:109",
                     109);
  }
  syncPath(target.getDirectory(), true);
}
