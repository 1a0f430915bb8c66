#include "platform/RemotePort.h"

#include "platform/PortIo.h"
#include "platform/Telnet.h"

#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <deque>
#include <mutex>

namespace zk::com {
namespace {

// The descriptor, deadlines and wake-up the port implementations share.
using namespace detail;

constexpr uint32_t kConnectMs = 3000;
constexpr uint32_t kNegotiateMs = 3000;
constexpr uint32_t kRateReplyMs = 1000;
constexpr std::size_t kReceiveChunk = 4096;

// Connects to address within timeoutMs; an invalid descriptor and the
// reason otherwise.
Descriptor Connect(const RemoteAddress& address, uint32_t timeoutMs, OpenError& reason, int& systemError) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(address.port);
  if (const int code = ::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found);
      code != 0 || found == nullptr) {
    reason = OpenError::RemoteUnknownHost;
    systemError = code;
    return Descriptor();
  }
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, &::freeaddrinfo);
  reason = OpenError::RemoteNoAnswer;
  const std::optional<Clock::time_point> deadline = DeadlineAfter(timeoutMs);
  for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    Descriptor socket(::socket(entry->ai_family, entry->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.valid()) continue;
    if (::connect(socket.get(), entry->ai_addr, entry->ai_addrlen) != 0 && errno != EINPROGRESS) {
      systemError = errno;
      reason = errno == ECONNREFUSED ? OpenError::RemoteRefused : OpenError::RemoteNoAnswer;
      continue;
    }
    pollfd fd{socket.get(), POLLOUT, 0};
    int ready = 0;
    do {
      ready = ::poll(&fd, 1, PollTimeout(deadline));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) continue;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      systemError = error;
      reason = error == ECONNREFUSED ? OpenError::RemoteRefused : OpenError::RemoteNoAnswer;
      continue;
    }
    const int one = 1;
    ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return socket;
  }
  return Descriptor();
}

class TelnetPort final : public SerialPort {
 public:
  TelnetPort(std::string name, Descriptor socket, Descriptor wake)
      : name_(std::move(name)), socket_(std::move(socket)), wake_(std::move(wake)) {}

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
    int unsent = 0;
    if (::ioctl(socket_.get(), SIOCOUTQNSD, &unsent) != 0) return std::nullopt;
    std::lock_guard lock(dataMutex_);
    return QueueLevels{input_.size(), static_cast<std::size_t>(unsent)};
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
      if (detail::WaitForWake(wake_, Clock::now() + std::chrono::milliseconds(1)) == IoStatus::Woken) return false;
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

  void Wake() override { detail::SignalWake(wake_); }
  void ClearWake() override { detail::ClearWakeFd(wake_); }

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
      const ssize_t sent = ::send(socket_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent > 0) {
        bytes = bytes.subspan(static_cast<std::size_t>(sent));
        continue;
      }
      if (sent < 0 && errno == EINTR) continue;
      if (sent < 0 && errno == EAGAIN) {
        std::array<pollfd, 2> fds{{{socket_.get(), POLLOUT, 0}, {wake_.get(), POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return MarkLost();
        if (fds[1].revents & POLLIN) return false;
        if (fds[0].revents & (POLLERR | POLLHUP)) return MarkLost();
        continue;
      }
      return MarkLost();
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
      if (detail::WaitForWake(wake_, deadline) == IoStatus::Woken) return IoStatus::Woken;
      return IoStatus::LineError;
    }
    std::array<pollfd, 2> fds{{{socket_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}}};
    const int ready = ::poll(fds.data(), fds.size(), PollTimeout(deadline));
    if (ready < 0) return errno == EINTR ? IoStatus::Ok : (MarkLost(), IoStatus::LineError);
    if (fds[1].revents & POLLIN) return IoStatus::Woken;
    if (ready == 0) return IoStatus::TimedOut;
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
      const ssize_t got = ::recv(socket_.get(), chunk.data(), chunk.size(), MSG_DONTWAIT);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
      if (got <= 0) return MarkLost();
      // Acknowledged at once: a server that sends small pieces without
      // TCP_NODELAY would otherwise hold its next one back for our delayed
      // acknowledgement. The kernel clears this after a while, so again each time.
      const int one = 1;
      ::setsockopt(socket_.get(), IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
      scratch.clear();
      std::vector<telnet::Event> events;
      decoder_.Feed(std::span<const uint8_t>(chunk.data(), static_cast<std::size_t>(got)), scratch, events);
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
  Descriptor socket_;
  Descriptor wake_;
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
  Descriptor socket = Connect(*address, kConnectMs, failure.error, failure.systemError);
  if (!socket.valid()) return nullptr;
  Descriptor wake = detail::MakeWakeFd();
  if (!wake.valid()) {
    failure.error = OpenError::CannotOpen;
    failure.systemError = errno;
    return nullptr;
  }
  auto port = std::make_unique<TelnetPort>(mapping, std::move(socket), std::move(wake));
  failure.error = port->Negotiate(rate);
  if (failure.error != OpenError::None) return nullptr;
  return port;
}

bool RemoteHostAnswers(const std::string& mapping, uint32_t timeoutMs) {
  const std::optional<RemoteAddress> address = ParseRemotePort(mapping);
  if (!address) return false;
  OpenError reason = OpenError::None;
  int systemError = 0;
  return Connect(*address, timeoutMs, reason, systemError).valid();
}

}  // namespace zk::com
