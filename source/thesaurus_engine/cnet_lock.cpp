// Dictionary lock: three small files beside a dictionary and the way they are held open.
//
//   <name>.lk1  "CL01"  access lock: readers hold it shared, the compiler's update step
//                       exclusively
//   <name>.lk2  "CL02"  compile lock: held exclusively by a compilation and by clearing
//   <name>.lk3  "CL03"  existence marker: present only while the dictionary is usable
//
// An exclusive hold is an open for reading and writing plus a non-blocking exclusive flock; a
// shared hold is a read-only open plus a non-blocking shared flock. flock locks belong to the
// open file description, so two holds in one process conflict exactly as two processes do.
// Readers never wait; the update step waits up to 15 seconds, trying every 10 ms or sooner and
// counting down once a second, and clearing waits up to 3 seconds in steps of one second.
//
// Readers are turned away from the moment the update step removes the marker, so it first
// tries for a short while to take the access lock with the marker still in place, at an
// instant when no reader is inside: readers are then turned away only for the renames, not
// for the wait on readers that the machine happened to interrupt while they held the lock.
//
// A lock file that is deleted (clearing, a failed compilation) is deleted while it is still
// held, and a hold counts only once the held descriptor is checked to be the file at the path.
// So a process that opened the file just before it was deleted lets go of the orphan instead
// of locking it beside a process that holds the new file: two holders never coexist.
#include <cerrno>
#include <chrono>
#include <cstring>

#include "cnet_console.h"
#include "cnet_names.h"
#include "cnet_os.h"
#include "cnet_status.h"

namespace {

enum LockFile { kAccess = 0, kCompile = 1, kMarker = 2 };

constexpr const char* kSuffix[3] = {".lk1", ".lk2", ".lk3"};
constexpr const char* kContent[3] = {"CL01", "CL02", "CL03"};

constexpr unsigned kStepMs = 1000;
constexpr unsigned kPollMs = 10;
// Readers still inside hold the lock for tens of microseconds (longer only when the machine
// runs something else in between): the update's wait first tries again every 100 us, for as
// long as one 10 ms poll would take, and every 10 ms after that.
constexpr unsigned kShortPauseUs = 100;
constexpr unsigned kShortPauses = kPollMs * 1000 / kShortPauseUs;
// How long the update step tries for the access lock before it removes the marker: a small
// part of a compilation that takes seconds, and readers are still answered meanwhile.
constexpr unsigned kEarlyMs = 100;
constexpr int kReopenAttempts = 50;
constexpr int kUpdateBudgetMs = 15000;
constexpr int kClearBudgetMs = 3000;
constexpr int kUpdateAttempts = 2;
constexpr int kClearAttempts = 10;

// Location numbers.
constexpr uint32_t kLocCompileCreate = 800;
constexpr uint32_t kLocCompileOpen = 802;
constexpr uint32_t kLocUpdateDelete = 805;
constexpr uint32_t kLocUpdateCreate = 806;
constexpr uint32_t kLocUpdateOpen = 807;
constexpr uint32_t kLocClearCreate = 810;
constexpr uint32_t kLocClearOpenCompile = 812;
constexpr uint32_t kLocClearDelete = 815;
constexpr uint32_t kLocClearOpenAccess = 817;
constexpr uint32_t kLocReadMarker = 820;
constexpr uint32_t kLocReadOpen = 822;
constexpr uint32_t kLocUnlockCompile = 831;
constexpr uint32_t kLocUnlockUpdate = 834;
constexpr uint32_t kLocUnlockMarker = 835;
constexpr uint32_t kLocUnlockClearAccess = 837;
constexpr uint32_t kLocUnlockClearCompile = 838;
constexpr uint32_t kLocUnlockRead = 839;
constexpr uint32_t kLocLockMode = 4850;
constexpr uint32_t kLocUnlockMode = 4851;
constexpr uint32_t kLocLockState = 4852;
constexpr uint32_t kLocLockNames = 4853;

// The paths of the three lock files and the caller's lock state, for one call.
struct Lock {
  char path[3][CNET_PATH_SIZE];
  int* handles;
  int* flags;
  CNETSTATUS* status;

  Lock(const char* directory, const char* name, int* h, int* f, CNETSTATUS* st)
      : handles(h), flags(f), status(st) {
    for (int i = 0; i < 3; ++i) {
      cnetFormLockPath(path[i], sizeof path[i], directory, name, kSuffix[i]);
    }
  }

