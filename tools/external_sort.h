// Sorting of byte records in bounded memory, for imports of files of any size: records are
// gathered in memory up to a budget, sorted and written as a run to an anonymous temporary
// file; reading merges the runs (first merging groups of runs when there are more than can be
// read at once). Records compare as byte strings (memcmp, then the shorter first); identical
// records are given once.
//
// Run file format: records back to back, each a length (LEB128, 1 to 5 bytes) followed by its
// bytes. Runs lie one after another in the sorter's file, each known by offset and size.
//
// Memory: the budget given at construction for gathering, plus kReadBuffer per run while
// merging (at most kMaxFanIn runs at once). One thread.
#ifndef TOOLS_EXTERNAL_SORT_H
#define TOOLS_EXTERNAL_SORT_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace thestool {

class RecordSorter {
 public:
  static constexpr std::size_t kReadBuffer = 64 * 1024;
  static constexpr std::size_t kMaxFanIn = 64;
  static constexpr std::size_t kMaxRecord = 1 << 20;

  // tempDirectory holds the anonymous run files; budget is the gathering memory in bytes;
  // maxFanIn (2 to kMaxFanIn) the number of runs merged at once.
  RecordSorter(std::string tempDirectory, std::size_t budget, std::size_t maxFanIn = kMaxFanIn);
  ~RecordSorter();
  RecordSorter(const RecordSorter&) = delete;
  RecordSorter& operator=(const RecordSorter&) = delete;

  // Adds a copy of record (at most kMaxRecord bytes); false when a run cannot be written.
  bool add(std::string_view record);
  // Ends the input; afterwards next() gives the records in order. False on a failed write.
  bool finish();
  // Starts reading from the first record again.
  bool rewind();
  // The next record in order (valid until the following call); false at the end or on a
  // failed read (then error() is set).
  bool next(std::string_view* record);
  // Number of records added.
  uint64_t count() const { return added_; }
  // The first failure, or empty.
  const std::string& error() const { return error_; }

 private:
  struct Run {
    uint64_t offset, size;
  };
  class RunCursor;
  struct TempFile;

  bool spill();
  bool mergeRuns(std::vector<Run> runs, TempFile* into, Run* merged);
  bool startMerge();
  bool fail(const std::string& what);

  std::string tempDirectory_;
  std::size_t budget_;
  std::size_t maxFanIn_;
  std::vector<char> arena_;
  std::vector<uint64_t> refs_;   // offset << 24 | length, into arena_
  std::size_t memoryIndex_ = 0;  // the next record of an input that never left memory
  std::unique_ptr<TempFile> file_;
  std::vector<Run> runs_;
  std::vector<std::unique_ptr<RunCursor>> cursors_;
  std::vector<RunCursor*> heap_;
  std::string last_;
  bool haveLast_ = false;
  bool finished_ = false;
  uint64_t added_ = 0;
  std::string error_;
};

}  // namespace thestool

#endif  // TOOLS_EXTERNAL_SORT_H
