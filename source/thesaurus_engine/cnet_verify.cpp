// Dictionary verification: the header's counts against the word and group records, every
// reference between words and groups against the records present, every relation and strength
// against its range, and finally the word index through the indexing engine. The first
// inconsistency is reported as CNET_INTEGRITY with the location number of the check.
#include <cstdlib>

#include "cnet_console.h"
#include "cnet_reader.h"
#include "cnet_status.h"
#include "thesaurus_engine/cnet.h"

namespace {

// Location numbers.
constexpr uint32_t kErrNames = 4200;
constexpr uint32_t kErrReserved = 4201;
constexpr uint32_t kErrNotExist = 4253;
constexpr uint32_t kErrWordBits = 4254;
constexpr uint32_t kErrGroupBits = 4255;
constexpr uint32_t kErrAbsentGroups = 4256;
constexpr uint32_t kErrAbsentWords = 4259;
constexpr uint32_t kErrGroupMembers = 4260;
constexpr uint32_t kErrGroupRels = 4261;
constexpr uint32_t kErrBlockRel = 4262;
constexpr uint32_t kErrEntryWord = 4263;
constexpr uint32_t kErrEntryStrength = 4264;
constexpr uint32_t kErrEntryRel = 4265;
constexpr uint32_t kErrWordGroups = 4266;
constexpr uint32_t kErrWordRels = 4267;
constexpr uint32_t kErrWordGroup = 4268;
constexpr uint32_t kErrRelTarget = 4269;
constexpr uint32_t kErrRel = 4270;
constexpr uint32_t kErrRelStrength = 4271;
constexpr uint32_t kErrGroupCounts = 4278;

// One bit per record id, set when the record is present (id k is bit k + 1).
class PresentSet {
 public:
  ~PresentSet() { std::free(bits_); }
  bool init(uint32_t count, uint32_t errcode, CNETSTATUS* status) {
    count_ = count;
    bits_ = static_cast<uint8_t*>(std::calloc(size_t{count} / 8 + 1, 1));
    if (bits_ == nullptr) cnetFail(status, CNET_NO_MEMORY, errcode);
    return bits_ != nullptr;
  }
  // Bit n lies in byte (n - 1) / 8 under the mask 0x80 >> ((n - 1) % 8), as in the relation
  // sets; the sets of those helpers hold 256 bits, these one per record.
  void mark(uint32_t id) { bits_[id / 8] |= static_cast<uint8_t>(0x80u >> (id % 8)); }
  // False also for ids beyond the count: damaged references never index outside the set.
  bool has(uint32_t id) const { return id < count_ && (bits_[id / 8] & (0x80u >> (id % 8))) != 0; }

 private:
  uint8_t* bits_ = nullptr;
  uint32_t count_ = 0;
};

bool strengthValid(uint8_t strength) {
  return strength >= 1 && strength <= 100;
}

class Verifier {
 public:
  Verifier(CnetReadSession& session, const CNETEXEC* exec, CNETSTATUS* status)
      : s_(session),
        head_(session.head()),
        status_(status),
        counter_(exec, 5 * uint64_t{head_.wordCount} + 4 * uint64_t{head_.groupCount}) {}

  // Runs the four record passes; false at the first failure.
  bool run() {
    if (!words_.init(head_.wordCount, kErrWordBits, status_)) return false;
    if (!groups_.init(head_.groupCount, kErrGroupBits, status_)) return false;
    return markGroups() && markWords() && checkGroups() && checkWords();
  }

  // The last progress counter: the total.
  void finish() { counter_.showTotal(); }

 private:
  void progress(uint64_t done) { counter_.show(done); }

  bool fail(uint32_t errcode, int file) {
    cnetFailFile(status_, CNET_INTEGRITY, errcode, s_.ctl()->files[file].path);
    return false;
  }

  // Marks in `present` the records 0 to count - 1 that read(id) finds present (0; 1 is absent,
  // below 0 a failure) and checks that the absent ones number `absent`. The counter advances
  // from base by `steps` per record.
  template <typename Read>
  bool markPresent(uint32_t count, uint64_t base, uint32_t steps, Read read, PresentSet& present,
                   uint32_t absent, uint32_t errcode) {
    uint32_t found = 0;
    for (uint32_t id = 0; id < count; ++id) {
      progress(base + uint64_t{steps} * id);
      const int32_t rc = read(static_cast<int32_t>(id));
      if (rc < 0) return false;
      if (rc == 1) {
        ++found;
      } else {
        present.mark(id);
      }
    }
    return found == absent || fail(errcode, 0);
  }

  // Pass 1, one step per group: marks the present groups and counts the absent ones.
  bool markGroups() {
    auto read = [this](int32_t id) {
      return cnetReadGroup(s_.ctl(), id, nullptr, nullptr, status_);
    };
    return markPresent(head_.groupCount, 0, 1, read, groups_, head_.absentGroups, kErrAbsentGroups);
  }

  // Pass 2, two steps per word: marks the present words and counts the absent ones.
  bool markWords() {
    auto read = [this](int32_t id) {
      return cnetReadWord(s_.ctl(), id, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          status_);
    };
    return markPresent(head_.wordCount, head_.groupCount, 2, read, words_, head_.absentWords,
                       kErrAbsentWords);
  }

