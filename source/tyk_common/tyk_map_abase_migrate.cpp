// Migration of an index's map file and document map files to the 64-bit form: converted
// copies with ".64" appended to the extension, written beside the old files, which stay.
//
// This code serves a command-line migration run: it prints progress on standard output, and a
// failed byte copy prints its message and ends the process with exit status 1.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common_services/cos_memmgr.h"
#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_map_abase.h"
#include "tyk_map_io.h"

namespace {

// Set once the document map files of an index have been converted in this process.
uint32_t gs_ulDocMapFilesConverted = 0;

constexpr char kWideSuffix[] = ".64";
constexpr std::size_t kHeaderSize = 20;     // magic and the 32-bit count
constexpr std::size_t kDiiHeaderSize = 44;  // 4 bytes kept as a string, then 40 bytes as they are
constexpr std::size_t kDiiRecordSize = 12;  // 4 bytes widened to 8, then 8 bytes

// Ends the process after a failed byte copy, as a migration run does.
[[noreturn]] void copyFailed(const char* message) {
  std::fputs(message, stdout);
  std::fflush(stdout);
  std::exit(1);
}

// Copies source to target byte by byte, writing `zeros` zero bytes once the first `position`
// bytes have been copied (also at the end of a source of exactly that size). Map files are
// written for the owner only.
void byteCopy(const CosClFilenameABase& source, const CosClFilenameABase& target, long position,
              int zeros, bool ownerOnly) {
  FILE* in = std::fopen(source.getFullName(), "rbe");
  if (in == nullptr) copyFailed("Cannot open source file.\n");
  FILE* out = tykOpenNewFile(target.getFullName(), ownerOnly);
  if (out == nullptr) copyFailed("Cannot open destination file.\n");
  long copied = 0;
  for (;;) {
    if (copied == position) {
      for (int i = 0; i < zeros; ++i) {
        if (std::fputc(0, out) == EOF) copyFailed("Error writing destination file.\n");
      }
    }
    const int byte = std::fgetc(in);
    if (byte == EOF) break;
    if (std::fputc(byte, out) == EOF) copyFailed("Error writing destination file.\n");
    ++copied;
  }
  if (std::ferror(in)) copyFailed("Error reading source file.\n");
  if (std::fclose(in) != 0) copyFailed("Error closing source file.\n");
  if (std::fclose(out) != 0) copyFailed("Error closing destination file.\n");
}

CosClFilename wideName(const CosClFilename& name) {
  CosClFilename wide = name;
  wide.setNewExtension((std::string(name.getExtension()) + kWideSuffix).c_str());
  return wide;
}

}  // namespace

bool TykClMapABase::readWholeFile(const CosClFilename& filename, char*& buffer,
                                  std::size_t& size) const {
  FILE* file = std::fopen(filename.getFullName(), "rbe");
  if (file == nullptr) throwIoException(nullptr, filename, TYK_REASON_FILE_WRITE);
  struct stat status;
  if (::fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode))
    throwIoException(file, filename, TYK_REASON_FILE_WRITE);
  size = static_cast<std::size_t>(status.st_size);
  CosClMemoryManager::AllocatorCallback allocate = CosClMemoryManager::cv_pfuAllocatorCallback
                                                       ? CosClMemoryManager::cv_pfuAllocatorCallback
                                                       : &CosClMemoryManager::defaultAllocator;
  buffer = static_cast<char*>(allocate(size + 1));
  if (buffer == nullptr) {
    std::fputs("Memory error!", stderr);
    std::fclose(file);
    return false;
  }
  if (std::fread(buffer, 1, size, file) != size) {
    CosClMemoryManager::free(buffer);
    throwIoException(file, filename, TYK_REASON_FILE_WRITE);
  }
  buffer[size] = '\0';
  std::fclose(file);
  return true;
}

