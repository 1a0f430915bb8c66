#pragma once
// What a flow on an own worker does alike whatever it drives (a program
// target, a verify source): the worker frame's stop check, its progress,
// and the protected-area guard as it stood when the flow began.
#include "common/WorkerThread.h"
#include "dm/Progress.h"
#include "dm/ProtectionCheck.h"

#include <cstdint>

namespace zk::dm {

template <class Interface>
class OwnWorkerSteps : public Interface {
 public:
  bool StopRequested() override { return zk::StopRequested(); }
  void Progress(uint64_t done, uint64_t total) override { SetProgress(done, total); }

 protected:
  ResultCode Guard(uint32_t address, uint64_t length) const { return guard_.CheckSpan(address, length); }

 private:
  ProtectionGuard guard_;
};

}  // namespace zk::dm
