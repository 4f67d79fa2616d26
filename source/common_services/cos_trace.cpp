// Trace instance and the dump of text blocks; off while no instance is installed.
#include "common_services/cos_trace.h"

#include <cinttypes>
#include <cstdint>
#include <cstring>

CosClTraceInstance* gs_pclCosTraceInstance = nullptr;

namespace {

// An integer of 1, 2, 4 or 8 bytes in host order, widened without sign.
uint64_t readUnsigned(const void* value, std::size_t size) {
  switch (size) {
    case 1: {
      uint8_t v;
      std::memcpy(&v, value, 1);
      return v;
    }
    case 2: {
      uint16_t v;
      std::memcpy(&v, value, 2);
      return v;
    }
    case 4: {
      uint32_t v;
      std::memcpy(&v, value, 4);
      return v;
    }
    default: {
      uint64_t v;
      std::memcpy(&v, value, 8);
      return v;
    }
  }
}

}  // namespace

CosClTraceInstance::CosClTraceInstance(std::FILE* sink)
    : iv_pSink(sink), iv_pfuData(&CosClTraceInstance::writeData), iv_pvDataContext(this) {}

CosClTraceInstance::~CosClTraceInstance() = default;

void CosClTraceInstance::dumpFunction(unsigned int detail, unsigned int id, unsigned int type,
                                      const char* function) {
  if (iv_pSink == nullptr) return;
  std::fprintf(iv_pSink, "trace %u/%u %s %s\n", detail, id,
               type == COS_TRACE_ENTRY ? "entry" : (type == COS_TRACE_EXIT ? "exit" : "event"),
               function ? function : "");
  std::fflush(iv_pSink);
}

void CosClTraceInstance::setDataFunction(DataFunction function, void* context) {
  iv_pfuData = function;
  iv_pvDataContext = context;
}

void CosClTraceInstance::dumpData(unsigned int detail, unsigned int id, unsigned int type,
                                  const char* function, const char* item, const void* value,
                                  std::size_t size) const {
  if (iv_pfuData != nullptr)
    iv_pfuData(iv_pvDataContext, detail, id, type, function, item, value, size);
}

// Writes one line "trace detail/id function item = value". Integers are read with the size
// given (1, 2, 4 or 8 bytes); other sizes print as a byte count.
void CosClTraceInstance::writeData(void* context, unsigned int detail, unsigned int id,
                                   unsigned int type, const char* function, const char* item,
                                   const void* value, std::size_t size) {
  auto* self = static_cast<CosClTraceInstance*>(context);
  if (self == nullptr || self->iv_pSink == nullptr) return;
  std::FILE* out = self->iv_pSink;
  std::fprintf(out, "trace %u/%u %s %s = ", detail, id, function ? function : "", item ? item : "");
  if (value == nullptr) {
    std::fputs("(null)", out);
  } else if (type == COS_TRACE_STRING) {
    std::fprintf(out, "'%.*s'", static_cast<int>(size), static_cast<const char*>(value));
  } else if (type == COS_TRACE_POINTER && size == sizeof(void*)) {
    void* pointer;
    std::memcpy(&pointer, value, sizeof pointer);
    std::fprintf(out, "%p", pointer);
  } else if ((type == COS_TRACE_SIGNED || type == COS_TRACE_UNSIGNED) &&
             (size == 1 || size == 2 || size == 4 || size == 8)) {
    uint64_t raw = readUnsigned(value, size);
    if (type == COS_TRACE_SIGNED) {
      int shift = static_cast<int>(64 - 8 * size);
      int64_t signedValue = static_cast<int64_t>(raw << shift) >> shift;
      std::fprintf(out, "%" PRId64, signedValue);
    } else {
      std::fprintf(out, "%" PRIu64, raw);
    }
  } else {
    std::fprintf(out, "(%zu bytes)", size);
  }
  std::fputc('\n', out);
  std::fflush(out);
}

THES_EXPORT void cosTraceDump(unsigned int detail, unsigned int id, unsigned int type,
                              const char* origin, const char* item, const char* text,
                              std::size_t length) {
  CosClTraceInstance* instance = gs_pclCosTraceInstance;
  if (instance == nullptr) return;
  instance->dumpData(detail, id, type, origin, item, text, length);
}
