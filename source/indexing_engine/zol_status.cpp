// Status helpers and message texts of the indexing engine.
#include "zol_status.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "thesaurus_status_name.h"

namespace zol {

void clearStatus(ZOLSTATUS* status) {
  if (status != nullptr) std::memset(status, 0, sizeof *status);
}

bool fail(ZOLSTATUS* status, uint32_t retcode, uint32_t errcode, uint8_t context, const char* path,
          int errnoValue) {
  if (status == nullptr || status->retcode != 0) return false;
  status->retcode = retcode;
  status->errcode = errcode;
  status->context = context;
  status->indexType = (context == ZOL_CTX_BUILD || context == ZOL_CTX_SEARCH ||
                       context == ZOL_CTX_VERIFY || context == ZOL_CTX_DELETE)
                          ? ZOL_INDEX_WORD
                          : 0;
  thesShortenStatusName(status->filename, path);
  status->filename2[0] = '\0';
  status->errnoValue = static_cast<uint32_t>(errnoValue);
  return true;
}

bool failRename(ZOLSTATUS* status, uint32_t retcode, uint32_t errcode, const char* from,
                const char* to, int errnoValue) {
  if (!fail(status, retcode, errcode, ZOL_CTX_BUILD, from, errnoValue)) return false;
  thesShortenStatusName(status->filename2, to);
  return true;
}

}  // namespace zol

namespace {

enum class Args { kNone, kErrcode, kFileErrcode, kFile, kRename };

struct Message {
  uint32_t code;
  Args args;
  const char* text;
};

constexpr Message kMessages[] = {
    {ZOL_RC_PARAMETER, Args::kErrcode, "Invalid parameter.  errcode = %lu"},
    {ZOL_RC_OPEN, Args::kFileErrcode, "%s Open error.  errcode = %lu"},
    {ZOL_RC_READ, Args::kFileErrcode, "%s Read error.  errcode = %lu"},
    {ZOL_RC_WRITE, Args::kFileErrcode, "%s Write error.  errcode = %lu"},
    {ZOL_RC_SEEK, Args::kFileErrcode, "%s Seek error.  errcode = %lu"},
    {ZOL_RC_REMOVE, Args::kFileErrcode, "%s Remove error.  errcode = %lu"},
    {ZOL_RC_RENAME, Args::kRename, "Rename error.  From: %s  To: %s  errcode = %lu"},
    {ZOL_RC_CLOSE, Args::kFileErrcode, "%s Close error.  errcode = %lu"},
    {ZOL_RC_NO_MEMORY, Args::kErrcode, "Out of storage.  errcode = %lu"},
    {ZOL_RC_SEQUENCE, Args::kErrcode, "Calling sequence error.  errcode = %lu"},
    {ZOL_RC_INDEX_INVALID, Args::kFileErrcode, "%s Index data is not valid.  errcode = %lu"},
    {ZOL_RC_INDEX_NOT_EXIST, Args::kFile, "%s Index does not exist."},
    {ZOL_RC_EMPTY_QUERY, Args::kNone, "The query is empty."},
    {ZOL_RC_NORMALIZE, Args::kErrcode, "Normalization failed.  errcode = %lu"},
    {ZOL_RC_MASK, Args::kErrcode, "Illegal use of masks.  errcode = %lu"},
};

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

THES_EXPORT void ZOLgetMessage(uint8_t codePage, const ZOLSTATUS* status, char* buffer) {
  if (buffer == nullptr) return;
  if (codePage == 0 || codePage > 37) {
    std::strcpy(buffer, "Codepage parameter cannot be interpreted.");
    return;
  }
  if (status == nullptr || status->retcode == 0) {
    buffer[0] = '\0';
    return;
  }
  char first[512];
  char second[512];
  std::memcpy(first, status->filename, sizeof first);
  std::memcpy(second, status->filename2, sizeof second);
  first[511] = second[511] = '\0';
  const unsigned long rc = status->retcode;
  const unsigned long ec = status->errcode;
  const Message* msg = nullptr;
  for (const Message& m : kMessages) {
    if (m.code == status->retcode) msg = &m;
  }
  if (msg == nullptr) {
    std::snprintf(buffer, ZOL_MESSAGE_SIZE,
                  "Indexing engine error has occurred. (retcode, errcode) = (%lu, %lu)", rc, ec);
    return;
  }
  int n = std::snprintf(buffer, ZOL_MESSAGE_SIZE, "zolI%03luE: Error: ", rc);
  char* rest = buffer + n;
  size_t room = ZOL_MESSAGE_SIZE - static_cast<size_t>(n);
  switch (msg->args) {
    case Args::kNone:
      std::snprintf(rest, room, "%s", msg->text);
      break;
    case Args::kErrcode:
      std::snprintf(rest, room, msg->text, ec);
      break;
    case Args::kFileErrcode:
      std::snprintf(rest, room, msg->text, first, ec);
      break;
    case Args::kFile:
      std::snprintf(rest, room, msg->text, first);
      break;
    case Args::kRename:
      std::snprintf(rest, room, msg->text, first, second, ec);
      break;
  }
}

#pragma GCC diagnostic pop
