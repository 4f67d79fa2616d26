// Helpers the benchmark programs share.
#include "bench_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "support/synthetic_definition.h"

namespace benchsupport {

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

bool ok(const CNETSTATUS& st, const char* what) {
  if (st.retcode == 0) return true;
  char text[CNET_MESSAGE_SIZE];
  zolCNETgetMessage(34, &st, text);
  std::fprintf(stderr, "%s failed: %s\n", what, text);
  return false;
}

bool compile(const std::string& name, const std::string& dir, const std::string& def) {
  CNETDEF d{};
  d.kind = CNET_DEF_FILE;
  d.path = def.c_str();
  CNETCODE code{};
  code.codePage = 34;
  CNETEXEC exec{};
  exec.flags = CNET_EXEC_REPLACE;
  CNETSTATUS st{};
  zolCNETregist(name.c_str(), dir.c_str(), &d, &code, &exec, nullptr, &st);
  return ok(st, "compile");
}

uint32_t buildSynthetic(const std::string& name, const std::string& dir, uint64_t occurrences,
                        uint64_t vocabulary) {
  std::filesystem::create_directories(dir);
  const std::string def = dir + "/" + name + ".def";
  synthetic::Options options;
  options.occurrences = occurrences;
  options.vocabulary = vocabulary;
  if (synthetic::writeDefinition(def, options) == 0) return 0;
  if (!compile(name, dir, def)) return 0;
  CNETSTATUS st{};
  const uint32_t words = zolCNETgetInfo(name.c_str(), dir.c_str(), 0, nullptr, 0, &st);
  return ok(st, "information") ? words : 0;
}

}  // namespace benchsupport
