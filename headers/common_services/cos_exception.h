/* Common services: the exception base and the library's own exception.
 *
 * CosClExceptionABase is the base of every exception the class layer throws: a cause text, the
 * origin text of the throw site ("source/dir/file:line") and its line. The base holds pointers
 * only; the texts must outlive the object (literals, or storage a derived class owns).
 * CosClException is what the common services library throws: it carries an error record with
 * an error id (0 = success), an error class and the library's suggested action.
 *
 * Threads: objects are values used by one thread.
 */
#ifndef COMMON_SERVICES_COS_EXCEPTION_H
#define COMMON_SERVICES_COS_EXCEPTION_H

#include <cstdint>

#include "thesaurus_export.h"

/* What the library suggests a caller does about an error. */
enum CosEnErrorAction : uint32_t {
  COS_ACTION_NONE = 0,
  COS_ACTION_STOP = 1,
  COS_ACTION_STOP_OPERATION = 2,
  COS_ACTION_STOP_INDEX = 3,
  COS_ACTION_STOP_PROCESS = 4,
  COS_ACTION_CALL_SERVICE = 5,
  COS_ACTION_RETRY = 6,
  COS_ACTION_IGNORE = 7,
  COS_ACTION_FREE_RESOURCES = 8,
  COS_ACTION_WAIT = 9,
  COS_ACTION_CHECK_CONFIGURATION = 10,
};

/* Error ids the library raises. */
enum CosEnErrorId : uint32_t {
  COS_ERROR_NONE = 0,
  COS_ERROR_FILE_NOT_FOUND = 1000101, /* a file that must exist does not */
  COS_ERROR_FILE_IN_USE = 1000102,    /* a file is locked or busy */
  COS_ERROR_FILE_WRITE = 1000401,     /* writing or copying a file failed */
  COS_ERROR_FILE_REMOVE = 1000402,    /* removing a file failed */
  COS_ERROR_FILE_STATUS = 1000403,    /* the attributes of a file cannot be read */
  COS_ERROR_FILE_RENAME = 1000404,    /* renaming a file failed */
  COS_ERROR_OUT_OF_MEMORY = 1000801,  /* an allocation failed */
  COS_ERROR_MESSAGE_TABLE = 1000901,  /* a string table without a valid signature */
};

/* Error record of a CosClException. */
struct _CosStError {
  uint32_t iv_ulId;             /* error id, 0 = success */
  uint32_t iv_ulClass;          /* error class (the library area that raised it) */
  CosEnErrorAction iv_enAction; /* suggested action */
};

/* Error classes of the library. */
#define COS_CLASS_FILE 4u
#define COS_CLASS_MEMORY 8u
#define COS_CLASS_MESSAGE 9u

class THES_EXPORT CosClExceptionABase {
 public:
  // cause null is taken as "". origin starts null and line 0.
  explicit CosClExceptionABase(const char* cause);
  virtual ~CosClExceptionABase();
  virtual bool isCosException() const = 0;
  virtual const char* getCause() const;

  // The throw site: its file-and-line text and its line number.
  void setOrigin(const char* origin, unsigned int line);
  const char* getOrigin() const { return iv_pszOrigin; }
  unsigned int getLine() const { return iv_uiLine; }

 protected:
  CosClExceptionABase(const CosClExceptionABase&) = default;
  CosClExceptionABase& operator=(const CosClExceptionABase&) = default;
  // Lets a derived class point the cause at storage it owns.
  void setCausePointer(const char* cause) { iv_pszCause = cause ? cause : ""; }

 private:
  const char* iv_pszCause;  /* never null */
  const char* iv_pszOrigin; /* null until set */
  uint32_t iv_uiLine;       /* 0 until set */
};

class THES_EXPORT CosClException : public CosClExceptionABase {
 public:
  // cause must outlive the exception (the library passes literals).
  CosClException(const char* cause, uint32_t id, uint32_t errorClass,
                 CosEnErrorAction action = COS_ACTION_STOP_OPERATION);
  CosClException(const CosClException&) = default;
  CosClException& operator=(const CosClException&) = default;
  ~CosClException() override;
  bool isCosException() const override { return true; }
  const _CosStError& getError() const { return iv_stError; }

 private:
  _CosStError iv_stError;
};

#endif /* COMMON_SERVICES_COS_EXCEPTION_H */
