/* Indexing engine interface (the stand-in built into libthesaurus).
 *
 * The indexing engine keeps the word index of a thesaurus dictionary (one document per word:
 * document id = word id, text = the word), normalizes words for matching, converts search
 * conditions written in its query syntax into a numbered form and back, verifies and deletes
 * its index, and supplies the texts of its own status codes.
 *
 * Every function reports through a caller-owned ZOLSTATUS: retcode 0 is success, any other
 * value is one of the ZOL_RC_ codes below and stops the operation. A function clears the
 * status on entry. Records passed in belong to the caller; handles returned by the engine
 * (index build, search, search result, conversion) belong to the engine and are freed by the
 * release or termination call named with each function.
 *
 * Threads: the engine keeps no shared mutable state. A handle is used by one thread at a time;
 * different handles may be used concurrently.
 *
 * Files: a word index named N in directory D is "D/N.wix"; while a build is pending it is
 * written to "D/N.wi$" and moved over "D/N.wix" by the commit ('G'). The file's format is the
 * engine's own and is read and written only through these functions.
 */
#ifndef INDEXING_ENGINE_ZOL_H
#define INDEXING_ENGINE_ZOL_H

#include <stddef.h>
#include <stdint.h>

#include "thesaurus_export.h"

THES_EXTERN_C_BEGIN

/* Status codes of the indexing engine. */
#define ZOL_RC_OK 0
#define ZOL_RC_PARAMETER 2        /* invalid parameter (also query syntax errors) */
#define ZOL_RC_OPEN 3             /* file open error */
#define ZOL_RC_READ 4             /* file read error */
#define ZOL_RC_WRITE 5            /* file write error */
#define ZOL_RC_SEEK 6             /* file seek error */
#define ZOL_RC_REMOVE 8           /* file remove error */
#define ZOL_RC_RENAME 9           /* file rename error */
#define ZOL_RC_CLOSE 10           /* file close error */
#define ZOL_RC_NO_MEMORY 11       /* out of storage */
#define ZOL_RC_SEQUENCE 15        /* calling sequence error */
#define ZOL_RC_INDEX_INVALID 16   /* index data invalid */
#define ZOL_RC_INDEX_NOT_EXIST 20 /* index does not exist */
#define ZOL_RC_EMPTY_QUERY 25     /* empty query */
#define ZOL_RC_NORMALIZE 101      /* normalization failed */
#define ZOL_RC_MASK 111           /* illegal use of masks */

/* Values of ZOLSTATUS.context: which kind of operation reported the status. */
#define ZOL_CTX_BUILD 1
#define ZOL_CTX_SEARCH 2
#define ZOL_CTX_VERIFY 3
#define ZOL_CTX_DELETE 4
#define ZOL_CTX_NORMALIZE 5
#define ZOL_CTX_CONVERT 6
#define ZOL_CTX_MESSAGE 7

/* Value of ZOLSTATUS.indexType for the word index. */
#define ZOL_INDEX_WORD 1

/* Size a ZOLgetMessage buffer must have. */
#define ZOL_MESSAGE_SIZE 1088

/* Status record of the indexing engine, 1,064 bytes. The first fields and the two file names
 * lie where CNETSTATUS has them, so the thesaurus engine can copy them across. */
typedef struct ZOLSTATUS {
  uint32_t retcode;      /* 0 or a ZOL_RC_ code */
  uint32_t errcode;      /* location number of the check that failed */
  uint8_t context;       /* ZOL_CTX_ value of the failing operation */
  uint8_t indexType;     /* ZOL_INDEX_WORD when an index was involved, else 0 */
  uint8_t reserved0[2];  /* zero */
  char filename[512];    /* file concerned, shortened like CNETSTATUS names */
  char filename2[512];   /* second file (rename target), else empty */
  uint32_t errnoValue;   /* errno of the failing system call, else 0 */
  uint32_t kernelInfo;   /* additional detail, else 0 */
  uint8_t reserved1[20]; /* zero */
} ZOLSTATUS;

