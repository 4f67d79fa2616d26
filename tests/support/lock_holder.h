// A dictionary lock held by another process: the child takes the lock in the given mode, tells
// the parent how that went, and holds it until the parent releases it (or the object goes).
#ifndef TESTS_SUPPORT_LOCK_HOLDER_H
#define TESTS_SUPPORT_LOCK_HOLDER_H

#include <sys/types.h>

#include <string>

#include "thesaurus_engine/cnet.h"

namespace testsupport {

class LockHolder {
 public:
  // Forks; the child calls cnetLock(mode) on name/directories. Returns once the child has
  // answered; retcode() is the child's lock status.
  LockHolder(uint32_t mode, const std::string& name, const std::string& directories);
  ~LockHolder();
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  uint32_t retcode() const { return retcode_; }
  // Asks the child to unlock and waits until it has exited.
  void release();

 private:
  pid_t pid_ = -1;
  int release_ = -1;  // write end: closing it tells the child to let go
  uint32_t retcode_ = 0;
};

}  // namespace testsupport

#endif  // TESTS_SUPPORT_LOCK_HOLDER_H
