/* Thesaurus engine (CNET): records and exported entry points.
 *
 * The engine is a flat function interface over plain records. Every operation names its
 * dictionary by a name and a directories string (one directory, or two separated by a tab),
 * takes an optional CNETEXEC that governs console output, and reports its outcome in a
 * caller-owned CNETSTATUS: retcode is a CNET_ status code (0 on success), errcode the location
 * number of the check that failed. The first failure stays in the status; later failures and
 * release steps never overwrite it. Nothing throws.
 *
 * Ownership: every record passed in belongs to the caller. Buffers handed out by the
 * dictionary readers belong to the CNETCTL until its next read of the same kind or its close.
 *
 * Threads: the engine keeps no global state of its own. Concurrent use of one dictionary by
 * threads and processes is governed by the dictionary lock (cnetLock / cnetUnlock), whose
 * state belongs to the caller. A CNETCTL is used by one thread at a time.
 */
#ifndef THESAURUS_ENGINE_CNET_H
#define THESAURUS_ENGINE_CNET_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "indexing_engine/zol.h"
#include "thesaurus_export.h"

THES_EXTERN_C_BEGIN

/* ---- Status codes ------------------------------------------------------------------------- */

#define CNET_UNEXPECTED 501
#define CNET_NAME_LENGTH 502
#define CNET_PARAMETER 503
#define CNET_RESERVED 504
#define CNET_OPEN 510
#define CNET_READ 511
#define CNET_WRITE 512
#define CNET_SEEK 513
#define CNET_TELL 514
#define CNET_DELETE 515
#define CNET_RENAME 516
#define CNET_CLOSE 517
#define CNET_EOF 519
#define CNET_NO_MEMORY 520
#define CNET_LOCK_ERROR 530
#define CNET_LOCKED 531
#define CNET_OUTPUT_EXISTS 540
#define CNET_INTEGRITY 541
#define CNET_VERSION 542
#define CNET_NOT_EXIST 543
#define CNET_EXISTS 544
#define CNET_NORMALIZE 550
#define CNET_BAD_BASE_WORD 551
#define CNET_NOT_FOUND 552
#define CNET_INPUT 567

/* Statuses of the indexing engine enter a CNETSTATUS as this offset plus their own code. */
#define CNET_ENGINE_BASE 10000

/* ---- Limits ------------------------------------------------------------------------------- */

#define CNET_NAME_MAX 2047     /* longest dictionary name or single directory */
#define CNET_NAME_SIZE 2075    /* buffer of a name or directory in CNETCTL */
#define CNET_DIRS_SIZE 4152    /* buffer of a directories string (two directories and a tab) */
#define CNET_PATH_SIZE 4104    /* buffer of a file path: directory, '/', name, '.', extension */
#define CNET_STATUS_NAME 512   /* file name fields of CNETSTATUS */
#define CNET_MESSAGE_SIZE 1088 /* buffer a caller gives to zolCNETgetMessage */

/* ---- CNETSTATUS, CNETEXEC ----------------------------------------------------------------- */

/* Outcome of an operation, 1,056 bytes. */
typedef struct CNETSTATUS {
  uint32_t retcode;                 /* 0 or a CNET_ status code */
  uint32_t errcode;                 /* location number; for CNET_INPUT the reason 1 to 10 */
  uint32_t line;                    /* for CNET_INPUT: line of the definition file */
  char filename[CNET_STATUS_NAME];  /* file concerned, shortened to at most 510 characters */
  char filename2[CNET_STATUS_NAME]; /* target of a rename, else empty */
  uint32_t reserved0;               /* zero */
  uint32_t termsOmitted;            /* lookup and expansion: results left out at the limit */
  uint32_t reserved1[3];            /* zero */
} CNETSTATUS;

#define CNET_EXEC_REPLACE 0x0001u  /* compile over / dump over an existing file */
#define CNET_EXEC_PROGRESS 0x0002u /* progress lines and counters on standard output */
#define CNET_EXEC_WARNINGS 0x0004u /* warning lines on standard error */
#define CNET_EXEC_ALL 0x0007u

/* Execution options, 16 bytes. A null CNETEXEC means all output on. */
typedef struct CNETEXEC {
  uint16_t flags;       /* CNET_EXEC_ bits */
  uint8_t reserved[14]; /* zero */
} CNETEXEC;

/* ---- CNETCTL: the names (and, when open, the state) of one dictionary file set ------------ */

#define CNET_FILES 4 /* word records, word data, group records, group data */

/* One file of a set. */
typedef struct CNETFILE {
  FILE* fp;                  /* null when closed */
  uint32_t position;         /* where the next sequential read or write goes */
  uint32_t end;              /* size measured by cnetPointEndSetSize, else 0 */
  uint8_t lastOp;            /* 'R' after a read, 'W' after a write, 0 after open */
  char path[CNET_PATH_SIZE]; /* full path */
} CNETFILE;

