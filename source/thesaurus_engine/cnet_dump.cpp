// Dictionary administration around the compiler: zolCNETdump writes a dictionary (or the groups
// of one term) back out as a definition file through the definition writer, zolCNETclear
// deletes a dictionary with its working sets, word index and lock files, and zolCNETgetInfo
// reports the facts of its header.
#include <cstdlib>
#include <cstring>

#include "cnet_console.h"
#include "cnet_grow.h"
#include "cnet_names.h"
#include "cnet_os.h"
#include "cnet_reader.h"
#include "cnet_status.h"
#include "thesaurus_engine/cnet.h"

namespace {

// Location numbers of the dump.
constexpr uint32_t kErrDumpKindOne = 4211;
constexpr uint32_t kErrDumpNames = 4214;
constexpr uint32_t kErrDumpOutput = 4215;
constexpr uint32_t kErrDumpTerm = 4216;
constexpr uint32_t kErrDumpReserved = 4217;
constexpr uint32_t kErrDumpPath = 4219;
constexpr uint32_t kErrDumpKind = 4220;
constexpr uint32_t kErrDumpFormat = 4221;
constexpr uint32_t kErrDumpNoHit = 4222;
constexpr uint32_t kErrDumpIdList = 4223;
constexpr uint32_t kErrDumpNoGroup = 4224;
constexpr uint32_t kErrDumpEntries = 4225;
constexpr uint32_t kErrDumpAbsentWord = 4226;
constexpr uint32_t kErrDumpText = 4227;
constexpr uint32_t kErrDumpHitRange = 4232;        // the word index names a word beyond the count
constexpr uint32_t kErrDumpGroupRange = 4233;      // a word names a group beyond the count
constexpr uint32_t kErrDumpOverDictionary = 4234;  // the output is a file of the dictionary
constexpr uint32_t kErrDumpNotExist = 4272;
constexpr uint32_t kErrDumpExists = 4279;
constexpr uint32_t kErrDumpPathLength = 4280;
constexpr uint32_t kErrDumpTermLength = 4281;

// Location numbers of clearing and information.
constexpr uint32_t kErrClearNames = 4118;
constexpr uint32_t kErrClearMemory = 4362;  // the names of a set cannot be held
constexpr uint32_t kErrInfoNames = 4273;
constexpr uint32_t kErrInfoReserved = 4274;
constexpr uint32_t kErrInfoNotExist = 4275;
constexpr uint32_t kErrInfoAbsent = 4276;  // more absent records than records in the header

constexpr uint32_t kEntryStep = 256;  // entries by which the block's entry table grows
constexpr uint32_t kTextStep = 4096;  // bytes by which the block's text grows
constexpr uint32_t kIdStep = 128;     // group ids by which the id list of a term grows
constexpr int32_t kDeleteIndex = 3;   // option of ZOL_deleteIndex
constexpr uint8_t kWeightFull = 100;  // the only term weight accepted
constexpr uint32_t kSetsCleared = 3;  // sets 0 to 2; set 3 is left alone

// The whole area is zero.
template <typename T>
bool allZero(const T& area) {
  return !cnetAnyNonZero(&area, sizeof area);
}

// The term names a word to dump: given, with a length and a first byte.
bool hasTerm(const CNETTERM* term) {
  return term != nullptr && term->length != 0 && term->text[0] != '\0';
}

// The entry checks of the dump that need no dictionary, in their fixed order.
bool checkDumpArguments(const char** name, const char** directories, const CNETTERM* term,
                        const CNETDEF* output, const CNETEXEC* exec, int32_t reserved,
                        CNETSTATUS* status) {
  if (!cnetCorrectNames(name, directories))
    return !cnetFail(status, CNET_NAME_LENGTH, kErrDumpNames);
  if (output == nullptr) return !cnetFail(status, CNET_PARAMETER, kErrDumpOutput);
  if (term != nullptr && (term->length > CNET_TERM_MAX || term->weight != kWeightFull)) {
    return !cnetFail(status, CNET_PARAMETER, kErrDumpTerm);
  }
  if (output->kind == 1) return !cnetFail(status, CNET_PARAMETER, kErrDumpKindOne);
  if (output->kind != CNET_DEF_FILE) return !cnetFail(status, CNET_PARAMETER, kErrDumpKind);
  if (output->path == nullptr || output->path[0] == '\0') {
    return !cnetFail(status, CNET_PARAMETER, kErrDumpPath);
  }
  if (output->format != 0) return !cnetFail(status, CNET_PARAMETER, kErrDumpFormat);
  if (std::strlen(output->path) > CNET_NAME_MAX) {
    return !cnetFail(status, CNET_PARAMETER, kErrDumpPathLength);
  }
  const bool reservedSet =
      reserved != 0 || !allZero(output->reserved0) || !allZero(output->reserved1) ||
      !allZero(output->reserved2) || (term != nullptr && !allZero(term->reserved)) ||
      (exec != nullptr && (!allZero(exec->reserved) || (exec->flags & ~CNET_EXEC_ALL) != 0));
  if (reservedSet) return !cnetFail(status, CNET_RESERVED, kErrDumpReserved);
  return true;
}

// Writes the groups of an open dictionary through an open definition writer.
class Dumper {
 public:
  Dumper(CnetReadSession& session, DEFCTL* def, const CNETEXEC* exec, CNETSTATUS* status)
      : s_(session), head_(session.head()), def_(def), exec_(exec), status_(status) {}

