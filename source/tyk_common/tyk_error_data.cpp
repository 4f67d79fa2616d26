// Error data: codes, the bounded context text with its fixed-size stream, the lazily loaded
// message catalog and the kept engine status.
#include "tyk_common/tyk_error_data.h"

#include <cstring>
#include <new>

#include "common_services/cos_memmgr.h"
#include "common_services/cos_message.h"
#include "tyk_common/tyk_message_table.h"

namespace {

// Marks a cut context text: "..." just before the final zero.
void markCut(char* area) {
  std::memcpy(area + TYK_CONTEXT_MAX - 3, "...", 3);
}

}  // namespace

// ---- ContextBuffer ------------------------------------------------------------------------

TykClErrorData::ContextBuffer::ContextBuffer(char* area) : iv_pcArea(area) {
  setp(area, area + TYK_CONTEXT_MAX);
  setg(area, area, area);
}

void TykClErrorData::ContextBuffer::setPosition(long position) {
  if (position < 0) position = 0;
  if (position > TYK_CONTEXT_MAX) position = TYK_CONTEXT_MAX;
  setp(iv_pcArea, iv_pcArea + TYK_CONTEXT_MAX);
  pbump(static_cast<int>(position));
  if (gptr() > pptr()) setg(iv_pcArea, pptr(), pptr());
}

// The area is full: the character is refused (the stream turns bad) and the text is marked.
TykClErrorData::ContextBuffer::int_type TykClErrorData::ContextBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  markCut(iv_pcArea);
  return traits_type::eof();
}

// Reading sees what has been written so far.
TykClErrorData::ContextBuffer::int_type TykClErrorData::ContextBuffer::underflow() {
  if (gptr() < pptr()) {
    setg(iv_pcArea, gptr(), pptr());
    return traits_type::to_int_type(*gptr());
  }
  return traits_type::eof();
}

TykClErrorData::ContextBuffer::pos_type TykClErrorData::ContextBuffer::seekoff(
    off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) {
  const bool out = (which & std::ios_base::out) != 0;
  const bool in = (which & std::ios_base::in) != 0;
  if (out == in && direction == std::ios_base::cur) return pos_type(off_type(-1));
  off_type base = 0;
  if (direction == std::ios_base::cur) base = out ? pptr() - pbase() : gptr() - eback();
  if (direction == std::ios_base::end) base = pptr() - pbase();
  off_type target = base + offset;
  if (target < 0 || target > TYK_CONTEXT_MAX) return pos_type(off_type(-1));
  if (in && target > pptr() - pbase()) return pos_type(off_type(-1));
  if (out) setPosition(static_cast<long>(target));
  if (in) setg(iv_pcArea, iv_pcArea + target, pptr());
  return pos_type(target);
}

TykClErrorData::ContextBuffer::pos_type TykClErrorData::ContextBuffer::seekpos(
    pos_type position, std::ios_base::openmode which) {
  return seekoff(off_type(position), std::ios_base::beg, which);
}

// ---- TykClErrorData -----------------------------------------------------------------------

TykClErrorData::TykClErrorData(TykEnReturnCode returnCode, TykEnReasonCode reason,
                               TykEnErrorAction action)
    : iv_enReturnCode(returnCode),
      iv_enReasonCode(reason),
      iv_enAction(action),
      iv_acContext{},
      iv_clContextBuffer(iv_acContext),
      iv_clContextStream(&iv_clContextBuffer),
      iv_pclCatalog(nullptr),
      iv_pstZolStatus(nullptr) {}

TykClErrorData::TykClErrorData(const TykClErrorData& other)
    : iv_enReturnCode(other.iv_enReturnCode),
      iv_enReasonCode(other.iv_enReasonCode),
      iv_enAction(other.iv_enAction),
      iv_acContext{},
      iv_clContextBuffer(iv_acContext),
      iv_clContextStream(&iv_clContextBuffer),
      iv_pclCatalog(nullptr),
      iv_pstZolStatus(nullptr) {
  *this = other;
}

TykClErrorData::~TykClErrorData() {
  if (iv_pclCatalog != nullptr) {
    iv_pclCatalog->~CosClMessageCatalog();
    CosClMemoryManager::free(iv_pclCatalog);
  }
  CosClMemoryManager::free(iv_pstZolStatus);
}

