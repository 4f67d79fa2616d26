// Lookups in four reader processes while a fifth process recompiles the dictionary with
// replace again and again: every lookup gives the complete answer of the old or of the new
// dictionary, or reports the dictionary locked or absent.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/dict_model.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

constexpr int kReaders = 4;
constexpr int kCompilations = 20;

// Version v: "hub" in a synonym block with words of its own, related to a chain of further
// words; the versions differ in every answer, and version 1 is larger, so that a header of one
// and records of the other cannot pass unnoticed.
std::string definition(int version) {
  const int size = version == 0 ? 300 : 450;
  const std::string p = testsupport::numbered("v", version);
  std::string text = ":WORDS:SYNONYM\nhub\n";
  for (int i = 0; i < 8; ++i)
    text += p + "s" + std::to_string(i) + " :" + std::to_string(90 - i) + "\n";
  for (int i = 0; i < size; ++i) {
    text += ":WORDS\n" + p + "w" + std::to_string(i) + "\n.RELATED_TO " + p + "w" +
            std::to_string(i + 1) + " :" + std::to_string(50 + i % 50) + "\n";
    if (i % 10 == 0) text += ".RELATED_TO hub\n";
  }
  return text;
}

// The answer of a lookup of "hub" as one string, or the status that ended it.
std::string lookupHub(const std::string& dir, void** cell, uint32_t* retcode) {
  const testsupport::Answer a = testsupport::lookUp(
      cell, dir, "thes", "hub", testsupport::condOf(CNET_REL_SYNONYM | CNET_REL_RELATED, 100, 3));
  *retcode = a.status.retcode;
  return testsupport::describe(a.entries);
}

TEST(ReferProcesses, LookupsDuringRepeatedReplacement) {
  // The expected answers of both versions, from dictionaries of their own.
  TempDir reference;
  std::string expected[2];
  for (int v = 0; v < 2; ++v) {
    const std::string sub = reference.file(testsupport::numbered("v", v));
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    ASSERT_OK(testsupport::compileText(sub, "thes", definition(v)));
    uint32_t rc = 0;
    expected[v] = lookupHub(sub, nullptr, &rc);
    ASSERT_EQ(rc, 0u);
    ASSERT_FALSE(expected[v].empty());
  }
  ASSERT_NE(expected[0], expected[1]);

  TempDir dir;
  ASSERT_OK(testsupport::compileText(dir.path(), "thes", definition(0)));
  testsupport::writeFile(dir.file("v0.def"), definition(0));
  testsupport::writeFile(dir.file("v1.def"), definition(1));

  int stop[2];
  ASSERT_EQ(pipe(stop), 0);
  struct Report {
    long old, fresh, refused, wrong;
  };
  int reports[kReaders][2];
  pid_t readers[kReaders];
  for (int r = 0; r < kReaders; ++r) {
    ASSERT_EQ(pipe(reports[r]), 0);
    readers[r] = fork();
    ASSERT_GE(readers[r], 0);
    if (readers[r] == 0) {
      close(stop[1]);
      fcntl(stop[0], F_SETFL, O_NONBLOCK);
      Report out{0, 0, 0, 0};
      // Half the readers keep a search context, half use none.
      void* context = nullptr;
      void** cell = r % 2 == 0 ? &context : nullptr;
      char c;
      while (read(stop[0], &c, 1) < 0) {
        uint32_t rc = 0;
        const std::string answer = lookupHub(dir.path(), cell, &rc);
        if (rc == 0 && answer == expected[0]) {
          ++out.old;
        } else if (rc == 0 && answer == expected[1]) {
          ++out.fresh;
        } else if (rc == CNET_LOCKED || rc == CNET_NOT_EXIST) {
          ++out.refused;
        } else {
          ++out.wrong;
        }
        // A short pause between lookups leaves the update step moments without readers, as
        // real users do; without it the step mostly waits out its one-second retries.
        usleep(1000);
      }
      CNETSTATUS st = testsupport::clearStatus();
      zolCNETrefer_Release(cell, &st);
      _exit(write(reports[r][1], &out, sizeof out) == sizeof out ? 0 : 1);
    }
    close(reports[r][1]);
  }
  close(stop[0]);

  pid_t compiler = fork();
  ASSERT_GE(compiler, 0);
  if (compiler == 0) {
    int failed = 0;
    for (int i = 1; i <= kCompilations; ++i) {
      const std::string def = dir.file(i % 2 ? "v1.def" : "v0.def");
      if (testsupport::compileFile(dir.path(), "thes", def).retcode != 0) ++failed;
    }
    _exit(failed);
  }
  int status = -1;
  ASSERT_EQ(waitpid(compiler, &status, 0), compiler);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "compilations failed";
  close(stop[1]);

  Report total{0, 0, 0, 0};
  for (int r = 0; r < kReaders; ++r) {
    Report out{};
    ASSERT_EQ(read(reports[r][0], &out, sizeof out), static_cast<ssize_t>(sizeof out));
    close(reports[r][0]);
    ASSERT_EQ(waitpid(readers[r], &status, 0), readers[r]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "reader " << r;
    total.old += out.old;
    total.fresh += out.fresh;
    total.refused += out.refused;
    total.wrong += out.wrong;
  }
  EXPECT_EQ(total.wrong, 0) << "a lookup gave an answer of neither dictionary";
  EXPECT_GT(total.old + total.fresh, 0) << "no lookup got through";
  RecordProperty("lookups", std::to_string(total.old + total.fresh + total.refused));

  // The last compilation (an even one) left version 0, complete and sound.
  uint32_t rc = 0;
  EXPECT_EQ(lookupHub(dir.path(), nullptr, &rc), expected[0]);
  CNETEXEC quiet{};
  CNETSTATUS st = testsupport::clearStatus();
  zolCNETverify("thes", dir.c_str(), &quiet, 0, 0, &st);
  EXPECT_OK(st);
}

}  // namespace
