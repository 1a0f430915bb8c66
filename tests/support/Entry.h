#pragma once
// An exported function of a loaded library, looked up by name for a test.
#include "platform/Library.h"

#include <gtest/gtest.h>

namespace zk::test {

// The function `name` of library as type Fn; a missing one fails the test
// that asked for it and gives nullptr.
template <typename Fn>
Fn Entry(LibraryHandle library, const char* name) {
  auto fn = reinterpret_cast<Fn>(GetProcAddress(library, name));
  EXPECT_NE(fn, nullptr) << name;
  return fn;
}

}  // namespace zk::test