TykClErrorData& TykClErrorData::operator=(const TykClErrorData& other) {
  if (this == &other) return *this;
  iv_enReturnCode = other.iv_enReturnCode;
  iv_enReasonCode = other.iv_enReasonCode;
  iv_enAction = other.iv_enAction;
  std::memcpy(iv_acContext, other.iv_acContext, TYK_CONTEXT_SIZE);
  // A failed stream has no position to give: the copy continues at the end of the buffer.
  long position =
      other.iv_clContextStream.fail() ? TYK_CONTEXT_MAX : other.iv_clContextBuffer.position();
  iv_clContextStream.clear();
  iv_clContextBuffer.setPosition(position);
  iv_acContext[iv_clContextBuffer.position()] = '\0';
  if (other.iv_pstZolStatus != nullptr) {
    setZolStatus(*other.iv_pstZolStatus);
  } else if (iv_pstZolStatus != nullptr) {
    std::memset(iv_pstZolStatus, 0, sizeof(ZOLSTATUS));
  }
  return *this;
}

void TykClErrorData::setCodes(TykEnReturnCode returnCode, TykEnReasonCode reason,
                              TykEnErrorAction action) {
  iv_enReturnCode = returnCode;
  iv_enReasonCode = reason;
  iv_enAction = action;
}

unsigned int TykClErrorData::getContextLength() const {
  return static_cast<unsigned int>(strnlen(iv_acContext, TYK_CONTEXT_MAX));
}

void TykClErrorData::resetContext(const char* firstLine) {
  std::memset(iv_acContext, 0, TYK_CONTEXT_SIZE);
  iv_clContextStream.clear();
  iv_clContextStream.seekp(0);
  iv_clContextStream.seekg(0);
  if (firstLine != nullptr) {
    iv_clContextStream << firstLine << '\n';
    iv_clContextStream.flush();
  }
}

void TykClErrorData::loadMessageCatalog() {
  if (iv_pclCatalog == nullptr) {
    void* block = CosClMemoryManager::allocate(sizeof(CosClMessageCatalog));
    auto* catalog = new (block) CosClMessageCatalog("");
    try {
      catalog->useStringTable(gs_apszTykMessageTable, TYK_MESSAGE_COUNT);
    } catch (...) {
      catalog->~CosClMessageCatalog();
      CosClMemoryManager::free(block);
      throw;
    }
    iv_pclCatalog = catalog;
  }
  std::streamoff position = iv_clContextStream.tellp();
  if (position > 0) {
    iv_clContextStream << '\n';
    iv_clContextStream.flush();
  }
}

std::ostream& TykClErrorData::context(int number, const char* p1, const char* p2, const char* p3) {
  loadMessageCatalog();
  CosClMessage message(*iv_pclCatalog, static_cast<unsigned int>(number), p1, p2, p3);
  iv_clContextStream << message.getText();
  iv_clContextStream.width(0);
  iv_acContext[TYK_CONTEXT_MAX] = '\0';
  std::streamoff position = iv_clContextStream.tellp();
  if (position < 0 || position == TYK_CONTEXT_MAX) markCut(iv_acContext);
  return iv_clContextStream;
}

void TykClErrorData::setZolStatus(const ZOLSTATUS& status) {
  if (iv_pstZolStatus == nullptr)
    iv_pstZolStatus = static_cast<ZOLSTATUS*>(CosClMemoryManager::allocate(sizeof(ZOLSTATUS)));
  if (iv_pstZolStatus != &status) std::memcpy(iv_pstZolStatus, &status, sizeof(ZOLSTATUS));
}

const ZOLSTATUS& TykClErrorData::getZolStatus() const {
  if (iv_pstZolStatus == nullptr) {
    iv_pstZolStatus = static_cast<ZOLSTATUS*>(CosClMemoryManager::allocate(sizeof(ZOLSTATUS)));
    std::memset(iv_pstZolStatus, 0, sizeof(ZOLSTATUS));
  }
  if (iv_enReturnCode == TYK_RC_OK) std::memset(iv_pstZolStatus, 0, sizeof(ZOLSTATUS));
  return *iv_pstZolStatus;
}