  bool exists(LockFile file) const { return cnetOs()->access(path[file]) == 0; }

  // Creates the file with its content when it does not exist; flags[file] records a creation.
  // Failures are 510 (open) and 512 (write) with the given location.
  void createIfAbsent(LockFile file, uint32_t location) {
    if (exists(file)) return;
    int fd = cnetOs()->openFile(path[file], CNET_OS_CREATE_WRITE);
    if (fd < 0) {
      cnetFailFile(status, CNET_OPEN, location, path[file]);
      return;
    }
    long written = cnetOs()->writeFile(fd, kContent[file], 4);
    cnetOs()->closeFile(fd);
    if (written != 4) {
      cnetFailFile(status, CNET_WRITE, location, path[file]);
      return;
    }
    flags[file] = 1;
  }

  // One attempt to hold a file open. The status is cleared first; a failure is classified by
  // errno: 0, EWOULDBLOCK, EACCES → 531; ENOENT → 541 at location + 2; others → 530.
  // A file that was deleted or replaced between the open and the lock is let go and opened
  // again (created again first when createLocation is not 0, as is a compile lock deleted
  // before the open); one that keeps changing counts as locked. Returns the errno of the failure,
  // or 0 on success (with status clear).
  int open(LockFile file, bool exclusive, uint32_t location, uint32_t createLocation = 0) {
    cnetClearStatus(status);
    int err = EWOULDBLOCK;
    for (int attempt = 0; attempt < kReopenAttempts; ++attempt) {
      if (attempt > 0 && createLocation != 0) {
        createIfAbsent(file, createLocation);
        cnetClearStatus(status);  // a failed creation shows in the open that follows
      }
      const int fd = cnetOs()->openFile(path[file], exclusive ? CNET_OS_READ_WRITE : CNET_OS_READ);
      if (fd < 0) {
        err = errno;
        // The compile lock deleted by a clear right after it was created here: create it again.
        if (err == ENOENT && createLocation != 0 && file == kCompile) continue;
        break;
      }
      if (cnetOs()->lockFile(fd, exclusive ? CNET_OS_LOCK_EXCLUSIVE : CNET_OS_LOCK_SHARED) != 0) {
        err = errno;
        cnetOs()->closeFile(fd);
        break;
      }
      const int same = cnetOs()->isFileAt(fd, path[file]);
      if (same == 1) {
        handles[file] = fd;
        return 0;
      }
      err = same < 0 ? errno : EWOULDBLOCK;
      cnetOs()->closeFile(fd);
      if (same < 0) break;
    }
    if (err == 0 || err == EWOULDBLOCK || err == EACCES) {
      cnetFailFile(status, CNET_LOCKED, location, path[file]);
    } else if (err == ENOENT) {
      cnetFailFile(status, CNET_INTEGRITY, location + 2, path[file]);
    } else {
      cnetFailFile(status, CNET_LOCK_ERROR, location, path[file]);
    }
    return err;
  }

  // Removes the existence marker; flags[kMarker] records a removal. A missing marker is no
  // failure; another failure is 515. Returns false when the caller must stop.
  bool removeMarker(uint32_t location) {
    if (cnetOs()->remove(path[kMarker]) == 0) {
      flags[kMarker] = 1;
      return true;
    }
    if (errno == ENOENT || errno == 0) return true;
    cnetFailFile(status, CNET_DELETE, location, path[kMarker]);
    return false;
  }

  // Closes a held file; a failed close is 517 with the location.
  void close(LockFile file, uint32_t location) {
    if (handles[file] < 0) return;
    int rc = cnetOs()->closeFile(handles[file]);
    handles[file] = -1;
    if (rc != 0) cnetFailFile(status, CNET_CLOSE, location, path[file]);
  }

