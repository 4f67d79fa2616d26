// Capture of the engine's console output while a tool calls it, so that the tool can count
// warnings instead of printing them (-q) and turn the engine's progress lines into one status
// line that is rewritten in place on a terminal.
//
// The engine prints progress on standard output and warnings on standard error (through stdio,
// on file descriptors 1 and 2). During a capture both descriptors are pipes read by one
// thread of the capture, which hands every line to the Listener, in order, from that thread.
// The listener writes to the real standard error through writeError(). After stop() the
// listener is no longer called and the descriptors are what they were.
#ifndef TOOLS_CONSOLE_CAPTURE_H
#define TOOLS_CONSOLE_CAPTURE_H

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <thread>

namespace thestool {

class ConsoleCapture {
 public:
  class Listener {
   public:
    virtual ~Listener() = default;
    // A line of standard output, without its end ('\n' or '\r').
    virtual void onOutput(std::string_view line) = 0;
    // A line of standard error, without its end.
    virtual void onError(std::string_view line) = 0;
    // Called about every 100 ms while nothing arrives, and after each batch of lines.
    virtual void onTick() {}
  };

  ConsoleCapture() = default;
  ~ConsoleCapture() { stop(); }
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  // Redirects standard output and standard error to the listener. False (nothing redirected)
  // when a pipe or the thread cannot be made.
  bool start(Listener* listener);
  // Hands the rest of the output to the listener and restores both descriptors.
  void stop();
  // Writes text to the real standard error (also while not capturing).
  void writeError(std::string_view text) const;

 private:
  void run(int outFd, int errFd);

  Listener* listener_ = nullptr;
  int savedOut_ = -1;
  int savedErr_ = -1;
  std::thread thread_;
};

// One status line on a terminal, rewritten at most four times a second.
class ProgressLine {
 public:
  explicit ProgressLine(const ConsoleCapture& console) : console_(console) {}
  // The text to show from now on (shown at the next draw).
  void set(const std::string& text);
  // Draws the line when it changed and the last draw is at least 250 ms ago.
  void draw();
  // Removes the line from the terminal, e.g. before a warning or at the end.
  void clear();
  // The number of times the line was drawn.
  unsigned draws() const { return draws_; }

 private:
  const ConsoleCapture& console_;
  std::string text_;
  std::string shown_;
  bool visible_ = false;
  unsigned draws_ = 0;
  std::chrono::steady_clock::time_point last_{};
};

// Counts the engine's warnings (zolC701W to zolC706W) by id for the summary of -q.
class WarningCounter {
 public:
  // Counts line when it is a warning; returns false for any other line.
  bool count(std::string_view line);
  bool empty() const { return counts_.empty(); }
  // One line per warning id: "<tool>: zolC705W 3 times: <what it means>".
  std::string summary(const char* tool) const;

 private:
  std::map<std::string, uint64_t> counts_;
};

}  // namespace thestool

#endif  // TOOLS_CONSOLE_CAPTURE_H
