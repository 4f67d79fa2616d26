// The entry array and the hash table of a name map.
#include "tyk_common/tyk_map_htab.h"

#include <algorithm>
#include <cstring>

#include "common_services/cos_memmgr.h"
#include "tyk_common/tyk_exception.h"

namespace {

constexpr const char* kFullOrigin = "source/tyk_common/tyk_map_htab:152";
constexpr unsigned int kFullLine = 152;
constexpr uint32_t kHashShiftCycle = 23;

}  // namespace

// ---- Entries ------------------------------------------------------------------------------

void TykStMapEntry::display(std::ostream& rclOs) const {
  rclOs << "void TykStMapEntry::display(ostream & rclOs) \n\tiv_pacName: '";
  if (iv_pacName != nullptr) rclOs.write(iv_pacName, iv_uiNameLength);
  rclOs << "'\n\tiv_uiNameLength: " << iv_uiNameLength << "\n\tiv_tyNumber: " << iv_tyNumber
        << "\n\tiv_ulHashValue: " << iv_ulHashValue << '\n';
}

// ---- Array --------------------------------------------------------------------------------

TykClMapArray::TykClMapArray(uint32_t initialSize, uint32_t maxSize)
    : iv_pstEntries(nullptr),
      iv_uiArrayInitialSize(initialSize == 0 ? 1 : initialSize),
      iv_uiArrayAllocated(0),
      iv_uiArrayMaxSize(maxSize),
      iv_uiNextNumber(1) {}

TykClMapArray::~TykClMapArray() {
  clearArray();
  CosClMemoryManager::free(iv_pstEntries);
}

void TykClMapArray::growTo(uint32_t allocated) {
  const std::size_t bytes = std::size_t{allocated} * sizeof(TykStMapEntry);
  iv_pstEntries = static_cast<TykStMapEntry*>(
      iv_pstEntries == nullptr ? CosClMemoryManager::allocate(bytes)
                               : CosClMemoryManager::realloc(iv_pstEntries, bytes));
  iv_uiArrayAllocated = allocated;
}

void TykClMapArray::reserve(uint32_t count) {
  if (count <= iv_uiArrayAllocated) return;
  // The size the steps would reach: whole steps from the first allocation on, the last cut to
  // the maximum size (in 64 bits, so that nothing wraps near 2^32).
  const uint64_t steps = (uint64_t{count} + iv_uiArrayInitialSize - 1) / iv_uiArrayInitialSize;
  const uint64_t allocated = std::min<uint64_t>(std::max(iv_uiArrayMaxSize, iv_uiArrayInitialSize),
                                                steps * iv_uiArrayInitialSize);
  if (allocated > iv_uiArrayAllocated) growTo(static_cast<uint32_t>(allocated));
}

void TykClMapArray::createNewEntry(const char* name, uint32_t length, TykStMapEntry*& entry) {
  if (iv_uiNextNumber > iv_uiArrayMaxSize) {
    TykClException exception(TYK_RC_ERROR, TYK_REASON_MAP_FULL, TYK_ACTION_ERROR, nullptr);
    exception.throwFrom(kFullOrigin, kFullLine);
  }
  if (iv_uiNextNumber > iv_uiArrayAllocated) {
    // The first allocation is one step; then one step more, the last step cut to the maximum
    // size (in 64 bits, so that a step near 2^32 cannot wrap).
    growTo(iv_pstEntries == nullptr
               ? iv_uiArrayInitialSize
               : static_cast<uint32_t>(std::min<uint64_t>(
                     iv_uiArrayMaxSize, uint64_t{iv_uiArrayAllocated} + iv_uiArrayInitialSize)));
  }
  char* copy = nullptr;
  if (length != 0) {
    copy = static_cast<char*>(CosClMemoryManager::allocate(length));
    std::memcpy(copy, name, length);
  }
  TykStMapEntry& made = iv_pstEntries[iv_uiNextNumber - 1];
  made.iv_pacName = copy;
  made.iv_uiNameLength = length;
  made.iv_tyNumber = iv_uiNextNumber;
  made.iv_ulHashValue = 0;
  ++iv_uiNextNumber;
  entry = &made;
}

void TykClMapArray::invalidateEntry(uint32_t number) {
  TykStMapEntry* entry = getEntry(number);
  if (entry == nullptr) return;
  CosClMemoryManager::free(entry->iv_pacName);
  entry->iv_pacName = nullptr;
  entry->iv_uiNameLength = 0;
}

