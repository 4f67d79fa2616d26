/* TykClErrorData: one error of the class layer.
 *
 * It holds the three codes, a bounded context text and, when given, a copy of the indexing
 * engine's status record. The context text is at most 512 characters in a 513-byte buffer
 * whose last byte is always zero; it is written through a fixed-size stream over the first 512
 * bytes. Output beyond 512 characters fails silently (the stream's failure state is set) and
 * the cut text ends in "..." (positions 509 to 511). Context lines are messages of the message
 * table (tyk_message_table.h), formatted by a catalog that is created on first use.
 *
 * Ownership: the object owns its catalog and its engine status copy; both come from the
 * common services memory manager. Copies load their own catalog.
 * Threads: an object is used by one thread at a time.
 */
#ifndef TYK_COMMON_TYK_ERROR_DATA_H
#define TYK_COMMON_TYK_ERROR_DATA_H

#include <istream>
#include <ostream>
#include <streambuf>

#include "indexing_engine/zol.h"
#include "thesaurus_export.h"
#include "tyk_common/tyk_codes.h"

class CosClMessageCatalog;

#define TYK_CONTEXT_SIZE 513 /* context buffer: 512 characters and a zero */
#define TYK_CONTEXT_MAX 512

class THES_EXPORT TykClErrorData {
 public:
  virtual ~TykClErrorData();

  // Copies the codes, the context text with its write position and the engine status (an
  // object without one clears the kept copy to zeros). The catalog is not copied.
  TykClErrorData& operator=(const TykClErrorData& other);

  // Appends one context line: a line end first when the text is not empty, then message
  // number formatted with p1 to p3 as %1 to %3. Returns the stream, so that the caller can
  // write a value after the text (": " and a number, or ": '" name "'").
  std::ostream& context(int number, const char* p1 = nullptr, const char* p2 = nullptr,
                        const char* p3 = nullptr);

  // Keeps a copy of an indexing-engine status record.
  void setZolStatus(const ZOLSTATUS& status);
  // The kept status; all zero when there is none or the return code is 0.
  const ZOLSTATUS& getZolStatus() const;

  TykEnReturnCode getReturnCode() const { return iv_enReturnCode; }
  TykEnReasonCode getReasonCode() const { return iv_enReasonCode; }
  TykEnErrorAction getAction() const { return iv_enAction; }
  const char* getContext() const { return iv_acContext; }
  // Number of characters in the context text.
  unsigned int getContextLength() const;

 protected:
  TykClErrorData(TykEnReturnCode returnCode, TykEnReasonCode reason, TykEnErrorAction action);
  TykClErrorData(const TykClErrorData& other);

  // Empties the context; when firstLine is not null writes it and a line end.
  void resetContext(const char* firstLine);

  void setCodes(TykEnReturnCode returnCode, TykEnReasonCode reason, TykEnErrorAction action);
  void setReturnCodeOnly(TykEnReturnCode returnCode) { iv_enReturnCode = returnCode; }

 private:
  // Stream buffer over the first 512 bytes of the context buffer; never grows.
  class ContextBuffer : public std::streambuf {
   public:
    explicit ContextBuffer(char* area);
    // The write position, 0 to 512.
    long position() const { return static_cast<long>(pptr() - pbase()); }
    void setPosition(long position);

   protected:
    int_type overflow(int_type c) override;
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

   private:
    char* iv_pcArea;
  };

  void loadMessageCatalog();

  TykEnReturnCode iv_enReturnCode;
  TykEnReasonCode iv_enReasonCode;
  TykEnErrorAction iv_enAction;
  char iv_acContext[TYK_CONTEXT_SIZE];
  ContextBuffer iv_clContextBuffer;
  std::iostream iv_clContextStream;
  CosClMessageCatalog* iv_pclCatalog; /* created on first use, owned */
  mutable ZOLSTATUS* iv_pstZolStatus; /* created on first use, owned */
};

#endif /* TYK_COMMON_TYK_ERROR_DATA_H */
