// The compiler entry point: checks its arguments, takes the compile lock, compiles into working
// set 1, builds the word index from the new word files, and only then replaces the live set by
// renaming under the update lock and commits the index. Any failure leaves the live dictionary
// as it was (or, when the rename itself fails, reported as absent), deletes the working sets and
// cancels the index build.
#include <cstring>
#include <memory>

#include "cnet_compile.h"
#include "cnet_console.h"
#include "cnet_dict.h"
#include "cnet_status.h"

namespace {

// Location numbers of the argument checks.
constexpr uint32_t kErrNames = 4100;
constexpr uint32_t kErrPointers = 4101;
constexpr uint32_t kErrReserved = 4102;
constexpr uint32_t kErrKindOne = 4103;
constexpr uint32_t kErrPath = 4104;
constexpr uint32_t kErrKind = 4105;
constexpr uint32_t kErrFormat = 4106;
constexpr uint32_t kErrCodePage = 4107;
constexpr uint32_t kErrExists = 4109;
constexpr uint32_t kErrPathLength = 4135;

constexpr uint32_t kNoDocument = 0xFFFFFFFF;

// Lock state of one lock mode.
struct LockState {
  int handles[3] = {-1, -1, -1};
  int flags[3] = {0, 0, 0};
};

// The argument checks in their order; the first failure is reported.
bool checkArguments(const CNETDEF* def, const CNETCODE* code, const CNETEXEC* exec,
                    const void* reserved, CNETSTATUS* status) {
  auto fail = [status](uint32_t retcode, uint32_t errcode) {
    cnetFail(status, retcode, errcode);
    return false;
  };
  if (def == nullptr || code == nullptr) return fail(CNET_PARAMETER, kErrPointers);
  if (def->kind == 1) return fail(CNET_PARAMETER, kErrKindOne);
  if (def->kind != CNET_DEF_FILE) return fail(CNET_PARAMETER, kErrKind);
  if (def->path == nullptr || def->path[0] == '\0') return fail(CNET_PARAMETER, kErrPath);
  if (def->format != 0) return fail(CNET_PARAMETER, kErrFormat);
  if (std::strlen(def->path) > CNET_NAME_MAX) return fail(CNET_PARAMETER, kErrPathLength);
  if (code->codePage < 1 || code->codePage > 36) return fail(CNET_PARAMETER, kErrCodePage);
  if (reserved != nullptr) return fail(CNET_RESERVED, kErrReserved);
  if (cnetAnyNonZero(def->reserved0, sizeof def->reserved0) ||
      cnetAnyNonZero(def->reserved1, sizeof def->reserved1) ||
      cnetAnyNonZero(def->reserved2, sizeof def->reserved2) ||
      cnetAnyNonZero(code->reserved, sizeof code->reserved)) {
    return fail(CNET_RESERVED, kErrReserved);
  }
  if (exec != nullptr && (cnetAnyNonZero(exec->reserved, sizeof exec->reserved) ||
                          (exec->flags & ~CNET_EXEC_ALL) != 0)) {
    return fail(CNET_RESERVED, kErrReserved);
  }
  return true;
}

struct Regist {
  Regist(const char* n, const char* d, const CNETDEF* df, const CNETCODE* cp, const CNETEXEC* e,
         CNETSTATUS* st)
      : name(n), directories(d), def(df), code(cp), exec(e), status(st) {}
  const char* name;
  const char* directories;
  const CNETDEF* def;
  const CNETCODE* code;
  const CNETEXEC* exec;
  CNETSTATUS* status;
  LockState compileLock;
  LockState updateLock;
  std::unique_ptr<CNETCTL> live = std::make_unique<CNETCTL>();
  std::unique_ptr<CNETCTL> work = std::make_unique<CNETCTL>();
  std::unique_ptr<CNETCTL> spare = std::make_unique<CNETCTL>();
  ZOLINDEX* index = nullptr;
  ZOLSTATUS engine{};

  bool failed() const { return cnetFailed(status); }

  void releaseQuietly() {
    cnetUnlock(exec, CNET_LOCK_UPDATE, name, directories, updateLock.handles, updateLock.flags,
               nullptr);
    cnetUnlock(exec, CNET_LOCK_COMPILE, name, directories, compileLock.handles, compileLock.flags,
               nullptr);
  }

  void cancelIndex() {
    if (index == nullptr) return;
    ZOLSTATUS scratch{};
    ZOLcreateIndexTerm(index, 'C', &scratch);
    index = nullptr;
  }

  void progress(const char* text) {
    cnetTimef(exec, "", "%s", text);
    cnetWarnf(exec, def->path, "%s", text);
  }

