#pragma once
// Passing an operation on to the command layer, under the missing-function
// rule: a missing function answers kCmdDllError and releases the library.
#include "common/ResultCodes.h"
#include "dm/CommandLayer.h"
#include "dm/OwnWorker.h"
#include "dm/Progress.h"
#include "dm/ReadOutcome.h"
#include "dm/State.h"

#include <optional>

namespace zk::dm {

// A synchronous operation: clears the forwarded-operation mark and returns
// the command layer's result; nullopt when the function is missing.
template <typename Fn, typename... Args>
std::optional<ResultCode> TryForward(const char* name, Args... args) {
  const Fn fn = Cmd().Require<Fn>(name);
  if (fn == nullptr) return std::nullopt;
  State().forwarded = 0;
  return static_cast<ResultCode>(fn(args...));
}

template <typename Fn, typename... Args>
ResultCode Forward(const char* name, Args... args) {
  return TryForward<Fn>(name, args...).value_or(kCmdDllError);
}

// An operation that runs on the command layer's worker: from here on
// progress and status are the command layer's. While any worker runs,
// kWorkerRunning and nothing is started.
template <typename Fn, typename... Args>
ResultCode ForwardWorker(const char* name, Args... args) {
  SettleRead();
  const Fn fn = Cmd().Require<Fn>(name);
  if (fn == nullptr) return kCmdDllError;
  if (AnyWorkerRunning()) return kWorkerRunning;
  MarkForwarded();
  return fn(args...);
}

}  // namespace zk::dm
