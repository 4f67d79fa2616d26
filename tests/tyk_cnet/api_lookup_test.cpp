// Lookups through the flat API against zolCNETrefer with the same settings on a synthetic
// dictionary: the same entries in the same order, top terms likewise, truncation, iterators
// that outlive their lists, and many lookups (good and failing) without a leak.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/dict_model.h"
#include "support/synthetic_definition.h"
#include "support/temp_dir.h"
#include "tyk_cnet/tyk_api_thes.h"
#include "tyk_common/tyk_error_info.h"

namespace {

using testsupport::TempDir;

// One entry as the caller sees it.
struct Entry {
  std::string text;
  uint32_t depth;
  uint8_t strength;
  uint32_t type;
  uint32_t number;
  bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& e) {
  return out << e.text << " " << e.depth << " " << int{e.strength} << " " << e.type << "."
             << e.number;
}

struct Answer {
  std::vector<Entry> entries;
  bool complete = true;
  uint32_t retcode = 0;
};

// What the engine answers directly.
Answer engine(const std::string& dir, const std::string* word, const CNETCOND& condition) {
  std::vector<CNETRESENT> buffer(condition.maxTerms + 1);
  CNETRESULT result{buffer.data(), 0};
  CNETTERM term{};
  term.weight = 100;
  if (word != nullptr) {
    std::memcpy(term.text, word->data(), word->size());
    term.length = static_cast<uint16_t>(word->size());
  }
  CNETSTATUS status{};
  zolCNETrefer(nullptr, "thes", dir.c_str(), word != nullptr ? &term : nullptr, &condition, 0,
               &result, &status);
  Answer answer;
  answer.retcode = status.retcode;
  answer.complete = status.termsOmitted == 0;
  for (uint32_t i = 0; i < result.count; ++i) {
    const CNETRESENT& e = buffer[i];
    answer.entries.push_back(
        {std::string(e.text, e.length), e.depth, e.strength, e.relation.type, e.relation.number});
  }
  return answer;
}

// Reads every entry of an iterator through the API, from its first position on.
std::vector<Entry> readAll(TykClListABase::Iterator* it) {
  std::vector<Entry> out;
  if (!it->setToFirst()) return out;
  while (true) {
    char text[192];
    uint32_t length = 0, type = 0;
    uint8_t strength = 0;
    short depth = 0;
    unsigned short number = 0;
    if (tykThesaurusEntryObtainData(it, text, &length, &strength, &depth, &type, &number) != 0)
      break;
    out.push_back(
        {std::string(text, length), static_cast<uint32_t>(depth), strength, type, number});
    if (!it->setToNext(1)) break;
  }
  return out;
}

// What the API answers: the lookup's entries and ObtainResultInformation.
Answer api(TykClThesaurus* handle, const std::string* word) {
  TykClThesOutputList* list = nullptr;
  Answer answer;
  const TykEnReturnCode rc = word != nullptr
                                 ? tykThesaurusLookupPerform(handle, &list, word->data(),
                                                             static_cast<unsigned>(word->size()))
                                 : tykThesaurusLookupObtainHighestTerms(handle, &list);
  answer.retcode = rc;
  if (rc != TYK_RC_OK) return answer;
  std::unique_ptr<TykClThesOutputList> owned(list);
  std::unique_ptr<TykClListABase::Iterator> it(list->getNewIterator());
  answer.entries = readAll(it.get());
  uint32_t count = 0;
  EXPECT_EQ(tykThesaurusLookupObtainResultInformation(handle, &count, &answer.complete), 0);
  EXPECT_EQ(count, answer.entries.size());
  return answer;
}

class ApiLookup : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir();
    synthetic::Options options;
    options.occurrences = 6000;
    ASSERT_NE(synthetic::writeDefinition(dir_->file("thes.def"), options), 0u);
    ASSERT_OK(testsupport::compileFile(dir_->path(), "thes", dir_->file("thes.def")));
    testsupport::DictModel model;
    ASSERT_EQ(testsupport::loadDictionary(dir_->path(), "thes", &model), "");
    words_ = new std::vector<std::string>();
    for (size_t i = 0; i < model.words.size(); i += model.words.size() / 60) {
      if ((model.words[i].flags & CNET_ABSENT) == 0) words_->push_back(model.words[i].text);
    }
  }
  static void TearDownTestSuite() {
    delete words_;
    delete dir_;
  }
  void SetUp() override {
    ASSERT_GT(words_->size(), 40u);
    ASSERT_EQ(tykHandleNewThesaurusLookup(dir_->c_str(), "thes", 1208, 100, &handle_, &context_),
              0);
  }
  void TearDown() override { EXPECT_EQ(tykHandleDeleteThesaurusLookup(&handle_), 0); }

  // Every sample word answers the same through the API and the engine.
  void compareAll(const CNETCOND& condition) {
    size_t withResults = 0;
    for (const std::string& word : *words_) {
      const Answer expected = engine(dir_->path(), &word, condition);
      ASSERT_EQ(expected.retcode, 0u) << word;
      const Answer actual = api(handle_, &word);
      ASSERT_EQ(actual.retcode, 0u) << word;
      EXPECT_EQ(actual.entries, expected.entries) << word;
      EXPECT_EQ(actual.complete, expected.complete) << word;
      if (!expected.entries.empty()) ++withResults;
    }
    // The comparison means something only when lookups find terms.
    EXPECT_GT(withResults, words_->size() / 2);
  }

  static TempDir* dir_;
  static std::vector<std::string>* words_;
  TykClErrorInfo info_;
  TykClContext context_{info_};
  TykClThesaurus* handle_ = nullptr;
};

