// Dictionary names, directories and file paths.
#include "cnet_names.h"

#include <cstring>

#include "cnet_os.h"

namespace {

constexpr const char* kExtensions[4][CNET_FILES] = {
    {"wdf", "wdv", "grf", "grv"},
    {"w1f", "w1v", "g1f", "g1v"},
    {"w2f", "w2v", "g2f", "g2v"},
    {"w3f", "w3v", "g3f", "g3v"},
};

// Writes a + "/" + b + sep + c into out (every lookup forms several paths, so this joins the
// parts directly rather than through a formatting call). False, with out empty, when the path
// does not fit.
bool formatInto(char* out, size_t size, const char* a, const char* b, const char* sep,
                const char* c) {
  const char* parts[5] = {a, "/", b, sep, c};
  size_t lengths[5];
  size_t total = 0;
  for (int i = 0; i < 5; ++i) {
    lengths[i] = std::strlen(parts[i]);
    total += lengths[i];
  }
  if (total >= size) {
    out[0] = '\0';
    return false;
  }
  for (int i = 0; i < 5; ++i) {
    std::memcpy(out, parts[i], lengths[i]);
    out += lengths[i];
  }
  *out = '\0';
  return true;
}

// Copies a directory of a directories string; a lone "/" stands for the empty directory.
void copyDirectory(char* out, const char* begin, size_t length) {
  if (length == 1 && begin[0] == '/') length = 0;
  std::memcpy(out, begin, length);
  out[length] = '\0';
}

}  // namespace

const char* const* cnetSetExtensions(unsigned set) {
  return kExtensions[set & 3u];
}

bool cnetFormPath(char* out, size_t size, const char* directory, const char* name,
                  const char* extension) {
  return formatInto(out, size, directory, name, ".", extension);
}

bool cnetFormLockPath(char* out, size_t size, const char* directory, const char* name,
                      const char* suffix) {
  return formatInto(out, size, directory, name, "", suffix);
}

THES_EXPORT uint32_t cnetCorrectNames(const char** name, const char** directories) {
  if (name == nullptr || *name == nullptr || directories == nullptr || *directories == nullptr) {
    return 0;
  }
  size_t nameLength = std::strlen(*name);
  if (nameLength == 0 || nameLength > CNET_NAME_MAX) return 0;
  const char* dirs = *directories;
  size_t dirsLength = std::strlen(dirs);
  if (dirsLength == 0) return 0;
  const char* tab = std::strchr(dirs, '\t');
  if (tab == nullptr) return dirsLength <= CNET_NAME_MAX ? 1 : 0;
  size_t first = static_cast<size_t>(tab - dirs);
  size_t second = dirsLength - first - 1;
  return first <= CNET_NAME_MAX && second <= CNET_NAME_MAX ? 1 : 0;
}

THES_EXPORT void cnetSetCNETCTL(CNETCTL* ctl, const char* name, const char* directories,
                                uint8_t setIndex) {
  if (ctl == nullptr) return;
  std::memset(ctl, 0, sizeof *ctl);
  if (!cnetCorrectNames(&name, &directories)) return;  // callers check first; stay empty
  std::memcpy(ctl->name, name, std::strlen(name) + 1);
  std::memcpy(ctl->directories, directories, std::strlen(directories) + 1);
  if (const char* tab = std::strchr(directories, '\t')) {
    copyDirectory(ctl->directory, directories, static_cast<size_t>(tab - directories));
    copyDirectory(ctl->altDirectory, tab + 1, std::strlen(tab + 1));
    ctl->twoDirectories = 1;
  } else {
    copyDirectory(ctl->directory, directories, std::strlen(directories));
  }
  ctl->setIndex = setIndex;
  const char* const* extensions = cnetSetExtensions(setIndex);
  for (int i = 0; i < CNET_FILES; ++i) {
    char* path = ctl->files[i].path;
    if (ctl->twoDirectories &&
        cnetFormPath(path, sizeof ctl->files[i].path, ctl->altDirectory, ctl->name,
                     extensions[i]) &&
        cnetOs()->access(path) == 0) {
      continue;
    }
    cnetFormPath(path, sizeof ctl->files[i].path, ctl->directory, ctl->name, extensions[i]);
  }
}
