// The engine's console output in the compile and check tools (see engine_console.h).
#include "engine_console.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace thestool {

namespace {

// The stages the engine announces on standard output, and how the status line names them.
struct Stage {
  const char* announcement;
  const char* shown;
  bool readsWatchedFile;
};
const Stage kStages[] = {
    {"Regist start...", "starting", false},
    {"Step1 start...", "reading the definition", true},
    {"Step2 start...", "numbering the words", false},
    {"Step3 start...", "writing the dictionary", false},
    {"Indexing start...", "indexing the words", false},
    {"Regist end", "done", false},
    {"Verify start...", "checking", false},
    {"Verify end", "done", false},
};

bool endsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The engine's own start and end lines on standard error ("<path>: Regist start...").
bool isStageLine(std::string_view line) {
  for (const Stage& s : kStages) {
    if (endsWith(line, std::string(": ") + s.announcement)) return true;
  }
  return false;
}

// The number of a counter line such as "          45%" or "          3sec", else -1.
long counterValue(std::string_view line, std::string_view unit) {
  std::size_t i = 0;
  while (i < line.size() && line[i] == ' ')
    ++i;
  std::size_t digits = i;
  while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9')
    ++digits;
  if (digits == i || line.substr(digits, unit.size()) != unit) return -1;
  return std::strtol(std::string(line.substr(i, digits - i)).c_str(), nullptr, 10);
}

}  // namespace

bool standardErrorIsTerminal() {
  return ::isatty(2) == 1;
}

EngineConsole::EngineConsole(const char* tool, std::string subject, bool quiet, bool progress,
                             const std::string& watchedFile)
    : tool_(tool), subject_(std::move(subject)), quiet_(quiet), progress_(progress) {
  struct stat st;
  if (!watchedFile.empty() && ::stat(watchedFile.c_str(), &st) == 0) {
    watchedDev_ = st.st_dev;
    watchedIno_ = st.st_ino;
    watchedSize_ = st.st_size;
  }
}

bool EngineConsole::start() {
  if (!quiet_ && !progress_) return false;
  started_ = std::chrono::steady_clock::now();
  stage_ = "starting";
  return capture_.start(this);
}

void EngineConsole::finish() {
  capture_.stop();
  line_.clear();
  if (quiet_) std::fputs(warnings_.summary(tool_).c_str(), stderr);
}

void EngineConsole::onOutput(std::string_view line) {
  if (!progress_) return;
  for (const Stage& s : kStages) {
    if (endsWith(line, s.announcement)) {
      stage_ = s.shown;
      watching_ = s.readsWatchedFile && watchedSize_ > 0;
      percent_ = -1;
      update();
      return;
    }
  }
  long v = counterValue(line, "%");
  if (v >= 0) {
    percent_ = static_cast<int>(v);
  } else if ((v = counterValue(line, "sec")) >= 0) {
    stage_ = "waiting " + std::to_string(v) + " s for readers of the dictionary";
  }
  update();
}

void EngineConsole::onError(std::string_view line) {
  if (warnings_.count(line)) {
    if (quiet_) return;
  } else if ((quiet_ || progress_) && isStageLine(line)) {
    return;  // the status line, or the quiet summary, says it already
  }
  line_.clear();
  capture_.writeError(std::string(line) + "\n");
  update();
}

void EngineConsole::onTick() {
  update();
}

void EngineConsole::update() {
  if (!progress_) return;
  if (watching_) percent_ = watchedPercent();
  long seconds = static_cast<long>(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started_)
          .count());
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, " %ld:%02ld", seconds / 60, seconds % 60);
  // Built by appending: GCC 12 at -O3 misreads a literal joined to a temporary string.
  std::string text(tool_);
  text += ": ";
  text += subject_;
  text += ": ";
  text += stage_;
  if (percent_ >= 0) {
    text += ' ';
    text += std::to_string(percent_);
    text += '%';
  }
  text += elapsed;
  line_.set(text);
  line_.draw();
}

// How far the engine has read the watched file: the read position of the descriptor this
// process holds open on it, as the kernel shows it.
int EngineConsole::watchedPercent() {
  if (watchedFd_ < 0) {
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    while (dirent* e = ::readdir(dir)) {
      struct stat st;
      std::string path = std::string("/proc/self/fd/") + e->d_name;
      if (e->d_name[0] != '.' && ::stat(path.c_str(), &st) == 0 && st.st_dev == watchedDev_ &&
          st.st_ino == watchedIno_) {
        watchedFd_ = std::atoi(e->d_name);
        break;
      }
    }
    ::closedir(dir);
    if (watchedFd_ < 0) return -1;
  }
  std::string info = "/proc/self/fdinfo/" + std::to_string(watchedFd_);
  FILE* f = std::fopen(info.c_str(), "re");
  if (f == nullptr) {
    watchedFd_ = -1;
    return -1;
  }
  long long pos = -1;
  char text[128];
  while (std::fgets(text, sizeof text, f) != nullptr) {
    if (std::strncmp(text, "pos:", 4) == 0) pos = std::atoll(text + 4);
  }
  std::fclose(f);
  if (pos < 0) return -1;
  return static_cast<int>(pos * 100 / watchedSize_ > 100 ? 100 : pos * 100 / watchedSize_);
}

}  // namespace thestool
