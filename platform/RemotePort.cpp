#include "platform/RemotePort.h"

#include "platform/RemoteSocket.h"
#include "platform/Telnet.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <deque>
#include <mutex>

namespace zk::com {
namespace {

using namespace detail;

constexpr uint32_t kConnectMs = 3000;
constexpr uint32_t kNegotiateMs = 3000;
constexpr uint32_t kRateReplyMs = 1000;
constexpr std::size_t kReceiveChunk = 4096;

class TelnetPort final : public SerialPort {
 public:
  TelnetPort(std::string name, std::unique_ptr<RemoteSocket> socket)
      : name_(std::move(name)), socket_(std::move(socket)) {}

  // The first steps: the option agreed, the line set up, DTR and RTS low.
  OpenError Negotiate(uint32_t rate) {
    std::vector<uint8_t> hello;
    for (const auto& part :
         {telnet::Negotiation(telnet::kWill, telnet::kComPort), telnet::Negotiation(telnet::kWill, telnet::kBinary),
          telnet::Negotiation(telnet::kDo, telnet::kBinary),
          telnet::Negotiation(telnet::kWill, telnet::kSuppressGoAhead),
          telnet::Negotiation(telnet::kDo, telnet::kSuppressGoAhead)}) {
      hello.insert(hello.end(), part.begin(), part.end());
    }
    if (!Send(hello)) return Closed();
    const std::optional<Clock::time_point> deadline = DeadlineAfter(kNegotiateMs);
    while (comPort_.load() == Agreement::Pending) {
      if (!Pump(deadline)) return lost_.load() ? Closed() : OpenError::RemoteNoComPort;
    }
    if (comPort_.load() == Agreement::Refused) return OpenError::RemoteNoComPort;
    const uint8_t size[] = {telnet::kDataSize8};
    const uint8_t parity[] = {telnet::kParityNone};
    const uint8_t stop[] = {telnet::kStopBits1};
    const uint8_t flow[] = {telnet::kNoFlowControl};
    const uint8_t mask[] = {0xFF};
    const bool sent = SendCommand(telnet::kSetDataSize, size) && SendCommand(telnet::kSetParity, parity) &&
                      SendCommand(telnet::kSetStopSize, stop) && SendCommand(telnet::kSetControl, flow) &&
                      SetDtr(false) && SetRts(false) && SendCommand(telnet::kSetLineStateMask, mask) &&
                      SendCommand(telnet::kSetModemStateMask, mask);
    if (!sent) return Closed();
    if (!SetBaudRate(rate)) return lost_.load() ? Closed() : OpenError::BadRate;
    return Purge(PurgeWhat::Both) ? OpenError::None : Closed();
  }

  bool SetBaudRate(uint32_t rate) override {
    if (!IsSupportedRate(rate)) return false;
    rateReply_.store(0);
    if (!Send(telnet::SetBaudRateFrame(rate))) return false;
    // The server answers with the rate it set (0 or another one: refused).
    const std::optional<Clock::time_point> deadline = DeadlineAfter(kRateReplyMs);
    while (rateReply_.load() == 0) {
      if (!Pump(deadline)) return false;
    }
    return rateReply_.load() == rate;
  }

  bool SetRts(bool on) override {
    const uint8_t value[] = {on ? telnet::kRtsOn : telnet::kRtsOff};
    return SendCommand(telnet::kSetControl, value);
  }
  bool SetDtr(bool on) override {
    const uint8_t value[] = {on ? telnet::kDtrOn : telnet::kDtrOff};
    return SendCommand(telnet::kSetControl, value);
  }
  bool SetBreak(bool on) override {
    const uint8_t value[] = {on ? telnet::kBreakOn : telnet::kBreakOff};
    return SendCommand(telnet::kSetControl, value);
  }

  bool Purge(PurgeWhat what) override {
    if (what != PurgeWhat::Output) {
      // What has arrived is decoded (replies may be among it) and dropped.
      std::vector<uint8_t> dropped;
      ReceiveAvailable(dropped);
      std::lock_guard lock(dataMutex_);
      input_.clear();
    }
    const uint8_t value[] = {what == PurgeWhat::Input    ? telnet::kPurgeReceive
                             : what == PurgeWhat::Output ? telnet::kPurgeTransmit
                                                         : telnet::kPurgeBoth};
    return SendCommand(telnet::kPurgeData, value);
  }

