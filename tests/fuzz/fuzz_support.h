// Helpers the fuzz targets share: stopping with a message (so that the fuzzer keeps the input),
// a work directory, and whole files read and written. Single-threaded, like the targets.
#ifndef TESTS_FUZZ_FUZZ_SUPPORT_H
#define TESTS_FUZZ_FUZZ_SUPPORT_H

#include <errno.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fuzzsupport {

[[noreturn]] inline void die(const char* what) {
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what);
  std::abort();
}

inline void check(bool ok, const char* what) {
  if (!ok) die(what);
}

// A new directory in the temporary directory, its name prefix and six random characters.
inline std::string newDirectory(const char* prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + ".XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) die("mkdtemp failed");
  return pattern;
}

inline std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) die("cannot read a file");
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeAll(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) die("cannot write a file");
}

}  // namespace fuzzsupport

#endif  // TESTS_FUZZ_FUZZ_SUPPORT_H