/* ---- Index build -------------------------------------------------------------------------- */

/* Index build description, 40 bytes: {2, code page, 2, 1} then zeros. */
typedef struct ZOLINDEXDESC {
  uint8_t kind;         /* 2 */
  uint8_t codePage;     /* code page number 1 to 36 of the documents */
  uint8_t keyKind;      /* 2 */
  uint8_t version;      /* 1 */
  uint8_t reserved[36]; /* zero */
} ZOLINDEXDESC;

/* Index build parameters, 48 bytes: 0x200000, 0x100000, 0x18, display mode, zeros. */
typedef struct ZOLINDEXPARM {
  uint32_t memoryLimit; /* 0x200000 */
  uint32_t bufferSize;  /* 0x100000 */
  uint32_t keyLimit;    /* 0x18 */
  uint8_t displayMode;  /* 'D': show progress on standard output, 'N': quiet */
  uint8_t reserved[35]; /* zero */
} ZOLINDEXPARM;

/* One document of an index build. */
typedef struct ZOLINDEXDOC {
  uint16_t type;         /* 1 */
  uint8_t charKind;      /* 'C' */
  uint8_t reserved0[17]; /* zero */
  const char* text;      /* document text in the index's code page, not terminated */
  uint16_t length;       /* bytes of text, 1 to 192 */
  uint8_t reserved1[42]; /* zero */
} ZOLINDEXDOC;

/* Opaque state of one index build. */
typedef struct ZOLINDEX ZOLINDEX;

/* Starts a build of the word index `name` in `directory` (workDirectory is where the pending
 * file goes; the thesaurus passes the same directory twice). mode 'N' starts a new, empty
 * index: *lastDocId is set to 0xFFFFFFFF. kind must be 'B'. On success *handle receives the
 * build handle, which ZOLcreateIndexTerm frees; on failure *handle is null. */
THES_EXPORT void ZOLcreateIndexInit(ZOLINDEX** handle, const char* name, const char* directory,
                                    const char* workDirectory, char mode, char kind,
                                    const ZOLINDEXDESC* desc, const ZOLINDEXPARM* parm,
                                    uint32_t* lastDocId, ZOLSTATUS* status);

/* Adds one document. Document ids must ascend within a build; itemCount must be 1. On failure
 * the build is abandoned: its memory and pending file are freed and the handle must no longer
 * be used (not even for ZOLcreateIndexTerm). */
THES_EXPORT void ZOLcreateItemIndexOneDoc(ZOLINDEX* handle, uint32_t docId, uint32_t itemCount,
                                          const ZOLINDEXDOC* doc, ZOLSTATUS* status);

/* Sorts the documents and writes the pending index file. On failure the build is abandoned as
 * for ZOLcreateItemIndexOneDoc. */
THES_EXPORT void ZOLcreateIndexLast(ZOLINDEX* handle, ZOLSTATUS* status);

/* Ends a build and frees the handle in every case: action 'G' commits (renames the pending file
 * over the live one; requires ZOLcreateIndexLast first), 'C' cancels (removes the pending
 * file). The pending file is on disk before the commit; making the rename itself durable
 * (syncing the directory) is left to the caller, which may do it after letting readers in. */
THES_EXPORT void ZOLcreateIndexTerm(ZOLINDEX* handle, char action, ZOLSTATUS* status);

/* ---- Search conditions -------------------------------------------------------------------- */

/* Engine item of a term: where the term stands in the query text. */
typedef struct ZOLITEM {
  uint32_t offset; /* byte offset of the term in the query text */
  uint32_t length; /* bytes of the term in the query text (quotes included for phrases, weight
                      excluded) */
} ZOLITEM;

