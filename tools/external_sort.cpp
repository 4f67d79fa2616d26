// Sorting of byte records in bounded memory (see external_sort.h).
#include "external_sort.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace thestool {

namespace {

constexpr std::size_t kWriteBuffer = 256 * 1024;

// a before b as byte strings.
bool less(std::string_view a, std::string_view b) {
  int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  return c < 0 || (c == 0 && a.size() < b.size());
}

std::size_t putLength(uint32_t n, char* out) {
  std::size_t k = 0;
  do {
    uint8_t b = n & 0x7F;
    n >>= 7;
    out[k++] = static_cast<char>(b | (n != 0 ? 0x80 : 0));
  } while (n != 0);
  return k;
}

}  // namespace

// An anonymous file (gone once closed) that runs are appended to through a buffer.
struct RecordSorter::TempFile {
  int fd = -1;
  uint64_t size = 0;
  std::string buffer;

  ~TempFile() {
    if (fd >= 0) ::close(fd);
  }
  bool open(const std::string& directory) {
    fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
      std::string pattern = directory + "/thesaurus-import.XXXXXX";
      fd = ::mkostemp(pattern.data(), O_CLOEXEC);
      if (fd >= 0) ::unlink(pattern.c_str());
    }
    buffer.reserve(kWriteBuffer);
    return fd >= 0;
  }
  bool append(std::string_view record) {
    char length[8];
    std::size_t n = putLength(static_cast<uint32_t>(record.size()), length);
    if (buffer.size() + n + record.size() > kWriteBuffer && !flush()) return false;
    buffer.append(length, n);
    if (record.size() > kWriteBuffer) {
      if (!flush()) return false;
      return writeAll(record);
    }
    buffer.append(record);
    return true;
  }
  bool flush() {
    bool ok = writeAll(buffer);
    buffer.clear();
    return ok;
  }
  bool writeAll(std::string_view data) {
    while (!data.empty()) {
      ssize_t n = ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(size));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      size += static_cast<uint64_t>(n);
      data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }
};

// Reads the records of one run through a buffer of kReadBuffer bytes.
class RecordSorter::RunCursor {
 public:
  RunCursor(int fd, Run run) : fd_(fd), next_(run.offset), end_(run.offset + run.size) {
    buffer_.resize(kReadBuffer);
  }
  // Moves to the next record; false at the end of the run or on a failed or damaged read.
  bool advance() {
    uint32_t length = 0;
    std::size_t header = 0;
    for (;;) {
      if (header == 5 || !ensure(header + 1)) return false;
      const auto b = static_cast<uint8_t>(buffer_[pos_ + header]);
      length |= static_cast<uint32_t>(b & 0x7F) << (7 * header);
      ++header;
      if ((b & 0x80) == 0) break;
    }
    if (length > kMaxRecord || !ensure(header + length)) return false;
    record_ = std::string_view(buffer_.data() + pos_ + header, length);
    pos_ += header + length;
    return true;
  }
  std::string_view record() const { return record_; }
  bool failed() const { return failed_; }

 private:
  // At least n bytes from pos_ in the buffer; false when the run has fewer.
  bool ensure(std::size_t n) {
    if (pos_ + n <= filled_) return true;
    std::memmove(buffer_.data(), buffer_.data() + pos_, filled_ - pos_);
    filled_ -= pos_;
    pos_ = 0;
    if (n > buffer_.size()) buffer_.resize(n);
    while (filled_ < n && next_ < end_) {
      std::size_t want =
          static_cast<std::size_t>(std::min<uint64_t>(buffer_.size() - filled_, end_ - next_));
      ssize_t got = ::pread(fd_, buffer_.data() + filled_, want, static_cast<off_t>(next_));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        failed_ = true;
        return false;
      }
      filled_ += static_cast<std::size_t>(got);
      next_ += static_cast<uint64_t>(got);
    }
    if (filled_ < n) failed_ = failed_ || filled_ != 0;  // a record cut short
    return filled_ >= n;
  }

  int fd_;
  uint64_t next_, end_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0, filled_ = 0;
  std::string_view record_;
  bool failed_ = false;
};

RecordSorter::RecordSorter(std::string tempDirectory, std::size_t budget, std::size_t maxFanIn)
    : tempDirectory_(std::move(tempDirectory)),
      budget_(std::max<std::size_t>(budget, 1024)),
      maxFanIn_(std::clamp<std::size_t>(maxFanIn, 2, kMaxFanIn)) {
  arena_.reserve(budget_ - budget_ / 8);
  refs_.reserve(budget_ / 8 / sizeof(uint64_t));
}

RecordSorter::~RecordSorter() = default;

bool RecordSorter::fail(const std::string& what) {
  if (error_.empty()) error_ = what + (errno != 0 ? std::string(": ") + std::strerror(errno) : "");
  return false;
}

bool RecordSorter::add(std::string_view record) {
  if (finished_ || record.size() > kMaxRecord) return fail("record too long");
  if ((arena_.size() + record.size() > arena_.capacity() || refs_.size() == refs_.capacity()) &&
      !spill())
    return false;
  refs_.push_back(static_cast<uint64_t>(arena_.size()) << 24 | record.size());
  arena_.insert(arena_.end(), record.begin(), record.end());
  ++added_;
  return true;
}

