// Directories, file names and whole-file operations over POSIX calls.
#include "common_services/cos_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "common_services/cos_exception.h"

namespace {

bool pathExists(const char* path) {
  struct stat st;
  return path[0] != '\0' && ::stat(path, &st) == 0;
}

// Writes all of size bytes; false on any failure.
bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Copies the open source descriptor to the open target descriptor.
bool copyContents(int in, int out) {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!writeAll(out, buffer, static_cast<size_t>(n))) return false;
  }
}

struct stat statOrThrow(const char* fullName) {
  struct stat st;
  if (fullName == nullptr || ::stat(fullName, &st) != 0)
    throw CosClException("The attributes of the file cannot be read", COS_ERROR_FILE_STATUS,
                         COS_CLASS_FILE);
  return st;
}

}  // namespace

CosClLocation::CosClLocation(const char* directory) : iv_strDirectory(directory ? directory : "") {}

bool CosClLocation::isExistent() const {
  struct stat st;
  return !iv_strDirectory.empty() && ::stat(iv_strDirectory.c_str(), &st) == 0 &&
         S_ISDIR(st.st_mode);
}

CosClFilenameABase::CosClFilenameABase(const char* directory, const char* baseName,
                                       const char* extension)
    : iv_strDirectory(directory ? directory : ""),
      iv_strBaseName(baseName ? baseName : ""),
      iv_strExtension(extension ? extension : "") {
  compose();
}

CosClFilenameABase::CosClFilenameABase(const char* path) {
  std::string whole = path ? path : "";
  size_t slash = whole.rfind('/');
  std::string last = whole;
  if (slash != std::string::npos) {
    // The root keeps its slash so that composing gives the same path again.
    iv_strDirectory = whole.substr(0, slash == 0 ? 1 : slash);
    last = whole.substr(slash + 1);
  }
  size_t dot = last.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    iv_strBaseName = last.substr(0, dot);
    iv_strExtension = last.substr(dot + 1);
  } else {
    iv_strBaseName = last;
  }
  compose();
  if (dot != std::string::npos && dot + 1 == last.size()) iv_strFullName = whole;  // "name."
}

CosClFilenameABase::~CosClFilenameABase() = default;

void CosClFilenameABase::compose() {
  iv_strFullName = iv_strDirectory;
  if (!iv_strFullName.empty() && iv_strFullName.back() != '/') iv_strFullName.push_back('/');
  iv_strFullName += iv_strBaseName;
  if (!iv_strExtension.empty()) {
    iv_strFullName.push_back('.');
    iv_strFullName += iv_strExtension;
  }
}

void CosClFilenameABase::setExtension(const char* extension) {
  iv_strExtension = extension ? extension : "";
  compose();
}

bool CosClFilenameABase::isExistent() const {
  return pathExists(iv_strFullName.c_str());
}

CosClFilename::CosClFilename(const CosClLocation& location, const char* baseName,
                             const char* extension)
    : CosClFilenameABase(location.getName(), baseName, extension) {}

int64_t CosClFileABase::getDateTimeOfCreation(const char* fullName) {
  struct statx stx;
  if (fullName != nullptr && ::statx(AT_FDCWD, fullName, 0, STATX_BTIME | STATX_CTIME, &stx) == 0) {
    if (stx.stx_mask & STATX_BTIME) return stx.stx_btime.tv_sec;
    if (stx.stx_mask & STATX_CTIME) return stx.stx_ctime.tv_sec;
  }
  return statOrThrow(fullName).st_ctime;
}

int64_t CosClFileABase::getDateTimeOfLastAccess(const char* fullName) {
  return statOrThrow(fullName).st_atime;
}

int64_t CosClFileABase::getDateTimeOfLastModification(const char* fullName) {
  return statOrThrow(fullName).st_mtime;
}

CosClFile::CosClFile(const CosClFilenameABase& name, const char* mode)
    : iv_clName(name.getFullName()), iv_pszMode(mode) {}

bool CosClFile::copyTo(const CosClFilenameABase& target, bool replace) {
  const char* from = iv_clName.getFullName();
  const char* to = target.getFullName();
  if (from[0] == '\0' || to[0] == '\0') return false;
  int in = ::open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat source;
  if (::fstat(in, &source) != 0 || !S_ISREG(source.st_mode)) {
    ::close(in);
    return false;
  }
  struct stat existing;
  if (::stat(to, &existing) == 0) {
    if (existing.st_dev == source.st_dev && existing.st_ino == source.st_ino) {
      ::close(in);
      return true;  // the target is the source: truncating it would lose the contents
    }
    if (!replace) {
      ::close(in);
      return false;
    }
  }
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (replace ? 0 : O_EXCL);
  int out = ::open(to, flags, 0666);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = copyContents(in, out);
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (!ok) ::unlink(to);
  return ok;
}

bool CosClFile::renameAs(const CosClFilenameABase& target) {
  const char* from = iv_clName.getFullName();
  const char* to = target.getFullName();
  if (from[0] == '\0' || to[0] == '\0') return false;
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The file system cannot refuse to replace by itself: look first.
  if (pathExists(to)) return false;
  return ::rename(from, to) == 0;
}

bool CosClFile::remove() {
  const char* name = iv_clName.getFullName();
  return name[0] != '\0' && ::unlink(name) == 0;
}
