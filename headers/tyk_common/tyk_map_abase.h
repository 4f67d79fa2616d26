/* TykClMapABase: a persistent name-to-number map kept beside an index.
 *
 * Names (byte strings with a length) get small numbers that the index stores instead of the
 * names. Number 1 is the reserved entry with the empty name, which is never found by name, so
 * the first name gets number 2; a number keeps its name until the map is cleared, and the
 * number of a deleted name is never given out again. The entries live in memory
 * (tyk_map_htab.h); the map follows its index through the notifications of the index file
 * manager (tyk_indexfile_mgr.h):
 *   - init and transaction start load the map file once (a missing file is an empty map) and
 *     delete a leftover shadow map file;
 *   - transaction end writes the whole map to the shadow map file and flushes it to disk;
 *   - commit puts the shadow map file in the place of the map file in one rename, so the index
 *     always has either its old or its new map file; rollback deletes the shadow map file and
 *     makes the next init or start read the map file again;
 *   - create does nothing; clear and destroy empty the map and delete both files; rename, copy
 *     and move act on the map file only.
 * File names: map file <index directory>/<index name>.<map extension>, shadow map file
 * <shadow directory>/<index name>.<shadow extension>.
 *
 * Map file (all integers unsigned 32-bit big-endian; written with permissions 0600):
 *   offset  size  meaning
 *   0       16    magic "TYK-MAPFILE-1.00", no terminator
 *   16      4     N: number of records = next number - 1 (reserved and deleted entries count)
 *   20      ...   N records in number order 1 to N, nothing after the last one
 * Record:
 *   4       L: name length, 0 for the reserved entry and deleted entries, at most 32767
 *   L       the name bytes (absent when L is 0)
 *   4       the entry's number (a reader takes the number from the position instead)
 *   4       the entry's hash (tyk_map_htab.h); a deleted entry keeps its former name's hash;
 *           a reader takes it unchanged
 * A loader refuses with reason 17: a short file, a wrong magic, N of 0, N above the map's
 * maximum size or above what the file's size can hold, L above 32767, a first record with a
 * name, and bytes after the last record.
 *
 * 64-bit map file, written by convert32To64 beside the map file (extension + ".64"; all
 * integers unsigned 64-bit big-endian; permissions 0600):
 *   0       16    the same magic
 *   16      8     N
 *   24      ...   N records: 8 bytes L, L name bytes, 8 bytes number, 8 bytes hash, where the
 *                 hash is the name's hash summed in 64 bits (its low half is the 32-bit hash;
 *                 a deleted entry keeps its 32-bit hash)
 *
 * Failures are TykClException with return code 8 and action 100001: 17 (map file unreadable or
 * damaged) and 18 (map file not written) with the file's full name as context, 404 (map full),
 * 347 (a name that is empty or longer than 32767 bytes cannot be added), and those of the file
 * operations of TykClIndexFileBase. A name that is not found is a warning (reason 403) recorded
 * in the error information.
 *
 * Ownership: the map refers to the caller's location and error information, which must outlive
 * it, and to the two extension strings (literals). Threads: one thread at a time.
 */
#ifndef TYK_COMMON_TYK_MAP_ABASE_H
#define TYK_COMMON_TYK_MAP_ABASE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "thesaurus_export.h"
#include "tyk_common/tyk_codes.h"
#include "tyk_common/tyk_indexfilebase.h"
#include "tyk_common/tyk_map_htab.h"

class TykClErrorInfo;

#define TYK_MAPFILE_MAGIC "TYK-MAPFILE-1.00"
#define TYK_MAPFILE_MAGIC_SIZE 16
#define TYK_MAPFILE_NAME_MAX 32767u

class THES_EXPORT TykClMapABase : public TykClIndexFileBase {
 public:
  // An empty map; no file is touched. init must follow.
  TykClMapABase(const TykClIndexLocation& location, const char* mapExtension,
                const char* shadowExtension, TykClErrorInfo& errorInfo, uint32_t maxSize,
                uint32_t initialSize, uint32_t hashSize);
  // Releases the entries; writes nothing.
  ~TykClMapABase() override;

