#pragma once
// The guard of erasing, reading and programming flat chunks: while the
// protected-area override is 0 and the module description names protected
// areas, a range that touches one of them is refused with
// kProtectedBySoftware. So is any range while a relative area cannot be
// resolved because no flash layout has been read yet.
#include "common/ResultCodes.h"
#include "dm/Areas.h"

#include <cstdint>

namespace zk::dm {

class ProtectionGuard {
 public:
  // Reads the override, the areas and the flash window as they are now.
  ProtectionGuard();

  // first..last, both inclusive, as a RangeRequest gives them.
  ResultCode Check(uint32_t first, uint32_t last) const;

  // length bytes from start; a span that runs past the top of the address
  // space is checked as its two parts; an empty span passes.
  ResultCode CheckSpan(uint32_t start, uint64_t length) const;

 private:
  bool Refused(uint32_t first, uint32_t last) const;

  bool active_ = false;
  ResolvedAreas resolved_;
};

}  // namespace zk::dm
