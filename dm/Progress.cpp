#include "dm/Progress.h"

#include "dm/State.h"

#include <algorithm>

namespace zk::dm {

void SetProgress(ProgressPoint point) { State().progress = Percent(point); }

void SetProgress(uint64_t done, uint64_t total) {
  constexpr uint64_t kAll = Percent(ProgressPoint::kDone);
  State().progress = total == 0 ? Percent(ProgressPoint::kDone)
                                : static_cast<int32_t>(std::min<uint64_t>(done * kAll / total, kAll));
}

void MarkForwarded() {
  SetProgress(ProgressPoint::kForwarded);
  State().forwarded = 1;
}

}  // namespace zk::dm
