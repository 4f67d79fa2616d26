// Texts of the indexing engine's status codes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "indexing_engine/zol.h"

namespace {

std::string text(uint32_t rc, uint32_t ec, const char* file = "", uint8_t codePage = 34) {
  ZOLSTATUS st{};
  st.retcode = rc;
  st.errcode = ec;
  std::strcpy(st.filename, file);
  std::strcpy(st.filename2, "/d/t.wix");
  char buf[ZOL_MESSAGE_SIZE];
  ZOLgetMessage(codePage, &st, buf);
  return buf;
}

TEST(ZolMessage, EveryCodeHasItsText) {
  EXPECT_EQ(text(0, 5), "");
  EXPECT_EQ(text(ZOL_RC_PARAMETER, 5), "zolI002E: Error: Invalid parameter.  errcode = 5");
  EXPECT_EQ(text(ZOL_RC_OPEN, 5, "/d/t.wix"), "zolI003E: Error: /d/t.wix Open error.  errcode = 5");
  EXPECT_EQ(text(ZOL_RC_RENAME, 1, "/d/t.wi$"),
            "zolI009E: Error: Rename error.  From: /d/t.wi$  To: /d/t.wix  errcode = 1");
  EXPECT_EQ(text(ZOL_RC_INDEX_INVALID, 4, "/d/t.wix"),
            "zolI016E: Error: /d/t.wix Index data is not valid.  errcode = 4");
  EXPECT_EQ(text(ZOL_RC_INDEX_NOT_EXIST, 0, "/d/t.wix"),
            "zolI020E: Error: /d/t.wix Index does not exist.");
  EXPECT_EQ(text(ZOL_RC_EMPTY_QUERY, 0), "zolI025E: Error: The query is empty.");
  for (uint32_t rc : {4u, 5u, 6u, 8u, 10u, 11u, 15u, 101u, 111u}) {
    std::string t = text(rc, 3, "/f");
    EXPECT_EQ(t.rfind("zolI", 0), 0u) << rc;
    EXPECT_NE(t.find("errcode = 3"), std::string::npos) << rc;
  }
  EXPECT_EQ(text(543, 7), "Indexing engine error has occurred. (retcode, errcode) = (543, 7)");
  EXPECT_EQ(text(ZOL_RC_OPEN, 5, "/f", 0), "Codepage parameter cannot be interpreted.");
  EXPECT_EQ(text(ZOL_RC_OPEN, 5, "/f", 38), "Codepage parameter cannot be interpreted.");
}

}  // namespace
