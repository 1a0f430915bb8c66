#pragma once
// The one connection of this process: the command buffer every request is
// built in, the settings the immediate exports set, the transport bound at
// login, the worker of the long operations, the lists handed to callers and
// the module description of the connection. Only the exports fetch it,
// with CurrentSession(); every flow below them is given it, and a worker
// gets the session it belongs to when it is started.
#include "cmd/BootLoader.h"
#include "cmd/CommandBuffer.h"
#include "cmd/FrameNames.h"
#include "cmd/Operation.h"
#include "cmd/Settings.h"
#include "cmd/TransportBinding.h"
#include "common/HandoutList.h"
#include "platform/NonCopyable.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace zk::cmd {

// How the poll loop of an exchange pauses while the reception is still
// running; empty: a short sleep.
using PollPause = std::function<void()>;

class Session : private NonCopyable {
 public:
  Session() = default;
  // No worker may outlive the code it runs.
  ~Session();

  // Stored by the login worker, read by every later operation, dropped at
  // disconnect.
  void SetModulePath(std::string path);
  std::string ModulePath() const;
  void DropModulePath();

  CommandBufferBytes buffer;
  // Where the transport receives an answer; it reaches buffer only once
  // whole, so that a block arriving before the request is sent can never
  // change the bytes that go out.
  CommandBufferBytes received;
  // The length of the answer in buffer; nullopt when the transport does not
  // tell it.
  std::optional<uint16_t> answerLength;
  // The echo the last answer carried, or the one a request that went
  // unanswered waits for: a frame with it that arrives for the next request
  // is that earlier answer again, and is dropped.
  std::optional<uint8_t> lastEcho;
  // Whether the last transaction failed on the line (cmd/Transaction.h,
  // IsLineFailure) rather than in the transport or the module.
  bool lineFailure = false;
  Settings settings;
  TransportBinding transport;
  HandoutList handouts;
  BootTiming bootTiming;  // the login's; tests shorten it
  // Set before an operation starts; tests replace it to count polls or to
  // poll without sleeping.
  PollPause pollPause;
  // The trace names the frames while the session lives; the worker has
  // stopped before it goes.
  FrameNaming frameNaming;
  OperationWorker worker;

 private:
  mutable std::mutex mutex_;
  std::string modulePath_;
};

// Made on first use, which the library's exports make before they touch
// anything else, so that at unload it goes (and stops its worker) before the
// objects made earlier. A function-local static a worker first touches later
// is made after it and goes before it.
Session& CurrentSession();

}  // namespace zk::cmd
