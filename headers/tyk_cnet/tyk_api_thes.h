/* The flat thesaurus lookup API: plain functions with unmangled names over the lookup object.
 *
 * A caller creates a handle with tykHandleNewThesaurusLookup, changes settings in any order,
 * runs lookups (each gives a new output list that the caller owns and deletes), reads each
 * list through an iterator from getNewIterator() with tykThesaurusEntryObtainData, and finally
 * deletes the handle.
 *
 * Every function returns a TykEnReturnCode and never lets an exception escape: a failure is
 * recorded in the error information of the context given at creation and its return code (8)
 * is returned. 16 means the handle, context or iterator argument itself is missing; nothing is
 * recorded then. Functions that answer with the error information's return code do not clear
 * it first (only creation does): a code recorded earlier stays until the caller resets it.
 * Failures of a bad argument clear the context text, so it never describes an older error.
 *
 * Texts (term, masks, result entries) are in the dictionary's character set; nothing converts.
 * Threads: a handle, its lists and their iterators are used by one thread at a time.
 */
#ifndef TYK_CNET_TYK_API_THES_H
#define TYK_CNET_TYK_API_THES_H

#include <cstdint>

#include "thesaurus_export.h"
#include "tyk_cnet/tyk_context.h"
#include "tyk_cnet/tyk_thesaurus.h"
#include "tyk_common/tyk_codes.h"
#include "tyk_common/tyk_thes_output.h"

/* Largest term limit a lookup accepts: the output list reserves 256 bytes per term. */
#define TYK_THES_TERM_LIMIT_MAX 100000

THES_EXTERN_C_BEGIN

// Creates a lookup handle for dictionary `name` in `directories` (each at most 260
// characters). Clears the context's return code and warnings first; *handle stays null on
// failure (8: reason 25 for a missing argument or a name too long, 11 for the CCSID).
THES_EXPORT TykEnReturnCode tykHandleNewThesaurusLookup(const char* directories, const char* name,
                                                        unsigned short ccsid, int termLimit,
                                                        TykClThesaurus** handle,
                                                        TykClContext* context);
// Releases the handle and sets *handle to null.
THES_EXPORT TykEnReturnCode tykHandleDeleteThesaurusLookup(TykClThesaurus** handle);
// Named relations to follow (0x80 synonym, 0x40 related, 0x20 broader, 0x10 narrower); the
// numbered-relation families become the same flags without 0x80.
THES_EXPORT TykEnReturnCode tykThesaurusLookupSetRelationTypes(TykClThesaurus* handle,
                                                               uint8_t types);
// Adds relation `number` of family relationType to follow (number 0: the named relation).
THES_EXPORT TykEnReturnCode tykThesaurusLookupAddRelation(TykClThesaurus* handle,
                                                          unsigned short number,
                                                          unsigned int relationType);
// Maximum terms per lookup, also the room of the next output lists (at most
// TYK_THES_TERM_LIMIT_MAX when a lookup runs).
THES_EXPORT TykEnReturnCode tykThesaurusLookupSetTermLimit(TykClThesaurus* handle, int limit);
// Maximum depth; 0 stands for 10.
THES_EXPORT TykEnReturnCode tykThesaurusLookupSetDepth(TykClThesaurus* handle, short depth);
// Minimum strength 0 to 100 (above: 8, reason 340).
THES_EXPORT TykEnReturnCode tykThesaurusLookupSetStrength(TykClThesaurus* handle, uint8_t strength);
// Wildcard characters of the word search: mask1 matches a single character, mask2 any run
// (each at most one character: else 8, reason 360 or 361). The first character is taken even
// for length 0; a null mask counts as the zero byte.
THES_EXPORT TykEnReturnCode tykThesaurusLookupSetMasks(TykClThesaurus* handle, const char* mask1,
                                                       unsigned length1, const char* mask2,
                                                       unsigned length2);
// Looks up the terms related to term (length bytes, at most 64); *list receives a new output
// list only on success.
THES_EXPORT TykEnReturnCode tykThesaurusLookupPerform(TykClThesaurus* handle,
                                                      TykClThesOutputList** list, const char* term,
                                                      unsigned length);
// Lists the dictionary's top terms. Clears the relation settings and the depth for later
// lookups.
THES_EXPORT TykEnReturnCode tykThesaurusLookupObtainHighestTerms(TykClThesaurus* handle,
                                                                 TykClThesOutputList** list);
// The dictionary's numbers of present words and groups.
THES_EXPORT TykEnReturnCode tykThesaurusLookupObtainProperties(TykClThesaurus* handle,
                                                               uint32_t* words, uint32_t* groups);
// Entries of the last lookup's list (0 before any lookup, after a failed one, or once the
// caller has deleted that list) and whether the lookup found no more terms than the limit.
THES_EXPORT TykEnReturnCode tykThesaurusLookupObtainResultInformation(TykClThesaurus* handle,
                                                                      uint32_t* count,
                                                                      bool* complete);
// Reads the entry under a thesaurus output list's iterator: text (length bytes, no zero; room
// for 192 bytes), strength, depth and the relation it was reached by. 8 when the iterator is
// not on an entry, is no output list iterator, or an output pointer is null; nothing is written
// and nothing recorded then.
THES_EXPORT TykEnReturnCode tykThesaurusEntryObtainData(TykClListABase::Iterator* iterator,
                                                        char* text, uint32_t* length,
                                                        uint8_t* strength, short* depth,
                                                        uint32_t* relationType,
                                                        unsigned short* relationNumber);

THES_EXTERN_C_END

#endif /* TYK_CNET_TYK_API_THES_H */