  // Pass 3, three steps per group id: the counts, block relation and entries of each present
  // group.
  bool checkGroups() {
    const uint64_t base = uint64_t{head_.groupCount} + 2 * uint64_t{head_.wordCount};
    for (uint32_t id = 0; id < head_.groupCount; ++id) {
      progress(base + 3 * uint64_t{id});
      if (!groups_.has(id)) continue;
      CNETGROUPREC group{};
      CNETGROUPENT* entries = nullptr;
      const int32_t rc =
          cnetReadGroup(s_.ctl(), static_cast<int32_t>(id), &group, &entries, status_);
      if (rc < 0) return false;
      if (rc == 1) continue;
      if (group.memberCount > head_.maxGroupMembers) return fail(kErrGroupMembers, 0);
      if (group.relCount > head_.maxGroupRels) return fail(kErrGroupRels, 0);
      if (!cnetRelValid(&group.rel)) return fail(kErrBlockRel, 2);
      uint32_t members = 0;
      uint32_t rels = 0;
      const uint32_t count = group.memberCount + group.relCount;
      for (uint32_t i = 0; i < count; ++i) {
        const CNETGROUPENT& e = entries[i];
        if (!words_.has(e.word)) return fail(kErrEntryWord, 3);
        if (!strengthValid(e.strength)) return fail(kErrEntryStrength, 3);
        if (!cnetRelValid(&e.rel)) return fail(kErrEntryRel, 3);
        if (e.rel.category == CNET_CAT_MEMBER) {
          ++members;
        } else {
          ++rels;
        }
      }
      if (members != group.memberCount || rels != group.relCount) return fail(kErrGroupCounts, 3);
    }
    return true;
  }

  // Pass 4, three steps per word id: the counts, groups and relations of each present word,
  // each list checked from its last entry to its first.
  bool checkWords() {
    const uint64_t base = 4 * uint64_t{head_.groupCount} + 2 * uint64_t{head_.wordCount};
    for (uint32_t id = 0; id < head_.wordCount; ++id) {
      progress(base + 3 * uint64_t{id});
      if (!words_.has(id)) continue;
      uint32_t groupCount = 0;
      uint32_t* groups = nullptr;
      uint32_t relCount = 0;
      CNETRELENT* rels = nullptr;
      const int32_t rc = cnetReadWord(s_.ctl(), static_cast<int32_t>(id), &groupCount, &groups,
                                      &relCount, &rels, nullptr, nullptr, status_);
      if (rc < 0) return false;
      if (rc == 1) continue;
      if (groupCount > head_.maxWordGroups) return fail(kErrWordGroups, 0);
      if (relCount > head_.maxWordRels) return fail(kErrWordRels, 0);
      for (uint32_t i = groupCount; i-- > 0;) {
        if (!groups_.has(groups[i])) return fail(kErrWordGroup, 1);
      }
      for (uint32_t i = relCount; i-- > 0;) {
        const CNETRELENT& r = rels[i];
        if (!words_.has(r.target)) return fail(kErrRelTarget, 1);
        if (!cnetRelValid(&r.rel)) return fail(kErrRel, 1);
        if (!strengthValid(r.strength)) return fail(kErrRelStrength, 1);
      }
    }
    return true;
  }

  CnetReadSession& s_;
  const CNETHEAD& head_;
  CNETSTATUS* status_;
  PresentSet words_;
  PresentSet groups_;
  CnetProgressCounter counter_;
};

// The four record passes and, when they pass, the final counter; the bit sets are freed on
// return.
bool checkRecords(CnetReadSession& session, const CNETEXEC* exec, CNETSTATUS* status) {
  Verifier verifier(session, exec, status);
  if (!verifier.run()) return false;
  verifier.finish();
  cnetProgressPrintf(exec, "\n");
  return true;
}

}  // namespace

// A null CNETEXEC is taken as all output on, as everywhere else in the engine.
THES_EXPORT void zolCNETverify(const char* name, const char* directories, const CNETEXEC* exec,
                               int32_t reserved, int32_t reserved2, CNETSTATUS* status) {
  if (status == nullptr) return;
  cnetClearStatus(status);
  if (!cnetCorrectNames(&name, &directories)) {
    cnetFail(status, CNET_NAME_LENGTH, kErrNames);
    return;
  }
  if (reserved2 != 0 ||
      (exec != nullptr && (cnetAnyNonZero(exec->reserved, sizeof exec->reserved) ||
                           (exec->flags & ~CNET_EXEC_ALL) != 0)) ||
      reserved != 0) {
    cnetFail(status, CNET_RESERVED, kErrReserved);
    return;
  }
  cnetTimef(exec, "", "Verify start...\n");
  CnetReadSession session(exec, name, directories, status);
  if (session.exists(kErrNotExist) && session.open() && checkRecords(session, exec, status)) {
    // The set is closed before the index check; the read lock stays until the end.
    cnetClose(session.ctl(), status);
    if (!cnetFailed(status)) {
      ZOLSTATUS engine{};
      // The directories as given: with two, the index is looked for where the files are.
      ZOLverifyIndex(name, session.ctl()->directories, 0, cnetProgressOn(exec) ? 0 : 8, 0, &engine);
      cnetConvertStatus_ZOL_CNET(&engine, status);
    }
  }
  if (cnetFailed(status)) {
    cnetProgressPrintf(exec, "\n");  // ends a counter line cut short
  } else {
    cnetTimef(exec, "", "Verify end\n");
  }
  session.close();
}