TempDir* ApiLookup::dir_ = nullptr;
std::vector<std::string>* ApiLookup::words_ = nullptr;

TEST_F(ApiLookup, SameEntriesAsTheEngineForEachSetting) {
  CNETCOND all{};
  all.relations = 0xF0;
  all.userFamilies = 0x70;
  all.maxTerms = 100;
  all.maxDepth = 1;
  ASSERT_EQ(tykThesaurusLookupSetRelationTypes(handle_, 0xF0), 0);
  ASSERT_EQ(tykThesaurusLookupSetDepth(handle_, 1), 0);
  compareAll(all);

  all.maxDepth = 3;
  all.maxTerms = 30;
  all.minStrength = 40;
  ASSERT_EQ(tykThesaurusLookupSetDepth(handle_, 3), 0);
  ASSERT_EQ(tykThesaurusLookupSetTermLimit(handle_, 30), 0);
  ASSERT_EQ(tykThesaurusLookupSetStrength(handle_, 40), 0);
  compareAll(all);

  // Synonyms and broader terms by name, plus single numbered relations of two families.
  CNETCOND some{};
  some.relations = CNET_REL_SYNONYM | CNET_REL_HIGHER;
  some.maxTerms = 100;
  some.maxDepth = 2;
  std::vector<RELATION> numbered;
  ASSERT_EQ(tykThesaurusLookupSetRelationTypes(handle_, 0), 0);
  ASSERT_EQ(tykThesaurusLookupAddRelation(handle_, 0, TYK_THES_SYNONYM), 0);
  ASSERT_EQ(tykThesaurusLookupAddRelation(handle_, 0, TYK_THES_BROADER), 0);
  for (unsigned short n = 1; n <= 128; n += 3) {
    const unsigned family = n % 2 ? TYK_THES_RELATED : TYK_THES_NARROWER;
    ASSERT_EQ(tykThesaurusLookupAddRelation(handle_, n, family), 0);
    RELATION r{};
    r.type = n % 2 ? CNET_RELTYPE_USER_SYMMETRIC : CNET_RELTYPE_USER_LOWER;
    r.number = static_cast<uint8_t>(n);
    numbered.push_back(r);
  }
  some.userCount = static_cast<uint32_t>(numbered.size());
  some.userList = numbered.data();
  ASSERT_EQ(tykThesaurusLookupSetDepth(handle_, 2), 0);
  ASSERT_EQ(tykThesaurusLookupSetTermLimit(handle_, 100), 0);
  ASSERT_EQ(tykThesaurusLookupSetStrength(handle_, 0), 0);
  compareAll(some);
}