  std::optional<QueueLevels> Levels() override {
    if (lost_.load()) return std::nullopt;
    // Bytes not yet sent; bytes sent but not yet acknowledged do not count,
    // since the peer may delay its acknowledgement.
    const std::optional<std::size_t> unsent = socket_->Unsent();
    if (!unsent) return std::nullopt;
    std::lock_guard lock(dataMutex_);
    return QueueLevels{input_.size(), *unsent};
  }

  bool Write(std::span<const uint8_t> data) override {
    std::vector<uint8_t> escaped;
    escaped.reserve(data.size() + 8);
    telnet::AppendData(data, escaped);
    return Send(escaped);
  }

  bool Drain(uint32_t maxMs) override {
    const std::optional<Clock::time_point> deadline = DeadlineAfter(maxMs);
    for (;;) {
      const std::optional<QueueLevels> levels = Levels();
      if (!levels) return false;
      if (levels->output == 0) return true;
      if (deadline && Clock::now() >= *deadline) return false;
      if (socket_->WaitForWake(Clock::now() + std::chrono::milliseconds(1)) == IoStatus::Woken) return false;
    }
  }

  ReadResult Read(std::span<uint8_t> out, uint32_t timeoutMs) override {
    if (out.empty()) return {IoStatus::Ok, 0};
    const std::optional<Clock::time_point> deadline = DeadlineAfter(timeoutMs);
    for (;;) {
      if (const std::size_t n = TakeInput(out); n > 0) return {IoStatus::Ok, n};
      const IoStatus status = WaitForData(deadline);
      if (status != IoStatus::Ok) return {status, 0};
    }
  }

  IoStatus WaitReadable(uint32_t timeoutMs) override {
    const std::optional<Clock::time_point> deadline = DeadlineAfter(timeoutMs);
    for (;;) {
      {
        std::lock_guard lock(dataMutex_);
        if (!input_.empty()) return IoStatus::Ok;
      }
      const IoStatus status = WaitForData(deadline);
      if (status != IoStatus::Ok) return status;
    }
  }

  void Wake() override { socket_->Wake(); }
  void ClearWake() override { socket_->ClearWake(); }

  void ReportLoss() override {
    if (lost_.load() && !lossReported_.exchange(true)) ReportConnectionLost(name_);
  }

 private:
  enum class Agreement { Pending, Agreed, Refused };

  bool SendCommand(uint8_t command, std::span<const uint8_t> value) {
    return Send(telnet::ComPortCommandFrame(command, value));
  }

  // Sends all bytes, waiting for room as long as it takes (or until Wake).
  bool Send(std::span<const uint8_t> bytes) {
    std::lock_guard lock(sendMutex_);
    while (!bytes.empty()) {
      if (lost_.load()) return false;
      const std::optional<std::size_t> sent = socket_->Send(bytes);
      if (!sent) return MarkLost();
      if (*sent > 0) {
        bytes = bytes.subspan(*sent);
        continue;
      }
      const SocketWait room = socket_->WaitWritable();
      if (room == SocketWait::kWoken) return false;
      if (room == SocketWait::kFailed) return MarkLost();
    }
    return true;
  }

  // The host closed the connection while it was set up. A server that
  // serves the port to another client says so in text first ("Port already
  // in use"), after its own negotiation.
  OpenError Closed() {
    std::vector<uint8_t> last;
    ReceiveAvailable(last);  // what came just before the close
    std::lock_guard lock(dataMutex_);
    const std::string text(input_.begin(), input_.end());
    return text.find("in use") != std::string::npos ? OpenError::InUse : OpenError::RemoteClosed;
  }

  bool MarkLost() {
    lost_.store(true);
    return false;
  }

  std::size_t TakeInput(std::span<uint8_t> out) {
    std::lock_guard lock(dataMutex_);
    const std::size_t n = std::min(out.size(), input_.size());
    std::copy_n(input_.begin(), n, out.begin());
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
  }

  // Waits for bytes from the server and decodes them: Ok when some arrived
  // (data or not). A lost connection is reported at once the first time,
  // later only after the time (no caller spins).
  IoStatus WaitForData(std::optional<Clock::time_point> deadline) {
    if (lost_.load()) {
      if (socket_->WaitForWake(deadline) == IoStatus::Woken) return IoStatus::Woken;
      return IoStatus::LineError;
    }
    switch (socket_->WaitReadable(deadline)) {
      case SocketWait::kReady: break;
      case SocketWait::kWoken: return IoStatus::Woken;
      case SocketWait::kTimedOut: return IoStatus::TimedOut;
      case SocketWait::kFailed: MarkLost(); return IoStatus::LineError;
    }
    std::vector<uint8_t> data;
    if (!ReceiveAvailable(data)) return IoStatus::LineError;
    return IoStatus::Ok;
  }

