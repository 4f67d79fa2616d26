#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common_services/cos_codepage.h"
#include "common_services/cos_memmgr.h"
#include "common_services/cos_timing.h"
#include "common_services/cos_trace.h"
#include "support/temp_dir.h"

namespace {

void* failingAllocator(std::size_t) {
  return nullptr;
}

TEST(CosMemoryManager, ReallocKeepsContentsAndFailureAborts) {
  auto* block = static_cast<char*>(CosClMemoryManager::allocate(4));
  std::memcpy(block, "abc", 4);
  block = static_cast<char*>(CosClMemoryManager::realloc(block, 100000));
  EXPECT_STREQ(block, "abc");
  CosClMemoryManager::free(block);
  CosClMemoryManager::free(nullptr);

  EXPECT_DEATH(
      {
        CosClMemoryManager::cv_pfuAllocatorCallback = &failingAllocator;
        CosClMemoryManager::allocate(77);
      },
      "77 bytes.*cos_memmgr:359, line 359");
  EXPECT_DEATH(CosClMemoryManager::outOfMemory("x/y:5", 5, 12), "12 bytes.*x/y:5, line 5");
  EXPECT_EQ(CosClMemoryManager::cv_pfuAllocatorCallback, &CosClMemoryManager::defaultAllocator);
}

TEST(CosConverter, DecodesUtf8AndRejectsMalformedSequences) {
  EXPECT_EQ(CosClConverterABase::convertUtf8CharToUtf32("A"), 0x41u);
  EXPECT_EQ(CosClConverterABase::convertUtf8CharToUtf32("\xC3\xA4"), 0xE4u);
  EXPECT_EQ(CosClConverterABase::convertUtf8CharToUtf32("\xE0\xB8\x81"), 0x0E01u);
  EXPECT_EQ(CosClConverterABase::convertUtf8CharToUtf32("\xF0\x9F\x98\x80"), 0x1F600u);
  EXPECT_EQ(CosClConverterABase::convertUtf8CharToUtf32("\xC3"), 0xFFFDu);      // stops at the zero
  EXPECT_EQ(CosClConverterABase::convertUtf8CharToUtf32("\xC0\x80"), 0xFFFDu);  // overlong
  EXPECT_EQ(CosClConverterABase::convertUtf8CharToUtf32("\xED\xA0\x80"), 0xFFFDu);  // surrogate
  EXPECT_EQ(CosClConverterABase::convertUtf8CharToUtf32("\x80"), 0xFFFDu);
}

TEST(CosTiming, InitStoppedMeasuresNothing) {
  CosClTiming timing;
  timing.start();
  timing.stop();
  timing.init(false);
  EXPECT_FALSE(timing.isRunning());
  EXPECT_EQ(timing.getElapsedMicroseconds(), 0u);
  timing.init(true);
  EXPECT_TRUE(timing.isRunning());
}

struct Recorder : CosClTraceInstance {
  Recorder() { setDataFunction(&Recorder::record, this); }
  static void record(void* context, unsigned detail, unsigned id, unsigned type,
                     const char* function, const char* item, const void* value, size_t size) {
    static_cast<Recorder*>(context)->events.push_back(
        std::to_string(detail) + "/" + std::to_string(id) + " " + std::to_string(type) + " " +
        function + " " + item + " " + std::string(static_cast<const char*>(value), size));
  }
  std::vector<std::string> events;
};

TEST(CosTrace, DumpReachesOnlyAnInstalledInstance) {
  ASSERT_EQ(gs_pclCosTraceInstance, nullptr);
  cosTraceDump(1, 2, COS_TRACE_STRING, "o:1", "Item", "text", 4);  // off: nothing happens
  Recorder recorder;
  gs_pclCosTraceInstance = &recorder;
  cosTraceDump(1, 2, COS_TRACE_STRING, "o:1", "Item", "text and more", 4);
  gs_pclCosTraceInstance = nullptr;
  EXPECT_EQ(recorder.events, std::vector<std::string>{"1/2 8 o:1 Item text"});

  // The base instance writes text lines to its sink.
  testsupport::TempDir dir;
  std::string path = dir.file("trace.txt");
  FILE* sink = fopen(path.c_str(), "w");
  ASSERT_NE(sink, nullptr);
  {
    CosClTraceInstance writer(sink);
    uint32_t number = 4711;
    int32_t negative = -3;
    writer.dumpFunction(1, 2, COS_TRACE_ENTRY, "f:9");
    writer.dumpData(1, 2, COS_TRACE_UNSIGNED, "f:9", "n", &number, sizeof number);
    writer.dumpData(1, 2, COS_TRACE_SIGNED, "f:9", "s", &negative, sizeof negative);
    writer.dumpData(1, 2, COS_TRACE_STRING, "f:9", "t", "abcdef", 3);
  }
  fclose(sink);
  EXPECT_EQ(testsupport::readFile(path),
            "trace 1/2 entry f:9\ntrace 1/2 f:9 n = 4711\ntrace 1/2 f:9 s = -3\n"
            "trace 1/2 f:9 t = 'abc'\n");
}

}  // namespace