  // Closes every handle still open, silently, and resets the flags.
  void closeAll() {
    for (int i = 0; i < 3; ++i) {
      if (handles[i] >= 0) cnetOs()->closeFile(handles[i]);
      handles[i] = -1;
      flags[i] = 0;
    }
  }
};

// Failures that waiting cannot mend: the file is missing, or a link stands in its place.
bool endsWait(int err) {
  return err == 0 || err == ENOENT || err == ELOOP;
}

void lockCompile(Lock& lock) {
  lock.createIfAbsent(kCompile, kLocCompileCreate);
  if (cnetFailed(lock.status)) return;  // also a failure the caller left in the status
  lock.open(kCompile, true, kLocCompileOpen, kLocCompileCreate);
}

// One try at the access lock for the update step: up to two opens. Returns true when the
// waiting ends, taken or failed for good (the file is missing).
bool tryUpdate(Lock& lock) {
  int err = 0;
  for (int attempt = 0; attempt < kUpdateAttempts; ++attempt) {
    err = lock.open(kAccess, true, kLocUpdateOpen, kLocUpdateCreate);
    if (!cnetFailed(lock.status) || endsWait(err)) return true;
  }
  return false;
}

// Tries to take the access lock while readers are still let in, then removes the marker.
// Returns true when the update lock is settled (taken, or failed at the marker's removal);
// false leaves the status clear and the lock to the wait that turns readers away first.
bool lockUpdateEarly(Lock& lock) {
  if (!lock.exists(kAccess) || !lock.exists(kMarker)) return false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kEarlyMs);
  for (;;) {
    const int err = lock.open(kAccess, true, kLocUpdateOpen);
    if (err == 0) break;
    cnetClearStatus(lock.status);
    if ((err != EWOULDBLOCK && err != EACCES) || std::chrono::steady_clock::now() >= end) {
      return false;
    }
    cnetOs()->sleepUs(kShortPauseUs);
  }
  // The removal's failure comes first; the close cannot replace it.
  if (!lock.removeMarker(kLocUpdateDelete)) lock.close(kAccess, kLocUnlockUpdate);
  return true;
}

void lockUpdate(const CNETEXEC* exec, Lock& lock) {
  if (lockUpdateEarly(lock)) return;
  if (!lock.removeMarker(kLocUpdateDelete)) return;
  // A failure to create the access lock is decided by the open attempts that follow.
  lock.createIfAbsent(kAccess, kLocUpdateCreate);
  bool waited = false;
  unsigned pauses = 0;
  // Readers are told the dictionary does not exist from the marker's removal on, so the wait
  // for those still inside is kept short: it tries again at least every 10 ms, while the
  // countdown still shows once a second.
  for (int budget = kUpdateBudgetMs; !tryUpdate(lock);) {
    if (!waited) {
      cnetProgressPrintf(exec, "\n");
      cnetTimef(exec, "", "Waiting to lock the dictionary...\n");
    }
    cnetProgressPrintf(exec, "          %lusec          \r",
                       static_cast<unsigned long>(budget / 1000));
    waited = true;
    // A pass lasts a second of the clock, however long the tries take on a busy machine.
    const auto passEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStepMs);
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < passEnd) {
      cnetOs()->sleepUs(pauses < kShortPauses ? kShortPauseUs : kPollMs * 1000);
      ++pauses;
      ended = tryUpdate(lock);
    }
    budget -= static_cast<int>(kStepMs);
    if (ended || budget < static_cast<int>(kStepMs)) break;
  }
  if (waited && cnetProgressOn(exec)) {
    cnetProgressPrintf(exec, "\n");
    cnetTimef(exec, "", cnetFailed(lock.status) ? "Cannot lock the dictionary.\n" : "Locked.\n");
  }
  // Without the update lock the live set was never touched: it is usable again.
  if (cnetFailed(lock.status) && lock.flags[kMarker] == 1) {
    CNETSTATUS* failure = lock.status;
    CNETSTATUS scratch{};
    lock.status = &scratch;
    lock.createIfAbsent(kMarker, kLocUnlockMarker);
    lock.status = failure;
    lock.flags[kMarker] = 0;
  }
}

void lockClear(Lock& lock) {
  if (!lock.removeMarker(kLocClearDelete)) return;
  lock.createIfAbsent(kCompile, kLocClearCreate);
  if (cnetFailed(lock.status)) return;
  lock.open(kCompile, true, kLocClearOpenCompile, kLocClearCreate);
  if (cnetFailed(lock.status)) return;
  for (int budget = kClearBudgetMs;;) {
    int err = 0;
    for (int attempt = 0; attempt < kClearAttempts; ++attempt) {
      err = lock.open(kAccess, true, kLocClearOpenAccess);
      if (!cnetFailed(lock.status)) return;
      if (endsWait(err)) break;
    }
    if (endsWait(err)) {
      // No access lock file: nobody can be reading, so the lock counts as taken.
      lock.status->retcode = 0;
      return;
    }
    cnetOs()->sleepUs(kStepMs * 1000);
    budget -= static_cast<int>(kStepMs);
    if (budget < static_cast<int>(kStepMs)) return;
  }
}