  // Builds the word index from working set 1: one document per present word, its display form.
  void buildIndex() {
    cnetOpen(work.get(), "rb", status);
    CNETHEAD head{};
    if (!failed()) cnetReadHead(work.get(), &head, status);
    if (failed()) return;
    ZOLINDEXDESC desc{};
    desc.kind = 2;
    desc.codePage = head.codePage;
    desc.keyKind = 2;
    desc.version = 1;
    ZOLINDEXPARM parm{};
    parm.memoryLimit = 0x200000;
    parm.bufferSize = 0x100000;
    parm.keyLimit = 0x18;
    parm.displayMode = cnetProgressOn(exec) ? 'D' : 'N';
    uint32_t lastDocument = kNoDocument;
    ZOLcreateIndexInit(&index, name, work->directory, work->directory, 'N', 'B', &desc, &parm,
                       &lastDocument, &engine);
    if (engine.retcode != 0) {
      cancelIndex();
      return;
    }
    char text[CNET_WORD_MAX + 4];
    char display[CNET_WORD_MAX];
    for (uint32_t id = lastDocument + 1; id < head.wordCount; ++id) {
      uint32_t length = 0;
      int32_t r = cnetReadWord(work.get(), static_cast<int32_t>(id), nullptr, nullptr, nullptr,
                               nullptr, text, &length, status);
      if (r == 1) continue;
      int32_t displayLength = 0;
      if (r == 0) {
        cnetZOLunnormalizeWord(head.codePage, text, static_cast<int32_t>(length), display,
                               CNET_WORD_MAX, &displayLength, status);
      }
      if (failed()) {
        cancelIndex();
        return;
      }
      ZOLINDEXDOC doc{};
      doc.type = 1;
      doc.charKind = 'C';
      doc.text = display;
      doc.length = static_cast<uint16_t>(displayLength);
      ZOLcreateItemIndexOneDoc(index, id, 1, &doc, &engine);
      if (engine.retcode != 0) {
        index = nullptr;  // the engine has abandoned the build
        return;
      }
    }
    ZOLcreateIndexLast(index, &engine);
    if (engine.retcode != 0) index = nullptr;
  }

  // Moves set 1 over the live set under the update lock and commits the index. Returns false
  // when the caller must clean up. The live files get second names in set 2 first, so that
  // replacing them under the lock frees no disk blocks: readers are turned away for as short a
  // time as can be, and set 2 is deleted after the lock is released.
  bool replaceLive() {
    cnetLinkSet(live.get(), spare.get());
    cnetLock(exec, CNET_LOCK_UPDATE, name, directories, updateLock.handles, updateLock.flags,
             status);
    if (!failed()) cnetRename(work.get(), live.get(), status);
    if (failed()) {
      cancelIndex();
      return false;
    }
    ZOLcreateIndexTerm(index, 'G', &engine);
    index = nullptr;
    cnetConvertStatus_ZOL_CNET(&engine, status);
    if (!failed()) {
      cnetUnlock(exec, CNET_LOCK_UPDATE, name, directories, updateLock.handles, updateLock.flags,
                 status);
    }
    // Readers are let in before the renames are made durable: the flush takes milliseconds.
    cnetSyncDirectories(live.get());
    return !failed();
  }

  void cleanUp() {
    cnetDelete(work.get(), nullptr);
    cnetDelete(spare.get(), nullptr);
    CNETSTATUS scratch{};
    cnetUnlock(exec, CNET_LOCK_CLEAR, name, directories, compileLock.handles, compileLock.flags,
               &scratch);
    releaseQuietly();
  }

  void run() {
    progress("Regist start...\n");
    cnetSetCNETCTL(live.get(), name, directories, 0);
    cnetSetCNETCTL(work.get(), name, directories, 1);
    cnetSetCNETCTL(spare.get(), name, directories, 2);
    cnetLock(exec, CNET_LOCK_COMPILE, name, directories, compileLock.handles, compileLock.flags,
             status);
    if (failed()) {
      releaseQuietly();
      return;
    }
    cnetCompileSteps(work.get(), def, code, exec, status);
    if (failed()) {
      cleanUp();
      return;
    }
    progress("Indexing start...\n");
    buildIndex();
    cnetClose(work.get(), nullptr);
    cnetConvertStatus_ZOL_CNET(&engine, status);
    if (failed()) {
      cancelIndex();
      cleanUp();
      return;
    }
    if (!replaceLive()) {
      cleanUp();
      return;
    }
    progress("Regist end\n");
    cnetDelete(work.get(), nullptr);
    cnetDelete(spare.get(), nullptr);
    cnetUnlock(exec, CNET_LOCK_COMPILE, name, directories, compileLock.handles, compileLock.flags,
               status);
  }
};

}  // namespace

THES_EXPORT void zolCNETregist(const char* name, const char* directories, const CNETDEF* definition,
                               const CNETCODE* code, const CNETEXEC* exec, void* reserved,
                               CNETSTATUS* status) {
  if (status == nullptr) return;
  cnetClearStatus(status);
  if (!cnetCorrectNames(&name, &directories)) {
    cnetFail(status, CNET_NAME_LENGTH, kErrNames);
    return;
  }
  Regist r(name, directories, definition, code, exec, status);
  if (!checkArguments(definition, code, exec, reserved, status)) {
    r.releaseQuietly();
    return;
  }
  if ((exec == nullptr || (exec->flags & CNET_EXEC_REPLACE) == 0) &&
      cnetExist(name, directories, nullptr, status) == 1) {
    cnetFail(status, CNET_EXISTS, kErrExists);
    r.releaseQuietly();
    return;
  }
  r.run();
}
