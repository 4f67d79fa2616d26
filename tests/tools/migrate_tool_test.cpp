// thesaurus-map-migrate run as a real process: the 64-bit forms of an index's map files and
// document map files, read back with the tests' own decoder; the byte copy that ends the
// process; the view of a map file; usage errors.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/map_file_codec.h"
#include "support/temp_dir.h"
#include "tool_runner.h"
#include "tyk_common/tyk_error_info.h"
#include "tyk_common/tyk_indexfile_mgr.h"
#include "tyk_common/tyk_map_names.h"

using testsupport::decodeMapFile;
using testsupport::encodeMapFile;
using testsupport::fileExists;
using testsupport::mapNameHash64;
using testsupport::MapRecord;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using toolstest::runTool;
using toolstest::ToolResult;

namespace {

const std::string kMigrate = THES_MIGRATE;

// 100 bytes of 0xFF: the 32-bit hash of this name wraps.
const std::string kWrapping = std::string(100, '\xFF');

// An index "idx" with a field map of two names (three records), a first attribute map whose
// one name has a wrapping hash, and a second attribute map already in the 64-bit form; and
// document map files whose ".dii" needs migration unless diiByte4 is 0.
void makeIndex(const TempDir& dir, char diiByte4 = 7) {
  TykClErrorInfo info;
  const TykClIndexLocation location("idx", dir.c_str(), dir.c_str());
  TykClFieldNameMap fields(location, info);
  TykClAttributeNameMap attributes(location, info);
  fields.init();
  attributes.init();
  TykClIndexFileMgr manager;
  manager.registerForNotify(fields);
  attributes.registerAtFileMgr(manager);
  manager.notifyStartTransaction();
  uint16_t number = 0;
  bool isNew = false;
  fields.assignFieldNameToNumber("title", number, isNew);
  fields.assignFieldNameToNumber("author", number, isNew);
  attributes.assignAttributeNameToNumber(kWrapping.c_str(), TYK_ATTRIBUTE_TYPE_1, number, isNew);
  manager.notifyEndTransaction();
  manager.notifyCommitTransaction();
  writeFile(dir.file("idx.as"), encodeMapFile({{"", 1, 0}, {std::string("x\0", 2), 2, 120}}, 8));

  std::string dii = "DII" + std::string(1, '\0') + std::string(1, diiByte4);
  for (int i = 5; i < 44; ++i)
    dii += static_cast<char>(i);
  for (int i = 0; i < 24; ++i)
    dii += static_cast<char>('a' + i);  // two whole records
  dii += "tail!";                       // not a whole record
  writeFile(dir.file("idx.dii"), dii);
  writeFile(dir.file("idx.did"), std::string(50, 'd'));
  writeFile(dir.file("idx.ded"), std::string(44, 'e'));
  writeFile(dir.file("idx.dei"), "0123456789");
}

TEST(MigrateTool, WritesTheSixtyFourBitFormsBesideTheOldFiles) {
  TempDir dir;
  makeIndex(dir);
  const std::string oldField = readFile(dir.file("idx.tf"));
  ToolResult r = runTool(kMigrate, {"-directory", dir.path(), "-index", "idx"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The document map files go with the first map only.
  EXPECT_EQ(r.out, "NEEDS MIGRATION " + dir.file("idx.tf") + "\nNEEDS MIGRATION " +
                       dir.file("idx.dii") + "\nNEEDS MIGRATION " + dir.file("idx.an") +
                       "\nMigration for file " + dir.file("idx.as") +
                       " not necessary, already 64bit.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(readFile(dir.file("idx.tf")), oldField);

  // Three records: 16 + 8 + 3 x 24 bytes and the names; the same names, numbers and hashes.
  const std::string wide = readFile(dir.file("idx.tf.64"));
  const std::string title("title\0", 6), author("author\0", 7);
  EXPECT_EQ(wide.size(), 16u + 8 + 3 * 24 + title.size() + author.size());
  EXPECT_EQ(decodeMapFile(wide, 8),
            (std::vector<MapRecord>{
                {"", 1, 0}, {title, 2, mapNameHash64(title)}, {author, 3, mapNameHash64(author)}}));
  struct stat status;
  ASSERT_EQ(::stat(dir.file("idx.tf.64").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);

  // The wrapped 32-bit hash is the low half of the 64-bit one.
  const auto narrow = decodeMapFile(readFile(dir.file("idx.an")));
  const auto widened = decodeMapFile(readFile(dir.file("idx.an.64")), 8);
  ASSERT_TRUE(narrow && widened);
  ASSERT_EQ(widened->size(), 2u);
  EXPECT_EQ(widened->at(1).name, kWrapping + '\0');
  EXPECT_GT(widened->at(1).hash, 0xFFFFFFFFull);
  EXPECT_EQ(widened->at(1).hash & 0xFFFFFFFFull, narrow->at(1).hash);

  // Already 64-bit: copied unchanged.
  EXPECT_EQ(readFile(dir.file("idx.as.64")), readFile(dir.file("idx.as")));

  // ".dii": its first three bytes as a string and five zero bytes, bytes 4 to 43, each whole
  // record widened after its first four bytes; the others with four zero bytes inserted.
  const std::string dii = readFile(dir.file("idx.dii"));
  const std::string zeros(4, '\0');
  std::string expected = std::string("DII", 3) + std::string(5, '\0') + dii.substr(4, 40);
  for (size_t at = 44; at + 12 <= dii.size(); at += 12)
    expected += dii.substr(at, 4) + zeros + dii.substr(at + 4, 8);
  EXPECT_EQ(readFile(dir.file("idx.dii.64")), expected);
  EXPECT_EQ(readFile(dir.file("idx.did.64")), std::string(44, 'd') + zeros + std::string(6, 'd'));
  EXPECT_EQ(readFile(dir.file("idx.ded.64")), std::string(44, 'e') + zeros);
  EXPECT_EQ(readFile(dir.file("idx.dei.64")), "0123" + zeros + "456789");
}

TEST(MigrateTool, DocumentMapFilesStayWhenDiiByteFourIsZero) {
  TempDir dir;
  makeIndex(dir, '\0');
  ToolResult r = runTool(kMigrate, {"-directory", dir.path(), "-index", "idx", "-maps", "tf"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "NEEDS MIGRATION " + dir.file("idx.tf") + "\n");
  EXPECT_TRUE(fileExists(dir.file("idx.tf.64")));
  for (const char* ext : {"dii", "did", "ded", "dei", "an", "as"})
    EXPECT_FALSE(fileExists(dir.file(std::string("idx.") + ext + ".64"))) << ext;
}

TEST(MigrateTool, FailedByteCopyEndsTheProcessWithStatusOne) {
  TempDir dir;
  makeIndex(dir);
  std::remove(dir.file("idx.did").c_str());
  ToolResult r = runTool(kMigrate, {"-directory", dir.path(), "-index", "idx", "-maps", "an"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "NEEDS MIGRATION " + dir.file("idx.an") + "\nNEEDS MIGRATION " +
                       dir.file("idx.dii") + "\nCannot open source file.\n");
  // What was written before the failure stays.
  EXPECT_TRUE(fileExists(dir.file("idx.an.64")));
  EXPECT_TRUE(fileExists(dir.file("idx.dii.64")));
  EXPECT_FALSE(fileExists(dir.file("idx.ded.64")));
}

TEST(MigrateTool, ShowsAMapFileAndReportsBadInput) {
  TempDir dir;
  makeIndex(dir);
  ToolResult r = runTool(kMigrate, {"-show", dir.file("idx.tf")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "elementNumber elementName\n\n            2  title \n            3  author \n");

  // A count of 9 and no records: a 32-bit file that needs migration but cannot be read.
  writeFile(dir.file("idx.tf"), std::string("TYK-MAPFILE-1.00\0\0\0\x09", 20));
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  } cases[] = {
      {{}, 2, "thesaurus-map-migrate: options -directory and -index are required\nUsage: "},
      {{"-index", "idx"}, 2, "thesaurus-map-migrate: options -directory and -index are required"},
      {{"-directory", dir.path(), "-index", "idx", "-maps", "tf,xx"}, 2, "-maps takes"},
      {{"-directory", dir.path(), "-index", "idx", "-maps", "tf,tf"}, 2, "-maps takes"},
      {{"-show", dir.file("idx.tf"), "-index", "idx"}, 2, "-show takes no other option"},
      {{"-show", dir.file("idx.tf")},
       8,
       "failed (return code 8, reason 17)\n" + dir.file("idx.tf")},
      {{"-directory", dir.path(), "-index", "idx", "-maps", "tf"},
       8,
       "reason 17)\n" + dir.file("idx.tf")},
      {{"-directory", dir.path(), "-index", "none", "-maps", "an"}, 8, "does not exist"},
      // No map file: the document map files alone, and there is no ".dii" either.
      {{"-directory", dir.path(), "-index", "none"}, 8, "reason 18)\n" + dir.file("none.dii")},
  };
  for (const auto& c : cases) {
    r = runTool(kMigrate, c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}

}  // namespace
