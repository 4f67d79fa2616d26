#include "support/os_faults.h"

#include <array>
#include <atomic>
#include <cerrno>

namespace testsupport {
namespace {

struct Plan {
  std::atomic<int> calls{0};
  std::atomic<int> failAt{0};  // 0: never; -1: always
  std::atomic<int> err{0};
};

std::array<Plan, static_cast<size_t>(OsCall::kCount)> gPlans;
std::atomic<bool> gFired{false};
std::atomic<long> gSleptUs{0};

// True when this use of call must fail; sets errno then.
bool shouldFail(OsCall call) {
  Plan& p = gPlans[static_cast<size_t>(call)];
  int n = ++p.calls;
  int at = p.failAt.load();
  if (at == -1 || (at > 0 && n == at)) {
    gFired = true;
    errno = p.err.load();
    return true;
  }
  return false;
}

const CnetOsTable& real() {
  return cnetOsDefaults();
}

const CnetOsTable kInjecting = {
    [](const char* path, int mode) {
      return shouldFail(OsCall::kOpenFile) ? -1 : real().openFile(path, mode);
    },
    [](int fd) {
      if (shouldFail(OsCall::kCloseFile)) {
        int e = errno;
        real().closeFile(fd);  // the descriptor is gone either way, as with a real close
        errno = e;
        return -1;
      }
      return real().closeFile(fd);
    },
    [](int fd, const void* data, size_t size) {
      return shouldFail(OsCall::kWriteFile) ? -1L : real().writeFile(fd, data, size);
    },
    [](int fd, int kind) { return shouldFail(OsCall::kLockFile) ? -1 : real().lockFile(fd, kind); },
    [](const char* path) { return shouldFail(OsCall::kAccess) ? -1 : real().access(path); },
    [](const char* from, const char* to) {
      return shouldFail(OsCall::kRename) ? -1 : real().rename(from, to);
    },
    [](const char* path) { return shouldFail(OsCall::kRemove) ? -1 : real().remove(path); },
    [](unsigned us) {
      gSleptUs += us;
      real().sleepUs(us);
    },
    [] { return real().now(); },
    [](int64_t seconds, struct tm* out) { return real().localTime(seconds, out); },
    [](const char* path, const char* mode) {
      return shouldFail(OsCall::kOpenStream) ? nullptr : real().openStream(path, mode);
    },
    [](FILE* stream) {
      if (shouldFail(OsCall::kCloseStream)) {
        int e = errno;
        real().closeStream(stream);
        errno = e;
        return EOF;
      }
      return real().closeStream(stream);
    },
    [](void* data, size_t size, FILE* stream) {
      return shouldFail(OsCall::kReadStream) ? size_t{0} : real().readStream(data, size, stream);
    },
    [](const void* data, size_t size, FILE* stream) {
      return shouldFail(OsCall::kWriteStream) ? size_t{0} : real().writeStream(data, size, stream);
    },
    [](FILE* stream, long offset, int whence) {
      return shouldFail(OsCall::kSeekStream) ? -1 : real().seekStream(stream, offset, whence);
    },
    [](FILE* stream) { return shouldFail(OsCall::kTellStream) ? -1L : real().tellStream(stream); },
    [](FILE* stream) { return shouldFail(OsCall::kStreamSize) ? -1L : real().streamSize(stream); },
    [](FILE* stream, void* data, size_t size, long offset) {
      return shouldFail(OsCall::kReadStreamAt) ? -1L
                                               : real().readStreamAt(stream, data, size, offset);
    },
    [](int fd, const char* path) {
      return shouldFail(OsCall::kIsFileAt) ? -1 : real().isFileAt(fd, path);
    },
    [](FILE* stream) { return shouldFail(OsCall::kSyncStream) ? -1 : real().syncStream(stream); },
    [](const char* path) {
      return shouldFail(OsCall::kSyncDirectory) ? -1 : real().syncDirectoryOf(path);
    },
    [](const char* from, const char* to) {
      return shouldFail(OsCall::kLink) ? -1 : real().link(from, to);
    },
    [](const char* path, CnetFileIdentity* out) {
      return shouldFail(OsCall::kIdentify) ? -1 : real().identify(path, out);
    },
    [](int fd, CnetFileIdentity* out) {
      return shouldFail(OsCall::kIdentifyOpen) ? -1 : real().identifyOpen(fd, out);
    },
    [](int fd, void* data, size_t size, uint64_t offset) {
      return shouldFail(OsCall::kReadAt) ? -1L : real().readAt(fd, data, size, offset);
    },
};

}  // namespace

OsFaults::OsFaults() {
  for (Plan& p : gPlans) {
    p.calls = 0;
    p.failAt = 0;
    p.err = 0;
  }
  gFired = false;
  gSleptUs = 0;
  *cnetOs() = kInjecting;
}

OsFaults::~OsFaults() {
  *cnetOs() = cnetOsDefaults();
}

void OsFaults::failNth(OsCall call, int n, int err) {
  Plan& p = gPlans[static_cast<size_t>(call)];
  p.err = err;
  p.failAt = n <= 0 ? 0 : p.calls.load() + n;
}

void OsFaults::failAlways(OsCall call, int err) {
  Plan& p = gPlans[static_cast<size_t>(call)];
  p.err = err;
  p.failAt = -1;
}

int OsFaults::calls(OsCall call) const {
  return gPlans[static_cast<size_t>(call)].calls;
}

bool OsFaults::fired() const {
  return gFired;
}

long OsFaults::sleptMs() const {
  return gSleptUs / 1000;
}

}  // namespace testsupport
