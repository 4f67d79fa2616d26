/* In-memory store of a name map: the entry array and the hash table over it.
 *
 * TykClMapArray holds the entries in number order (the entry with number n sits at position
 * n - 1) and gives out the numbers 1 to its maximum size, growing its storage in fixed steps of
 * its initial size. TykClMapHashtable finds an entry's number from its name through a fixed
 * number of chains, newest entry first; it never grows or rehashes. A name is a byte string
 * with an explicit length: it need not end in a zero byte and may contain any byte.
 *
 * Ownership: the array owns its storage and each entry's copy of the name; the table owns its
 * bucket array and its nodes. Nodes refer to entries by number, so the owner (TykClMapABase)
 * clears both together. All memory comes from the common services memory manager; a failed
 * allocation ends in CosClMemoryManager::outOfMemory.
 *
 * Threads: nothing is locked; an array and its table are used by one thread at a time.
 */
#ifndef TYK_COMMON_TYK_MAP_HTAB_H
#define TYK_COMMON_TYK_MAP_HTAB_H

#include <cstdint>
#include <ostream>

#include "thesaurus_export.h"

/* One entry of a map. */
struct THES_EXPORT TykStMapEntry {
  char* iv_pacName;         /* own copy of the name, exactly iv_uiNameLength bytes; null for 0 */
  uint32_t iv_uiNameLength; /* 0 for the reserved entry and deleted entries (never matches) */
  uint32_t iv_tyNumber;     /* the entry's number: its position + 1 */
  uint32_t iv_ulHashValue;  /* hash of the name; 0 until the entry is added to a table */

  // Diagnostic dump of the four fields.
  void display(std::ostream& rclOs) const;
};

class THES_EXPORT TykClMapArray {
 public:
  // No storage yet; the first entry gets number 1. An initial size of 0 is taken as 1.
  TykClMapArray(uint32_t initialSize, uint32_t maxSize);
  ~TykClMapArray();
  TykClMapArray(const TykClMapArray&) = delete;
  TykClMapArray& operator=(const TykClMapArray&) = delete;

  // Makes the next entry with a copy of the name (hash 0) and returns its address through
  // entry; the address stays valid until the storage next grows. When every number up to the
  // maximum size is taken, throws TykClException (reason 404) and changes nothing.
  void createNewEntry(const char* name, uint32_t length, TykStMapEntry*& entry);
  // Makes room for `count` entries in all at once, as many growth steps would (cut to the
  // maximum size), so that a caller who knows the count does not copy the storage per step.
  void reserve(uint32_t count);
  // Deletes the name of entry `number`; the number stays taken. Numbers that were never given
  // out are ignored.
  void invalidateEntry(uint32_t number);
  // Removes every entry; numbering starts at 1 again and the storage stays allocated.
  void clearArray();

  // The entry with this number, or null when the number has not been given out.
  const TykStMapEntry* getEntry(uint32_t number) const {
    return number != 0 && number < iv_uiNextNumber ? &iv_pstEntries[number - 1] : nullptr;
  }
  TykStMapEntry* getEntry(uint32_t number) {
    return number != 0 && number < iv_uiNextNumber ? &iv_pstEntries[number - 1] : nullptr;
  }
  // The number the next entry receives; next number - 1 entries exist.
  uint32_t getNextNumber() const { return iv_uiNextNumber; }
  uint32_t getMaxSize() const { return iv_uiArrayMaxSize; }
  uint32_t getAllocated() const { return iv_uiArrayAllocated; }

  // Diagnostic dump of the sizes and of every existing entry in number order.
  void display(std::ostream& rclOs) const;

 private:
  // Resizes the storage to `allocated` entries, keeping the entries.
  void growTo(uint32_t allocated);

  TykStMapEntry* iv_pstEntries;   /* iv_uiArrayAllocated entries, null until the first entry */
  uint32_t iv_uiArrayInitialSize; /* entries allocated first, and the growth step */
  uint32_t iv_uiArrayAllocated;   /* entries the storage holds now */
  uint32_t iv_uiArrayMaxSize;     /* the highest number the array gives out */
  uint32_t iv_uiNextNumber;       /* the number of the next new entry, from 1 */
};

class THES_EXPORT TykClMapHashtable {
 public:
  // size is the bucket count (0 is taken as 1); the table is unusable until init.
  explicit TykClMapHashtable(uint32_t size);
  ~TykClMapHashtable();
  TykClMapHashtable(const TykClMapHashtable&) = delete;
  TykClMapHashtable& operator=(const TykClMapHashtable&) = delete;

  // Allocates the bucket array with every chain empty (a second init clears the table).
  void init();
  // Links an entry of the array at the head of its chain. With computeHash the entry's hash
  // is computed and stored first; otherwise its stored hash is used as it is. Duplicates are
  // not looked for.
  void addNewEntry(TykStMapEntry* entry, bool computeHash);
  // The number of the entry of `array` with this name, or 0.
  uint32_t queryEntry(const TykClMapArray& array, const char* name, uint32_t length) const;
  // The entry of `array` with this name, or null.
  TykStMapEntry* getMapEntry(TykClMapArray& array, const char* name, uint32_t length) const;
  // Drops every node; the bucket array stays and every chain is empty.
  void clearHashtable();

  void display(std::ostream& rclOs) const;

  // The hash of a name: each byte (0 to 255) shifted left by 0, 1, ..., 22, 0, 1, ... and
  // summed modulo 2^32. Map files store it, so it must stay exactly this function.
  static unsigned long computeHash(const char* name, uint32_t length) {
    return static_cast<uint32_t>(computeWideHash(name, length));
  }
  // The same sum in 64 bits, without dropping the carries above bit 31 (the hash of the 64-bit
  // map file form); its low half is computeHash.
  static uint64_t computeWideHash(const char* name, uint32_t length);

 protected:
  unsigned long hashValue(const char* name, uint32_t length) const {
    return computeHash(name, length);
  }

 private:
  struct Node {
    uint32_t number; /* the entry's number */
    Node* next;      /* the next (older) node of the same bucket */
  };
  struct NodeBlock; /* nodes are taken from blocks the table owns */

  // The number of the first entry on the name's chain that matches, or 0.
  uint32_t find(const TykClMapArray& array, const char* name, uint32_t length) const;
  Node* newNode();

  uint32_t iv_uiSize;      /* bucket count, fixed */
  Node** iv_ppBuckets;     /* one chain head per bucket, null until init */
  NodeBlock* iv_pBlocks;   /* blocks of nodes, newest first */
  uint32_t iv_uiBlockUsed; /* nodes taken from the newest block */
};

#endif /* TYK_COMMON_TYK_MAP_HTAB_H */
