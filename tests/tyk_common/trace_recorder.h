// A trace instance that records every event as one text line, installed for its lifetime.
#ifndef TESTS_TYK_COMMON_TRACE_RECORDER_H
#define TESTS_TYK_COMMON_TRACE_RECORDER_H

#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common_services/cos_trace.h"

class TraceRecorder : public CosClTraceInstance {
 public:
  TraceRecorder() {
    setDataFunction(&TraceRecorder::record, this);
    gs_pclCosTraceInstance = this;
  }
  ~TraceRecorder() override { gs_pclCosTraceInstance = nullptr; }

  void dumpFunction(unsigned detail, unsigned id, unsigned type, const char* function) override {
    events.push_back(std::to_string(detail) + "/" + std::to_string(id) + " " +
                     (type == COS_TRACE_ENTRY ? "entry " : "exit ") + function);
  }

  // Strings are kept as text, unsigned values as numbers, pointers as "pointer".
  static void record(void* context, unsigned detail, unsigned id, unsigned type,
                     const char* function, const char* item, const void* value, size_t size) {
    std::string text;
    if (type == COS_TRACE_STRING) {
      text = std::string(static_cast<const char*>(value), size);
    } else if (type == COS_TRACE_UNSIGNED && size == 4) {
      uint32_t number;
      std::memcpy(&number, value, 4);
      text = std::to_string(number);
    } else {
      text = "pointer";
    }
    static_cast<TraceRecorder*>(context)->events.push_back(
        std::to_string(detail) + "/" + std::to_string(id) + " " + std::to_string(type) + " " +
        function + " " + item + "=" + text);
  }

  std::vector<std::string> events;
};

#endif  // TESTS_TYK_COMMON_TRACE_RECORDER_H
