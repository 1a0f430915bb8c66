#pragma once
// Waiting for a data manager worker from the program's user-interface
// thread, whatever toolkit draws the interface: the loop polls progress and
// status, keeps the interface's events flowing through the hooks of WaitUi,
// and between polls blocks on the interface's events or the thread's message
// queue for at most a pause instead of spinning.
#include "client/DmAccess.h"
#include "common/ResultCodes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zk::client {

// How the pump treats the interface event it takes off the queue.
enum class EventFilter : uint8_t {
  kDispatchAll,  // every event is handled
  kNoCommands,   // commands, mouse clicks and user messages are dropped
};

class WaitUi {
 public:
  virtual ~WaitUi() = default;
  // Takes one pending interface event, if there is one, and handles it as
  // filter says; false when none was pending.
  virtual bool PumpOneEvent(EventFilter filter) = 0;
  // Whether what the pump saw since the last call asks to stop the
  // operation (a Cancel button, Enter, Ctrl-C); the request is consumed.
  virtual bool TakeStopRequest() = 0;
  // Blocks until an interface event is pending or milliseconds have passed.
  virtual void WaitForEvent(uint32_t milliseconds) = 0;
  virtual void ShowProgress(uint32_t percent) = 0;
  // Whether a stop request is to stop the operation (asked when the loop's
  // options say so).
  virtual bool ConfirmStop() { return true; }
  // A stop the data manager refused: "ErrorCode: %d".
  virtual void ShowStopRefused(std::string_view text) = 0;
  // Whether to stop asking after a refused stop (the user insists on
  // ending); the worker is then left running.
  virtual bool AbandonStop() { return false; }
};

// The longest a loop blocks between two polls when nothing is pending.
inline constexpr uint32_t kDefaultPollPause = 5;

struct WaitOptions {
  EventFilter filter = EventFilter::kDispatchAll;
  bool showProgress = true;
  // Progress 0 leaves the bar where it is (the download form).
  bool skipZeroProgress = false;
  bool cancellable = false;
  bool confirmStop = false;
  uint32_t pause = kDefaultPollPause;
};

enum class WaitEnd : uint8_t { kEnded, kStopped };

struct WaitOutcome {
  WaitEnd end = WaitEnd::kEnded;
  ResultCode status = kOk;  // low byte of the worker's status once it ended
};

inline constexpr uint32_t kStatusMask = 0xFF;

inline bool WorkerRunning(uint32_t status) { return (status & kStatusMask) == kWorkerRunning; }

// Polls until the worker's status is no longer 192, or until a stop request
// (when cancellable) has stopped it.
WaitOutcome WaitForWorker(CDmAccess& dm, WaitUi& ui, const WaitOptions& options);

// Stops the running worker: DmStopCurrentThread until it returns 0 or the
// worker has ended anyway, telling ui of each refusal.
void StopWorker(CDmAccess& dm, WaitUi& ui, uint32_t pause = kDefaultPollPause);

// The draining wait: the thread's messages are taken off its queue and
// translated, never dispatched, until the worker's status is no longer 192.
ResultCode DrainUntilEnded(CDmAccess& dm, uint32_t pause = kDefaultPollPause);

// "ErrorCode: %d" with the code of the system's last error.
std::string StopRefusedText(int lastError);

}  // namespace zk::client