/* Term entry of the plain converted form (form 3). */
typedef struct ZOLTERM {
  uint8_t kind;          /* 'W' word or phrase, 'M' masked (a word with * or ?; wildcard
                            characters inside a quoted phrase are taken literally) */
  uint8_t reserved0;     /* zero */
  uint8_t marker;        /* 0 after conversion; the thesaurus sets 'N' before expansion */
  uint8_t phrase;        /* 1 when the term was written as a quoted phrase */
  const char* text;      /* the term's text (without quotes or weight), not terminated */
  int16_t length;        /* bytes of text */
  int32_t itemCount;     /* number of items */
  ZOLITEM* items;        /* the term's engine items */
  int16_t weight;        /* 1 to 100; 0 means 100 */
  uint8_t reserved1[22]; /* zero */
} ZOLTERM;

/* Entry of the mixed converted form (form 5): every token of the query is an entry. */
typedef struct ZOLMIXTERM {
  uint8_t entryKind;   /* 1 a term, 2 an operator or parenthesis */
  uint8_t op;          /* for kind 2: '&', '+', '!', '(' or ')'; 0 for terms */
  uint8_t reserved[2]; /* zero */
  ZOLTERM term;        /* the term; for operators: text and length of the operator token */
} ZOLMIXTERM;

/* Term of the single-word form (form 4) used by ZOLsearchIndex. */
typedef struct ZOLWORDTERM {
  uint16_t type;         /* 1 */
  uint8_t charKind;      /* 'C' */
  uint8_t reserved0[9];  /* zero */
  const char* text;      /* the word as searched, in the index's code page */
  uint16_t length;       /* bytes of text, at most 192 */
  uint8_t options[2];    /* wildcard characters: [0] any run, [1] any one character; 0 none */
  int16_t weight;        /* term weight, 100 */
  uint8_t mode;          /* 'N' */
  uint8_t reserved1[77]; /* zero */
} ZOLWORDTERM;

/* Search condition. The form byte says which of the groups of fields is in use:
 *   1  queryText holds a query for plain conversion
 *   6  queryText holds a query for mixed conversion
 *   3  plain converted: termCount, terms, conditionText
 *   4  single word (lookup): wordTermCount (1), wordTerms, wordConditionText ("1")
 *   5  mixed converted: mixTermCount, mixTerms, mixConditionText
 * A converted condition text names terms by their 1-based number and uses the tokens
 * & (and), + (or), ! (not), ( and ), separated by blanks of the code page (0x40 for the EBCDIC
 * code pages 10 to 15 and 25 to 33, else 0x20); two references side by side mean AND. */
typedef struct ZOLSEARCHCOND {
  uint8_t reserved0[16];         /* zero */
  uint8_t codePage;              /* code page number 1 to 36 of all texts */
  uint8_t form;                  /* 1, 3, 4, 5 or 6 */
  uint8_t reserved1[2];          /* zero */
  const char* queryText;         /* forms 1 and 6: the query */
  int32_t queryLength;           /* bytes of queryText; below 0: zero-terminated */
  int32_t termCount;             /* form 3 */
  ZOLTERM* terms;                /* form 3 */
  char* conditionText;           /* form 3, zero-terminated */
  int32_t wordTermCount;         /* form 4 */
  ZOLWORDTERM* wordTerms;        /* form 4 */
  const char* wordConditionText; /* form 4, zero-terminated */
  int32_t mixTermCount;          /* form 5 */
  ZOLMIXTERM* mixTerms;          /* form 5 */
  char* mixConditionText;        /* form 5, zero-terminated */
} ZOLSEARCHCOND;

/* Converts a query (form 1 or 6) into the plain converted form. On success *out holds the
 * converted condition (a copy of the input with form, terms and condition text set) and
 * *handle the engine memory it points into, freed by ZOLconvertSearchCond_Release. An already
 * converted condition (form 3 or 4) is copied to *out unchanged and *handle becomes null; form 5
 * is ZOL_RC_PARAMETER. A conversion already held in *handle is released after the new one is
 * built, so the query may point into it, but a converted condition copied from it is left
 * dangling. On failure *out is cleared and *handle is null. Syntax errors give ZOL_RC_PARAMETER
 * (an empty query ZOL_RC_EMPTY_QUERY, a word of wildcards only ZOL_RC_MASK) with the byte
 * offset of the error in kernelInfo. Queries are limited to 1 MiB, 10,000 terms, 50,000
 * tokens and 32,767 bytes per term. */