typedef struct CNETCTL {
  char name[CNET_NAME_SIZE];         /* dictionary name as given */
  char directory[CNET_NAME_SIZE];    /* primary directory ("" for a lone "/") */
  char altDirectory[CNET_NAME_SIZE]; /* directory after the tab, else "" */
  uint32_t twoDirectories;           /* 1 when the directories contained a tab */
  char directories[CNET_DIRS_SIZE];  /* directories argument unchanged */
  CNETFILE files[CNET_FILES];        /* in the order of the extension table */
  uint8_t setIndex;                  /* 0 live set, 1 to 3 working sets */
  uint8_t* wordBuffer;               /* last word data read; owned */
  uint32_t wordBufferSize;           /* bytes allocated for wordBuffer */
  uint8_t* groupBuffer;              /* last group data read; owned */
  uint32_t groupBufferSize;          /* bytes allocated for groupBuffer */
} CNETCTL;

/* ---- Relation model ----------------------------------------------------------------------- */

#define CNET_CAT_NONE 0
#define CNET_CAT_HIGHER 1    /* broader terms */
#define CNET_CAT_LOWER 2     /* narrower terms */
#define CNET_CAT_SYMMETRIC 3 /* synonym, related and their numbered relatives */
#define CNET_CAT_MEMBER 255  /* group member mark */

#define CNET_ID_NAMED 1      /* synonym, higher-than, lower-than */
#define CNET_ID_RELATED 2    /* (3,2) related */
#define CNET_ID_NUMBERED 127 /* numbered relation n has id n + 127 */

/* A relation as stored: two bytes, no byte order. */
typedef struct REL {
  uint8_t category; /* CNET_CAT_ value */
  uint8_t id;       /* 0, 1, 2, or 128 to 255 for numbered relation id - 127 */
} REL;

#define CNET_RELTYPE_SYNONYM 1
#define CNET_RELTYPE_RELATED 2
#define CNET_RELTYPE_HIGHER 3
#define CNET_RELTYPE_LOWER 4
#define CNET_RELTYPE_USER_SYMMETRIC 5
#define CNET_RELTYPE_USER_HIGHER 6
#define CNET_RELTYPE_USER_LOWER 7

/* Relation descriptor of the engine interface, 16 bytes. */
typedef struct RELATION {
  uint8_t type;         /* CNET_RELTYPE_ value, 0 for none */
  uint8_t number;       /* types 5 to 7: relation number 1 to 128, else 0 */
  uint8_t reserved[14]; /* zero */
} RELATION;

/* Filter of relations, 96 bytes: bit sets of 256 bits for categories 3, 1 and 2, in that
 * order. Bit n (from 1) lies in byte (n - 1) / 8 under the mask 0x80 >> ((n - 1) % 8). */
typedef struct RELSET {
  uint8_t symmetric[32]; /* category 3 */
  uint8_t higher[32];    /* category 1 */
  uint8_t lower[32];     /* category 2 (and every other category) */
} RELSET;

/* One element of a word's relation list, 8 bytes: word `target` stands in relation `rel` to
 * the word whose list holds the entry, with `strength`. */
typedef struct CNETRELENT {
  uint32_t target;  /* target word id */
  REL rel;          /* the relation */
  uint8_t strength; /* 1 to 100 */
  uint8_t zero;     /* zero */
} CNETRELENT;

/* Named-relation flags (namedFlags of cnetRelConvert). */
#define CNET_REL_SYNONYM 0x80u
#define CNET_REL_RELATED 0x40u
#define CNET_REL_HIGHER 0x20u
#define CNET_REL_LOWER 0x10u
/* Numbered-relation family flags (numberedFlags of cnetRelConvert). */
#define CNET_USER_SYMMETRIC 0x40u
#define CNET_USER_HIGHER 0x20u
#define CNET_USER_LOWER 0x10u

/* ---- Frame -------------------------------------------------------------------------------- */

/* 1 when *name and *directories are a valid dictionary name and directories string (see the
 * README's naming rules), else 0. */
THES_EXPORT uint32_t cnetCorrectNames(const char** name, const char** directories);

/* Clears ctl and fills it with the names of file set setIndex (0 to 3) of dictionary `name`.
 * With two directories each file is taken from the second directory when it exists there. */
THES_EXPORT void cnetSetCNETCTL(CNETCTL* ctl, const char* name, const char* directories,
                                uint8_t setIndex);

/* Carries a failed engine status into status, unless status already holds a failure. */
THES_EXPORT void cnetConvertStatus_ZOL_CNET(const ZOLSTATUS* engine, CNETSTATUS* status);

/* Writes the message text of status into text (CNET_MESSAGE_SIZE bytes). Never fails. */
THES_EXPORT void zolCNETgetMessage(uint8_t codePage, const CNETSTATUS* status, char* text);

/* Progress line on standard output, with a time stamp and the name when non-empty, when exec
 * is null or has CNET_EXEC_PROGRESS. */
THES_EXPORT void cnetTimef(const CNETEXEC* exec, const char* name, const char* format, ...)
    THES_PRINTF(3, 4);