bool RecordSorter::spill() {
  if (refs_.empty()) return true;
  const char* base = arena_.data();
  auto view = [base](uint64_t ref) {
    return std::string_view(base + (ref >> 24), static_cast<std::size_t>(ref & 0xFFFFFF));
  };
  std::sort(refs_.begin(), refs_.end(),
            [&view](uint64_t a, uint64_t b) { return less(view(a), view(b)); });
  if (file_ == nullptr) {
    file_ = std::make_unique<TempFile>();
    errno = 0;
    if (!file_->open(tempDirectory_))
      return fail("cannot make a temporary file in " + tempDirectory_);
  }
  Run run{file_->size, 0};
  for (uint64_t ref : refs_) {
    if (!file_->append(view(ref))) return fail("writing a temporary file failed");
  }
  if (!file_->flush()) return fail("writing a temporary file failed");
  run.size = file_->size - run.offset;
  runs_.push_back(run);
  arena_.clear();
  refs_.clear();
  return true;
}

bool RecordSorter::mergeRuns(std::vector<Run> runs, TempFile* into, Run* merged) {
  cursors_.clear();
  heap_.clear();
  for (const Run& r : runs)
    cursors_.push_back(std::make_unique<RunCursor>(file_->fd, r));
  for (auto& c : cursors_) {
    if (c->advance()) heap_.push_back(c.get());
  }
  std::make_heap(heap_.begin(), heap_.end(),
                 [](RunCursor* a, RunCursor* b) { return less(b->record(), a->record()); });
  merged->offset = into->size;
  std::string_view record;
  haveLast_ = false;
  while (next(&record)) {
    if (!into->append(record)) return fail("writing a temporary file failed");
  }
  if (!error_.empty() || !into->flush()) return fail("writing a temporary file failed");
  merged->size = into->size - merged->offset;
  return true;
}

bool RecordSorter::finish() {
  if (finished_) return error_.empty();
  finished_ = true;
  if (!runs_.empty()) {
    if (!spill()) return false;
    // Memory is given back: from now on only the cursors' buffers are used.
    std::vector<char>().swap(arena_);
    std::vector<uint64_t>().swap(refs_);
    while (runs_.size() > maxFanIn_) {
      auto next = std::make_unique<TempFile>();
      errno = 0;
      if (!next->open(tempDirectory_))
        return fail("cannot make a temporary file in " + tempDirectory_);
      std::vector<Run> merged;
      for (std::size_t i = 0; i < runs_.size(); i += maxFanIn_) {
        std::vector<Run> group(
            runs_.begin() + static_cast<std::ptrdiff_t>(i),
            runs_.begin() + static_cast<std::ptrdiff_t>(std::min(runs_.size(), i + maxFanIn_)));
        Run run{};
        if (!mergeRuns(std::move(group), next.get(), &run)) return false;
        merged.push_back(run);
      }
      cursors_.clear();
      heap_.clear();
      file_ = std::move(next);
      runs_ = std::move(merged);
    }
  } else {
    const char* base = arena_.data();
    std::sort(refs_.begin(), refs_.end(), [base](uint64_t a, uint64_t b) {
      return less(std::string_view(base + (a >> 24), a & 0xFFFFFF),
                  std::string_view(base + (b >> 24), b & 0xFFFFFF));
    });
  }
  return rewind();
}

bool RecordSorter::rewind() {
  if (!finished_) return false;
  haveLast_ = false;
  memoryIndex_ = 0;
  cursors_.clear();
  heap_.clear();
  if (runs_.empty()) return true;
  for (const Run& r : runs_)
    cursors_.push_back(std::make_unique<RunCursor>(file_->fd, r));
  for (auto& c : cursors_) {
    if (c->advance())
      heap_.push_back(c.get());
    else if (c->failed())
      return fail("reading a temporary file failed");
  }
  std::make_heap(heap_.begin(), heap_.end(),
                 [](RunCursor* a, RunCursor* b) { return less(b->record(), a->record()); });
  return true;
}

bool RecordSorter::next(std::string_view* record) {
  // heap_ is a heap with the cursor of the smallest record in front.
  auto later = [](RunCursor* a, RunCursor* b) { return less(b->record(), a->record()); };
  for (;;) {
    std::string_view candidate;
    if (runs_.empty()) {
      if (memoryIndex_ >= refs_.size()) return false;
      uint64_t ref = refs_[memoryIndex_++];
      candidate = std::string_view(arena_.data() + (ref >> 24), ref & 0xFFFFFF);
      if (haveLast_ && candidate == last_) continue;
      last_.assign(candidate);
    } else {
      if (heap_.empty()) return false;
      std::pop_heap(heap_.begin(), heap_.end(), later);
      RunCursor* c = heap_.back();
      const bool duplicate = haveLast_ && c->record() == last_;
      if (!duplicate) last_.assign(c->record());
      if (c->advance()) {
        std::push_heap(heap_.begin(), heap_.end(), later);
      } else {
        heap_.pop_back();
        if (c->failed()) return fail("reading a temporary file failed");
      }
      if (duplicate) continue;
    }
    haveLast_ = true;
    *record = last_;
    return true;
  }
}

}  // namespace thestool
