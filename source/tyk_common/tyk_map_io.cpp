// Creating the files that hold map data.
#include "tyk_map_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* tykOpenNewFile(const char* path, bool ownerOnly) {
  const int fd =
      ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, ownerOnly ? 0600 : 0666);
  if (fd < 0) return nullptr;
  if (ownerOnly) ::fchmod(fd, 0600);
  FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) ::close(fd);
  return file;
}
