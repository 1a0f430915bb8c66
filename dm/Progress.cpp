#include "dm/Progress.h"

#include "dm/State.h"

#include <algorithm>

namespace zk::dm {

void SetProgress(ProgressPoint point) { State().worker.SetProgress(static_cast<uint32_t>(Percent(point))); }

void SetProgress(uint64_t done, uint64_t total) {
  constexpr uint64_t kAll = Percent(ProgressPoint::kDone);
  State().worker.SetProgress(total == 0 ? kAll : static_cast<uint32_t>(std::min<uint64_t>(done * kAll / total, kAll)));
}

void MarkForwarded() {
  DmState& state = State();
  state.forwarded = 1;
  state.progressForwarded = 1;
}

}  // namespace zk::dm
