// The process-wide cache of open word index files (see zol_index_cache.h).
#include "zol_index_cache.h"

#include <chrono>
#include <mutex>
#include <vector>

namespace zol {
namespace {

// A file is copied into memory from its second search on (a tool that searches once reads only
// the entries it needs), once it has been unchanged for a second: modification times advance in
// coarse steps, and a copy taken a second after the last change cannot miss a later one.
constexpr uint32_t kLoadAfterUses = 2;
constexpr int64_t kDefaultSettledNs = 1000000000;

int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

struct Cached {
  std::shared_ptr<IndexFile> file;
  uint32_t uses = 0;
  uint64_t lastUse = 0;
  uint64_t loadedBytes = 0;  // counted against the bound once loaded
};

class IndexCache {
 public:
  std::shared_ptr<IndexFile> open(const std::string& path, const FileId& id, ZOLSTATUS* status) {
    std::lock_guard<std::mutex> hold(mutex_);
    for (size_t i = 0; i < files_.size(); ++i) {
      if (files_[i].file->path() != path) continue;
      if (files_[i].file->id() == id) return use(files_[i]);
      drop(i);  // replaced or changed: never searched again through the cache
      break;
    }
    auto file = std::make_shared<IndexFile>();
    if (!file->open(path, ZOL_CTX_SEARCH, status)) return nullptr;
    if (maxFiles_ == 0) return file;
    while (files_.size() >= maxFiles_)
      drop(leastRecentlyUsed(false));
    files_.push_back(Cached{file, 0, 0, 0});
    return use(files_.back());
  }

  void setLimits(size_t files, uint64_t bytes, int64_t settledNs) {
    std::lock_guard<std::mutex> hold(mutex_);
    maxFiles_ = files;
    maxBytes_ = bytes;
    settledNs_ = settledNs;
    while (!files_.empty() && (files_.size() > maxFiles_ || bytes_ > maxBytes_)) {
      drop(leastRecentlyUsed(false));
    }
  }

  void clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    files_.clear();
    bytes_ = 0;
  }

 private:
  // Under the lock: counts a use of c and copies its file into memory when it is due.
  std::shared_ptr<IndexFile> use(Cached& c) {
    c.lastUse = ++clock_;
    const uint64_t size = c.file->size();
    if (++c.uses >= kLoadAfterUses && c.loadedBytes == 0 && size <= maxBytes_ &&
        nowNs() - (c.file->id().mtimeSec * 1000000000 + c.file->id().mtimeNsec) >= settledNs_) {
      std::shared_ptr<IndexFile> keep = c.file;  // drop() below may move c
      while (bytes_ + size > maxBytes_) {
        const size_t victim = leastRecentlyUsed(true);
        if (victim == files_.size()) return keep;
        drop(victim);
      }
      if (keep->load(ZOL_CTX_SEARCH, nullptr)) {  // if that fails, reads still serve
        for (Cached& k : files_) {
          if (k.file == keep) k.loadedBytes = size;
        }
        bytes_ += size;
      }
      return keep;
    }
    return c.file;
  }

  // Under the lock: the least recently used file (only loaded ones when loaded is set), or
  // files_.size() when there is none.
  size_t leastRecentlyUsed(bool loaded) const {
    size_t best = files_.size();
    for (size_t i = 0; i < files_.size(); ++i) {
      if (loaded && files_[i].loadedBytes == 0) continue;
      if (best == files_.size() || files_[i].lastUse < files_[best].lastUse) best = i;
    }
    return best;
  }

  void drop(size_t i) {
    bytes_ -= files_[i].loadedBytes;
    files_[i] = std::move(files_.back());
    files_.pop_back();
  }

  std::mutex mutex_;
  std::vector<Cached> files_;
  size_t maxFiles_ = 32;
  uint64_t maxBytes_ = uint64_t{128} << 20;
  int64_t settledNs_ = kDefaultSettledNs;
  uint64_t bytes_ = 0;
  uint64_t clock_ = 0;
};

IndexCache& cache() {
  static IndexCache instance;
  return instance;
}

}  // namespace

std::shared_ptr<IndexFile> openCachedIndex(const std::string& path, const FileId& id,
                                           ZOLSTATUS* status) {
  return cache().open(path, id, status);
}

void setIndexCacheLimits(size_t files, uint64_t bytes, int64_t settledNs) {
  cache().setLimits(files, bytes, settledNs);
}

void clearIndexCache() {
  cache().clear();
}

}  // namespace zol
