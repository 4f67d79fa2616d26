// Reading the name fields of engine status records. They are fixed 512-byte arrays that a
// damaged record may leave without a terminating zero, so they are copied bounded.
#ifndef TYK_COMMON_TYK_STATUS_FIELDS_H
#define TYK_COMMON_TYK_STATUS_FIELDS_H

#include <cstddef>
#include <cstring>

namespace tyk {

// A NUL-terminated copy of a status name field.
class StatusName {
 public:
  template <std::size_t N>
  explicit StatusName(const char (&field)[N]) {
    static_assert(N < sizeof(iv_acText), "field fits");
    std::size_t length = strnlen(field, N);
    std::memcpy(iv_acText, field, length);
    iv_acText[length] = '\0';
  }
  const char* c_str() const { return iv_acText; }

 private:
  char iv_acText[513];
};

}  // namespace tyk

#endif  // TYK_COMMON_TYK_STATUS_FIELDS_H
