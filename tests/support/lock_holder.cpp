#include "support/lock_holder.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace testsupport {

LockHolder::LockHolder(uint32_t mode, const std::string& name, const std::string& directories) {
  int ready[2], hold[2];
  if (pipe(ready) != 0 || pipe(hold) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    close(ready[0]);
    close(hold[1]);
    CNETSTATUS st;
    std::memset(&st, 0, sizeof st);
    CNETEXEC quiet{};
    int handles[3] = {-1, -1, -1}, flags[3] = {0, 0, 0};
    cnetLock(&quiet, mode, name.c_str(), directories.c_str(), handles, flags, &st);
    if (write(ready[1], &st.retcode, sizeof st.retcode) != sizeof st.retcode) _exit(2);
    char c;
    while (read(hold[0], &c, 1) > 0) {
    }
    CNETSTATUS unlockStatus;
    std::memset(&unlockStatus, 0, sizeof unlockStatus);
    cnetUnlock(&quiet, mode, name.c_str(), directories.c_str(), handles, flags,
               st.retcode == 0 ? &unlockStatus : nullptr);
    _exit(0);
  }
  close(ready[1]);
  close(hold[0]);
  release_ = hold[1];
  if (read(ready[0], &retcode_, sizeof retcode_) != sizeof retcode_) retcode_ = 0xFFFFFFFF;
  close(ready[0]);
}

void LockHolder::release() {
  if (release_ >= 0) {
    close(release_);
    release_ = -1;
  }
  if (pid_ > 0) {
    int status;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
}

LockHolder::~LockHolder() {
  release();
}

}  // namespace testsupport
