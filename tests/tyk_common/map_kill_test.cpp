// A process that adds names in transactions, killed with SIGKILL at random moments again and
// again: afterwards the map file is always the last committed one or the one being committed,
// whole, and it loads; the next process continues from it.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "support/map_file_codec.h"
#include "support/temp_dir.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_indexfile_mgr.h"
#include "tyk_common/tyk_map_names.h"

using testsupport::decodeMapFile;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

constexpr int kNamesPerRound = 20;
constexpr int kKills = 150;
constexpr int kRoundLimit = 150;  // start again with an empty index beyond this many rounds

std::string nameOf(int round, int i) {
  std::string name = testsupport::numbered("r", round);
  name += '_';
  name += std::to_string(i);
  name += '\0';
  return name;
}

// The child: continues the index in rounds of kNamesPerRound names, each round a committed
// transaction whose number is reported through `report` once the commit returned.
[[noreturn]] void addRounds(const char* dir, int report) {
  try {
    TykClErrorInfo info;
    const TykClIndexLocation location("idx", dir, dir);
    TykClFieldNameMap map(location, info);
    map.init();
    TykClIndexFileMgr manager;
    manager.registerForNotify(map);
    manager.notifyInit();
    for (int round = static_cast<int>(map.getNextNumber() - 2) / kNamesPerRound + 1;; ++round) {
      manager.notifyStartTransaction();
      for (int i = 0; i < kNamesPerRound; ++i) {
        uint16_t number = 0;
        bool isNew = false;
        map.assignFieldNameToNumber(nameOf(round, i).c_str(), number, isNew);
      }
      manager.notifyEndTransaction();
      manager.notifyCommitTransaction();
      if (::write(report, &round, sizeof round) != sizeof round) _exit(3);
    }
  } catch (...) {
    _exit(2);
  }
}

// The number of whole rounds the map file holds, or -1 when it is not exactly rounds 1 to R.
int roundsInFile(const std::string& path) {
  const auto records = decodeMapFile(readFile(path));
  if (!records || records->empty() || (records->size() - 1) % kNamesPerRound != 0) return -1;
  const int rounds = static_cast<int>(records->size() - 1) / kNamesPerRound;
  for (int r = 1; r <= rounds; ++r) {
    for (int i = 0; i < kNamesPerRound; ++i) {
      if ((*records)[(r - 1) * kNamesPerRound + i + 1].name != nameOf(r, i)) return -1;
    }
  }
  return rounds;
}

TEST(TykMapKill, MapFileIsTheLastCommittedOrTheNewOneAfterEveryKill) {
  TempDir dir;
  const std::string mapFile = dir.file("idx.tf");
  std::mt19937 random(7);
  std::uniform_int_distribution<int> delayMicroseconds(0, 4000);
  int committed = 0;  // rounds in the map file before the child started
  int newOnes = 0;    // kills after a commit's rename and before its report
  for (int kill = 0; kill < kKills; ++kill) {
    int report[2];
    ASSERT_EQ(::pipe2(report, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) addRounds(dir.c_str(), report[1]);
    ::close(report[1]);
    std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself with " << WEXITSTATUS(status);
    int reported = committed, value = 0;
    while (::read(report[0], &value, sizeof value) == sizeof value)
      reported = value;
    ::close(report[0]);

    // The map file holds whole rounds: the last reported one, or the next one when the kill
    // came between the rename and the report.
    const int rounds = testsupport::fileExists(mapFile) ? roundsInFile(mapFile) : 0;
    ASSERT_TRUE(rounds == reported || rounds == reported + 1)
        << "kill " << kill << ": file holds " << rounds << " rounds, " << reported << " reported";
    newOnes += rounds == reported + 1;
    // And the map loads.
    TykClErrorInfo info;
    const TykClIndexLocation location("idx", dir.c_str(), dir.c_str());
    TykClFieldNameMap map(location, info);
    map.init();
    ASSERT_NO_THROW(map.onIndexFileInit()) << "kill " << kill;
    ASSERT_EQ(map.getNextNumber(), static_cast<uint32_t>(rounds * kNamesPerRound + 2));
    committed = rounds;
    if (committed > kRoundLimit) {
      map.onIndexFileDestroy();
      committed = 0;
    }
  }
  std::printf("%d kills, %d of them between a commit's rename and its report\n", kKills, newOnes);
}

}  // namespace
