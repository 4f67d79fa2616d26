// Console output of the engine: time-stamped progress lines and percentage counters on
// standard output, warnings on standard error, each switched by the CNETEXEC flags.
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "cnet_console.h"
#include "cnet_os.h"
#include "thesaurus_engine/cnet.h"

bool cnetProgressOn(const CNETEXEC* exec) {
  return exec == nullptr || (exec->flags & CNET_EXEC_PROGRESS) != 0;
}

void cnetProgressPrintf(const CNETEXEC* exec, const char* format, ...) {
  if (!cnetProgressOn(exec)) return;
  va_list ap;
  va_start(ap, format);
  std::vfprintf(stdout, format, ap);
  va_end(ap);
  std::fflush(stdout);
}

CnetProgressCounter::CnetProgressCounter(const CNETEXEC* exec, uint64_t total)
    : exec_(exec), total_(total) {
  constexpr uint64_t kLimit = 0x7FFFFFFF / 100;
  while ((total_ >> shift_) > kLimit)
    ++shift_;
}

void CnetProgressCounter::show(uint64_t done) const {
  cnetProgress(exec_, static_cast<uint32_t>(done >> shift_),
               static_cast<int32_t>(total_ >> shift_));
}

namespace {

bool warningsOn(const CNETEXEC* exec) {
  return exec == nullptr || (exec->flags & CNET_EXEC_WARNINGS) != 0;
}

// Writes "name: " (when name is not empty) and the formatted text to out, then flushes it.
void printNamed(FILE* out, const char* name, const char* format, va_list ap) THES_PRINTF(3, 0);
void printNamed(FILE* out, const char* name, const char* format, va_list ap) {
  if (name != nullptr && name[0] != '\0') std::fprintf(out, "%s: ", name);
  std::vfprintf(out, format, ap);
  std::fflush(out);
}

}  // namespace

THES_EXPORT void cnetTimef(const CNETEXEC* exec, const char* name, const char* format, ...) {
  if (!cnetProgressOn(exec)) return;
  struct tm local = {};
  char stamp[128] = "";
  if (cnetOs()->localTime(cnetOs()->now(), &local) == 0) {
    std::strftime(stamp, sizeof stamp, "%a %b %d %X %Y: ", &local);
  }
  std::fputs(stamp, stdout);
  va_list ap;
  va_start(ap, format);
  printNamed(stdout, name, format, ap);
  va_end(ap);
}

THES_EXPORT void cnetProgress(const CNETEXEC* exec, uint32_t done, int32_t total) {
  if (!cnetProgressOn(exec) || total == 0) return;
  // 32-bit signed arithmetic, wrapping as the counters always have.
  int32_t scaled = static_cast<int32_t>(done * 100u);
  long percent = (total == -1) ? -static_cast<long>(scaled) : static_cast<long>(scaled / total);
  std::fprintf(stdout, "          %ld%%\r", percent);
  std::fflush(stdout);
}

THES_EXPORT void cnetWarnf(const CNETEXEC* exec, const char* name, const char* format, ...) {
  if (!warningsOn(exec)) return;
  va_list ap;
  va_start(ap, format);
  printNamed(stderr, name, format, ap);
  va_end(ap);
}
