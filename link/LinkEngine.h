#pragma once
// One open 3964R link: the sender (run in the caller's thread), the
// receive engine and the dispatcher that the link thread hands every
// received character to. The state both threads share is guarded by one
// mutex; the sender sleeps on a condition variable while it waits for a
// reply or for the line.
#include "link/LinkApi.h"
#include "link/LinkConfig.h"
#include "link/ReceiveEngine.h"
#include "link/Sender.h"
#include "platform/Messages.h"
#include "platform/SerialPort.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

namespace zk::link {

// How a queued receive ECB is to be set up, applied under the engine's
// lock so that the link thread never sees it half changed.
struct ReceiveSetup {
  uint8_t* buffer;
  uint16_t length;
  uint16_t blockSize;
  EcbCallback callback;
};

class LinkEngine final : private SenderLink, private ControlOutput {
 public:
  LinkEngine(const LinkConfig& config, com::SerialPort& port, WindowHandle notifyWindow);

  // Caller's thread.
  LinkResult Send(ECB& ecb);
  void Queue(ECB& ecb, const ReceiveSetup* setup = nullptr);
  std::vector<ECB*> TakeQueue();
  ECB* Head();
  uint32_t RefusedOffers() const { return receiver_.RefusedOffers(); }
  // Ends the sender's waits at once; later sends fail quickly.
  void BeginClose();
  // The line has gone: every queued receive fails, the sender's waits end
  // and later sends and receives fail at once.
  void LineLost();
  // Where the notification of a received message goes (null: nowhere).
  void SetNotifyWindow(WindowHandle window) { notifyWindow_.store(window); }

  // Link thread: one received character, or nullopt when the last time-out
  // has run out. Returns the next time-out in ms (0 = none).
  uint16_t Dispatch(std::optional<uint8_t> c);

 private:
  using Clock = std::chrono::steady_clock;

  // SenderLink
  void Arm() override;
  void Write(std::span<const uint8_t> bytes) override;
  std::optional<uint8_t> AwaitReply(uint16_t ms, bool rearm) override;
  std::optional<uint8_t> Interruption() override;
  void ArmForCheckChar() override;
  bool YieldLine(uint32_t silenceMs) override;
  void Finish() override;
  void Pause(uint32_t ms) override;

  // The sender leaves the line and awaits no reply (called with the lock
  // held).
  void SenderDone();

  // ControlOutput (called with the lock held)
  void SendControl(uint8_t c) override;

  // Waits until the driver's output queue holds at most piece bytes; false
  // when the peer broke in (or the link closes) meanwhile.
  bool WaitForRoom(std::size_t piece);
  std::chrono::milliseconds WireTime(std::size_t bytes) const;

  const LinkConfig config_;
  com::SerialPort& port_;
  std::atomic<WindowHandle> notifyWindow_;

  std::mutex sendMutex_;  // one send at a time
  Sender sender_;
  std::size_t unsentBytes_ = 0;  // written since the output was last drained

  std::mutex mutex_;
  std::condition_variable changed_;
  bool closing_ = false;
  bool lineLost_ = false;
  bool senderActive_ = false;
  bool awaitingReply_ = false;
  uint8_t replyChar_ = 0;
  Clock::time_point lastChar_{};
  ReceiveEngine receiver_;
};

}  // namespace zk::link
