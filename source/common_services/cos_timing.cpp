// Stop-watch on the monotonic clock.
#include "common_services/cos_timing.h"

#include <chrono>

namespace {

int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

CosClTiming::CosClTiming() : iv_llStartNs(0), iv_ullTotalNs(0), iv_bRunning(false) {}

void CosClTiming::init(bool start) {
  iv_ullTotalNs = 0;
  iv_bRunning = false;
  if (start) this->start();
}

void CosClTiming::start() {
  if (iv_bRunning) return;
  iv_llStartNs = nowNs();
  iv_bRunning = true;
}

void CosClTiming::stop() {
  if (!iv_bRunning) return;
  int64_t interval = nowNs() - iv_llStartNs;
  if (interval > 0) iv_ullTotalNs += static_cast<uint64_t>(interval);
  iv_bRunning = false;
}

uint64_t CosClTiming::getElapsedMicroseconds() const {
  uint64_t total = iv_ullTotalNs;
  if (iv_bRunning) {
    int64_t interval = nowNs() - iv_llStartNs;
    if (interval > 0) total += static_cast<uint64_t>(interval);
  }
  return total / 1000;
}