/* Percentage counter done * 100 / total on standard output (progress output only; nothing when
 * total is 0). */
THES_EXPORT void cnetProgress(const CNETEXEC* exec, uint32_t done, int32_t total);

/* Warning on standard error, prefixed by the name when non-empty, when exec is null or has
 * CNET_EXEC_WARNINGS. */
THES_EXPORT void cnetWarnf(const CNETEXEC* exec, const char* name, const char* format, ...)
    THES_PRINTF(3, 4);

/* The first non-zero byte of area[0 .. length), or null when there is none. */
THES_EXPORT const uint8_t* cnetMemNonZero(const uint8_t* area, int32_t length);

/* ---- Dictionary lock ---------------------------------------------------------------------- */

#define CNET_LOCK_COMPILE 1 /* compiler, whole compilation */
#define CNET_LOCK_UPDATE 2  /* compiler, while it replaces the live set */
#define CNET_LOCK_CLEAR 3   /* clearing */
#define CNET_LOCK_READ 4    /* readers */

/* Lock directory of a directories string, copied into buffer (CNET_NAME_SIZE bytes), or null
 * when the directories contain a tab (such a dictionary is used unlocked). */
THES_EXPORT char* cnetLock_DirName(const char* directories, char* buffer);

/* Takes the dictionary lock in `mode`. handles (one per lock file, -1 = not open) and flags
 * (1 when this call created or removed a file) are the caller's lock state, reset on entry. */
THES_EXPORT void cnetLock(const CNETEXEC* exec, uint32_t mode, const char* name,
                          const char* directories, int handles[3], int flags[3],
                          CNETSTATUS* status);

/* Releases the lock taken in `mode`. A null status is a quiet release: only the open handles
 * are closed and nothing is reported. */
THES_EXPORT void cnetUnlock(const CNETEXEC* exec, uint32_t mode, const char* name,
                            const char* directories, int handles[3], int flags[3],
                            CNETSTATUS* status);

/* ---- Relation model ----------------------------------------------------------------------- */

THES_EXPORT uint32_t cnetRelMake(REL* rel, uint8_t category, uint8_t id);
THES_EXPORT void cnetRelCopy(REL* destination, const REL* source);
THES_EXPORT uint32_t cnetRelCategory(const REL* rel);
THES_EXPORT uint32_t cnetRelId(const REL* rel);
/* Category difference, else id difference. */
THES_EXPORT int32_t cnetRelCmp(const REL* a, const REL* b);
/* Copies source and swaps categories 1 and 2. */
THES_EXPORT void cnetRelReverse(REL* destination, const REL* source);
/* 1 for a category of 0, 1, 2, 3, 255 with an id of 0, 1, 2 or 128 to 255, else 0. */
THES_EXPORT int32_t cnetRelValid(const REL* rel);
/* The RELATION descriptor of a stored relation (all zero for categories 0 and 255). */
THES_EXPORT void cnetRelConvert_REL_RELATION(RELATION* out, const REL* in);
/* Builds a RELSET from named flags, family flags and a list of numbered relations; a bad list
 * entry gives CNET_PARAMETER (4309 number out of range, 4310 type not 5 to 7). */
THES_EXPORT void cnetRelConvert(uint8_t namedFlags, uint8_t numberedFlags, int32_t count,
                                const RELATION* list, RELSET* out, CNETSTATUS* status);
/* Non-zero when rel belongs to set. */
THES_EXPORT uint32_t cnetRelSame(RELSET set, REL rel);
THES_EXPORT void cnetSetBit(uint8_t* set, uint32_t n);
THES_EXPORT uint32_t cnetCheckBit(const uint8_t* set, uint32_t n);
/* Order of relation entries: target, category, id, strength. */
THES_EXPORT int32_t cnetWdvRelCmp(const CNETRELENT* a, const CNETRELENT* b);
/* Non-zero when a and b name one target both as higher-than and as lower-than word w. */
THES_EXPORT int32_t cnetWdvRelInvalid(uint32_t w, const CNETRELENT* a, const CNETRELENT* b);

THES_EXTERN_C_END

#ifdef __cplusplus
static_assert(sizeof(CNETSTATUS) == 1056, "CNETSTATUS is 1,056 bytes");
static_assert(offsetof(CNETSTATUS, filename) == 12, "file name at 12");
static_assert(offsetof(CNETSTATUS, filename2) == 524, "second file name at 524");
static_assert(offsetof(CNETSTATUS, termsOmitted) == 1040, "termsOmitted at 1040");
static_assert(sizeof(CNETEXEC) == 16, "CNETEXEC is 16 bytes");
static_assert(sizeof(REL) == 2, "REL is 2 bytes");
static_assert(sizeof(RELATION) == 16, "RELATION is 16 bytes");
static_assert(sizeof(RELSET) == 96, "RELSET is 96 bytes");
static_assert(sizeof(CNETRELENT) == 8, "relation entry is 8 bytes");
#endif

#endif /* THESAURUS_ENGINE_CNET_H */
