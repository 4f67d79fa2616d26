/* Lists of the class layer: reference counting, the abstract list with its validity marker and
 * iterator, and the array-based list.
 *
 * Reference-counted objects (TykClReferenceCounter) are held through TykClRefCountLink: a link
 * adds one to the count when it takes an object and, when it lets go of the last holder,
 * destroys the object through its virtual destructor. Every list, iterator and counted object
 * takes its storage from the common services memory manager (operator new and delete of the
 * classes), so `delete` is the way to release one.
 *
 * A list owns a validity marker from init() on; its destructor turns the marker invalid, so an
 * iterator or another holder of the marker can tell that the list is gone. Iterators are
 * created by the list (getNewIterator) and owned by the caller.
 *
 * Threads: nothing here is locked; counts are plain 16-bit counters. A list, its iterators and
 * everything they share are used by one thread at a time.
 */
#ifndef TYK_COMMON_TYK_LIST_H
#define TYK_COMMON_TYK_LIST_H

#include <cstddef>
#include <cstdint>

#include "thesaurus_export.h"

class TykClErrorInfo;

/* List types: the thesaurus output list, and the type array-based lists match. */
enum TykEnListType : uint32_t {
  TYK_LIST_TYPE_THES_OUTPUT = 100001,
};

/* Storage of the class layer's objects from the common services memory manager. */
class THES_EXPORT TykClMemoryObject {
 public:
  static void* operator new(std::size_t size);
  static void operator delete(void* block);
};

class THES_EXPORT TykClReferenceCounter : public TykClMemoryObject {
 public:
  TykClReferenceCounter() : iv_usReferenceCount(0) {}
  virtual ~TykClReferenceCounter();
  TykClReferenceCounter(const TykClReferenceCounter&) = delete;
  TykClReferenceCounter& operator=(const TykClReferenceCounter&) = delete;

  uint16_t getReferenceCount() const { return iv_usReferenceCount; }

  // Counts one more holder. Throws TykClException (reason 7) instead of letting the 16-bit
  // count wrap, which would free the object under its holders.
  static void addReference(TykClReferenceCounter* object);
  // Counts one holder less and destroys the object when it was the last one; null does nothing.
  static void releaseReference(TykClReferenceCounter* object);

 private:
  uint16_t iv_usReferenceCount; /* holders of the object */
};

/* A counted hold on a T (derived from TykClReferenceCounter); may hold nothing. */
template <typename T>
class TykClRefCountLink {
 public:
  explicit TykClRefCountLink(T* object = nullptr) : iv_pObject(nullptr) { set(object); }
  TykClRefCountLink(const TykClRefCountLink& other) : iv_pObject(nullptr) { set(other.get()); }
  TykClRefCountLink& operator=(const TykClRefCountLink& other) {
    set(other.get());
    return *this;
  }
  ~TykClRefCountLink() { TykClReferenceCounter::releaseReference(iv_pObject); }

  // Takes object (counted) and lets go of the previous one. On a throw nothing changes.
  void set(T* object) {
    if (object == iv_pObject) return;
    if (object != nullptr) TykClReferenceCounter::addReference(object);
    T* previous = iv_pObject;
    iv_pObject = object;
    TykClReferenceCounter::releaseReference(previous);
  }
  T* get() const { return iv_pObject; }
  T* operator->() const { return iv_pObject; }

 private:
  T* iv_pObject; /* null when nothing is held */
};

class THES_EXPORT TykClListABase : public TykClMemoryObject {
 public:
  /* Shared by a list and its iterators; turned invalid by the list's destructor. */
  class THES_EXPORT ValidityMarker : public TykClReferenceCounter {
   public:
    ValidityMarker() : iv_bValid(true) {}
    ~ValidityMarker() override;
    bool isValid() const { return iv_bValid; }
    void invalidate() { iv_bValid = false; }

   private:
    bool iv_bValid;
  };

  /* Position in a list. Entries are reached with getCurrent(); what it points to is the
   * derived list's business. */
  class THES_EXPORT Iterator : public TykClMemoryObject {
   public:
    virtual ~Iterator();
    Iterator(const Iterator&) = delete;
    Iterator& operator=(const Iterator&) = delete;

    virtual bool isAtFirstElement() const = 0;
    virtual bool isAtLastElement() const = 0;
    virtual bool isValid() const = 0;
    virtual bool setToFirst() = 0;
    virtual bool setToLast() = 0;
    virtual bool setToNext(unsigned int n) = 0;
    virtual bool setToPrevious(unsigned int n) = 0;
    virtual void* getCurrent() const = 0;

    // The list the iterator was made from; it may have been deleted since (see the marker).
    const TykClListABase* getList() const { return iv_pclList; }
    // The list's marker at the time the iterator was made (null when it had none).
    const ValidityMarker* getValidityMarker() const { return iv_clMarker.get(); }

   protected:
    explicit Iterator(const TykClListABase* list);

   private:
    const TykClListABase* iv_pclList;
    TykClRefCountLink<ValidityMarker> iv_clMarker;
  };

  TykClListABase(TykEnListType type, TykClErrorInfo& errorInfo);
  virtual ~TykClListABase();
  TykClListABase(const TykClListABase&) = delete;
  TykClListABase& operator=(const TykClListABase&) = delete;

  // Gives the list a new valid marker and lets go of the previous one.
  virtual void init();
  virtual unsigned int getNumberOfElements() const = 0;
  virtual bool isEmpty() const;
  virtual bool matchesType(TykEnListType type) const = 0;
  // A new iterator at the first position; the caller owns it.
  virtual Iterator* getNewIterator() const = 0;

  TykEnListType getListType() const { return iv_enListType; }
  TykClErrorInfo& getErrorInfo() const { return *iv_pclErrorInfo; }
  // The current marker, null before init().
  ValidityMarker* getValidityMarker() const { return iv_clMarker.get(); }

 private:
  TykClRefCountLink<ValidityMarker> iv_clMarker; /* null until init() */
  TykEnListType iv_enListType;
  TykClErrorInfo* iv_pclErrorInfo; /* not owned */
};

/* A list over an array the list owns; derived lists supply the iterator. */
class THES_EXPORT TykClArrayBasedList : public TykClListABase {
 public:
  TykClArrayBasedList(TykEnListType type, TykClErrorInfo& errorInfo);
  ~TykClArrayBasedList() override;

  // Takes ownership of array (from the common services memory manager) with count elements;
  // extra is kept for the derived list. A previous, different array is freed.
  void initArray(void* array, unsigned int count, unsigned int extra);
  unsigned int getNumberOfElements() const override;
  bool matchesType(TykEnListType type) const override;

  void* getArray() const { return iv_pvArray; }
  unsigned int getExtra() const { return iv_uiExtra; }

 private:
  void* iv_pvArray;               /* owned */
  unsigned int iv_uiElementCount; /* elements of the array */
  unsigned int iv_uiExtra;        /* stored for the derived list */
};

#endif /* TYK_COMMON_TYK_LIST_H */
