// What the compile and check tools do with the engine's console output while it runs: warnings
// pass through or are counted (-q), and on a terminal the progress lines become one status line
// rewritten in place ("thesaurus-compile: cars.def: reading the definition 45% 0:12").
//
// Use: construct, start(), call the engine, finish(); finish() prints the summary of counted
// warnings. One engine call at a time; the listener runs on the capture's thread.
#ifndef TOOLS_ENGINE_CONSOLE_H
#define TOOLS_ENGINE_CONSOLE_H

#include <sys/types.h>

#include <chrono>
#include <string>

#include "console_capture.h"

namespace thestool {

class EngineConsole : private ConsoleCapture::Listener {
 public:
  // tool and subject start the status line; quiet counts warnings instead of printing them;
  // progress shows the status line. watchedFile, when not empty, is a file the engine reads
  // from start to end (the definition file), whose read position gives a percentage.
  EngineConsole(const char* tool, std::string subject, bool quiet, bool progress,
                const std::string& watchedFile = "");
  // Starts capturing when there is anything to do (quiet or progress); false when nothing is
  // captured (the engine then prints as it always does).
  bool start();
  // Stops capturing, clears the status line and prints the warning summary of -q.
  void finish();

 private:
  void onOutput(std::string_view line) override;
  void onError(std::string_view line) override;
  void onTick() override;
  void update();
  int watchedPercent();

  ConsoleCapture capture_;
  ProgressLine line_{capture_};
  WarningCounter warnings_;
  const char* tool_;
  std::string subject_;
  bool quiet_;
  bool progress_;
  std::string stage_;
  int percent_ = -1;
  bool watching_ = false;  // the stage that reads the watched file
  dev_t watchedDev_ = 0;
  ino_t watchedIno_ = 0;
  off_t watchedSize_ = 0;
  int watchedFd_ = -1;
  std::chrono::steady_clock::time_point started_;
};

// True when standard error is a terminal (where a status line may be drawn).
bool standardErrorIsTerminal();

}  // namespace thestool

#endif  // TOOLS_ENGINE_CONSOLE_H