  // Every group, in ascending id, with a counter after each.
  bool dumpAll() {
    const uint32_t count = head_.groupCount;
    const CnetProgressCounter counter(exec_, count);
    for (uint32_t id = 0; id < count; ++id) {
      if (!dumpGroup(id)) return false;
      counter.show(id);
    }
    counter.showTotal();
    cnetProgressPrintf(exec_, "\n");
    return true;
  }

  // The groups of every present word that the word index finds for term, each group once, in
  // ascending id.
  bool dumpTerm(const CNETTERM& term) {
    char normal[2 * CNET_WORD_MAX];
    int32_t normalLength = 0;
    cnetZOLnormalizeWord(s_.codePage(), term.text, term.length, normal,
                         static_cast<int32_t>(sizeof normal), &normalLength, status_);
    if (cnetFailed(status_)) return false;
    if (normalLength > CNET_WORD_MAX) return !cnetFail(status_, CNET_PARAMETER, kErrDumpTermLength);

    uint32_t hitCount = 0;
    CNETOCC* hits = nullptr;
    cnetWord_WordID(nullptr, s_.ctl(), &head_, normal, static_cast<uint32_t>(normalLength),
                    static_cast<uint16_t>(term.weight), term.options, &hitCount, &hits, status_);
    const bool collected = !cnetFailed(status_) && collectGroups(hits, hitCount);
    std::free(hits);
    if (!collected) return false;
    cnetGrpIdCheck(ids_, &idCount_);
    for (uint32_t i = 0; i < idCount_; ++i) {
      if (ids_[i] >= head_.groupCount) {
        return !cnetFailFile(status_, CNET_INTEGRITY, kErrDumpGroupRange, s_.ctl()->files[1].path);
      }
      if (!dumpGroup(ids_[i])) return false;
    }
    return true;
  }

  ~Dumper() { std::free(ids_); }
  Dumper(const Dumper&) = delete;
  Dumper& operator=(const Dumper&) = delete;

 private:
  // Gathers the group ids of the present hit words into ids_.
  bool collectGroups(const CNETOCC* hits, uint32_t hitCount) {
    if (hitCount == 0) return !cnetFail(status_, CNET_NOT_FOUND, kErrDumpNoHit);
    for (uint32_t i = 0; i < hitCount; ++i) {
      const uint32_t word = hits[i].wordId;
      if (word >= head_.wordCount) {
        return !cnetFailFile(status_, CNET_INTEGRITY, kErrDumpHitRange, s_.ctl()->files[0].path);
      }
      uint32_t groupCount = 0;
      uint32_t* groups = nullptr;
      const int32_t rc = cnetReadWord(s_.ctl(), static_cast<int32_t>(word), &groupCount, &groups,
                                      nullptr, nullptr, nullptr, nullptr, status_);
      if (rc < 0) return false;
      if (rc == 1) continue;
      for (uint32_t g = 0; g < groupCount; ++g) {
        if (!addId(groups[g])) return false;
      }
    }
    if (idCount_ == 0) return !cnetFail(status_, CNET_NOT_FOUND, kErrDumpNoGroup);
    return true;
  }

  bool addId(uint32_t id) {
    if (!cnetGrowBuffer(&ids_, &idCapacity_, uint64_t{idCount_} + 1, kIdStep, UINT32_MAX)) {
      return !cnetFail(status_, CNET_NO_MEMORY, kErrDumpIdList);
    }
    ids_[idCount_++] = id;
    return true;
  }

