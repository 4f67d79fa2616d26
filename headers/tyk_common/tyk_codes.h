/* The three numbers that describe every failure of the class layer: return code (how bad),
 * reason code (what went wrong) and action code. The values are fixed; see tyk_error_info.h
 * and tyk_error_translation.h for where each reason arises.
 */
#ifndef TYK_COMMON_TYK_CODES_H
#define TYK_COMMON_TYK_CODES_H

#include <cstdint>

enum TykEnReturnCode : uint32_t {
  TYK_RC_OK = 0,
  TYK_RC_WARNING = 4,         /* counted against the warning threshold */
  TYK_RC_ERROR = 8,           /* every exception the system raises */
  TYK_RC_INVALID_HANDLE = 16, /* lookup API: handle, context or iterator missing */
};

enum TykEnErrorAction : uint32_t {
  TYK_ACTION_NONE = 100000,          /* stored with return code 0 */
  TYK_ACTION_ERROR = 100001,         /* every failure the system raises or translates */
  TYK_ACTION_COS_UNKNOWN = 100004,   /* library action 6 and unknown library actions */
  TYK_ACTION_COS_RESOURCES = 100005, /* library actions 8 and 10 */
};

enum TykEnReasonCode : uint32_t {
  TYK_REASON_NONE = 0,
  TYK_REASON_KERNEL_1 = 1, /* indexing-engine status 1 */
  TYK_REASON_OUT_OF_STORAGE = 2,
  TYK_REASON_KERNEL_SEVERE = 4, /* engine 50, 131, 135, 999; library 1000901 */
  TYK_REASON_CALLING_SEQUENCE = 6,
  TYK_REASON_INTERNAL = 7,
  TYK_REASON_INVALID_CCSID = 11,
  TYK_REASON_RESOURCE_IN_USE = 15,
  TYK_REASON_FILE_OPEN = 16,
  TYK_REASON_FILE_READ = 17,
  TYK_REASON_FILE_WRITE = 18,
  TYK_REASON_FILE_SEEK = 19,
  TYK_REASON_FILE_POSITION = 20,
  TYK_REASON_FILE_CLOSE = 21,
  TYK_REASON_FILE_RENAME = 22,
  TYK_REASON_FILE_REMOVE = 23,
  TYK_REASON_DIRECTORY_CREATE = 24,
  TYK_REASON_INVALID_PARAMETER = 25,
  TYK_REASON_KERNEL_OTHER = 27, /* any other engine failure */
  TYK_REASON_COS_OTHER = 28,    /* any other library failure */
  TYK_REASON_WARNING_THRESHOLD = 38,
  TYK_REASON_ATTRIBUTE_NUMBER = 40,
  TYK_REASON_NOT_SUPPORTED = 47,
  TYK_REASON_STOPWORD_FILE = 50,
  TYK_REASON_NOT_EXISTING = 100,
  TYK_REASON_NAME_INVALID = 101,
  TYK_REASON_DATA_INVALID = 103,
  TYK_REASON_DICTIONARY_EXISTS = 104,
  TYK_REASON_COS_1000001 = 110,
  TYK_REASON_COS_1000002 = 111,
  TYK_REASON_COS_1000003 = 112,
  TYK_REASON_KERNEL_153 = 306,
  TYK_REASON_STRENGTH_RANGE = 340,
  TYK_REASON_RELATION_NUMBER = 341,
  TYK_REASON_RELATION_TYPE = 342,
  TYK_REASON_TERM_TOO_LONG = 343,
  TYK_REASON_UNEXPECTED_EOF = 344,
  TYK_REASON_DICTIONARY_VERSION = 345,
  TYK_REASON_BUFFER_OVERFLOW = 346,
  TYK_REASON_NAME_LENGTH = 347,
  TYK_REASON_TERM_NOT_FOUND = 348,
  TYK_REASON_MASK1_LENGTH = 360,
  TYK_REASON_MASK2_LENGTH = 361,
  TYK_REASON_NAME_NOT_FOUND = 403,
  TYK_REASON_MAP_FULL = 404,
  TYK_REASON_COS_1000902 = 500,
  TYK_REASON_COS_1000903 = 501,
  TYK_REASON_COS_1000904 = 502,
  TYK_REASON_COS_1000905 = 503,
};

#endif /* TYK_COMMON_TYK_CODES_H */
