#pragma once
// Test helper: the number of the error a call raises, or 0 when it raises none.

#include "vendrel/dataaccess/error.h"

namespace vendrel::testing {

template <class F>
long ErrorNumberOf(F&& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

}  // namespace vendrel::testing
