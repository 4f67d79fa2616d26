/* The class layer's message table: 147 texts by number, handed to the common services message
 * catalog. Entry 0 is the signature "[COS_MSGTAB_SIGNATURE] 147", entry 147 the end mark
 * "[COS_MSGTAB_SIGNATURE]". Numbers 1 to 28 are context labels, 29 to 78 reason texts, 79 to
 * 101 the command-line tools' options and usage, 102 to 146 thesaurus messages. The table is
 * constant and may be read by any thread.
 */
#ifndef TYK_COMMON_TYK_MESSAGE_TABLE_H
#define TYK_COMMON_TYK_MESSAGE_TABLE_H

#include "thesaurus_export.h"

#define TYK_MESSAGE_COUNT 147

/* The numbers the class layer writes by name. */
enum TykEnMessage : int {
  TYK_MSG_CONTEXT = 1,
  TYK_MSG_FILE_NAME = 3,
  TYK_MSG_KERNEL_RETURN_CODE = 14,
  TYK_MSG_KERNEL_ERROR_CODE = 15,
  TYK_MSG_PROCESSED_INDEX_TYPE = 16,
  TYK_MSG_ERRNO = 17,
  TYK_MSG_KERNEL_ERROR_INFO = 18,
  TYK_MSG_COS_ERROR_ID = 27,
  TYK_MSG_COS_ERROR_CLASS = 28,
  TYK_MSG_STOPWORD_FILE = 62,
  TYK_MSG_RESULTS_OMITTED = 74,
  TYK_MSG_NAME_TO_MAP = 78,
  TYK_MSG_INTERNAL_UNEXPECTED = 107,
  TYK_MSG_INTERNAL_ERROR = 130,
};

/* TYK_MESSAGE_COUNT + 1 entries: the texts and the end mark. */
extern THES_EXPORT const char* const gs_apszTykMessageTable[TYK_MESSAGE_COUNT + 1];

#endif /* TYK_COMMON_TYK_MESSAGE_TABLE_H */
