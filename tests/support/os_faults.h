// Fault injection through the engine's operating-system table: a test picks a call and makes
// its n-th use fail with a chosen errno; every other use goes to the real implementation.
// Only one OsFaults may be alive at a time; it restores the real table when it goes.
#ifndef TESTS_SUPPORT_OS_FAULTS_H
#define TESTS_SUPPORT_OS_FAULTS_H

#include "cnet_os.h"

namespace testsupport {

enum class OsCall {
  kOpenFile,
  kCloseFile,
  kWriteFile,
  kLockFile,
  kAccess,
  kRename,
  kRemove,
  kOpenStream,
  kCloseStream,
  kReadStream,
  kWriteStream,
  kSeekStream,
  kTellStream,
  kStreamSize,
  kReadStreamAt,
  kIsFileAt,
  kSyncStream,
  kSyncDirectory,
  kLink,
  kIdentify,
  kIdentifyOpen,
  kReadAt,
  kCount
};

class OsFaults {
 public:
  OsFaults();
  ~OsFaults();
  OsFaults(const OsFaults&) = delete;
  OsFaults& operator=(const OsFaults&) = delete;

  // The n-th use (1-based, counted from now) of call fails with err; n = 0 disarms.
  void failNth(OsCall call, int n, int err);
  // Every use of call from now on fails with err.
  void failAlways(OsCall call, int err);
  // How many times call was used since this object was made.
  int calls(OsCall call) const;
  // True when an armed fault has fired.
  bool fired() const;
  // Whole milliseconds requested from sleepUs (sleeps still happen).
  long sleptMs() const;
};

}  // namespace testsupport

#endif  // TESTS_SUPPORT_OS_FAULTS_H
