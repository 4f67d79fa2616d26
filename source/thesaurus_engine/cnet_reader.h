// A reading session on the live set of a dictionary, shared by every operation that reads one
// (lookup, expansion, dump, information, verification): existence check, read lock, open,
// header check, and the release of all of it on every path.
//
// The header is checked against the files before anyone sizes memory from it: the word and
// group counts must fit into their record files and the code page must be a known one, so a
// damaged header is reported as CNET_INTEGRITY instead of leading to a huge allocation.
//
// Threads: a session belongs to one thread.
#ifndef THESAURUS_ENGINE_CNET_READER_H
#define THESAURUS_ENGINE_CNET_READER_H

#include <cstdint>

#include "thesaurus_engine/cnet.h"

// Location numbers of the header checks.
constexpr uint32_t kCnetErrHeadWords = 4390;     // word count beyond the "wdf" file
constexpr uint32_t kCnetErrHeadGroups = 4391;    // group count beyond the "grf" file
constexpr uint32_t kCnetErrHeadCodePage = 4392;  // code page byte not 1 to 36

// CNET_INTEGRITY with `errcode` when the header's counts or code page cannot belong to the open
// set ctl (whose file sizes cnetOpen measured; the group count is checked only when the group
// records are open). Returns true when the header fits.
bool cnetHeadFits(const CNETCTL* ctl, const CNETHEAD* head, CNETSTATUS* status);

class CnetReadSession {
 public:
  // Names are taken as given (the caller has checked them with cnetCorrectNames).
  CnetReadSession(const CNETEXEC* exec, const char* name, const char* directories,
                  CNETSTATUS* status);
  ~CnetReadSession();
  CnetReadSession(const CnetReadSession&) = delete;
  CnetReadSession& operator=(const CnetReadSession&) = delete;

  // True when set 0 exists; an absent dictionary is CNET_NOT_EXIST with notExistErrcode. A set
  // that lacks some of its files may be in the middle of a replacement: it is checked again by
  // open() under the read lock, and reported as CNET_INTEGRITY 4304 only if it is still partial.
  bool exists(uint32_t notExistErrcode);
  // Takes the read lock, opens the files of the set named by the bits of `files` (all four by
  // default; a lookup reads only the word files) and reads and checks the header. False on
  // failure (the status says why); close() still releases what was taken.
  bool open(unsigned files = 0xF);
  // Closes the set and releases the lock. After a failure both are released with a scratch
  // status, so the first error stays.
  void close();

  CNETCTL* ctl() { return &ctl_; }
  const CNETHEAD& head() const { return head_; }
  uint8_t codePage() const { return head_.codePage; }

 private:
  const CNETEXEC* exec_;
  const char* name_;
  const char* directories_;
  CNETSTATUS* status_;
  CNETCTL ctl_;
  CNETHEAD head_{};
  int handles_[3] = {-1, -1, -1};
  int flags_[3] = {0, 0, 0};
  uint32_t notExistErrcode_ = 0;
  bool recheck_ = false;
  bool locked_ = false;
  bool opened_ = false;
};

#endif  // THESAURUS_ENGINE_CNET_READER_H
