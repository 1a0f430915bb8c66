#pragma once
// The progress DmGetProgress reports for an own worker: the share of its
// work in percent, set at the named points of the flows and by the share
// done in between, on the worker frame (which never lets it fall); or the
// mark that the command layer's progress, status and stop apply.
#include <cstdint>

namespace zk::dm {

enum class ProgressPoint : int32_t {
  kSaveWriting = 10,  // a save has its file open and writes it
  kDone = 100,        // the flow has come to its end
};

constexpr int32_t Percent(ProgressPoint point) { return static_cast<int32_t>(point); }

void SetProgress(ProgressPoint point);
// done of total in percent, at most kDone; kDone when total is 0.
void SetProgress(uint64_t done, uint64_t total);
// The current operation runs in the command layer: its progress, status
// and stop apply (the forwarded-operation mark).
void MarkForwarded();

}  // namespace zk::dm