void lockRead(Lock& lock) {
  if (!lock.exists(kMarker)) {
    cnetFailFile(lock.status, CNET_NOT_EXIST, kLocReadMarker, lock.path[kMarker]);
    return;
  }
  lock.open(kAccess, false, kLocReadOpen);
}

}  // namespace

THES_EXPORT char* cnetLock_DirName(const char* directories, char* buffer) {
  if (directories == nullptr || buffer == nullptr) return nullptr;
  if (std::strchr(directories, '\t') != nullptr) return nullptr;
  size_t length = std::strlen(directories);
  if (length > CNET_NAME_MAX) return nullptr;
  if (length == 1 && directories[0] == '/') length = 0;
  std::memcpy(buffer, directories, length);
  buffer[length] = '\0';
  return buffer;
}

THES_EXPORT void cnetLock(const CNETEXEC* exec, uint32_t mode, const char* name,
                          const char* directories, int handles[3], int flags[3],
                          CNETSTATUS* status) {
  if (status == nullptr) return;
  if (!cnetCorrectNames(&name, &directories)) {
    cnetFail(status, CNET_NAME_LENGTH, kLocLockNames);
    return;
  }
  char directory[CNET_NAME_SIZE];
  if (cnetLock_DirName(directories, directory) == nullptr) return;  // two directories: unlocked
  if (handles == nullptr || flags == nullptr) {
    cnetFail(status, CNET_PARAMETER, kLocLockState);
    return;
  }
  for (int i = 0; i < 3; ++i) {
    handles[i] = -1;
    flags[i] = 0;
  }
  Lock lock(directory, name, handles, flags, status);
  switch (mode) {
    case CNET_LOCK_COMPILE:
      lockCompile(lock);
      break;
    case CNET_LOCK_UPDATE:
      lockUpdate(exec, lock);
      break;
    case CNET_LOCK_CLEAR:
      lockClear(lock);
      break;
    case CNET_LOCK_READ:
      lockRead(lock);
      break;
    default:
      cnetFail(status, CNET_UNEXPECTED, kLocLockMode);
      break;
  }
}

THES_EXPORT void cnetUnlock(const CNETEXEC* /*exec*/, uint32_t mode, const char* name,
                            const char* directories, int handles[3], int flags[3],
                            CNETSTATUS* status) {
  if (!cnetCorrectNames(&name, &directories)) return;
  char directory[CNET_NAME_SIZE];
  if (cnetLock_DirName(directories, directory) == nullptr) return;
  if (handles == nullptr || flags == nullptr) return;
  Lock lock(directory, name, handles, flags, status);
  if (status != nullptr) {
    switch (mode) {
      case CNET_LOCK_COMPILE:
        lock.close(kCompile, kLocUnlockCompile);
        break;
      case CNET_LOCK_UPDATE: {
        // A release on a status that already holds a failure does not mark the dictionary
        // usable; a close that fails here does not undo the replacement, so it still does.
        const bool failedBefore = cnetFailed(status);
        lock.close(kAccess, kLocUnlockUpdate);
        if (!failedBefore) {
          CNETSTATUS* outcome = status;
          CNETSTATUS marker{};
          if (cnetFailed(status)) lock.status = &marker;  // the close's failure comes first
          lock.createIfAbsent(kMarker, kLocUnlockMarker);
          lock.status = outcome;
        }
        break;
      }
      case CNET_LOCK_CLEAR: {
        const LockFile files[2] = {kAccess, kCompile};
        const uint32_t locations[2] = {kLocUnlockClearAccess, kLocUnlockClearCompile};
        // Each file is deleted while still held (see the top of this file), then closed.
        for (int i = 0; i < 2; ++i) {
          if (handles[files[i]] < 0) continue;
          if (cnetOs()->remove(lock.path[files[i]]) != 0) {
            cnetFailFile(status, CNET_DELETE, locations[i], lock.path[files[i]]);
          }
          lock.close(files[i], locations[i]);
        }
        break;
      }
      case CNET_LOCK_READ:
        lock.close(kAccess, kLocUnlockRead);
        break;
      default:
        cnetFail(status, CNET_UNEXPECTED, kLocUnlockMode);
        break;
    }
  }
  lock.closeAll();
}
