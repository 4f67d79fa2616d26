/* The thesaurus output list: the result of one lookup.
 *
 * TykClThesOutput is the result store: room for `capacity` result entries of 256 bytes
 * (CNETRESENT) and the count of those filled, laid out as the engine's result record
 * (CNETRESULT) so that zolCNETrefer fills it directly. The store is reference-counted: the list
 * and every iterator made from it hold it, so an iterator keeps reading the entries after its
 * list has been deleted, and the store is freed with its last holder.
 *
 * A list is made in this order: construct it, give it a store (setResultStore), init(), then
 * let the lookup fill the store. The caller owns lists and iterators and deletes them.
 * Threads: one thread at a time for a list, its iterators and its store.
 */
#ifndef TYK_COMMON_TYK_THES_OUTPUT_H
#define TYK_COMMON_TYK_THES_OUTPUT_H

#include <cstdint>

#include "thesaurus_engine/cnet.h"
#include "thesaurus_export.h"
#include "tyk_common/tyk_list.h"

class THES_EXPORT TykClThesOutput : public TykClReferenceCounter {
 public:
  // Room for capacity entries, all bytes zero; count 0. The memory comes from the memory
  // manager, whose failure handler does not return.
  explicit TykClThesOutput(uint32_t capacity);
  ~TykClThesOutput() override;

  uint32_t getCapacity() const { return iv_ulCapacity; }
  uint32_t getCount() const { return iv_stResult.count; }
  // Entry index; index must be below the capacity.
  const CNETRESENT* getEntry(uint32_t index) const { return iv_stResult.entries + index; }
  // The engine's result record over the entries.
  CNETRESULT* getResultRecord() { return &iv_stResult; }

 private:
  uint32_t iv_ulCapacity;                      /* entries allocated */
  CNETRESULT iv_stResult;                      /* entries (owned) and count */
  [[maybe_unused]] uint32_t iv_aulReserved[2]; /* zero */
};

class THES_EXPORT TykClThesOutputList : public TykClListABase {
 public:
  /* Iterator over the store's entries; getCurrent() gives the CNETRESENT at the index. The
   * count is read from the store at every call. */
  class THES_EXPORT TykClThesIterator : public TykClListABase::Iterator {
   public:
    explicit TykClThesIterator(const TykClThesOutputList* list);
    ~TykClThesIterator() override;

    bool isAtFirstElement() const override;
    bool isAtLastElement() const override;
    bool isValid() const override;
    bool setToFirst() override;
    // Moves to count - 1; for an empty list that is no valid index.
    bool setToLast() override;
    // Moves n entries on; false (index unchanged) when that passes the last entry.
    bool setToNext(unsigned int n) override;
    // Moves n entries back; false (index unchanged) when that passes the first entry.
    bool setToPrevious(unsigned int n) override;
    // The entry at the index, unchecked: call isValid() first.
    void* getCurrent() const override;

    uint32_t getIndex() const { return iv_ulIndex; }

   private:
    uint32_t count() const;

    TykClRefCountLink<TykClThesOutput> iv_clStore; /* shared with the list */
    uint32_t iv_ulIndex;                           /* starts at 0 */
  };

  // List type 100001 is what the lookup API uses.
  TykClThesOutputList(TykEnListType type, TykClErrorInfo& errorInfo);
  ~TykClThesOutputList() override;

  // Holds store (counted) in place of the previous one.
  void setResultStore(TykClThesOutput* store) { iv_clStore.set(store); }
  TykClThesOutput* getResultStore() const { return iv_clStore.get(); }

  // The store's count (0 without a store).
  unsigned int getNumberOfElements() const override;
  bool isEmpty() const override;
  bool matchesType(TykEnListType type) const override;
  Iterator* getNewIterator() const override;

 private:
  TykClRefCountLink<TykClThesOutput> iv_clStore;
};

#endif /* TYK_COMMON_TYK_THES_OUTPUT_H */