THES_EXPORT void ZOLconvertSearchCond(void** handle, ZOLSEARCHCOND condition, ZOLSEARCHCOND* out,
                                      ZOLSTATUS* status);

/* As ZOLconvertSearchCond, producing the mixed converted form (a form 5 input is copied; forms
 * 3 and 4 are ZOL_RC_PARAMETER). Implied ANDs get no entry. */
THES_EXPORT void ZOLconvertSearchCond_Mix(void** handle, ZOLSEARCHCOND condition,
                                          ZOLSEARCHCOND* out, ZOLSTATUS* status);

/* Frees the memory of a conversion and sets *handle to null; a null cell or handle is no
 * error. */
THES_EXPORT void ZOLconvertSearchCond_Release(void** handle, ZOLSTATUS* status);

/* Writes a converted condition (form 3, 4 or 5) back as query text in its code page,
 * zero-terminated, into buffer (capacity bytes); *length receives the bytes written without the
 * terminator. Condition tokens may be separated by 0x20 or the code page's blank; references
 * must lie in 1 to the entry count and the tokens must form a valid query. Phrases and texts
 * with blanks or syntax characters are quoted; weights other than 100 (and 0) are written as
 * ^N; a form-4 term's wildcard option bytes are written as * and ?. A text holding a double
 * quote cannot be written. On failure (ZOL_RC_PARAMETER, also for a buffer that is too small)
 * the buffer holds an empty string when capacity > 0 and *length is 0. */
THES_EXPORT void ZOLformatSearchCond(const ZOLSEARCHCOND* condition, char* buffer, int32_t capacity,
                                     int32_t* length, ZOLSTATUS* status);

/* ---- Search ------------------------------------------------------------------------------- */

/* Result area of a search. */
typedef struct ZOLSEARCHRESULT {
  uint8_t kind;          /* 2 */
  uint8_t version;       /* 1 */
  uint8_t reserved0[14]; /* zero */
  int32_t hitCount;      /* after the search: number of hits */
  void* resultHandle;    /* after the search: the result, released by _ReleaseResult */
  uint32_t bufferSize;   /* 4096 */
  uint8_t reserved1[12]; /* zero */
} ZOLSEARCHRESULT;

/* One hit, 16 bytes. */
typedef struct ZOLHIT {
  uint32_t docId;       /* the document (word) id */
  uint8_t reserved0[6]; /* zero */
  uint8_t rank;         /* 100 for every hit */
  uint8_t reserved1[5]; /* zero */
} ZOLHIT;

/* Searches the word index `name` for the one term of a form-4 condition. directories is one
 * directory, or two separated by a tab (the second is tried first). *searchHandle is the
 * engine's search state: null on the first call, then kept by the caller and reused (it keeps
 * the index open and notices when the index file is replaced); ZOLsearchIndex_Release frees
 * it. A term without wildcards is an exact match of its normalized form; with wildcards every
 * matching word is a hit. On success result->hitCount and result->resultHandle are set. */
THES_EXPORT void ZOLsearchIndex(void** searchHandle, const char* name, const char* directories,
                                uint32_t option, ZOLSEARCHCOND condition, const void* reserved1,
                                const void* reserved2, const void* reserved3,
                                ZOLSEARCHRESULT* result, ZOLSTATUS* status);

/* Opens a result for reading (option 0). */
THES_EXPORT void ZOLsearchIndex_OpenResult(void* resultHandle, uint32_t option, ZOLSTATUS* status);

/* Copies the first `count` hits (at most the hit count) into buffer. */
THES_EXPORT void ZOLsearchIndex_GetResult(void* resultHandle, uint32_t option, int32_t count,
                                          ZOLHIT* buffer, const void* reserved1,
                                          const void* reserved2, ZOLSTATUS* status);

