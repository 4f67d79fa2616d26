/* Thai word processing of the indexing engine.
 *
 * Thai is written without blanks between words. tykThaiProcessing finds the words of UTF-16
 * text with a dictionary-based word break iterator for Thai and writes them separated by one
 * blank (U+0020): runs of white space are dropped, every other piece the iterator finds (a
 * word, a number, a punctuation mark) is written as it is. It follows the normalizers' contract:
 * at most outCapacity units are written and their number returned; on entry *inCount is the
 * number of input units, on return the number not consumed. A word that does not fit, with the
 * blank that separates it from a following word, is not consumed. The blank after a word is
 * written together with the word when another word follows, so the outputs of calls resumed
 * from the unconsumed rest join up with the blanks in place.
 *
 * Ownership: the iterator belongs to the caller from tykThaiCreateBreakIterator until
 * tykThaiDestroyBreakIterator. Threads: one iterator is used by one thread at a time.
 */
#ifndef INDEXING_ENGINE_ZOL_THAI_H
#define INDEXING_ENGINE_ZOL_THAI_H

#include <stdint.h>

#include "thesaurus_export.h"

THES_EXTERN_C_BEGIN

/* A new Thai word break iterator, or null when the break rules or the dictionary cannot be
 * loaded. */
THES_EXPORT void* tykThaiCreateBreakIterator(void);

/* Writes the words of in[0..*inCount) separated by one blank to out, as described above. With a
 * null argument, no input or no room it returns 0 and leaves *inCount as it is. */
THES_EXPORT unsigned int tykThaiProcessing(uint16_t* out, unsigned int outCapacity,
                                           const uint16_t* in, unsigned int* inCount,
                                           void* iterator);

/* Frees an iterator; null does nothing. */
THES_EXPORT void tykThaiDestroyBreakIterator(void* iterator);

THES_EXTERN_C_END

#endif /* INDEXING_ENGINE_ZOL_THAI_H */
