// Capture of the engine's console output (see console_capture.h).
#include "console_capture.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace thestool {

namespace {

void writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace

bool ConsoleCapture::start(Listener* listener) {
  if (thread_.joinable()) return false;
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) return false;
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return false;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  savedOut_ = ::fcntl(1, F_DUPFD_CLOEXEC, 3);
  savedErr_ = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
  listener_ = listener;
  try {
    thread_ = std::thread(&ConsoleCapture::run, this, outPipe[0], errPipe[0]);
  } catch (const std::exception&) {
    for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1], savedOut_, savedErr_})
      ::close(fd);
    savedOut_ = savedErr_ = -1;
    return false;
  }
  ::dup2(outPipe[1], 1);
  ::dup2(errPipe[1], 2);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  return true;
}

void ConsoleCapture::stop() {
  if (!thread_.joinable()) return;
  std::fflush(stdout);
  std::fflush(stderr);
  // Putting the saved descriptors back closes the pipes' write ends: the thread reads to the
  // end and finishes.
  ::dup2(savedOut_, 1);
  ::dup2(savedErr_, 2);
  thread_.join();
  ::close(savedOut_);
  ::close(savedErr_);
  savedOut_ = savedErr_ = -1;
}

void ConsoleCapture::writeError(std::string_view text) const {
  writeAll(savedErr_ >= 0 ? savedErr_ : 2, text);
}

void ConsoleCapture::run(int outFd, int errFd) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string pending[2];
  int open = 2;
  char buf[4096];
  while (open > 0) {
    int ready = ::poll(fds, 2, 100);
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < 2 && ready > 0; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n > 0) {
        pending[i].append(buf, static_cast<std::size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        pending[i] += '\n';  // a last line without its end
      }
      // Hand over every complete line; a progress counter ends with '\r'.
      std::string::size_type start = 0, end;
      while ((end = pending[i].find_first_of("\r\n", start)) != std::string::npos) {
        std::string_view line(pending[i].data() + start, end - start);
        if (!(fds[i].fd < 0 && line.empty() && end + 1 == pending[i].size())) {
          if (i == 0)
            listener_->onOutput(line);
          else
            listener_->onError(line);
        }
        start = end + 1;
      }
      pending[i].erase(0, start);
    }
    listener_->onTick();
  }
  for (pollfd& p : fds) {
    if (p.fd >= 0) ::close(p.fd);
  }
}

void ProgressLine::set(const std::string& text) {
  text_ = text;
}

void ProgressLine::draw() {
  auto now = std::chrono::steady_clock::now();
  if (text_ == shown_ && visible_) return;
  // Also after a clear (for a warning) the line waits for its turn.
  if (draws_ > 0 && now - last_ < std::chrono::milliseconds(250)) return;
  console_.writeError("\r" + text_ + "\x1b[K");
  shown_ = text_;
  visible_ = true;
  last_ = now;
  ++draws_;
}

void ProgressLine::clear() {
  if (!visible_) return;
  console_.writeError("\r\x1b[K");
  visible_ = false;
  shown_.clear();
}

bool WarningCounter::count(std::string_view line) {
  std::string_view::size_type at = line.find("zolC");
  if (at == std::string_view::npos || at + 8 > line.size() || line[at + 7] != 'W') return false;
  for (std::size_t k = at + 4; k < at + 7; ++k) {
    if (line[k] < '0' || line[k] > '9') return false;
  }
  ++counts_[std::string(line.substr(at, 8))];
  return true;
}

std::string WarningCounter::summary(const char* tool) const {
  static const std::map<std::string, const char*> kMeaning = {
      {"zolC701W", "a line longer than 254 characters, truncated"},
      {"zolC702W", "a block without members, dropped"},
      {"zolC703W", "a block without a relation, dropped"},
      {"zolC704W", "a block equivalent to an earlier block, dropped"},
      {"zolC705W", "a word repeated within a block, the earlier line dropped"},
      {"zolC706W", "a word both broader and narrower than another word"},
  };
  std::string out;
  for (const auto& [id, n] : counts_) {
    auto it = kMeaning.find(id);
    out += std::string(tool) + ": " + id + " " + std::to_string(n) + (n == 1 ? " time" : " times") +
           (it == kMeaning.end() ? "" : std::string(": ") + it->second) + "\n";
  }
  return out;
}

}  // namespace thestool
