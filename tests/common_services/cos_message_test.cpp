#include <gtest/gtest.h>

#include <string>

#include "common_services/cos_exception.h"
#include "common_services/cos_message.h"

namespace {

const char* const kTable[] = {
    "[COS_MSGTAB_SIGNATURE] 6",
    "Dictionary %1 does not exist.",
    "Could not rename file %1 to %2",
    "Could not lock dictionary %1",
    "%10|%9|%8|%7|%6|%5|%4|%3|%2|%1 100% %0 %x",
    "Stopword file '%1' at line %2.",
    "[COS_MSGTAB_SIGNATURE]",
};

std::string format(const CosClMessageCatalog& catalog, unsigned number, const char* p1 = nullptr,
                   const char* p2 = nullptr) {
  return CosClMessage(catalog, number, p1, p2).getText();
}

TEST(CosMessageCatalog, ChecksSignatureAndEndMark) {
  CosClMessageCatalog catalog("");
  const char* const wrongCount[] = {"[COS_MSGTAB_SIGNATURE] 3", "a", "[COS_MSGTAB_SIGNATURE]"};
  const char* const noEnd[] = {"[COS_MSGTAB_SIGNATURE] 2", "a", "b"};
  for (const char* const* table : {wrongCount, noEnd}) {
    try {
      catalog.useStringTable(table, 2);
      FAIL() << "a bad table was accepted";
    } catch (const CosClException& e) {
      EXPECT_EQ(e.getError().iv_ulId, COS_ERROR_MESSAGE_TABLE);
      EXPECT_TRUE(e.isCosException());
    }
  }
  EXPECT_EQ(catalog.getText(1), nullptr);  // left unchanged: still no table
  catalog.useStringTable(kTable, 6);
  EXPECT_STREQ(catalog.getText(1), "Dictionary %1 does not exist.");
  EXPECT_EQ(catalog.getText(6), nullptr);
  EXPECT_EQ(format(catalog, 6), "Message 6 is not in the message catalog.");
}

TEST(CosMessage, FillsInsertsAndDropsMissingOnesReadably) {
  CosClMessageCatalog catalog("");
  catalog.useStringTable(kTable, 6);
  EXPECT_EQ(format(catalog, 1, "thes"), "Dictionary thes does not exist.");
  EXPECT_EQ(format(catalog, 1), "Dictionary does not exist.");
  EXPECT_EQ(format(catalog, 1, ""), "Dictionary does not exist.");
  EXPECT_EQ(format(catalog, 2, "a.wdf", "b.wdf"), "Could not rename file a.wdf to b.wdf");
  EXPECT_EQ(format(catalog, 2, "a.wdf"), "Could not rename file a.wdf to");
  EXPECT_EQ(format(catalog, 5, nullptr, "12"), "Stopword file '' at line 12.");
  EXPECT_EQ(format(catalog, 5, "s.txt"), "Stopword file 's.txt' at line.");
  // %10 is the tenth insert, not %1 followed by 0; other percent signs stay.
  CosClMessage all(catalog, 4, "1", "2", "3", "4", "5", "6", "7", "8", "9", "10");
  EXPECT_STREQ(all.getText(), "10|9|8|7|6|5|4|3|2|1 100% %0 %x");
}

}  // namespace