void TykClMapABase::convert32To64() {
  // The map file's extension is the shadow extension without its last character.
  std::string extension = iv_pszShadowExtension;
  if (!extension.empty()) extension.pop_back();
  const CosClFilename source(getLocation().getIndexDirectory(), getLocation().getIndexName(),
                             extension.c_str());
  const CosClFilename target = wideName(source);

  char* buffer = nullptr;
  std::size_t size = 0;
  if (!readWholeFile(source, buffer, size)) return;
  // Byte 19 is the low byte of a 32-bit count; in the 64-bit form it belongs to the count's
  // high half and is 0.
  const bool tooShort = size < kHeaderSize;
  const bool needsMigration = !tooShort && buffer[19] != 0;
  CosClMemoryManager::free(buffer);
  if (tooShort) throwIoException(nullptr, source, TYK_REASON_FILE_READ);

  if (needsMigration) {
    std::printf("NEEDS MIGRATION %s\n", source.getFullName());
    // The records come from memory: a map that was never loaded would write an empty map.
    if (!iv_bLoaded) {
      TykClException exception(TYK_RC_ERROR, TYK_REASON_CALLING_SEQUENCE, TYK_ACTION_ERROR,
                               source.getFullName());
      exception.throwFrom("source/tyk_common/tyk_map_migrate:118", 118);
    }
    iv_bShadow = true;
    FILE* file = createMapFile(target);
    if (!writeRecords(file, true)) throwIoException(file, target, TYK_REASON_FILE_WRITE);
    finishMapFile(file, target);
  } else {
    std::printf("Migration for file %s not necessary, already 64bit.\n", source.getFullName());
    std::fflush(stdout);
    byteCopy(source, target, -1, 0, true);
  }

  if (gs_ulDocMapFilesConverted == 0) {
    convert32To64docmapfiles();
    ++gs_ulDocMapFilesConverted;
  }
}

void TykClMapABase::convert32To64docmapfiles() {
  const CosClLocation& directory = getLocation().getIndexDirectory();
  const char* index = getLocation().getIndexName();
  const CosClFilename dii(directory, index, "dii");

  char* buffer = nullptr;
  std::size_t size = 0;
  if (!readWholeFile(dii, buffer, size)) return;
  if (size == 0) {
    CosClMemoryManager::free(buffer);
    std::fputs("zero size file!", stderr);
    return;
  }
  // A file without its whole 44-byte header cannot be converted.
  if (size < kDiiHeaderSize) {
    CosClMemoryManager::free(buffer);
    throwIoException(nullptr, dii, TYK_REASON_FILE_READ);
  }
  if (buffer[4] == 0) {
    CosClMemoryManager::free(buffer);
    return;
  }
  std::printf("NEEDS MIGRATION %s\n", dii.getFullName());

  const CosClFilename diiWide = wideName(dii);
  FILE* out = tykOpenNewFile(diiWide.getFullName(), false);
  if (out == nullptr) {
    CosClMemoryManager::free(buffer);
    throwIoException(nullptr, diiWide, TYK_REASON_FILE_WRITE);
  }
  std::setvbuf(out, nullptr, _IOFBF, 1 << 16);
  // The first three bytes as a string (zero from its first zero byte on), five zero bytes,
  // bytes 4 to 43, then each whole record with four zero bytes after its first four.
  char head[8] = {};
  std::strncpy(head, buffer, 3);
  static const char kZeros[4] = {};
  bool ok = std::fwrite(head, 1, sizeof head, out) == sizeof head &&
            std::fwrite(buffer + 4, 1, kDiiHeaderSize - 4, out) == kDiiHeaderSize - 4;
  for (std::size_t at = kDiiHeaderSize; ok && at + kDiiRecordSize <= size; at += kDiiRecordSize) {
    ok = std::fwrite(buffer + at, 1, 4, out) == 4 && std::fwrite(kZeros, 1, 4, out) == 4 &&
         std::fwrite(buffer + at + 4, 1, 8, out) == 8;
  }
  CosClMemoryManager::free(buffer);
  if (!ok) throwIoException(out, diiWide, TYK_REASON_FILE_WRITE);
  if (std::fclose(out) != 0) throwIoException(nullptr, diiWide, TYK_REASON_FILE_WRITE);
  std::fflush(stdout);

  const CosClFilename did(directory, index, "did");
  const CosClFilename ded(directory, index, "ded");
  const CosClFilename dei(directory, index, "dei");
  byteCopy(did, wideName(did), 44, 4, false);
  byteCopy(ded, wideName(ded), 44, 4, false);
  byteCopy(dei, wideName(dei), 4, 4, false);
}
