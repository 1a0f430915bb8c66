// Windows: a native thread (_beginthreadex, so the C runtime knows it) and a
// kernel event for its start. The creator waits for the event or the
// thread's end, whichever comes first, in one kernel wait: under Wine the
// C++ runtime's own thread and promise were seen to leave the creator
// waiting for a start signal of a thread that no longer existed.
#include "platform/ThreadStart.h"

#include "platform/win32/Handle.h"
#include "platform/win32/Windows.h"

#include <process.h>
#include <memory>

namespace zk::detail {
namespace {

struct Start {
  std::function<void()> first;
  std::function<void()> rest;
  HANDLE started;  // the creator's event, valid until it is set
};

unsigned __stdcall Run(void* argument) {
  const std::unique_ptr<Start> start(static_cast<Start*>(argument));
  start->first();
  ::SetEvent(start->started);  // the creator may return and close it now
  start->rest();
  return 0;
}

}  // namespace

bool StartThread(std::function<void()> first, std::function<void()> rest) {
  const win32::Handle started(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!started.valid()) return false;
  auto start = std::make_unique<Start>(Start{std::move(first), std::move(rest), started.get()});
  const win32::Handle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Run, start.get(), 0, nullptr)));
  if (!thread.valid()) return false;
  static_cast<void>(start.release());  // the thread owns it now
  const HANDLE both[] = {started.get(), thread.get()};
  const DWORD woken = ::WaitForMultipleObjects(2, both, FALSE, INFINITE);
  // Both may be signalled: the lower index (the start) wins.
  return woken == WAIT_OBJECT_0;
}

}  // namespace zk::detail
