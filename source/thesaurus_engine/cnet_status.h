// Helpers that every engine module uses to report into a CNETSTATUS.
//
// First error wins: each helper does nothing when the status already holds a failure (or is
// null), so a later failure or a release step never overwrites the first one.
#ifndef THESAURUS_ENGINE_CNET_STATUS_H
#define THESAURUS_ENGINE_CNET_STATUS_H

#include <cstddef>
#include <cstdint>

#include "thesaurus_engine/cnet.h"

// Copies path into a 512-byte status name field by thesShortenStatusName: whole when it has at
// most 511 characters, else "..." and a tail that starts at a '/'. Null gives "".
void cnetShortenName(char* field, const char* path);

// Sets retcode and errcode when status holds no failure; returns true when it did.
bool cnetFail(CNETSTATUS* status, uint32_t retcode, uint32_t errcode);

// As cnetFail, and names the file (filename2 is cleared).
bool cnetFailFile(CNETSTATUS* status, uint32_t retcode, uint32_t errcode, const char* path);

// As cnetFail for a rename: source in filename, target in filename2.
bool cnetFailRename(CNETSTATUS* status, uint32_t retcode, uint32_t errcode, const char* from,
                    const char* to);

// True when status is given and holds a failure.
inline bool cnetFailed(const CNETSTATUS* status) {
  return status != nullptr && status->retcode != 0;
}

// True when any byte of a reserved area is set; entry points reject such records.
inline bool cnetAnyNonZero(const void* area, size_t length) {
  return cnetMemNonZero(static_cast<const uint8_t*>(area), static_cast<int32_t>(length)) != nullptr;
}

// Clears the whole record.
void cnetClearStatus(CNETSTATUS* status);

#endif  // THESAURUS_ENGINE_CNET_STATUS_H