  // Makes the block's entry table hold count entries, growing in steps of kEntryStep.
  bool reserveEntries(uint32_t count) {
    if (count <= def_->entryCapacity) return true;
    if (!cnetGrowBuffer(&def_->entries, &def_->entryCapacity, count, kEntryStep,
                        UINT32_MAX / sizeof(DEFENTRY))) {
      return !cnetFail(status_, CNET_NO_MEMORY, kErrDumpEntries);
    }
    return true;
  }

  // Makes room for one more stored word (at most CNET_WORD_MAX bytes) in the block's text.
  bool reserveWord() {
    const uint64_t need = uint64_t{def_->textUsed} + CNET_WORD_MAX;
    if (need <= def_->textSize) return true;
    if (!cnetGrowBuffer(&def_->text, &def_->textSize, need, kTextStep, UINT32_MAX)) {
      return !cnetFail(status_, CNET_NO_MEMORY, kErrDumpText);
    }
    return true;
  }

  // Hands one group to the writer: its block relation and, for every entry as stored (members
  // first), the stored word, its strength and its relation. An absent group is skipped.
  bool dumpGroup(uint32_t id) {
    CNETGROUPREC group{};
    CNETGROUPENT* entries = nullptr;
    const int32_t rc = cnetReadGroup(s_.ctl(), static_cast<int32_t>(id), &group, &entries, status_);
    if (rc < 0) return false;
    if (rc == 1) return true;
    // cnetReadGroup has checked that the entries fill the group's data inside "grv".
    const uint32_t count = group.memberCount + group.relCount;
    if (!reserveEntries(count)) return false;
    def_->blockRel = group.rel;
    def_->entryCount = 0;
    def_->memberCount = group.memberCount;
    def_->relationCount = group.relCount;
    def_->textUsed = 0;
    for (uint32_t i = 0; i < count; ++i) {
      const CNETGROUPENT& e = entries[i];
      if (e.word >= head_.wordCount) {
        return !cnetFailFile(status_, CNET_INTEGRITY, kErrDumpAbsentWord, s_.ctl()->files[3].path);
      }
      if (!reserveWord()) return false;
      uint32_t length = 0;
      const int32_t got =
          cnetReadWord(s_.ctl(), static_cast<int32_t>(e.word), nullptr, nullptr, nullptr, nullptr,
                       def_->text + def_->textUsed, &length, status_);
      if (got < 0) return false;
      if (got == 1) {
        return !cnetFailFile(status_, CNET_INTEGRITY, kErrDumpAbsentWord, s_.ctl()->files[3].path);
      }
      DEFENTRY& d = def_->entries[i];
      d.textOffset = def_->textUsed;
      d.length = length;
      d.line = 0;
      d.strength = e.strength;
      d.rel = e.rel;
      d.zero = 0;
      def_->textUsed += length;
      def_->entryCount = i + 1;
    }
    cnetDefWrite(def_, exec_, status_);
    return !cnetFailed(status_);
  }

  CnetReadSession& s_;
  const CNETHEAD& head_;
  DEFCTL* def_;
  const CNETEXEC* exec_;
  CNETSTATUS* status_;
  uint32_t* ids_ = nullptr;
  uint32_t idCount_ = 0;
  uint32_t idCapacity_ = 0;
};

// The output path is one of the files the dump reads: replacing it would destroy the
// dictionary. Paths are compared as written.
bool namesDictionaryFile(const CNETCTL* ctl, const char* path) {
  for (const CNETFILE& f : ctl->files) {
    if (std::strcmp(f.path, path) == 0) return true;
  }
  return false;
}

// Deletes the four files of one set; missing files are skipped, the first failure is kept.
void deleteSet(const char* name, const char* directories, uint8_t set, CNETSTATUS* status) {
  auto* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
  if (ctl == nullptr) {
    cnetFail(status, CNET_NO_MEMORY, kErrClearMemory);
    return;
  }
  cnetSetCNETCTL(ctl, name, directories, set);
  cnetDelete(ctl, status);
  std::free(ctl);
}

// Removes the existence marker of a dictionary used with the lock; a missing one is no failure.
void removeMarker(const char* name, const char* directories) {
  char directory[CNET_NAME_SIZE];
  char path[CNET_PATH_SIZE];
  if (cnetLock_DirName(directories, directory) == nullptr) return;
  if (cnetFormLockPath(path, sizeof path, directory, name, ".lk3")) (void)cnetOs()->remove(path);
}

}  // namespace

