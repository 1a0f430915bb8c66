#include "fuzz/FuzzInput.h"

#include <cstdio>
#include <cstdlib>

namespace zk::fuzz {

void PropertyBroken(const char* what) {
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

}  // namespace zk::fuzz
