// The process-wide cache of read-only dictionary files (see cnet_os_cache.h). Its files are
// opened, identified and read through the operating-system table, so tests can make any of
// those calls fail.
#include "cnet_os_cache.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "cnet_os.h"

struct CnetReadFile {
  std::atomic<int> refs{1};
  int fd = -1;
  CnetFileIdentity id{};
  std::string path;
  uint32_t opens = 1;     // opens through the cache
  uint64_t lastUse = 0;   // the cache's clock at the last open
  uint64_t reserved = 0;  // bytes of content counted against the cache's bound
  bool loading = false;   // one opener is copying the content
  std::atomic<const uint8_t*> content{nullptr};  // the whole file, once copied; never changes
};

namespace {

// A file's content is held from its second open on: a process that reads a dictionary once
// (a tool) reads only what it needs, one that reads it again and again (a server) reads memory.
constexpr uint32_t kContentAfterOpens = 2;

// Only the content of a file unchanged for a second is copied. Modification times advance in
// coarse steps, so a file rewritten in place twice within one step could keep its identity; a
// copy taken a second after the last change cannot miss a later one, which gets a later time.
constexpr int64_t kDefaultSettledNs = 1000000000;

int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void release(CnetReadFile* f) {
  if (f->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  if (f->fd >= 0) cnetOs()->closeFile(f->fd);
  std::free(const_cast<uint8_t*>(f->content.load(std::memory_order_acquire)));
  delete f;
}

class ReadCache {
 public:
  ~ReadCache() { clear(); }

  CnetReadFile* open(const char* path) {
    CnetFileIdentity now{};
    if (cnetOs()->identify(path, &now) != 0) return nullptr;
    CnetReadFile* f = nullptr;
    bool load = false;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      for (size_t i = 0; i < files_.size(); ++i) {
        if (files_[i]->path != path) continue;
        if (files_[i]->id == now) {
          f = files_[i];
          f->refs.fetch_add(1, std::memory_order_relaxed);
          ++f->opens;
          f->lastUse = ++clock_;
          load = reserveContent(f);
        } else {
          detach(i);  // replaced, changed or gone: never read again through the cache
        }
        break;
      }
    }
    if (f == nullptr) return openNew(path);
    if (load) copyContent(f);
    return f;
  }

  void setLimits(size_t files, uint64_t bytes, int64_t settledNs) {
    std::lock_guard<std::mutex> hold(mutex_);
    maxFiles_ = files;
    maxBytes_ = bytes;
    settledNs_ = settledNs;
    while (files_.size() > maxFiles_ || (bytes_ > maxBytes_ && !files_.empty())) {
      detach(leastRecentlyUsed(nullptr, false));
    }
  }

  void clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    while (!files_.empty())
      detach(files_.size() - 1);
  }

 private:
  CnetReadFile* openNew(const char* path) {
    const int fd = cnetOs()->openFile(path, CNET_OS_READ_DATA);
    if (fd < 0) return nullptr;
    auto* f = new (std::nothrow) CnetReadFile;
    if (f == nullptr || cnetOs()->identifyOpen(fd, &f->id) != 0) {
      const int err = f == nullptr ? ENOMEM : errno;
      cnetOs()->closeFile(fd);
      delete f;
      errno = err;
      return nullptr;
    }
    f->fd = fd;
    try {
      f->path = path;
    } catch (...) {
      release(f);
      errno = ENOMEM;
      return nullptr;
    }
    std::lock_guard<std::mutex> hold(mutex_);
    if (maxFiles_ == 0) return f;  // not cached: the caller's reference is the only one
    while (files_.size() >= maxFiles_)
      detach(leastRecentlyUsed(nullptr, false));
    try {
      files_.push_back(f);
    } catch (...) {
      return f;
    }
    f->refs.fetch_add(1, std::memory_order_relaxed);  // the cache's own reference
    f->lastUse = ++clock_;
    return f;
  }

