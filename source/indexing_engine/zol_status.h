// Status helpers of the indexing engine: every module reports through these, so that file
// names are shortened the same way and the first failure stays.
#ifndef INDEXING_ENGINE_ZOL_STATUS_H
#define INDEXING_ENGINE_ZOL_STATUS_H

#include <cstdint>

#include "indexing_engine/zol.h"

namespace zol {

// Clears the record (null is allowed).
void clearStatus(ZOLSTATUS* status);

// Records a failure unless status is null or already failed; returns true when recorded.
// path (may be null) goes to filename, shortened to at most 510 characters; errnoValue is the
// failing system call's errno or 0.
bool fail(ZOLSTATUS* status, uint32_t retcode, uint32_t errcode, uint8_t context,
          const char* path = nullptr, int errnoValue = 0);

// As fail for a rename, with the target in filename2.
bool failRename(ZOLSTATUS* status, uint32_t retcode, uint32_t errcode, const char* from,
                const char* to, int errnoValue);

}  // namespace zol

#endif  // INDEXING_ENGINE_ZOL_STATUS_H
