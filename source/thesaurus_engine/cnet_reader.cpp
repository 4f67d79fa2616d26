// Reading session on a dictionary's live set.
#include "cnet_reader.h"

#include "cnet_dict.h"
#include "cnet_status.h"

bool cnetHeadFits(const CNETCTL* ctl, const CNETHEAD* head, CNETSTATUS* status) {
  const uint64_t wordBytes =
      uint64_t{CNET_HEADER_SIZE} + uint64_t{CNET_RECORD_SIZE} * head->wordCount;
  const uint64_t groupBytes = uint64_t{CNET_RECORD_SIZE} * head->groupCount;
  if (wordBytes > ctl->files[0].size) {
    cnetFailFile(status, CNET_INTEGRITY, kCnetErrHeadWords, ctl->files[0].path);
    return false;
  }
  if (ctl->files[2].reader != nullptr && groupBytes > ctl->files[2].size) {
    cnetFailFile(status, CNET_INTEGRITY, kCnetErrHeadGroups, ctl->files[2].path);
    return false;
  }
  if (head->codePage < 1 || head->codePage > 36) {
    cnetFailFile(status, CNET_INTEGRITY, kCnetErrHeadCodePage, ctl->files[0].path);
    return false;
  }
  return true;
}

CnetReadSession::CnetReadSession(const CNETEXEC* exec, const char* name, const char* directories,
                                 CNETSTATUS* status)
    : exec_(exec), name_(name), directories_(directories), status_(status) {
  cnetSetCNETCTL(&ctl_, name, directories, 0);  // clears the whole record first
}

CnetReadSession::~CnetReadSession() {
  close();
}

bool CnetReadSession::exists(uint32_t notExistErrcode) {
  notExistErrcode_ = notExistErrcode;
  CNETSTATUS probe{};
  if (cnetSetExists(&ctl_, &probe) == 1) return true;
  if (probe.retcode == CNET_INTEGRITY && probe.errcode == kCnetErrPartialSet) {
    // A compiler may be moving a new set into place; the read lock waits for it or refuses,
    // and the set is looked at again once the lock is held.
    recheck_ = true;
    return true;
  }
  if (cnetFailed(&probe)) {
    *status_ = probe;
  } else {
    cnetFail(status_, CNET_NOT_EXIST, notExistErrcode);
  }
  return false;
}

bool CnetReadSession::open(unsigned files) {
  cnetLock(exec_, CNET_LOCK_READ, name_, directories_, handles_, flags_, status_);
  if (cnetFailed(status_)) return false;
  locked_ = true;
  if (recheck_) {
    // Files may have appeared in the other directory meanwhile: the paths are chosen again.
    cnetSetCNETCTL(&ctl_, name_, directories_, 0);
    if (cnetSetExists(&ctl_, status_) != 1) {
      if (!cnetFailed(status_)) cnetFail(status_, CNET_NOT_EXIST, notExistErrcode_);
      return false;
    }
  }
  opened_ = true;
  cnetOpenForReading(&ctl_, files, status_);
  if (cnetFailed(status_)) return false;
  cnetReadHead(&ctl_, &head_, status_);
  if (cnetFailed(status_)) return false;
  return cnetHeadFits(&ctl_, &head_, status_);
}

void CnetReadSession::close() {
  CNETSTATUS scratch{};
  CNETSTATUS* status = cnetFailed(status_) ? &scratch : status_;
  if (opened_) {
    cnetClose(&ctl_, status);
    opened_ = false;
  }
  if (locked_) {
    cnetUnlock(exec_, CNET_LOCK_READ, name_, directories_, handles_, flags_,
               cnetFailed(status) ? &scratch : status);
    locked_ = false;
  }
}
