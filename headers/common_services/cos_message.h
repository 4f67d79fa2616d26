/* Common services: message catalog and formatted messages.
 *
 * A catalog answers message texts by number from a string table handed to it with
 * useStringTable; no catalog file is read. A table of count messages has count + 1 entries:
 * entry 0 is the signature "[COS_MSGTAB_SIGNATURE] <count>", entries 1 to count - 1 the
 * messages, entry count the end mark "[COS_MSGTAB_SIGNATURE]". The table is not copied and must
 * outlive the catalog.
 *
 * CosClMessage formats one message: "%1" to "%10" are replaced by the inserts. An insert that is
 * null or empty is left out together with the blank before it when a blank, punctuation or the
 * end follows, so "Dictionary %1 does not exist." without a name reads "Dictionary does not
 * exist.". A "%" not followed by 1 to 9 (or 10) stays as it is. A number outside the table gives
 * "Message <n> is not in the message catalog.".
 *
 * Threads: a catalog is used by one thread at a time.
 */
#ifndef COMMON_SERVICES_COS_MESSAGE_H
#define COMMON_SERVICES_COS_MESSAGE_H

#include <string>

#include "thesaurus_export.h"

#define COS_MSGTAB_SIGNATURE "[COS_MSGTAB_SIGNATURE]"
#define COS_MESSAGE_INSERTS 10

class THES_EXPORT CosClMessageCatalog {
 public:
  // fileName names a catalog file; only the empty name is used and no file is read.
  explicit CosClMessageCatalog(const char* fileName);
  ~CosClMessageCatalog();
  CosClMessageCatalog(const CosClMessageCatalog&) = delete;
  CosClMessageCatalog& operator=(const CosClMessageCatalog&) = delete;

  // Answers from table from now on. Throws CosClException (COS_ERROR_MESSAGE_TABLE) when table
  // is null or its signature or end mark is wrong; the catalog is then left unchanged.
  void useStringTable(const char* const* table, unsigned int count);

  // The raw text of a message, or null when the number is outside the table.
  const char* getText(unsigned int number) const;
  unsigned int getCount() const { return iv_uiCount; }

 private:
  std::string iv_strFileName;
  const char* const* iv_ppszTable; /* not owned */
  unsigned int iv_uiCount;
};

class THES_EXPORT CosClMessage {
 public:
  // Formats message number of catalog with the inserts (absent ones null).
  CosClMessage(const CosClMessageCatalog& catalog, unsigned int number, const char* p1 = nullptr,
               const char* p2 = nullptr, const char* p3 = nullptr, const char* p4 = nullptr,
               const char* p5 = nullptr, const char* p6 = nullptr, const char* p7 = nullptr,
               const char* p8 = nullptr, const char* p9 = nullptr, const char* p10 = nullptr);

  const char* getText() const { return iv_strText.c_str(); }
  operator const char*() const { return getText(); }

 private:
  std::string iv_strText;
};

#endif /* COMMON_SERVICES_COS_MESSAGE_H */
