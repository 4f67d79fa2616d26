// Message texts of the engine's status codes (zolCNETgetMessage).
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "cnet_status.h"
#include "thesaurus_version.h"

namespace {

// How the message of a code takes its arguments.
enum class Args { kNone, kErrcode, kFileErrcode, kFile, kRename };

struct Message {
  uint32_t code;
  Args args;
  const char* text;
};

constexpr Message kMessages[] = {
    {CNET_UNEXPECTED, Args::kErrcode, "Unexpected error.  errcode = %lu"},
    {CNET_NAME_LENGTH, Args::kNone, "The length of filename or directory name is out of range."},
    {CNET_PARAMETER, Args::kErrcode, "Parameter error.  errcode = %lu"},
    {CNET_RESERVED, Args::kErrcode,
     "Reserved parameters and reserved fields must be specified as described.  errcode=%lu"},
    {CNET_OPEN, Args::kFileErrcode, "%s Open error.  errcode = %lu"},
    {CNET_READ, Args::kFileErrcode, "%s Read error.  errcode = %lu"},
    {CNET_WRITE, Args::kFileErrcode, "%s Write error.  errcode = %lu"},
    {CNET_SEEK, Args::kFileErrcode, "%s Seek errorr.  errcode = %lu"},
    {CNET_TELL, Args::kFileErrcode, "%s ftell error.  errcode = %lu"},
    {CNET_DELETE, Args::kFileErrcode, "%s Delete error.  errcode = %lu"},
    {CNET_RENAME, Args::kRename, "Rename error.  From: %s  To: %s  errcode = %lu"},
    {CNET_CLOSE, Args::kFileErrcode, "%s Close error.  errcode = %lu"},
    {CNET_EOF, Args::kNone, "Unexpected end of file."},
    {CNET_NO_MEMORY, Args::kErrcode, "Memory allocation error.  errcode = %lu"},
    {CNET_LOCK_ERROR, Args::kErrcode, "Locking error.  errcode = %lu"},
    {CNET_LOCKED, Args::kErrcode, "Locked.  Try again.  errcode = %lu"},
    {CNET_OUTPUT_EXISTS, Args::kFile, "Output file %s exists."},
    {CNET_INTEGRITY, Args::kErrcode, "Dictionary file integrity has been lost.  errcode = %lu"},
    {CNET_VERSION, Args::kNone, "Dictionary version error."},
    {CNET_NOT_EXIST, Args::kNone, "Dictionary does not exist."},
    {CNET_EXISTS, Args::kNone, "Dictionary exists."},
    {CNET_NORMALIZE, Args::kNone, "Character normalization error."},
    {CNET_BAD_BASE_WORD, Args::kNone, "Specified base word is not valid."},
    {CNET_NOT_FOUND, Args::kNone, "The word was not found."},
};

// Texts appended to "Input file error.  REASON: " for the reasons 1 to 10 of CNET_INPUT.
constexpr const char* kInputReasons[] = {
    "Empty definition.",
    "line %lu: Syntax of the block head.",
    "line %lu: Syntax of the relation.",
    "line %lu: Syntax at the start of the user definition.",
    "line %lu: Syntax at the end of the user definition.",
    "line %lu: User definition number is out of range.",
    "line %lu: Invalid empty word.",
    "line %lu: Too long word.",
    "line %lu: Syntax of the strength.",
    "line %lu: Strength is out of range.",
};

const Message* findMessage(uint32_t code) {
  for (const Message& m : kMessages) {
    if (m.code == code) return &m;
  }
  return nullptr;
}

// The status names, bounded even if a caller left them unterminated.
struct Names {
  char first[CNET_STATUS_NAME];
  char second[CNET_STATUS_NAME];
  explicit Names(const CNETSTATUS& st) {
    std::memcpy(first, st.filename, sizeof first);
    std::memcpy(second, st.filename2, sizeof second);
    first[sizeof first - 1] = '\0';
    second[sizeof second - 1] = '\0';
  }
};

// The caller's buffer has CNET_MESSAGE_SIZE bytes; every text of this table fits.
void format(char* text, size_t size, const char* fmt, ...) THES_PRINTF(3, 4);
void format(char* text, size_t size, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, size, fmt, ap);
  va_end(ap);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

void generic(char* text, const CNETSTATUS& st) {
  format(text, CNET_MESSAGE_SIZE, "Error has occurred. (retcode, errcode) = (%lu, %lu)",
         static_cast<unsigned long>(st.retcode), static_cast<unsigned long>(st.errcode));
}

void engineMessage(uint8_t codePage, const CNETSTATUS& st, char* text) {
  ZOLSTATUS engine;
  std::memset(&engine, 0, sizeof engine);
  engine.retcode = st.retcode - CNET_ENGINE_BASE;
  engine.errcode = st.errcode - CNET_ENGINE_BASE;
  std::memcpy(engine.filename, st.filename, sizeof engine.filename);
  std::memcpy(engine.filename2, st.filename2, sizeof engine.filename2);
  ZOLgetMessage(codePage, &engine, text);
}

}  // namespace

THES_EXPORT const char* cnetVersion(void) {
  return THESAURUS_VERSION;
}

THES_EXPORT void zolCNETgetMessage(uint8_t codePage, const CNETSTATUS* status, char* text) {
  if (text == nullptr) return;
  if (codePage == 0 || codePage > 37) {
    std::strcpy(text, "Codepage parameter cannot be interpreted.");
    return;
  }
  if (status == nullptr || status->retcode == 0) {
    text[0] = '\0';
    return;
  }
  const CNETSTATUS& st = *status;
  if (st.retcode >= CNET_ENGINE_BASE) {
    engineMessage(codePage, st, text);
    return;
  }
  const unsigned long errcode = st.errcode;
  int n = std::snprintf(text, CNET_MESSAGE_SIZE,
                        "zolC%03luE: Error: ", static_cast<unsigned long>(st.retcode));
  char* rest = text + n;
  if (st.retcode == CNET_INPUT) {
    if (st.errcode < 1 || st.errcode > 10) {
      generic(text, st);
      return;
    }
    int m = std::snprintf(rest, CNET_MESSAGE_SIZE - n, "Input file error.  REASON: ");
    format(rest + m, CNET_MESSAGE_SIZE - n - m, kInputReasons[st.errcode - 1],
           static_cast<unsigned long>(st.line));
    return;
  }
  const Message* msg = findMessage(st.retcode);
  if (msg == nullptr) {
    generic(text, st);
    return;
  }
  Names names(st);
  const size_t room = CNET_MESSAGE_SIZE - static_cast<size_t>(n);
  switch (msg->args) {
    case Args::kNone:
      format(rest, room, "%s", msg->text);
      break;
    case Args::kErrcode:
      format(rest, room, msg->text, errcode);
      break;
    case Args::kFileErrcode:
      format(rest, room, msg->text, names.first, errcode);
      break;
    case Args::kFile:
      format(rest, room, msg->text, names.first);
      break;
    case Args::kRename:
      format(rest, room, msg->text, names.first, names.second, errcode);
      break;
  }
}

#pragma GCC diagnostic pop
