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

/* A dictionary file opened for reading, shared through the engine's cache of open files. */
typedef struct CnetReadFile CnetReadFile;

/* One file of a set: a stream when the set is opened for writing, a shared read-only file when
 * it is opened for reading; both null when closed. */
typedef struct CNETFILE {
  FILE* fp;                  /* the stream of a set opened for writing */
  uint32_t position;         /* where the next sequential read or write goes */
  uint32_t end;              /* size measured by cnetPointEndSetSize, else 0 */
  uint8_t lastOp;            /* 'R' after a read, 'W' after a write, 0 after open or an error */
  uint64_t size;             /* bytes of the file when opened for reading, else no limit */
  char path[CNET_PATH_SIZE]; /* full path */
  CnetReadFile* reader;      /* the file of a set opened for reading */
  uint8_t* ahead;            /* bytes read ahead of sequential reads (owned), or null */
  uint32_t aheadOffset;      /* file offset of ahead[0] */
  uint32_t aheadLength;      /* bytes in ahead */
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

/* ---- Dictionary file records -------------------------------------------------------------
 *
 * Dictionary N in directory D is four files: "D/N.wdf" (header and word records), "D/N.wdv"
 * (word data), "D/N.grf" (group records) and "D/N.grv" (group data). Work sets 1 to 3 of the
 * compiler use the extensions w1f w1v g1f g1v, w2f w2v g2f g2v and w3f w3v g3f g3v. Every
 * 32-bit integer is big-endian except the code page field of the header.
 *
 * Header, the first 80 bytes of "wdf"
 * | Offset | Size | Meaning                                                |
 * |--------|------|--------------------------------------------------------|
 * |      0 |    4 | magic "CNET"                                           |
 * |      4 |    4 | version 256 (0 is read as well)                        |
 * |      8 |    4 | word count                                             |
 * |     12 |    4 | group count                                            |
 * |     16 |    4 | absent words                                           |
 * |     20 |    4 | absent groups                                          |
 * |     24 |    4 | most groups of one word                                |
 * |     28 |    4 | most relation entries of one word                      |
 * |     32 |    4 | most members of one group                              |
 * |     36 |    4 | most relation entries of one group                     |
 * |     40 |    4 | code page number, little-endian (byte 40 is read)      |
 * |     44 |   36 | zero                                                   |
 *
 * Word record, 20 bytes at 80 + 20 x id of "wdf"
 * | Offset | Size | Meaning                                                |
 * |--------|------|--------------------------------------------------------|
 * |      0 |    4 | offset of the word's data in "wdv"                     |
 * |      4 |    4 | text length in bytes                                   |
 * |      8 |    4 | relation entries                                       |
 * |     12 |    4 | groups                                                 |
 * |     16 |    1 | flags: 0x80 absent                                     |
 * |     17 |    3 | zero                                                   |
 *
 * Word data in "wdv": the text padded with zeros to a multiple of 4, the group ids (4 bytes
 * each), then the relation entries (8 bytes: target id, category, id, strength, zero).
 *
 * Group record, 20 bytes at 20 x id of "grf"
 * | Offset | Size | Meaning                                                |
 * |--------|------|--------------------------------------------------------|
 * |      0 |    4 | offset of the group's data in "grv"                    |
 * |      4 |    4 | data size in bytes: 8 x (members + relation entries)   |
 * |      8 |    4 | members                                                |
 * |     12 |    4 | relation entries                                       |
 * |     16 |    1 | block relation category                                |
 * |     17 |    1 | block relation id                                      |
 * |     18 |    1 | flags: 0x80 absent                                     |
 * |     19 |    1 | zero                                                   |
 *
 * Group data in "grv": the members, then the relation entries, 8 bytes each (word id,
 * strength, zero, category, id).
 */

#define CNET_MAGIC "CNET"
#define CNET_VERSION_CURRENT 256
#define CNET_HEADER_SIZE 80
#define CNET_RECORD_SIZE 20
#define CNET_WORD_MAX 192 /* longest stored (normalized) word */
#define CNET_TERM_MAX 64  /* longest word as written */
#define CNET_ABSENT 0x80u /* absent flag of word and group records */

/* Dictionary header in memory: the 80 bytes of the file, 32-bit fields in host order. */
typedef struct CNETHEAD {
  char magic[4];            /* "CNET" */
  uint32_t version;         /* 256 (0 accepted) */
  uint32_t wordCount;       /* word records */
  uint32_t groupCount;      /* group records */
  uint32_t absentWords;     /* word records with the absent flag */
  uint32_t absentGroups;    /* group records with the absent flag */
  uint32_t maxWordGroups;   /* largest number of groups of one word */
  uint32_t maxWordRels;     /* largest number of relation entries of one word */
  uint32_t maxGroupMembers; /* largest number of members of one group */
  uint32_t maxGroupRels;    /* largest number of relation entries of one group */
  uint8_t codePage;         /* code page number 1 to 36 */
  uint8_t codePageHigh[3];  /* zero */
  uint8_t reserved[36];     /* zero */
} CNETHEAD;

/* Word record, host order (on disk: 20 bytes big-endian at 80 + 20 x id of "wdf"). */
typedef struct CNETWORDREC {
  uint32_t offset;     /* of the word's data in "wdv" */
  uint32_t textLength; /* bytes of text */
  uint32_t relCount;   /* relation entries */
  uint32_t groupCount; /* groups */
  uint8_t flags;       /* CNET_ABSENT */
  uint8_t reserved[3]; /* zero */
} CNETWORDREC;

/* Group record, host order (on disk: 20 bytes big-endian at 20 x id of "grf"). */
typedef struct CNETGROUPREC {
  uint32_t offset;      /* of the group's data in "grv" */
  uint32_t size;        /* bytes of data */
  uint32_t memberCount; /* member entries */
  uint32_t relCount;    /* relation entries */
  REL rel;              /* block relation, (0,0) for none */
  uint8_t flags;        /* CNET_ABSENT */
  uint8_t reserved;     /* zero */
} CNETGROUPREC;

/* Group entry, 8 bytes: a member (REL (255,0)) or a word of a relation line. */
typedef struct CNETGROUPENT {
  uint32_t word;    /* word id */
  uint8_t strength; /* 1 to 100 */
  uint8_t zero;     /* zero */
  REL rel;          /* (255,0) or the relation line's REL */
} CNETGROUPENT;

/* Occurrence of a word in the word index, 16 bytes (the indexing engine's hit). */
typedef struct CNETOCC {
  uint32_t wordId;      /* word id */
  uint8_t reserved0[6]; /* engine's */
  uint8_t rank;         /* rank byte */
  uint8_t reserved1[5]; /* engine's */
} CNETOCC;

/* ---- Definition source and code page ------------------------------------------------------ */

#define CNET_DEF_FILE 2 /* CNETDEF.kind: a file named by path */

/* Definition source: the compiler's input and the dump's output. */
typedef struct CNETDEF {
  uint8_t kind;           /* CNET_DEF_FILE */
  uint8_t format;         /* 0 */
  uint8_t reserved0[14];  /* zero */
  uint8_t notExamined[8]; /* not examined */
  uint8_t reserved1[4];   /* zero */
  const char* path;       /* the file's path, at most 2047 characters */
  uint8_t reserved2[16];  /* zero */
} CNETDEF;

/* Code page record of the compiler, 16 bytes. */
typedef struct CNETCODE {
  uint8_t codePage;     /* 1 to 36 */
  uint8_t reserved[15]; /* zero */
} CNETCODE;

/* One word of the block being read or written. */
typedef struct DEFENTRY {
  uint32_t textOffset; /* into DEFCTL.text */
  uint32_t length;     /* bytes of the normalized word */
  uint32_t line;       /* line it was read from */
  uint8_t strength;    /* 1 to 100 */
  REL rel;             /* (255,0) member, else the relation line's REL */
  uint8_t zero;        /* zero */
} DEFENTRY;

/* Control record of the definition reader and writer; cleared by cnetDefOpen. */
typedef struct DEFCTL {
  char* pendingLine;      /* first non-blank character of the current line; null: consumed */
  int32_t pendingLength;  /* trimmed length of the current line; 0 at end of input */
  char lineBuffer[256];   /* raw current line, zero-terminated */
  uint8_t kind;           /* CNETDEF.kind */
  uint32_t lineNumber;    /* lines read so far */
  uint32_t blockLine;     /* line of the current block's head */
  char path[2076];        /* the definition file's path */
  FILE* file;             /* the open file */
  uint8_t format;         /* CNETDEF.format */
  REL blockRel;           /* the block relation; (0,0) for none */
  DEFENTRY* entries;      /* the block's words */
  uint32_t entryCount;    /* entries in use */
  uint32_t entryCapacity; /* entries allocated */
  uint32_t memberCount;   /* member entries (member lines while reading) */
  uint32_t relationCount; /* relation entries (relation lines while reading) */
  char* text;             /* normalized words back to back */
  uint32_t textSize;      /* bytes allocated */
  uint32_t textUsed;      /* bytes in use */
  uint8_t codePage;       /* code page number */
  char* input;            /* bytes read ahead from the file, when it is read */
  uint32_t inputNext;     /* the next byte of input to take */
  uint32_t inputEnd;      /* bytes in input */
} DEFCTL;

/* ---- Temporary files of the compiler ------------------------------------------------------ */

/* One word occurrence, 16 bytes, host order in the work files. */
typedef struct CNETTMPREC {
  uint32_t serial;     /* occurrence number, in file order */
  uint32_t textOffset; /* offset of the text in the pair's text file (or buffer) */
  uint32_t length;     /* bytes of text, 1 to 192 */
  uint8_t strength;    /* 1 to 100 */
  uint8_t zero;        /* zero */
  REL rel;             /* the occurrence's relation */
} CNETTMPREC;

/* An index file and a text file of the temporary set. */
typedef struct CNETTMPPAIR {
  FILE* index;                         /* records */
  FILE* text;                          /* texts */
  uint64_t indexBytes;                 /* bytes of index read or written since open */
  uint64_t textBytes;                  /* bytes of text read or written since open */
  uint64_t savedIndexBytes;            /* indexBytes at the last close */
  uint64_t savedTextBytes;             /* textBytes at the last close */
  char indexName[CNET_PATH_SIZE];      /* index file path */
  char textName[CNET_PATH_SIZE];       /* text file path */
  uint8_t end;                         /* 'Y' when reading has reached the end, else 'N' */
  CNETTMPREC current;                  /* current record read */
  char currentText[CNET_WORD_MAX + 1]; /* its text */
} CNETTMPPAIR;

/* The sorted runs of a temporary set and the state of their merge (private to the engine). */
typedef struct CNETTMPRUNS CNETTMPRUNS;

/* Temporary file set: the sorted runs (pair 0), the output of merges of groups of runs (pair
 * 1), the input-order copy (pair 2) and the memory buffer. Cleared to zero before use. */
typedef struct CNETTMPSET {
  CNETTMPPAIR pairs[3];
  CNETTMPREC* records; /* memory records */
  uint32_t capacity;   /* records allocated */
  uint32_t count;      /* records in memory */
  uint32_t cursor;     /* read cursor of the sorted read */
  uint8_t sorted;      /* 'Y' when the memory is sorted, else 'N' */
  char* text;          /* memory texts */
  uint32_t textUsed;   /* bytes in use */
  uint32_t textSize;   /* bytes allocated */
  CNETTMPRUNS* runs;   /* where each run lies in pair 0, and the merge; freed by cnetTmpDelete */
} CNETTMPSET;

/* ---- Compilation records ------------------------------------------------------------------ */

/* One accepted block of the definition file. */
typedef struct CNETBLOCK {
  uint32_t firstSerial; /* serial of the block's first entry */
  uint32_t memberCount; /* member entries */
  uint32_t relCount;    /* relation entries */
  REL rel;              /* block relation */
  uint8_t zero[2];      /* zero */
  uint32_t headLine;    /* line of the head */
  uint32_t duplicateOf; /* 0xFFFFFFFF, or the index of the block it repeats */
  uint32_t groupId;     /* final group id */
} CNETBLOCK;

/* What step 2 learns of one occurrence, indexed by serial. */
typedef struct CNETENTINFO {
  uint32_t firstSerial; /* serial of the first occurrence of the same word */
  uint32_t wordId;      /* the word's id */
  uint8_t strength;     /* 1 to 100 */
  uint8_t zero;         /* zero */
  REL rel;              /* the occurrence's REL */
} CNETENTINFO;

/* Membership of a word in a block (a group). */
typedef struct CNETWRDGRP {
  uint32_t wordId; /* word id */
  uint32_t group;  /* block index, later group id; 0xFFFFFFFF for a dropped block */
  REL rel;         /* (255,0) member, else the relation line's REL */
  uint8_t zero[2]; /* zero */
} CNETWRDGRP;

/* A block's memberships, for finding equivalent blocks. */
typedef struct CNETGRPRUN {
  uint32_t block;    /* block index */
  uint32_t count;    /* memberships */
  CNETWRDGRP* first; /* the first of them */
} CNETGRPRUN;

/* ---- Frame -------------------------------------------------------------------------------- */

/* 1 when *name and *directories are a valid dictionary name and directories string, else 0.
 * A name has 1 to 2047 bytes; the directories string is one directory, or two separated by a
 * tab, of at most 2047 bytes each, and is not empty. */
THES_EXPORT uint32_t cnetCorrectNames(const char** name, const char** directories);

/* Clears ctl and fills it with the names of file set setIndex (0 to 3) of dictionary `name`.
 * With two directories each file is taken from the second directory when it exists there. */
THES_EXPORT void cnetSetCNETCTL(CNETCTL* ctl, const char* name, const char* directories,
                                uint8_t setIndex);

/* Carries a failed engine status into status, unless status already holds a failure. */
THES_EXPORT void cnetConvertStatus_ZOL_CNET(const ZOLSTATUS* engine, CNETSTATUS* status);

/* Writes the message text of status into text (CNET_MESSAGE_SIZE bytes). Never fails. */
THES_EXPORT void zolCNETgetMessage(uint8_t codePage, const CNETSTATUS* status, char* text);

/* The version of the library that is running, "major.minor.patch" (THESAURUS_VERSION of
 * thesaurus_version.h names the version of the headers). Static text; never null. */
THES_EXPORT const char* cnetVersion(void);

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

/* Sets rel to (category, id), unchecked; returns the category. */
THES_EXPORT uint32_t cnetRelMake(REL* rel, uint8_t category, uint8_t id);
/* Copies *source into *destination. */
THES_EXPORT void cnetRelCopy(REL* destination, const REL* source);
/* The category of rel. */
THES_EXPORT uint32_t cnetRelCategory(const REL* rel);
/* The id of rel. */
THES_EXPORT uint32_t cnetRelId(const REL* rel);
/* Order of stored relations: the category difference, else the id difference (0 when equal). */
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
/* Sets bit n (1 to 256) of a 32-byte bit set of a RELSET; other values of n are ignored. */
THES_EXPORT void cnetSetBit(uint8_t* set, uint32_t n);
/* Non-zero when bit n (1 to 256) of a 32-byte bit set is set; 0 for other values of n. */
THES_EXPORT uint32_t cnetCheckBit(const uint8_t* set, uint32_t n);
/* Order of relation entries: target (its difference taken as a signed 32-bit number), then
 * category, id and strength. */
THES_EXPORT int32_t cnetWdvRelCmp(const CNETRELENT* a, const CNETRELENT* b);
/* Non-zero when a and b name one target both as higher-than and as lower-than word w (1 or -1,
 * by the order of a and b and whether the target's id is below w), else 0. */
THES_EXPORT int32_t cnetWdvRelInvalid(uint32_t w, const CNETRELENT* a, const CNETRELENT* b);

/* ---- Dictionary files ------------------------------------------------------------------- */

/* 1 when all four files of set 0 exist; 0 with no status when the first is missing, 0 with
 * CNET_INTEGRITY 4304 when a later one is. With info (16 bytes), the header is read and
 * checked and info[0] receives the code page. */
THES_EXPORT uint32_t cnetExist(const char* name, const char* directories, uint8_t* info,
                               CNETSTATUS* status);
/* Opens the four files with an fopen mode ("rb" or "wb"); returns ctl. */
THES_EXPORT CNETCTL* cnetOpen(CNETCTL* ctl, const char* mode, CNETSTATUS* status);
/* Closes every open file and releases the buffers; status may be null. */
THES_EXPORT void cnetClose(CNETCTL* ctl, CNETSTATUS* status);
/* Reads the header of a set opened for reading into out (host order); a wrong magic is
 * CNET_INTEGRITY and a version other than 0 and 256 CNET_VERSION. */
THES_EXPORT void cnetReadHead(CNETCTL* ctl, CNETHEAD* out, CNETSTATUS* status);
/* Writes head at the start of "wdf" of a set opened for writing, with the magic and the
 * current version whatever head holds. */
THES_EXPORT void cnetWriteHead(CNETCTL* ctl, const CNETHEAD* head, CNETSTATUS* status);
/* Positions every file at its end and records its size; returns the status code. */
THES_EXPORT uint32_t cnetPointEndSetSize(CNETCTL* ctl, CNETSTATUS* status);
/* Reads word `id` (-1: the next record). Returns 0 read, 1 absent, -1 failure. The groups and
 * rels pointers stay valid until the next read or close of ctl; text receives textLen bytes. */
THES_EXPORT int32_t cnetReadWord(CNETCTL* ctl, int32_t id, uint32_t* groupCount, uint32_t** groups,
                                 uint32_t* relCount, CNETRELENT** rels, char* text,
                                 uint32_t* textLen, CNETSTATUS* status);
/* Writes word `id` (0xFFFFFFFF: append) of a set opened for writing: its record and its data.
 * text needs room for 3 more bytes of padding, which the call may overwrite. */
THES_EXPORT void cnetWriteWord(CNETCTL* ctl, uint32_t id, uint32_t groupCount,
                               const uint32_t* groups, uint32_t relCount, const CNETRELENT* rels,
                               char* text, uint32_t textLen, CNETSTATUS* status);
/* Reads group `id` (below 0: the next record). Returns 0 read, 1 absent, -1 failure. *entries
 * stays valid until the next group read or the close of ctl. */
THES_EXPORT int32_t cnetReadGroup(CNETCTL* ctl, int32_t id, CNETGROUPREC* out,
                                  CNETGROUPENT** entries, CNETSTATUS* status);
/* Appends a group with its entries (members, then relation entries) to a set opened for
 * writing; the record's offset and size come from the write, not from in. */
THES_EXPORT void cnetWriteGroup(CNETCTL* ctl, const CNETGROUPREC* in, const CNETGROUPENT* entries,
                                CNETSTATUS* status);
/* Copies the four files of set source to those of set destination, opening and closing both;
 * the destination files are created new. */
THES_EXPORT void cnetCopy(CNETCTL* source, CNETCTL* destination, CNETSTATUS* status);
/* Renames each file of set `from` over the same file of set `to` (which is removed first);
 * stops at the first failure with CNET_RENAME. */
THES_EXPORT void cnetRename(CNETCTL* from, CNETCTL* to, CNETSTATUS* status);
/* rename(2) with retries on EACCES and EBUSY, each announced on standard error; 0 on success,
 * else -1 with errno set. */
THES_EXPORT int32_t XXrename(const char* from, const char* to);
/* Removes those files of the set that exist; a failed removal is CNET_DELETE. */
THES_EXPORT void cnetDelete(CNETCTL* ctl, CNETSTATUS* status);
/* 0 when path exists, else -1; mode is not examined. */
THES_EXPORT int32_t cnetAccess(const char* path, int32_t mode);
/* Looks a normalized word up in the word index of ctl's dictionary; *ids (freed by the caller
 * with free) receives *count occurrences sorted by rank and id. *searchCache (null cell: none)
 * keeps the search between calls, for one thread at a time. Returns -1. */
THES_EXPORT int32_t cnetWord_WordID(void** searchCache, CNETCTL* ctl, const CNETHEAD* head,
                                    const char* word, uint32_t length, uint16_t option,
                                    const uint8_t options[2], uint32_t* count, CNETOCC** ids,
                                    CNETSTATUS* status);
/* Frees the search kept in *searchCache by cnetWord_WordID and sets the cell to null; a null
 * cell is left alone. */
THES_EXPORT void cnetWord_WordID_Release(void** searchCache, CNETSTATUS* status);
/* The id (lowestGroupId or above) of a present group of ctl, open for reading, with the same
 * block relation and the same entries as group and entries, else -1 (also on failure). */
THES_EXPORT int32_t cnetSameGroupId(const CNETGROUPREC* group, const CNETGROUPENT* entries,
                                    CNETCTL* ctl, uint32_t lowestGroupId, CNETSTATUS* status);
/* Sorts ids[0 .. *count) in place and drops repeated ids; *count becomes the ids kept. */
THES_EXPORT void cnetGrpIdCheck(uint32_t* ids, uint32_t* count);
/* A zero-terminated copy of the n bytes at text, allocated with malloc (freed by the caller),
 * or null when out of memory. */
THES_EXPORT char* cnetStrNDup(const char* text, uint32_t n);
/* Order of words: bytes as memcmp compares them, then the shorter word first. */
THES_EXPORT int32_t cnetWordCmp(const char* a, uint32_t lengthA, const char* b, uint32_t lengthB);
/* qsort order of 32-bit group ids (the difference taken as a signed 32-bit number). */
THES_EXPORT int32_t cnetGrpIdCmp(const void* a, const void* b);
/* qsort order of CNETOCC: ascending rank byte, then ascending word id. */
THES_EXPORT int32_t cnetOccCmp(const void* a, const void* b);
/* qsort order of CNETGROUPENT: word id (the difference taken as a signed 32-bit number), then
 * strength. */
THES_EXPORT int32_t cnetGRVcmp(const void* a, const void* b);
/* Normalizes (case-folds) length bytes of word in a code page into out (outSize bytes), as
 * the word index matches words; *outLength receives the bytes written. A failure of the
 * indexing engine enters status as CNET_ENGINE_BASE plus its code. */
THES_EXPORT void cnetZOLnormalizeWord(uint8_t codePage, const char* word, int32_t length, char* out,
                                      int32_t outSize, int32_t* outLength, CNETSTATUS* status);
/* Turns a stored (normalized) word into the form the word index is searched with, into out
 * (outSize bytes); a result above CNET_WORD_MAX bytes is CNET_UNEXPECTED. */
THES_EXPORT void cnetZOLunnormalizeWord(uint8_t codePage, const char* word, int32_t length,
                                        char* out, int32_t outSize, int32_t* outLength,
                                        CNETSTATUS* status);
/* The length of word after normalization when it is a UTF-8 word (code page 34) of 43 to 64
 * bytes; *outLength is 0 for every other word and code page. */
THES_EXPORT void cnetZOLnormalizeWordLength(uint8_t codePage, const char* word, int32_t length,
                                            int32_t* outLength, CNETSTATUS* status);

/* ---- Definition reader ------------------------------------------------------------------ */

/* Clears def, opens the definition file source->path with an fopen mode ("r" to read, "w" to
 * write) and allocates the block buffers, which def owns until cnetDefClose. A DEFCTL is used
 * by one thread at a time. */
THES_EXPORT void cnetDefOpen(DEFCTL* def, const CNETDEF* source, uint8_t codePage, const char* mode,
                             CNETSTATUS* status);
/* Closes the file (a failure is reported only when status is not null) and frees the buffers;
 * def may then be opened again. */
THES_EXPORT void cnetDefClose(DEFCTL* def, CNETSTATUS* status);
/* Reads the next accepted block into def (words normalized and sorted, members first), through
 * the read routine of def->format; a member count of 0 means the end of the input. A syntax
 * error is CNET_INPUT with the reason in errcode and the line in line; a block warned about
 * (cnetWarnf) is skipped. */
THES_EXPORT void cnetDefRead(DEFCTL* def, const CNETEXEC* exec, CNETSTATUS* status);
/* Format 0 of cnetDefRead: a head line, relation lines and member lines per block. Does
 * nothing when status already holds a failure. */
THES_EXPORT void cnetDefReadStream1(DEFCTL* def, const CNETEXEC* exec, CNETSTATUS* status);
/* Clears size bytes of out, then writes ":WORDS" in the code page, with its terminator, as far
 * as it fits. */
THES_EXPORT void CopyStrWords(uint8_t codePage, char* out, int32_t size);
/* Clears size bytes of out and fills all but the last with the code page's blank. */
THES_EXPORT void CopyStrSpace(uint8_t codePage, char* out, uint32_t size);
/* strtol with the result held to the 32-bit range, so that a huge number never wraps into a
 * valid value; codePage is not examined. */
THES_EXPORT int32_t xstrtol(uint8_t codePage, const char* text, char** end, int32_t base);

/* ---- Definition writer ------------------------------------------------------------------ */

/* Writes the block held in def (opened with mode "w") as definition text, through the write
 * routine of def->format. */
THES_EXPORT void cnetDefWrite(DEFCTL* def, const CNETEXEC* exec, CNETSTATUS* status);
/* Format 0: a head line, the relation lines, then the member lines. */
THES_EXPORT void cnetDefWriteStream1(DEFCTL* def, const CNETEXEC* exec, CNETSTATUS* status);

/* ---- Temporary files -------------------------------------------------------------------- */

/* Opens the temporary set, whose pairs' file names are filled in beforehand, in mode 'W' write,
 * 'S' read sorted (merging the sorted runs) or 'R' read in input order. The set owns its memory
 * and files until cnetTmpDelete; it is used by one thread at a time. */
THES_EXPORT void cnetTmpOpen(CNETTMPSET* set, uint8_t mode, CNETSTATUS* status);
/* Adds one occurrence (text of 1 to CNET_WORD_MAX bytes) to a set opened with 'W': to the
 * input-order file and to memory, which is written as a sorted run when full. */
THES_EXPORT void cnetTmpWrite(CNETTMPSET* set, uint32_t serial, const char* text, uint32_t length,
                              uint8_t strength, const REL* rel, CNETSTATUS* status);
/* The next occurrence of a set opened with 'S', in the order of the texts' bytes, then length,
 * then serial; text needs CNET_WORD_MAX bytes. *length 0 means the end (or a failure). */
THES_EXPORT void cnetTmpReadSorted(CNETTMPSET* set, uint32_t* serial, char* text, uint32_t* length,
                                   uint8_t* strength, REL* rel, CNETSTATUS* status);
/* The next occurrence in input order of a set opened with 'R'; serial, strength and rel may be
 * null. *length 0 means the end (or a failure). */
THES_EXPORT void cnetTmpRead(CNETTMPSET* set, uint32_t* serial, char* text, uint32_t* length,
                             uint8_t* strength, REL* rel, CNETSTATUS* status);
/* Closes the open files of the set and ends a merge; the files stay for a later open. */
THES_EXPORT void cnetTmpClose(CNETTMPSET* set, CNETSTATUS* status);
/* Closes and removes every file of the set and frees its memory; status may be null. */
THES_EXPORT void cnetTmpDelete(CNETTMPSET* set, CNETSTATUS* status);

/* ---- Compiler ----------------------------------------------------------------------------- */

/* Comparators of the compilation steps, shaped for qsort; differences of 32-bit ids are taken
 * as signed 32-bit numbers. */
/* CNETWRDGRP: dropped memberships last, then word id, relation id and category. */
THES_EXPORT int32_t cnetWrdGrpCmp(const void* a, const void* b);
/* CNETWRDGRP: as cnetWrdGrpCmp, then the group. */
THES_EXPORT int32_t cnetWrdGrpIdCmp(const void* a, const void* b);
/* CNETGRPRUN: membership count, then the memberships in turn by cnetWrdGrpCmp. */
THES_EXPORT int32_t cnetWrdGrpGrpCmp(const void* a, const void* b);
/* CNETGRPRUN: as cnetWrdGrpGrpCmp, then the block index. */
THES_EXPORT int32_t cnetWrdGrpGrpIdCmp(const void* a, const void* b);
/* Sorts a word's relation list, drops repeated entries and warns (zolC706W) about a target
 * named both higher and lower; *count becomes the entries kept. */
THES_EXPORT void cnetWdvRelCheck(const CNETEXEC* exec, const char* definitionPath, uint32_t w,
                                 const char* text, uint32_t length, CNETRELENT* list,
                                 uint32_t* count, uint8_t codePage);

/* Compiles the definition file into dictionary `name`. */
THES_EXPORT void zolCNETregist(const char* name, const char* directories, const CNETDEF* definition,
                               const CNETCODE* code, const CNETEXEC* exec, void* reserved,
                               CNETSTATUS* status);

/* ---- Term lookup -------------------------------------------------------------------------- */

/* Term to look up, 80 bytes. */
typedef struct CNETTERM {
  char text[CNET_TERM_MAX]; /* in the dictionary's code page, not terminated */
  uint16_t length;          /* bytes of text, 1 to 64 */
  int16_t weight;           /* must be 100 */
  uint8_t options[2];       /* word search options, passed to the indexing engine */
  uint8_t reserved[10];     /* zero */
} CNETTERM;

/* What to follow in a lookup (and an expansion). */
typedef struct CNETCOND {
  uint8_t relations;        /* CNET_REL_ flags of the named relations */
  uint8_t userFamilies;     /* CNET_USER_ flags: every numbered relation of a family */
  uint8_t reserved0[14];    /* zero */
  uint32_t userCount;       /* entries of userList */
  const RELATION* userList; /* single numbered relations: type 5 to 7, number 1 to 128 */
  uint32_t maxTerms;        /* room of the result array */
  int32_t maxDepth;         /* deepest level of related terms */
  uint8_t minStrength;      /* weaker relations are not followed */
  uint8_t reserved1[15];    /* zero */
} CNETCOND;

/* One term found, 256 bytes. */
typedef struct CNETRESENT {
  char text[CNET_WORD_MAX]; /* display form, not terminated */
  uint16_t length;          /* bytes of text */
  uint8_t reserved0[2];     /* left as the caller set it */
  uint32_t depth;           /* 0 for terms found directly, else relation steps */
  uint8_t strength;         /* strength of the relation it was reached by; the rank for hits */
  uint8_t reserved1[7];     /* left as the caller set it */
  RELATION relation;        /* relation it was reached by; zero for hits */
  int32_t parent;           /* index of the last entry returned before it was queued (-1: none) */
  uint8_t reserved2[28];    /* left as the caller set it */
} CNETRESENT;

/* Caller's result array. */
typedef struct CNETRESULT {
  CNETRESENT* entries; /* room for CNETCOND.maxTerms entries */
  uint32_t count;      /* entries written */
} CNETRESULT;

/* Looks up the terms related to `term`, breadth-first, or lists the top terms when term is
 * null. *searchContext keeps the word index search between calls (null cell: no reuse). */
THES_EXPORT void zolCNETrefer(void** searchContext, const char* name, const char* directories,
                              const CNETTERM* term, const CNETCOND* condition, int32_t reserved,
                              CNETRESULT* result, CNETSTATUS* status);
/* Frees the search context kept in *searchContext and sets it to null. */
THES_EXPORT void zolCNETrefer_Release(void** searchContext, CNETSTATUS* status);

/* ---- Search-condition expansion ----------------------------------------------------------- */

/* Expansion options, 32 bytes. */
typedef struct CNETEXPOPT {
  uint8_t mode;         /* must be 1 */
  uint8_t reserved[31]; /* zero */
} CNETEXPOPT;

/* Optional summary of an expansion: the result entries of all its lookups. */
typedef struct CNETEXPSUMMARY {
  CNETRESENT* entries; /* input terms first, then the related terms */
  uint32_t count;      /* entries */
  uint32_t zero[2];    /* zero */
} CNETEXPSUMMARY;

/* Expansion context kept in the caller's cell; it owns everything an expanded condition points
 * to, until the next expansion with the same cell or zolCNETexpandSearchCond_Release. */
typedef struct CNETEXPCTX {
  char* conditionText;     /* the new condition text */
  int32_t termCount;       /* entries of the new term array */
  ZOLTERM* terms;          /* new plain term array */
  ZOLMIXTERM* mixTerms;    /* new mixed term array */
  CNETRESENT* results;     /* result entries of all lookups */
  CNETEXPSUMMARY* summary; /* summary block, when asked for */
  char* texts;             /* copied term texts and condition text */
  ZOLITEM* items;          /* copied engine items */
  void* searchContext;     /* search context cell of the lookups */
} CNETEXPCTX;

/* Replaces every word term of condition by an OR group of the term and its related terms,
 * weighted by relation strength; *out receives the expanded condition (form 3 or 5). */
THES_EXPORT void zolCNETexpandSearchCond(void** context, const char* name, const char* directories,
                                         const ZOLSEARCHCOND* condition, const CNETCOND* lookup,
                                         const CNETEXPOPT* options, int32_t reserved,
                                         ZOLSEARCHCOND* out, CNETEXPSUMMARY** summary,
                                         CNETSTATUS* status);
/* Frees everything the context in *context holds and sets the cell to null. */
THES_EXPORT void zolCNETexpandSearchCond_Release(void** context, CNETSTATUS* status);

/* ---- Dump, clear, information, verification ----------------------------------------------- */

/* Dictionary facts, 88 bytes. */
typedef struct CNETINFO {
  char magic[4];        /* "CNET", not terminated */
  uint32_t version;     /* header version */
  uint32_t groups;      /* present groups */
  uint32_t words;       /* present words */
  uint8_t codePage;     /* code page number */
  uint8_t reserved[71]; /* zero */
} CNETINFO;

/* Writes the dictionary, or the groups of one term (term given with a non-zero length), as a
 * definition file named by output. */
THES_EXPORT void zolCNETdump(const char* name, const char* directories, const CNETTERM* term,
                             const CNETDEF* output, const CNETEXEC* exec, int32_t reserved,
                             CNETSTATUS* status);
/* Deletes the dictionary's files of sets 0 to 2, its word index and its lock files. */
THES_EXPORT void zolCNETclear(const char* name, const char* directories, CNETSTATUS* status);
/* Fills info (when given) from the header; returns the number of present words, 0 on failure. */
THES_EXPORT uint32_t zolCNETgetInfo(const char* name, const char* directories, int32_t reserved,
                                    CNETINFO* info, int32_t reserved2, CNETSTATUS* status);
/* Checks the dictionary's records against each other and its header, then its word index. */
THES_EXPORT void zolCNETverify(const char* name, const char* directories, const CNETEXEC* exec,
                               int32_t reserved, int32_t reserved2, CNETSTATUS* status);

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
static_assert(sizeof(CNETHEAD) == 80, "CNETHEAD is 80 bytes");
static_assert(offsetof(CNETHEAD, codePage) == 40, "code page at 40");
static_assert(sizeof(CNETWORDREC) == 20, "word record is 20 bytes");
static_assert(sizeof(CNETGROUPREC) == 20, "group record is 20 bytes");
static_assert(sizeof(CNETGROUPENT) == 8, "group entry is 8 bytes");
static_assert(sizeof(CNETOCC) == 16, "occurrence is 16 bytes");
static_assert(offsetof(CNETOCC, rank) == 10, "rank byte at 10");
static_assert(sizeof(CNETCODE) == 16, "CNETCODE is 16 bytes");
static_assert(sizeof(DEFENTRY) == 16, "DEFENTRY is 16 bytes");
static_assert(sizeof(CNETTMPREC) == 16, "temporary record is 16 bytes");
static_assert(sizeof(CNETTERM) == 80, "term record is 80 bytes");
static_assert(sizeof(CNETRESENT) == 256, "result entry is 256 bytes");
static_assert(offsetof(CNETRESENT, relation) == 208, "relation at 208");
static_assert(sizeof(CNETEXPOPT) == 32, "expansion options are 32 bytes");
static_assert(sizeof(CNETINFO) == 88, "information record is 88 bytes");
#endif

#endif /* THESAURUS_ENGINE_CNET_H */
