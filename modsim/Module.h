#pragma once
// The simulated module: its boot loader on the raw line until the firmware
// takes over, then the firmware behind the 3964R link. A reset (exit command,
// line break, signal, reset line) returns it to the boot loader; the flash
// keeps its content.
#include "modsim/BootLoader.h"
#include "modsim/CommandDispatcher.h"
#include "modsim/Config.h"
#include "modsim/MessageChannel.h"

#include <deque>
#include <span>
#include <string_view>

namespace zk::modsim {

// What the module needs of the line besides sending bytes.
class LineControl {
 public:
  virtual ~LineControl() = default;
  // The rate the host's side of the line runs at; 0 if unknown.
  virtual uint32_t HostRate() = 0;
  // The module's rate from now on; 0: unknown (after a reset).
  virtual void SetRate(uint32_t baud) = 0;
};

class Module : public BootListener, public ChannelReceiver {
 public:
  Module(const SimConfig& config, FlashModel& flash, ByteSink& out, LineControl& line, FaultInjector* faults,
         Trace* trace);

  void OnByte(uint8_t c, TimePoint now);
  void OnTimer(TimePoint now);
  Deadline NextDeadline() const;
  bool ExemptFromPacing() const { return !firmware_ && boot_.ExemptFromPacing(); }

  void Reset(std::string_view why, TimePoint now);
  // The host opened the port. A pseudo terminal carries no reset line; this
  // stands in for the reset a login drives: a boot dialogue under way is
  // abandoned, and a running firmware whose first byte after the open (reply
  // characters aside) is 0x00 (a boot loader dialogue, never a 3964R frame)
  // is reset.
  void OnHostOpened(TimePoint now);
  // Starts with the firmware already running (as after a handshake at `rate`).
  void StartFirmware(uint32_t rate, TimePoint now);
  bool InFirmware() const { return firmware_; }
  const CommandDispatcher& Firmware() const { return dispatcher_; }

  uint32_t MeasureHostRate() override { return line_.HostRate(); }
  void OnRate(uint32_t baud, TimePoint now) override;
  void OnFirmwareStart(TimePoint now) override;
  void OnRequest(std::vector<uint8_t> request, TimePoint now) override;
  void OnAnswerDone(bool delivered, TimePoint now) override;

 private:
  struct Pending {
    TimePoint due;
    Reply reply;
  };
  // What happens once an answer handed to the channel is out.
  struct AfterAnswer {
    bool exit = false;
    std::vector<uint8_t> raw;  // faults: bytes on the raw line
  };
  void Note(std::string_view text, TimePoint now);
  void SendDueAnswers(TimePoint now);
  void PutRaw(std::span<const uint8_t> bytes, TimePoint now);

  ByteSink& out_;
  LineControl& line_;
  Trace* trace_;
  Duration answerDelay_;
  BootLoader boot_;
  MessageChannel channel_;
  CommandDispatcher dispatcher_;
  bool firmware_ = false;
  bool openedInFirmware_ = false;
  std::deque<Pending> pending_;          // answers waiting for their time
  std::deque<AfterAnswer> afterAnswer_;  // answers handed to the channel, oldest first
};

}  // namespace zk::modsim