  // Reads what the socket holds without waiting and decodes it; false when
  // the connection has gone.
  bool ReceiveAvailable(std::vector<uint8_t>& scratch) {
    std::lock_guard lock(receiveMutex_);
    std::array<uint8_t, kReceiveChunk> chunk{};
    for (;;) {
      const std::optional<std::size_t> got = socket_->Receive(chunk);
      if (!got) return MarkLost();
      if (*got == 0) return true;
      scratch.clear();
      std::vector<telnet::Event> events;
      decoder_.Feed(std::span<const uint8_t>(chunk.data(), *got), scratch, events);
      if (!scratch.empty()) {
        std::lock_guard data(dataMutex_);
        input_.insert(input_.end(), scratch.begin(), scratch.end());
      }
      for (const telnet::Event& event : events) Handle(event);
    }
  }

  void Handle(const telnet::Event& event) {
    using Kind = telnet::Event::Kind;
    const bool wanted =
        event.option == telnet::kComPort || event.option == telnet::kBinary || event.option == telnet::kSuppressGoAhead;
    switch (event.kind) {
      case Kind::ComPort:
        if (event.option == telnet::kServerOffset + telnet::kSetBaudRate && event.value.size() == 4) {
          const uint32_t rate = uint32_t{event.value[0]} << 24 | uint32_t{event.value[1]} << 16 |
                                uint32_t{event.value[2]} << 8 | event.value[3];
          rateReply_.store(rate != 0 ? rate : kRefusedRate);
        } else if (event.option == telnet::kServerOffset + telnet::kNotifyLineState && !event.value.empty()) {
          lineState_.store(event.value[0]);
        } else if (event.option == telnet::kServerOffset + telnet::kNotifyModemState && !event.value.empty()) {
          modemState_.store(event.value[0]);
        }
        break;
      case Kind::Do:
        if (event.option == telnet::kComPort) comPort_.store(Agreement::Agreed);
        // What we offered is already on its way; anything else is declined.
        if (!wanted) Send(telnet::Negotiation(telnet::kWont, event.option));
        break;
      case Kind::Dont:
        if (event.option == telnet::kComPort) comPort_.store(Agreement::Refused);
        break;
      case Kind::Will:
        if (!wanted) Send(telnet::Negotiation(telnet::kDont, event.option));
        break;
      case Kind::Wont: break;
    }
  }

  // Decodes what arrives until deadline; false when nothing more can come
  // (time, the connection gone, woken).
  bool Pump(std::optional<Clock::time_point> deadline) { return WaitForData(deadline) == IoStatus::Ok; }

  static constexpr uint32_t kRefusedRate = 0xFFFFFFFFu;

  const std::string name_;
  const std::unique_ptr<RemoteSocket> socket_;
  std::mutex sendMutex_;
  std::mutex receiveMutex_;  // the decoder
  std::mutex dataMutex_;     // the decoded input
  telnet::Decoder decoder_;
  std::deque<uint8_t> input_;
  std::atomic<Agreement> comPort_{Agreement::Pending};
  std::atomic<uint32_t> rateReply_{0};
  std::atomic<uint8_t> lineState_{0};
  std::atomic<uint8_t> modemState_{0};
  std::atomic<bool> lost_{false};
  std::atomic<bool> lossReported_{false};
};

}  // namespace

std::unique_ptr<SerialPort> OpenRemotePort(const std::string& mapping, uint32_t rate, OpenFailure& failure) {
  failure = OpenFailure{OpenError::None, 0, rate};
  const std::optional<RemoteAddress> address = ParseRemotePort(mapping);
  if (!address) {
    failure.error = OpenError::RemoteBadUrl;
    return nullptr;
  }
  if (!IsSupportedRate(rate)) {
    failure.error = OpenError::BadRate;
    return nullptr;
  }
  std::unique_ptr<RemoteSocket> socket = ConnectRemote(*address, kConnectMs, failure.error, failure.systemError);
  if (!socket) return nullptr;
  auto port = std::make_unique<TelnetPort>(mapping, std::move(socket));
  failure.error = port->Negotiate(rate);
  if (failure.error != OpenError::None) return nullptr;
  return port;
}

bool RemoteHostAnswers(const std::string& mapping, uint32_t timeoutMs) {
  const std::optional<RemoteAddress> address = ParseRemotePort(mapping);
  if (!address) return false;
  OpenError reason = OpenError::None;
  int systemError = 0;
  return ConnectRemote(*address, timeoutMs, reason, systemError) != nullptr;
}

}  // namespace zk::com
