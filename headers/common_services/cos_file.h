/* Common services: directories, file names and files.
 *
 * CosClLocation names a directory. CosClFilenameABase composes a full name "dir/base.ext"
 * from a directory, a base name and an extension (no "/" when the directory is empty or already
 * ends in one, no "." when the extension is empty), or takes a whole path and splits it into
 * those parts. CosClFile binds a file name for whole-file operations (copy, rename, remove,
 * times); it never keeps a file open. CosClFileABase reads the times of a file by full name.
 *
 * Failures: copyTo, renameAs and remove answer false; the time getters throw CosClException
 * (COS_ERROR_FILE_STATUS) when the file's attributes cannot be read. Descriptors are opened
 * with O_CLOEXEC.
 *
 * Threads: objects are used by one thread at a time.
 */
#ifndef COMMON_SERVICES_COS_FILE_H
#define COMMON_SERVICES_COS_FILE_H

#include <cstdint>
#include <string>

#include "thesaurus_export.h"

/* A directory. */
class THES_EXPORT CosClLocation {
 public:
  explicit CosClLocation(const char* directory);  // null is the empty directory
  const char* getName() const { return iv_strDirectory.c_str(); }
  operator const char*() const { return getName(); }
  bool isExistent() const;  // an existing directory

 private:
  std::string iv_strDirectory;
};

class THES_EXPORT CosClFilenameABase {
 public:
  // dir/base.ext; any part may be null (taken as empty).
  CosClFilenameABase(const char* directory, const char* baseName, const char* extension);
  // A whole path: directory up to the last '/', extension after the last '.' of the last part.
  explicit CosClFilenameABase(const char* path);
  virtual ~CosClFilenameABase();
  CosClFilenameABase(const CosClFilenameABase&) = default;
  CosClFilenameABase& operator=(const CosClFilenameABase&) = default;

  const char* getFullName() const { return iv_strFullName.c_str(); }
  operator const char*() const { return getFullName(); }
  const char* getDirectory() const { return iv_strDirectory.c_str(); }
  const char* getBaseName() const { return iv_strBaseName.c_str(); }
  const char* getExtension() const { return iv_strExtension.c_str(); }

  // True when something (file or directory) exists under the full name.
  bool isExistent() const;

 protected:
  void setExtension(const char* extension);

 private:
  void compose();

  std::string iv_strFullName; /* the NUL-terminated full name, kept in step with the parts */
  std::string iv_strDirectory;
  std::string iv_strBaseName;
  std::string iv_strExtension;
};

class THES_EXPORT CosClFilename : public CosClFilenameABase {
 public:
  CosClFilename(const CosClLocation& location, const char* baseName, const char* extension);
  explicit CosClFilename(const char* path) : CosClFilenameABase(path) {}
  // Replaces the extension and composes the full name again.
  void setNewExtension(const char* extension) { setExtension(extension); }
};

/* File times by full name, in seconds since 1970-01-01 UTC. */
class THES_EXPORT CosClFileABase {
 public:
  // Birth time where the file system records it, else the last status change.
  static int64_t getDateTimeOfCreation(const char* fullName);
  static int64_t getDateTimeOfLastAccess(const char* fullName);
  static int64_t getDateTimeOfLastModification(const char* fullName);
};

class THES_EXPORT CosClFile {
 public:
  // Binds the name; opens nothing. The mode is kept for the library's stream users and may be
  // null.
  CosClFile(const CosClFilenameABase& name, const char* mode);

  operator const char*() const { return iv_clName.getFullName(); }
  bool isExistent() const { return iv_clName.isExistent(); }
  bool isDirectory() const { return false; }
  bool isFile() const { return true; }
  int64_t getDateTimeOfCreation() const {
    return CosClFileABase::getDateTimeOfCreation(iv_clName.getFullName());
  }
  int64_t getDateTimeOfLastAccess() const {
    return CosClFileABase::getDateTimeOfLastAccess(iv_clName.getFullName());
  }
  int64_t getDateTimeOfLastModification() const {
    return CosClFileABase::getDateTimeOfLastModification(iv_clName.getFullName());
  }

  // Copies the contents to target. An existing target is replaced only when replace is true.
  // A failed copy removes the partial target. Copying a file onto itself changes nothing.
  bool copyTo(const CosClFilenameABase& target, bool replace);
  // Renames to target; fails when target exists. The bound name stays the old one.
  bool renameAs(const CosClFilenameABase& target);
  // Removes the file.
  bool remove();
  // The open mode the file was bound with.
  const char* getMode() const { return iv_pszMode; }

 private:
  CosClFilename iv_clName;
  const char* iv_pszMode; /* not owned */
};

#endif /* COMMON_SERVICES_COS_FILE_H */