  // Under the lock: true when this opener is to copy f's content; the bytes are counted then.
  bool reserveContent(CnetReadFile* f) {
    if (f->content.load(std::memory_order_relaxed) != nullptr || f->loading ||
        f->opens < kContentAfterOpens || f->id.size == 0 || f->id.size > maxBytes_ ||
        nowNs() - f->id.modifiedNs < settledNs_) {
      return false;
    }
    while (bytes_ + f->id.size > maxBytes_) {
      const size_t victim = leastRecentlyUsed(f, true);
      if (victim == files_.size()) return false;
      detach(victim);
    }
    f->loading = true;
    f->reserved = f->id.size;
    bytes_ += f->reserved;
    return true;
  }

  // Copies the whole file into memory, outside the lock. A file that cannot be read whole (it
  // shrank, or a read failed) stays read from the file.
  void copyContent(CnetReadFile* f) {
    auto* copy = static_cast<uint8_t*>(std::malloc(f->id.size));
    const bool whole = copy != nullptr && cnetOs()->readAt(f->fd, copy, f->id.size, 0) ==
                                              static_cast<long>(f->id.size);
    std::lock_guard<std::mutex> hold(mutex_);
    f->loading = false;
    if (whole) {
      f->content.store(copy, std::memory_order_release);
      return;
    }
    std::free(copy);
    bytes_ -= f->reserved;
    f->reserved = 0;
  }

  // Under the lock: the index of the least recently used file (other than keep; with content
  // when withContent), or files_.size() when there is none.
  size_t leastRecentlyUsed(const CnetReadFile* keep, bool withContent) const {
    size_t best = files_.size();
    for (size_t i = 0; i < files_.size(); ++i) {
      const CnetReadFile* f = files_[i];
      if (f == keep || (withContent && f->reserved == 0)) continue;
      if (best == files_.size() || f->lastUse < files_[best]->lastUse) best = i;
    }
    return best;
  }

  // Under the lock: takes file i out of the cache; it lives on while someone reads it.
  void detach(size_t i) {
    CnetReadFile* f = files_[i];
    files_[i] = files_.back();
    files_.pop_back();
    bytes_ -= f->reserved;
    f->reserved = 0;
    release(f);
  }

  std::mutex mutex_;
  std::vector<CnetReadFile*> files_;
  size_t maxFiles_ = 64;
  uint64_t maxBytes_ = uint64_t{256} << 20;
  int64_t settledNs_ = kDefaultSettledNs;
  uint64_t bytes_ = 0;  // content held or being copied
  uint64_t clock_ = 0;
};

ReadCache& cache() {
  static ReadCache instance;
  return instance;
}

}  // namespace

CnetReadFile* cnetReadFileOpen(const char* path) {
  return cache().open(path);
}

void cnetReadFileRelease(CnetReadFile* file) {
  if (file != nullptr) release(file);
}

uint64_t cnetReadFileSize(const CnetReadFile* file) {
  return file->id.size;
}

long cnetReadFileRead(CnetReadFile* file, void* data, size_t size, uint64_t offset) {
  if (const uint8_t* content = file->content.load(std::memory_order_acquire)) {
    if (offset >= file->id.size) return 0;
    const uint64_t left = file->id.size - offset;
    const size_t n = left < size ? static_cast<size_t>(left) : size;
    std::memcpy(data, content + offset, n);
    return static_cast<long>(n);
  }
  return cnetOs()->readAt(file->fd, data, size, offset);
}

bool cnetReadFileResident(const CnetReadFile* file) {
  return file->content.load(std::memory_order_acquire) != nullptr;
}

const uint8_t* cnetReadFileContent(const CnetReadFile* file) {
  return file == nullptr ? nullptr : file->content.load(std::memory_order_acquire);
}

void cnetReadCacheSetLimits(size_t files, uint64_t bytes, int64_t settledNs) {
  cache().setLimits(files, bytes, settledNs);
}

void cnetReadCacheClear() {
  cache().clear();
}
