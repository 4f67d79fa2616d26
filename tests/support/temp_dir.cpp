#include "support/temp_dir.h"

#include "cnet_os_cache.h"
#include "zol_index_cache.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace testsupport {

void dropCachedFiles() {
  cnetReadCacheClear();
  zol::clearIndexCache();
}

int openDescriptorCount() {
  dropCachedFiles();
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                        std::filesystem::directory_iterator{}));
}

std::string numbered(const char* prefix, long long n) {
  return std::string(prefix).append(std::to_string(n));
}

TempDir::TempDir() : TempDir(fs::temp_directory_path().string()) {}

TempDir::TempDir(const std::string& base) {
  std::string tmpl = (fs::path(base) / "thes-test-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp failed: " << std::strerror(errno);
  }
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const {
  return path_ + "/" + name;
}

std::vector<std::string> TempDir::list() const {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(path_))
    names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

bool fileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

long fileSize(const std::string& path) {
  std::error_code ec;
  auto n = fs::file_size(path, ec);
  return ec ? -1 : static_cast<long>(n);
}

std::string statusText(const CNETSTATUS& status) {
  char text[CNET_MESSAGE_SIZE];
  zolCNETgetMessage(34, &status, text);
  return text;
}

::testing::AssertionResult statusIs(const CNETSTATUS& status, uint32_t retcode, uint32_t errcode) {
  if (status.retcode == retcode && status.errcode == errcode) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "status is (" << status.retcode << ", " << status.errcode << ") \""
         << statusText(status) << "\" file '" << status.filename << "', expected (" << retcode
         << ", " << errcode << ")";
}

CNETSTATUS clearStatus() {
  CNETSTATUS st;
  std::memset(&st, 0, sizeof st);
  return st;
}

}  // namespace testsupport
