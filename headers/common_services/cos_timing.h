/* Common services: a stop-watch on the monotonic clock.
 *
 * A timer adds up the time between start and stop; init resets it and, when asked, starts it.
 * Threads: a timer is used by one thread at a time.
 */
#ifndef COMMON_SERVICES_COS_TIMING_H
#define COMMON_SERVICES_COS_TIMING_H

#include <cstdint>

#include "thesaurus_export.h"

class THES_EXPORT CosClTiming {
 public:
  CosClTiming();  // stopped, nothing measured
  // Clears the measured time; starts the timer when start is true, else leaves it stopped.
  void init(bool start);
  void start();  // does nothing when running
  void stop();   // adds the running interval; does nothing when stopped
  bool isRunning() const { return iv_bRunning; }
  // Time measured so far, including a running interval.
  uint64_t getElapsedMicroseconds() const;

 private:
  int64_t iv_llStartNs; /* monotonic time of the last start */
  uint64_t iv_ullTotalNs;
  bool iv_bRunning;
};

#endif /* COMMON_SERVICES_COS_TIMING_H */
