// Tests of Thai word processing: real sentences come out as words separated by one blank, and
// the output capacity and unconsumed count follow the normalizers' contract.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "indexing_engine/zol_thai.h"

namespace {

struct Iterator {
  void* handle = tykThaiCreateBreakIterator();
  ~Iterator() { tykThaiDestroyBreakIterator(handle); }
};

struct Call {
  std::u16string out;
  unsigned int unconsumed;
};

// One call with the given capacity; nothing may be written beyond it.
Call process(void* handle, const std::u16string& in, unsigned int capacity) {
  std::vector<uint16_t> buf(capacity + 8, 0xBEEF);
  unsigned int count = static_cast<unsigned int>(in.size());
  const unsigned int n = tykThaiProcessing(
      buf.data(), capacity, reinterpret_cast<const uint16_t*>(in.data()), &count, handle);
  EXPECT_LE(n, capacity);
  for (size_t i = capacity; i < buf.size(); ++i)
    EXPECT_EQ(buf[i], 0xBEEF) << "unit " << i;
  return {std::u16string(buf.begin(), buf.begin() + n), count};
}

TEST(ThaiProcessing, WritesTheWordsOfRealSentencesSeparatedByOneBlank) {
  Iterator it;
  ASSERT_NE(it.handle, nullptr);
  const struct {
    std::u16string in, out;
  } cases[] = {
      // "I love the Thai language."
      {u"ฉันรักภาษาไทย", u"ฉัน รัก ภาษา ไทย"},
      // White space runs are dropped; numbers and punctuation are words of their own.
      {u"  ฉันรักภาษาไทย \t และภาษาอังกฤษ 2024.  ", u"ฉัน รัก ภาษา ไทย และ ภาษา อังกฤษ 2024 ."},
      {u"   ", u""},
  };
  for (const auto& c : cases) {
    Call r = process(it.handle, c.in, 200);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.unconsumed, 0u);
  }
}

TEST(ThaiProcessing, ResumedCallsJoinUpToTheOneCallOutput) {
  Iterator it;
  const std::u16string in = u"แมวกินปลา เขาไปโรงเรียนทุกวัน";
  const std::u16string whole = process(it.handle, in, 200).out;
  ASSERT_EQ(whole, u"แมว กิน ปลา เขา ไป โรงเรียน ทุก วัน");
  // A word that does not fit (with its blank when another word follows) is left unconsumed.
  Call first = process(it.handle, in, 4);
  EXPECT_EQ(first.out, u"แมว ");
  EXPECT_EQ(first.unconsumed, in.size() - 3);
  EXPECT_EQ(process(it.handle, in, 3).unconsumed, in.size());
  // From the longest word's length on, every capacity gets through the sentence.
  for (unsigned int capacity = 9; capacity <= whole.size(); ++capacity) {
    std::u16string joined;
    std::u16string rest = in;
    while (!rest.empty()) {
      Call r = process(it.handle, rest, capacity);
      ASSERT_LT(r.unconsumed, rest.size()) << "capacity " << capacity;
      joined += r.out;
      rest = rest.substr(rest.size() - r.unconsumed);
    }
    EXPECT_EQ(joined, whole) << "capacity " << capacity;
  }
}

TEST(ThaiProcessing, MissingArgumentsWriteNothingAndConsumeNothing) {
  Iterator it;
  const uint16_t in[] = {0x0E01};
  uint16_t out[4];
  unsigned int count = 1;
  EXPECT_EQ(tykThaiProcessing(out, 4, in, &count, nullptr), 0u);
  EXPECT_EQ(tykThaiProcessing(nullptr, 4, in, &count, it.handle), 0u);
  EXPECT_EQ(tykThaiProcessing(out, 0, in, &count, it.handle), 0u);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(tykThaiProcessing(out, 4, in, nullptr, it.handle), 0u);
  tykThaiDestroyBreakIterator(nullptr);
}

}  // namespace
