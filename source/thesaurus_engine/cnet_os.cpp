// POSIX implementations of the engine's operating-system table. This is the one engine file
// that includes system headers.
#include "cnet_os.h"

#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <unordered_map>

namespace {

constexpr size_t kWriteBuffer = 64 * 1024;

// The buffers given to open streams, by stream, so that closing a stream frees its buffer.
// Process-wide; an entry lives exactly as long as its stream is open.
std::mutex gBufferLock;
std::unordered_map<FILE*, char*>& streamBuffers() {
  static auto* buffers = new std::unordered_map<FILE*, char*>();  // outlives every stream
  return *buffers;
}

// Takes the buffer of a stream out of the table (null when it has none). Called while the
// stream is still open, so that no other stream can have its address yet.
char* takeStreamBuffer(FILE* stream) {
  std::lock_guard<std::mutex> hold(gBufferLock);
  auto& buffers = streamBuffers();
  auto it = buffers.find(stream);
  if (it == buffers.end()) return nullptr;
  char* buffer = it->second;
  buffers.erase(it);
  return buffer;
}

int osOpenFile(const char* path, int mode) {
  switch (mode) {
    case CNET_OS_READ:
      return ::open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    case CNET_OS_READ_WRITE:
      return ::open(path, O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    case CNET_OS_CREATE_WRITE:
      return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    case CNET_OS_READ_DATA:
      return ::open(path, O_RDONLY | O_CLOEXEC);
    default:
      errno = EINVAL;
      return -1;
  }
}

int osCloseFile(int fd) {
  return ::close(fd);
}

long osWriteFile(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, p + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<long>(done);
}

int osLockFile(int fd, int kind) {
  int op = (kind == CNET_OS_LOCK_EXCLUSIVE ? LOCK_EX : LOCK_SH) | LOCK_NB;
  int rc;
  do {
    rc = ::flock(fd, op);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

int osAccess(const char* path) {
  return ::access(path, F_OK);
}

int osRename(const char* from, const char* to) {
  return ::rename(from, to);
}

int osRemove(const char* path) {
  return ::remove(path);
}

void osSleepUs(unsigned microseconds) {
  std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

int64_t osNow() {
  return static_cast<int64_t>(::time(nullptr));
}

int osLocalTime(int64_t seconds, struct tm* out) {
  time_t t = static_cast<time_t>(seconds);
  return ::localtime_r(&t, out) != nullptr ? 0 : -1;
}

// Opens a stream for writing without following a symbolic link at the path ("x": create new).
FILE* openForWriting(const char* path, const char* mode) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
  flags |= std::strchr(mode, 'x') != nullptr ? O_EXCL : O_TRUNC;
  const int fd = ::open(path, flags, 0666);
  if (fd < 0) return nullptr;
  FILE* stream = ::fdopen(fd, "w");
  if (stream == nullptr) {
    const int err = errno;
    ::close(fd);
    errno = err;
  }
  return stream;
}

FILE* osOpenStream(const char* path, const char* mode) {
  FILE* stream = nullptr;
  if (std::strchr(mode, 'w') != nullptr && std::strchr(mode, '+') == nullptr) {
    stream = openForWriting(path, mode);
  } else {
    std::string m(mode);
    m += 'e';  // close-on-exec
    stream = ::fopen(path, m.c_str());
  }
  if (stream != nullptr) {
    // An engine stream belongs to one thread at a time, so stdio's per-call locking is pure
    // cost; the dictionary and work files are read and written in many small records.
    ::__fsetlocking(stream, FSETLOCKING_BYCALLER);
    // Files written are written front to back: a larger buffer saves system calls. Files
    // read keep the default, since lookups read a few bytes here and there.
    if (std::strchr(mode, 'w') != nullptr) cnetOsBufferStream(stream, kWriteBuffer);
  }
  return stream;
}

int osCloseStream(FILE* stream) {
  char* buffer = takeStreamBuffer(stream);
  const int rc = ::fclose(stream);
  std::free(buffer);
  return rc;
}

size_t osReadStream(void* data, size_t size, FILE* stream) {
  return ::fread(data, 1, size, stream);
}

size_t osWriteStream(const void* data, size_t size, FILE* stream) {
  return ::fwrite(data, 1, size, stream);
}

int osSeekStream(FILE* stream, long offset, int whence) {
  return ::fseek(stream, offset, whence);
}

long osTellStream(FILE* stream) {
  return ::ftell(stream);
}

long osStreamSize(FILE* stream) {
  struct stat st {};
  if (::fstat(::fileno(stream), &st) != 0) return -1;
  return static_cast<long>(st.st_size);
}

long osReadStreamAt(FILE* stream, void* data, size_t size, long offset) {
  const int fd = ::fileno(stream);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, static_cast<char*>(data) + done, size - done,
                              static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<long>(done);
}

int osIsFileAt(int fd, const char* path) {
  struct stat held {
  }, named{};
  if (::fstat(fd, &held) != 0) return -1;
  if (::lstat(path, &named) != 0) return errno == ENOENT || errno == ENOTDIR ? 0 : -1;
  return held.st_dev == named.st_dev && held.st_ino == named.st_ino ? 1 : 0;
}

int osSyncStream(FILE* stream) {
  if (::fflush(stream) != 0) return -1;
  int rc;
  do {
    rc = ::fsync(::fileno(stream));
  } while (rc != 0 && errno == EINTR);
  return rc;
}

int osSyncDirectoryOf(const char* path) {
  const char* slash = std::strrchr(path, '/');
  std::string directory(path, slash == nullptr ? path : slash);
  if (directory.empty()) directory.push_back(slash == nullptr ? '.' : '/');
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  const int rc = ::fsync(fd);
  const int err = errno;
  ::close(fd);
  errno = err;
  return rc;
}

int osLink(const char* from, const char* to) {
  return ::link(from, to);
}

CnetFileIdentity identityOf(const struct stat& st) {
  return CnetFileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                          static_cast<uint64_t>(st.st_size),
                          int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

int osIdentify(const char* path, CnetFileIdentity* out) {
  struct stat st {};
  if (::stat(path, &st) != 0) return -1;
  *out = identityOf(st);
  return 0;
}

int osIdentifyOpen(int fd, CnetFileIdentity* out) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return -1;
  *out = identityOf(st);
  return 0;
}

long osReadAt(int fd, void* data, size_t size, uint64_t offset) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, static_cast<char*>(data) + done, size - done,
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<long>(done);
}

constexpr CnetOsTable kDefaults = {
    osOpenFile,        osCloseFile,   osWriteFile,    osLockFile,     osAccess,
    osRename,          osRemove,      osSleepUs,      osNow,          osLocalTime,
    osOpenStream,      osCloseStream, osReadStream,   osWriteStream,  osSeekStream,
    osTellStream,      osStreamSize,  osReadStreamAt, osIsFileAt,     osSyncStream,
    osSyncDirectoryOf, osLink,        osIdentify,     osIdentifyOpen, osReadAt,
};

CnetOsTable gTable = kDefaults;

}  // namespace

CnetOsTable* cnetOs() {
  return &gTable;
}

const CnetOsTable& cnetOsDefaults() {
  return kDefaults;
}

FILE* cnetOsCreateWorkStream(const char* path) {
  if (cnetOs()->remove(path) != 0 && errno != ENOENT) return nullptr;
  return cnetOs()->openStream(path, "wbx");
}

bool cnetOsBufferStream(FILE* stream, size_t size) {
  char* buffer = static_cast<char*>(std::malloc(size));
  if (buffer == nullptr) return false;
  {
    std::lock_guard<std::mutex> hold(gBufferLock);
    try {
      auto [it, added] = streamBuffers().emplace(stream, buffer);
      if (!added) {
        std::free(buffer);  // the stream has its buffer already
        return true;
      }
    } catch (const std::bad_alloc&) {
      std::free(buffer);
      return false;
    }
  }
  if (::setvbuf(stream, buffer, _IOFBF, size) == 0) return true;
  std::free(takeStreamBuffer(stream));
  return false;
}

void* cnetOsAllocateLarge(size_t bytes) {
  constexpr size_t kHugePage = size_t{2} << 20;
  if (bytes > SIZE_MAX - kHugePage) return nullptr;
  const size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  void* memory = std::aligned_alloc(kHugePage, rounded);
  // Only a hint: without huge pages the memory serves as it is.
  if (memory != nullptr) ::madvise(memory, rounded, MADV_HUGEPAGE);
  return memory;
}
