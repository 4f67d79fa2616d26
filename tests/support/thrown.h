// Test helper for the common classes' exceptions: runs code that must throw TykClException and
// hands back the exception for its reason, origin and context to be checked.
#ifndef TESTS_SUPPORT_THROWN_H
#define TESTS_SUPPORT_THROWN_H

#include <gtest/gtest.h>

#include "tyk_common/tyk_exception.h"

namespace testsupport {

// The TykClException fn throws; a test failure (and an exception of reason none) if it throws
// none.
template <typename Fn>
TykClException thrownBy(Fn fn) {
  try {
    fn();
  } catch (const TykClException& e) {
    return e;
  }
  ADD_FAILURE() << "nothing thrown";
  return TykClException(TYK_REASON_NONE, "none");
}

}  // namespace testsupport

#endif  // TESTS_SUPPORT_THROWN_H