// Threads, each with a lookup object of its own, on this dictionary and on a second one at
// once: every answer is the one a single thread gets. The test of the caches' thread safety; the
// ThreadSanitizer build (THESAURUS_TSAN) runs it.
TEST_F(ApiLookup, LookupObjectsInThreadsAnswerAsOneThreadDoes) {
  ASSERT_OK(testsupport::compileFile(dir_->path(), "copy", dir_->file("thes.def")));
  ASSERT_EQ(tykThesaurusLookupSetRelationTypes(handle_, 0xF0), 0);
  ASSERT_EQ(tykThesaurusLookupSetDepth(handle_, 2), 0);
  std::vector<Answer> expected;
  for (const std::string& word : *words_)
    expected.push_back(api(handle_, &word));
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      TykClErrorInfo info;
      TykClContext context(info);
      TykClThesaurus* handle = nullptr;
      if (tykHandleNewThesaurusLookup(dir_->c_str(), t % 2 ? "copy" : "thes", 1208, 100, &handle,
                                      &context) != 0 ||
          tykThesaurusLookupSetRelationTypes(handle, 0xF0) != 0 ||
          tykThesaurusLookupSetDepth(handle, 2) != 0) {
        ++mismatches;
        return;
      }
      for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < words_->size(); ++i) {
          const Answer a = api(handle, &(*words_)[i]);
          if (a.retcode != 0 || a.entries != expected[i].entries) ++mismatches;
        }
      }
      tykHandleDeleteThesaurusLookup(&handle);
    });
  }
  for (std::thread& th : threads)
    th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST_F(ApiLookup, TruncatedLookupsAndTopTerms) {
  ASSERT_EQ(tykThesaurusLookupSetRelationTypes(handle_, 0xF0), 0);
  ASSERT_EQ(tykThesaurusLookupSetDepth(handle_, 4), 0);
  ASSERT_EQ(tykThesaurusLookupSetTermLimit(handle_, 3), 0);
  CNETCOND deep{};
  deep.relations = 0xF0;
  deep.userFamilies = 0x70;
  deep.maxTerms = 3;
  deep.maxDepth = 4;
  size_t truncated = 0;
  for (const std::string& word : *words_) {
    const Answer expected = engine(dir_->path(), &word, deep);
    const Answer actual = api(handle_, &word);
    EXPECT_EQ(actual.entries, expected.entries) << word;
    EXPECT_EQ(actual.complete, expected.complete) << word;
    if (!actual.complete) {
      ++truncated;
      EXPECT_EQ(actual.entries.size(), 3u) << "a truncated lookup fills the term limit";
    }
  }
  EXPECT_GT(truncated, 0u);

  // Top terms: all of them, then half of them.
  CNETCOND top{};
  top.maxTerms = 10000;
  const Answer allTop = engine(dir_->path(), nullptr, top);
  ASSERT_TRUE(allTop.complete);
  ASSERT_GT(allTop.entries.size(), 4u);
  ASSERT_EQ(tykThesaurusLookupSetTermLimit(handle_, 10000), 0);
  Answer actual = api(handle_, nullptr);
  EXPECT_EQ(actual.entries, allTop.entries);
  EXPECT_TRUE(actual.complete);
  top.maxTerms = static_cast<uint32_t>(allTop.entries.size() / 2);
  ASSERT_EQ(tykThesaurusLookupSetTermLimit(handle_, static_cast<int>(top.maxTerms)), 0);
  const Answer expected = engine(dir_->path(), nullptr, top);
  EXPECT_FALSE(expected.complete);
  actual = api(handle_, nullptr);
  EXPECT_EQ(actual.entries, expected.entries);
  EXPECT_EQ(actual.entries.size(), top.maxTerms);
  EXPECT_FALSE(actual.complete);
}

TEST_F(ApiLookup, TenThousandLookupsGoodAndFailing) {
  ASSERT_EQ(tykThesaurusLookupSetRelationTypes(handle_, 0xF0), 0);
  ASSERT_EQ(tykThesaurusLookupSetDepth(handle_, 1), 0);
  const std::string tooLong(70, 'z');
  const std::string unknown = "qqqqq unknown";
  size_t good = 0, notFound = 0, rejected = 0, entries = 0;
  for (int i = 0; i < 10000; ++i) {
    info_.resetReturnCode();
    TykClThesOutputList* list = nullptr;
    TykEnReturnCode rc;
    switch (i % 10) {
      case 7:
        rc = tykThesaurusLookupPerform(handle_, &list, unknown.data(),
                                       static_cast<unsigned>(unknown.size()));
        notFound += rc == TYK_RC_ERROR && info_.getReasonCode() == TYK_REASON_TERM_NOT_FOUND;
        break;
      case 8:
        rc = tykThesaurusLookupPerform(handle_, &list, tooLong.data(), 70);
        rejected += rc == TYK_RC_ERROR && info_.getReasonCode() == TYK_REASON_TERM_TOO_LONG;
        break;
      case 9:
        // A fresh handle now and then, created and deleted around its lookup.
        if (i % 100 == 99) {
          TykClThesaurus* other = nullptr;
          ASSERT_EQ(tykHandleNewThesaurusLookup(dir_->c_str(), "thes", 1208, 5, &other, &context_),
                    0);
          rc = tykThesaurusLookupObtainHighestTerms(other, &list);
          EXPECT_EQ(tykHandleDeleteThesaurusLookup(&other), rc);
        } else {
          rc = tykThesaurusLookupSetStrength(handle_, 101);
          rejected += rc == TYK_RC_ERROR;
          tykThesaurusLookupSetStrength(handle_, 0);
        }
        break;
      default: {
        const std::string& word = (*words_)[static_cast<size_t>(i) % words_->size()];
        rc = tykThesaurusLookupPerform(handle_, &list, word.data(),
                                       static_cast<unsigned>(word.size()));
        good += rc == TYK_RC_OK;
      }
    }
    if (list != nullptr) {
      std::unique_ptr<TykClListABase::Iterator> it(list->getNewIterator());
      // Every other list goes before its iterator.
      if (i % 2 == 0) delete list;
      entries += readAll(it.get()).size();
      if (i % 2 != 0) delete list;
    }
  }
  EXPECT_EQ(good, 7000u);
  EXPECT_EQ(notFound, 1000u);
  EXPECT_EQ(rejected, 1000u + 900u);
  EXPECT_GT(entries, 7000u);
}

}  // namespace