THES_EXPORT void zolCNETdump(const char* name, const char* directories, const CNETTERM* term,
                             const CNETDEF* output, const CNETEXEC* exec, int32_t reserved,
                             CNETSTATUS* status) {
  if (status == nullptr) return;
  cnetClearStatus(status);
  if (!checkDumpArguments(&name, &directories, term, output, exec, reserved, status)) return;
  CnetReadSession session(exec, name, directories, status);
  if (!session.exists(kErrDumpNotExist)) return;
  const bool replace = exec != nullptr && (exec->flags & CNET_EXEC_REPLACE) != 0;
  if (!replace && cnetAccess(output->path, 0) == 0) {
    cnetFailFile(status, CNET_OUTPUT_EXISTS, kErrDumpExists, output->path);
    return;
  }
  if (namesDictionaryFile(session.ctl(), output->path)) {
    cnetFailFile(status, CNET_PARAMETER, kErrDumpOverDictionary, output->path);
    return;
  }
  cnetTimef(exec, "", "Dump start...\n");
  DEFCTL* def = static_cast<DEFCTL*>(std::calloc(1, sizeof(DEFCTL)));
  if (def == nullptr) {
    cnetFail(status, CNET_NO_MEMORY, kErrDumpEntries);
    return;
  }
  bool counting = false;
  if (session.open()) {
    cnetDefOpen(def, output, session.codePage(), "w", status);
    if (!cnetFailed(status)) {
      Dumper dumper(session, def, exec, status);
      counting = !hasTerm(term);
      if (counting) {
        dumper.dumpAll();
      } else {
        dumper.dumpTerm(*term);
      }
    }
  }
  if (cnetFailed(status) && counting) cnetProgressPrintf(exec, "\n");  // ends a counter line
  cnetDefClose(def, status);
  std::free(def);
  if (!cnetFailed(status)) cnetTimef(exec, "", "Dump end\n");
  session.close();
}

THES_EXPORT void zolCNETclear(const char* name, const char* directories, CNETSTATUS* status) {
  if (status == nullptr) return;
  cnetClearStatus(status);
  if (!cnetCorrectNames(&name, &directories)) {
    cnetFail(status, CNET_NAME_LENGTH, kErrClearNames);
    return;
  }
  int handles[3] = {-1, -1, -1};
  int flags[3] = {0, 0, 0};
  cnetLock(nullptr, CNET_LOCK_CLEAR, name, directories, handles, flags, status);
  if (cnetFailed(status)) {
    cnetUnlock(nullptr, CNET_LOCK_CLEAR, name, directories, handles, flags, nullptr);
    return;
  }
  for (uint8_t set = 0; set < kSetsCleared; ++set) {
    deleteSet(name, directories, set, status);
    if (set == 0) {
      ZOLSTATUS engine{};
      ZOL_deleteIndex(kDeleteIndex, name, directories, &engine);
      cnetConvertStatus_ZOL_CNET(&engine, status);
    }
  }
  // A compilation that ran between the removal of the marker and the taking of the compile
  // lock has made the marker again; it goes too, while the lock is held. The release removes
  // the access and compile lock files, also after a failed delete.
  removeMarker(name, directories);
  cnetUnlock(nullptr, CNET_LOCK_CLEAR, name, directories, handles, flags, status);
}

THES_EXPORT uint32_t zolCNETgetInfo(const char* name, const char* directories, int32_t reserved,
                                    CNETINFO* info, int32_t reserved2, CNETSTATUS* status) {
  if (status == nullptr) return 0;
  cnetClearStatus(status);
  if (info != nullptr) std::memset(info, 0, sizeof *info);
  if (!cnetCorrectNames(&name, &directories)) {
    cnetFail(status, CNET_NAME_LENGTH, kErrInfoNames);
    return 0;
  }
  if (reserved != 0 || reserved2 != 0) {
    cnetFail(status, CNET_RESERVED, kErrInfoReserved);
    return 0;
  }
  CnetReadSession session(nullptr, name, directories, status);
  if (!session.exists(kErrInfoNotExist)) return 0;
  uint32_t words = 0;
  if (session.open()) {
    const CNETHEAD& head = session.head();
    if (head.absentWords > head.wordCount || head.absentGroups > head.groupCount) {
      cnetFailFile(status, CNET_INTEGRITY, kErrInfoAbsent, session.ctl()->files[0].path);
    } else {
      words = head.wordCount - head.absentWords;
      if (info != nullptr) {
        std::memcpy(info->magic, head.magic, sizeof info->magic);
        info->version = head.version;
        info->groups = head.groupCount - head.absentGroups;
        info->words = words;
        info->codePage = head.codePage;
      }
    }
  }
  session.close();
  return cnetFailed(status) ? 0 : words;
}