/* Closes a result opened with _OpenResult (option 0). */
THES_EXPORT void ZOLsearchIndex_CloseResult(void* resultHandle, uint32_t option, ZOLSTATUS* status);

/* Frees a result; null is no error. */
THES_EXPORT void ZOLsearchIndex_ReleaseResult(void* resultHandle, ZOLSTATUS* status);

/* Frees the search state in *searchHandle and sets it to null; a null cell or state is no
 * error. */
THES_EXPORT void ZOLsearchIndex_Release(void** searchHandle, ZOLSTATUS* status);

/* ---- Index administration ----------------------------------------------------------------- */

/* Checks the word index `name` in `directory`: header, counts, order, key bounds and unique
 * document ids. option 0 prints a summary line on standard output, 8 is quiet. Reports
 * ZOL_RC_INDEX_INVALID for a damaged index and ZOL_RC_INDEX_NOT_EXIST for a missing one. */
THES_EXPORT void ZOLverifyIndex(const char* name, const char* directory, uint32_t reserved1,
                                uint32_t option, uint32_t reserved2, ZOLSTATUS* status);

/* Removes the word index `name` (live and pending file) from the directories (one, or two
 * separated by a tab: both are cleaned); option must be 3. Missing files are no error. */
THES_EXPORT void ZOL_deleteIndex(uint32_t option, const char* name, const char* directories,
                                 ZOLSTATUS* status);

/* ---- Words -------------------------------------------------------------------------------- */

/* Normalizes a word for matching (mode 2): Unicode simple case folding of every character of
 * code page codePage (1 to 36). Bytes that are not a valid character are kept. The result has
 * at most twice the input's length (three times for code page 34, UTF-8) and must fit into
 * capacity bytes, else ZOL_RC_NORMALIZE; it is not terminated. */
THES_EXPORT void ZOLnormalizeWord(uint8_t codePage, const char* word, int32_t length, char* out,
                                  int32_t capacity, int32_t* outLength, int32_t mode,
                                  ZOLSTATUS* status);

/* Gives the display form of a normalized word (mode 2), which is the stored form unchanged;
 * the result must fit into capacity bytes, else ZOL_RC_NORMALIZE. */
THES_EXPORT void ZOLunnormalizeWord(uint8_t codePage, const char* word, int32_t length, char* out,
                                    int32_t capacity, int32_t* outLength, int32_t mode,
                                    ZOLSTATUS* status);

/* ---- Messages ----------------------------------------------------------------------------- */

/* Writes the text of an engine status (codePage 1 to 37) into buffer, which must hold
 * ZOL_MESSAGE_SIZE bytes; retcode 0 gives the empty string. */
THES_EXPORT void ZOLgetMessage(uint8_t codePage, const ZOLSTATUS* status, char* buffer);

THES_EXTERN_C_END

#ifdef __cplusplus
static_assert(sizeof(ZOLSTATUS) == 1064, "ZOLSTATUS is 1,064 bytes");
static_assert(offsetof(ZOLSTATUS, filename) == 12, "file name at 12");
static_assert(offsetof(ZOLSTATUS, filename2) == 524, "second file name at 524");
static_assert(offsetof(ZOLSTATUS, errnoValue) == 1036, "errno at 1036");
static_assert(offsetof(ZOLSTATUS, kernelInfo) == 1040, "kernel info at 1040");
static_assert(sizeof(ZOLINDEXDESC) == 40, "index build description is 40 bytes");
static_assert(sizeof(ZOLINDEXPARM) == 48, "index build parameters are 48 bytes");
static_assert(sizeof(ZOLITEM) == 8, "engine item is 8 bytes");
static_assert(sizeof(ZOLHIT) == 16, "hit is 16 bytes");
static_assert(offsetof(ZOLHIT, rank) == 10, "rank byte at 10");
#endif

#endif /* INDEXING_ENGINE_ZOL_H */