void TykClMapArray::clearArray() {
  for (uint32_t i = 0; i + 1 < iv_uiNextNumber; ++i) {
    CosClMemoryManager::free(iv_pstEntries[i].iv_pacName);
    iv_pstEntries[i].iv_pacName = nullptr;
  }
  iv_uiNextNumber = 1;
}

void TykClMapArray::display(std::ostream& rclOs) const {
  rclOs << "void TykClMapArray::display(ostream & rclOs) \n\tiv_uiArrayInitialSize: "
        << iv_uiArrayInitialSize << "\n\tiv_uiArrayAllocated: " << iv_uiArrayAllocated
        << "\n\tiv_uiArrayMaxSize: " << iv_uiArrayMaxSize << '\n';
  for (uint32_t i = 0; i + 1 < iv_uiNextNumber; ++i)
    iv_pstEntries[i].display(rclOs);
}

// ---- Hash table ---------------------------------------------------------------------------

struct TykClMapHashtable::NodeBlock {
  static constexpr uint32_t kNodes = 256;
  NodeBlock* next;
  Node nodes[kNodes];
};

TykClMapHashtable::TykClMapHashtable(uint32_t size)
    : iv_uiSize(size == 0 ? 1 : size),
      iv_ppBuckets(nullptr),
      iv_pBlocks(nullptr),
      iv_uiBlockUsed(0) {}

TykClMapHashtable::~TykClMapHashtable() {
  clearHashtable();
  CosClMemoryManager::free(iv_ppBuckets);
}

void TykClMapHashtable::init() {
  if (iv_ppBuckets == nullptr) {
    iv_ppBuckets =
        static_cast<Node**>(CosClMemoryManager::allocate(std::size_t{iv_uiSize} * sizeof(Node*)));
  }
  clearHashtable();
}

uint64_t TykClMapHashtable::computeWideHash(const char* name, uint32_t length) {
  uint64_t hash = 0;
  uint32_t shift = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(name);
  for (uint32_t i = 0; i < length; ++i) {
    hash += uint64_t{bytes[i]} << shift;
    if (++shift == kHashShiftCycle) shift = 0;
  }
  return hash;
}

TykClMapHashtable::Node* TykClMapHashtable::newNode() {
  if (iv_pBlocks == nullptr || iv_uiBlockUsed == NodeBlock::kNodes) {
    auto* block = static_cast<NodeBlock*>(CosClMemoryManager::allocate(sizeof(NodeBlock)));
    block->next = iv_pBlocks;
    iv_pBlocks = block;
    iv_uiBlockUsed = 0;
  }
  return &iv_pBlocks->nodes[iv_uiBlockUsed++];
}

void TykClMapHashtable::addNewEntry(TykStMapEntry* entry, bool computeHash) {
  if (computeHash) {
    entry->iv_ulHashValue =
        static_cast<uint32_t>(hashValue(entry->iv_pacName, entry->iv_uiNameLength));
  }
  Node*& head = iv_ppBuckets[entry->iv_ulHashValue % iv_uiSize];
  Node* node = newNode();
  node->number = entry->iv_tyNumber;
  node->next = head;
  head = node;
}

uint32_t TykClMapHashtable::find(const TykClMapArray& array, const char* name,
                                 uint32_t length) const {
  if (iv_ppBuckets == nullptr || length == 0) return 0;
  const auto hash = static_cast<uint32_t>(hashValue(name, length));
  for (const Node* node = iv_ppBuckets[hash % iv_uiSize]; node != nullptr; node = node->next) {
    const TykStMapEntry* entry = array.getEntry(node->number);
    if (entry != nullptr && entry->iv_ulHashValue == hash && entry->iv_uiNameLength == length &&
        std::memcmp(entry->iv_pacName, name, length) == 0) {
      return node->number;
    }
  }
  return 0;
}

uint32_t TykClMapHashtable::queryEntry(const TykClMapArray& array, const char* name,
                                       uint32_t length) const {
  return find(array, name, length);
}

TykStMapEntry* TykClMapHashtable::getMapEntry(TykClMapArray& array, const char* name,
                                              uint32_t length) const {
  return array.getEntry(find(array, name, length));
}

void TykClMapHashtable::clearHashtable() {
  while (iv_pBlocks != nullptr) {
    NodeBlock* next = iv_pBlocks->next;
    CosClMemoryManager::free(iv_pBlocks);
    iv_pBlocks = next;
  }
  iv_uiBlockUsed = 0;
  if (iv_ppBuckets != nullptr) std::fill_n(iv_ppBuckets, iv_uiSize, nullptr);
}

void TykClMapHashtable::display(std::ostream& rclOs) const {
  rclOs << "void TykClMapHashtable::display(ostream & rclOs)\n";
}
