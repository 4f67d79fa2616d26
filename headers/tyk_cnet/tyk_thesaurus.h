/* TykClThesaurus: the lookup object behind a thesaurus lookup handle.
 *
 * It names one compiled dictionary (directories and name, each at most 260 characters), keeps
 * the lookup settings in the engine's own condition and term records, and runs zolCNETrefer for
 * a term (process) or for the dictionary's top terms (processHighestTerms) into the result
 * store of a TykClThesOutputList. A failed engine status becomes a TykClException
 * (tykHandleCnetError); the object records nothing itself, the flat lookup API does.
 *
 * Settings accumulate from construction on; processHighestTerms clears the relations and the
 * depth for later lookups too. The lookup API writes the term limit, depth, strength, relation
 * bytes and search options straight into the records (getCondition, getTerm).
 *
 * Ownership: the object owns its relation list; the context and its error information belong
 * to the caller and must outlive the object; output lists belong to the caller. The object
 * takes its storage from the common services memory manager.
 * Threads: one thread at a time.
 */
#ifndef TYK_CNET_TYK_THESAURUS_H
#define TYK_CNET_TYK_THESAURUS_H

#include <cstdint>

#include "thesaurus_engine/cnet.h"
#include "thesaurus_export.h"
#include "tyk_common/tyk_list.h"

class TykClContext;
class TykClErrorInfo;
class TykClThesOutputList;

#define TYK_THES_NAME_MAX 260 /* longest directories text and dictionary name */
#define TYK_THES_RELATION_STEP 10

/* Relation type flags of the lookup interface. */
#define TYK_THES_SYNONYM 0x80u
#define TYK_THES_RELATED 0x40u
#define TYK_THES_BROADER 0x20u
#define TYK_THES_NARROWER 0x10u

// The engine's code page number for a CCSID; an unsupported CCSID throws TykClException with
// reason 11 and the CCSID as text.
THES_EXPORT uint8_t map2ZOLCCSID(uint16_t ccsid);

class THES_EXPORT TykClThesaurus : public TykClMemoryObject {
 public:
  // Checks the CCSID (reason 11) and the directories and name (reason 25 when null or longer
  // than 260 characters), then sets the defaults: term limit termLimit, depth 10, no relations,
  // minimum strength 0, an empty relation list with room for 10 entries.
  TykClThesaurus(const char* directories, const char* name, unsigned short ccsid, int termLimit,
                 TykClContext& context);
  ~TykClThesaurus();
  TykClThesaurus(const TykClThesaurus&) = delete;
  TykClThesaurus& operator=(const TykClThesaurus&) = delete;

  // number 0: ORs relationType into the relations byte. Otherwise adds the numbered relation
  // of family relationType (0x40, 0x20, 0x10); above 128 throws reason 341, another family
  // reason 342. Family 0 with a number clears every setting and adds an entry of kind 0.
  void addRelation(unsigned int relationType, unsigned short number);
  // Looks up the terms related to term (length bytes, at most 64: else reason 343) into the
  // list's result store. Engine failures throw.
  void process(const char* term, unsigned int length, TykClThesOutputList* list);
  // Lists the dictionary's top terms into the list's result store.
  void processHighestTerms(TykClThesOutputList* list);
  // Frees the relation list and the engine's search state; an engine failure throws.
  void release();
  // The number of present words of the dictionary; *groups receives the present groups.
  uint32_t obtainProperties(uint32_t* groups);

  // True when the last lookup left out terms because of the term limit.
  bool isTruncated() const { return iv_bTruncated; }
  // Entries of the last lookup's list, 0 when there was none or it has been deleted since.
  unsigned int getLastListCount() const;

  CNETCOND& getCondition() { return iv_stCondition; }
  CNETTERM& getTerm() { return iv_stTerm; }
  const RELATION* getRelations() const { return iv_pstRelations; }
  uint32_t getRelationCapacity() const { return iv_ulRelationCapacity; }
  const char* getDirectories() const { return iv_acDirectories; }
  const char* getName() const { return iv_acName; }
  TykClErrorInfo& getErrorInfo() const { return *iv_pclErrorInfo; }
  TykClContext& getContext() const { return *iv_pclContext; }

 private:
  void setLastList(TykClThesOutputList* list);
  void runLookup(const CNETTERM* term, TykClThesOutputList* list, const char* origin,
                 unsigned int line);

  CNETSTATUS iv_stStatus;              /* status of the last engine call */
  bool iv_bTruncated;                  /* the last lookup hit the term limit */
  TykClThesOutputList* iv_pclLastList; /* list of the last lookup, not owned */
  uint32_t iv_ulRelationCapacity;      /* entries iv_pstRelations has room for */
  CNETCOND iv_stCondition;             /* relations, term limit, depth, strength */
  CNETTERM iv_stTerm;                  /* term, weight 100, search options */
  char iv_acDirectories[TYK_THES_NAME_MAX + 1];
  char iv_acName[TYK_THES_NAME_MAX + 1];
  void** iv_ppvSearchContext;      /* always null: no engine search state between lookups */
  TykClErrorInfo* iv_pclErrorInfo; /* the context's, not owned */
  TykClContext* iv_pclContext;     /* not owned */
  RELATION* iv_pstRelations;       /* the relation list, owned; the condition points here */
  /* marker of the last list: tells whether the caller has deleted it since */
  TykClRefCountLink<TykClListABase::ValidityMarker> iv_clLastListMarker;
};

#endif /* TYK_CNET_TYK_THESAURUS_H */