  // Makes the map hold only the reserved entry (number 1).
  void init();

  // The number of a name. A missing name is recorded as a warning (reason 403, the name in the
  // context) in the error information, and the answer is 1 if that returns.
  void mapNameToNumber(const char* name, uint32_t length, uint32_t& number) const;
  // The number of a name, added with the next number when missing (isNew then true).
  void assignNameToNumber(const char* name, uint32_t length, uint32_t& number, bool& isNew);
  // Deletes a name; its number stays taken. A missing name is ignored.
  void deleteName(const char* name, uint32_t length);
  // Empties the map (without the reserved entry) and marks it as not loaded.
  void clearEntries();
  // Prints "elementNumber elementName", then one line per entry: its number and name for a
  // named entry, an empty line for the reserved and deleted entries.
  void display(FILE* file) const;

  void onIndexFileCreate() override;
  void onIndexFileClear() override;
  void onIndexFileDestroy() override;
  void onIndexFileRename(const char* newIndexName) override;
  void onIndexFileCopy(const char* targetDirectory) override;
  void onIndexFileMove(const char* targetDirectory) override;
  void onIndexFileInit() override;
  void onIndexFileStartTransaction() override;
  void onIndexFileEndTransaction() override;
  void onIndexFileCommitTransaction() override;
  void onIndexFileRollbackTransaction() override;

  // Writes the 64-bit form of the map file beside it (the map must have been loaded) and, the
  // first time in the process, of the index's document map files. Prints its progress on
  // standard output; a failed byte copy ends the process with exit status 1.
  void convert32To64();
  // Writes the 64-bit forms of the document map files ".dii", ".did", ".ded" and ".dei".
  void convert32To64docmapfiles();

  bool isLoaded() const { return iv_bLoaded; }
  bool hasShadowFile() const { return iv_bShadow; }
  uint32_t getNextNumber() const { return iv_clArray.getNextNumber(); }
  // The entries, for diagnostics (TykClMapArray::display) and sizes.
  const TykClMapArray& getEntries() const { return iv_clArray; }

 protected:
  // Writes the whole map to a new file (reason 18 on failure) and flushes it to disk.
  void saveToIndexFile(const CosClFilename& filename) const;
  // Replaces the map by the file's records (reason 17 on failure, with the map back to the
  // reserved entry only and not loaded).
  void loadFromIndexFile(const CosClFilename& filename);
  // Closes file when it is not null and throws the failure `reason` naming the file.
  [[noreturn]] void throwIoException(FILE* file, const CosClFilename& filename,
                                     TykEnReasonCode reason) const;

 private:
  CosClFilename mapFileName() const;
  CosClFilename shadowFileName() const;
  void makeReservedEntry();
  void loadIfNeeded();
  void emptyAndDeleteFiles();
  // Opens a map file for writing (reason 18 on failure).
  FILE* createMapFile(const CosClFilename& filename) const;
  // Flushes the file to disk and closes it (reason 18 on failure).
  void finishMapFile(FILE* file, const CosClFilename& filename) const;
  // Writes magic, count and records, 32-bit or (wide) 64-bit; false when a write fails.
  bool writeRecords(FILE* file, bool wide) const;
  // Reads a map file's contents into the emptied map; false for a damaged file. block is a
  // name buffer for long names that the caller releases.
  bool readRecords(FILE* file, char*& block);
  // Reads a whole file into a block of its size + 1 bytes from the allocator, released by the
  // caller. False (after "Memory error!" on standard error) when no block can be had; a file
  // that cannot be opened or read throws reason 18.
  bool readWholeFile(const CosClFilename& filename, char*& buffer, std::size_t& size) const;

  TykClMapArray iv_clArray;
  TykClMapHashtable iv_clHashtable;
  const char* iv_pszMapExtension;    /* not owned */
  const char* iv_pszShadowExtension; /* not owned */
  TykClErrorInfo& iv_rclErrorInfo;
  bool iv_bLoaded; /* the map file has been read, or the map is known to be current */
  bool iv_bShadow; /* a shadow map file this map wrote exists */
};

#endif /* TYK_COMMON_TYK_MAP_ABASE_H */
