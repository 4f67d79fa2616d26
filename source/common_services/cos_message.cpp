// Message catalog over a string table and the formatting of "%1" to "%10" inserts.
#include "common_services/cos_message.h"

#include <cstdio>
#include <cstring>

#include "common_services/cos_exception.h"

CosClMessageCatalog::CosClMessageCatalog(const char* fileName)
    : iv_strFileName(fileName ? fileName : ""), iv_ppszTable(nullptr), iv_uiCount(0) {}

CosClMessageCatalog::~CosClMessageCatalog() = default;

void CosClMessageCatalog::useStringTable(const char* const* table, unsigned int count) {
  char signature[48];
  std::snprintf(signature, sizeof signature, "%s %u", COS_MSGTAB_SIGNATURE, count);
  if (table == nullptr || count == 0 || table[0] == nullptr ||
      std::strcmp(table[0], signature) != 0 || table[count] == nullptr ||
      std::strcmp(table[count], COS_MSGTAB_SIGNATURE) != 0) {
    throw CosClException("The message table has no valid signature", COS_ERROR_MESSAGE_TABLE,
                         COS_CLASS_MESSAGE, COS_ACTION_CALL_SERVICE);
  }
  iv_ppszTable = table;
  iv_uiCount = count;
}

const char* CosClMessageCatalog::getText(unsigned int number) const {
  if (iv_ppszTable == nullptr || number >= iv_uiCount) return nullptr;
  return iv_ppszTable[number];
}

namespace {

bool endsInsert(char c) {
  return c == '\0' || c == ' ' || c == '.' || c == ',' || c == ';' || c == ':' || c == '!' ||
         c == '?' || c == ')' || c == '\n' || c == '\t';
}

// Appends text to out with the inserts replaced (see the header for the rule).
void formatInto(std::string& out, const char* text, const char* const* inserts) {
  for (const char* p = text; *p != '\0';) {
    if (p[0] != '%' || p[1] < '1' || p[1] > '9') {
      out.push_back(*p++);
      continue;
    }
    int index = p[1] - '1';
    int length = 2;
    if (p[1] == '1' && p[2] == '0') index = 9, length = 3;
    const char* insert = inserts[index];
    p += length;
    if (insert != nullptr && *insert != '\0') {
      out.append(insert);
    } else if (!out.empty() && out.back() == ' ' && endsInsert(*p)) {
      out.pop_back();  // "file %1 is" without a name reads "file is"
    }
  }
}

}  // namespace

CosClMessage::CosClMessage(const CosClMessageCatalog& catalog, unsigned int number, const char* p1,
                           const char* p2, const char* p3, const char* p4, const char* p5,
                           const char* p6, const char* p7, const char* p8, const char* p9,
                           const char* p10) {
  const char* inserts[COS_MESSAGE_INSERTS] = {p1, p2, p3, p4, p5, p6, p7, p8, p9, p10};
  const char* text = catalog.getText(number);
  if (text == nullptr) {
    char missing[64];
    std::snprintf(missing, sizeof missing, "Message %u is not in the message catalog.", number);
    iv_strText = missing;
    return;
  }
  formatInto(iv_strText, text, inserts);
}
