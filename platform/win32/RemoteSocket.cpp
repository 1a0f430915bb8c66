// Winsock before <windows.h>, which would bring the old <winsock.h>.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mstcpip.h>

#include "platform/HostLookup.h"
#include "platform/RemoteSocket.h"
#include "platform/win32/Handle.h"
#include "platform/win32/Windows.h"

#include <algorithm>
#include <string>
#include <utility>

namespace zk::com::detail {
namespace {

// A wait for received bytes looks at the socket again after this long, as
// the serial port does: an event may be missed (Wine raises none in some
// races), and no wait should hang on that.
constexpr uint32_t kLookMs = 10;
// A wait for room to send looks for Wake this often.
constexpr long kRoomLookUs = 10000;

// Winsock, started once for the process and never stopped: a port may be
// in use until the process ends.
bool WinsockStarted() {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

// Waits until socket can send, at most limit (nullptr: no limit): what
// select returns; failed when the socket reports an error instead (a
// connection that was not made).
int WaitForRoom(SOCKET socket, timeval* limit, bool& failed) {
  fd_set room;
  fd_set errors;
  FD_ZERO(&room);
  FD_ZERO(&errors);
  FD_SET(socket, &room);
  FD_SET(socket, &errors);
  const int ready = ::select(0, nullptr, &room, &errors, limit);
  failed = ready > 0 && FD_ISSET(socket, &errors);
  return ready;
}

class Socket {
 public:
  explicit Socket(SOCKET socket) : socket_(socket) {}
  Socket(Socket&& other) noexcept : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  Socket& operator=(Socket&&) = delete;
  ~Socket() {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
  }
  SOCKET get() const { return socket_; }
  bool valid() const { return socket_ != INVALID_SOCKET; }

 private:
  SOCKET socket_;
};

class WinsockSocket final : public RemoteSocket {
 public:
  WinsockSocket(Socket socket, win32::Handle received, win32::Handle wake)
      : socket_(std::move(socket)), received_(std::move(received)), wake_(std::move(wake)) {}

  std::optional<std::size_t> Send(std::span<const uint8_t> bytes) override {
    const int size = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
    const int sent = ::send(socket_.get(), reinterpret_cast<const char*>(bytes.data()), size, 0);
    if (sent != SOCKET_ERROR) return static_cast<std::size_t>(sent);
    if (::WSAGetLastError() == WSAEWOULDBLOCK) return 0;
    return std::nullopt;
  }

  std::optional<std::size_t> Receive(std::span<uint8_t> out) override {
    // Reset before the call: the receive that finds nothing re-arms the
    // event for the next arrival, one that finds more arms it at once.
    ::ResetEvent(received_.get());
    const int size = static_cast<int>(std::min<std::size_t>(out.size(), 1 << 20));
    const int got = ::recv(socket_.get(), reinterpret_cast<char*>(out.data()), size, 0);
    if (got > 0) return static_cast<std::size_t>(got);
    if (got == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) return 0;
    return std::nullopt;
  }

  SocketWait WaitReadable(std::optional<Clock::time_point> deadline) override {
    for (;;) {
      u_long pending = 0;
      if (::ioctlsocket(socket_.get(), FIONREAD, &pending) != 0) return SocketWait::kFailed;
      if (::WaitForSingleObject(wake_.get(), 0) == WAIT_OBJECT_0) return SocketWait::kWoken;
      if (pending > 0) return SocketWait::kReady;
      const uint32_t left = WaitMilliseconds(deadline);
      const HANDLE events[2] = {wake_.get(), received_.get()};
      const DWORD which = ::WaitForMultipleObjects(2, events, FALSE, std::min(left, kLookMs));
      if (which == WAIT_OBJECT_0) return SocketWait::kWoken;
      if (which == WAIT_OBJECT_0 + 1) return SocketWait::kReady;
      if (which != WAIT_TIMEOUT) return SocketWait::kFailed;
      if (left <= kLookMs) return SocketWait::kTimedOut;
    }
  }

  SocketWait WaitWritable() override {
    for (;;) {
      if (::WaitForSingleObject(wake_.get(), 0) == WAIT_OBJECT_0) return SocketWait::kWoken;
      timeval look{0, kRoomLookUs};
      bool failed = false;
      const int ready = WaitForRoom(socket_.get(), &look, failed);
      if (ready == SOCKET_ERROR || failed) return SocketWait::kFailed;
      if (ready > 0) return SocketWait::kReady;
    }
  }

  // Winsock does not tell what its send buffer still holds: what it took
  // counts as sent.
  std::optional<std::size_t> Unsent() override { return 0; }

  void Wake() override { ::SetEvent(wake_.get()); }
  void ClearWake() override { ::ResetEvent(wake_.get()); }
  IoStatus WaitForWake(std::optional<Clock::time_point> deadline) override {
    if (::WaitForSingleObject(wake_.get(), WaitMilliseconds(deadline)) == WAIT_OBJECT_0) return IoStatus::Woken;
    return IoStatus::TimedOut;
  }

 private:
  Socket socket_;
  win32::Handle received_;  // set by Winsock when bytes or the close arrive
  win32::Handle wake_;
};

OpenError ConnectFailure(int error) {
  return error == WSAECONNREFUSED ? OpenError::RemoteRefused : OpenError::RemoteNoAnswer;
}

// Waits until the connection started on socket is made; the Winsock error
// otherwise (WSAETIMEDOUT when the time ran out).
int Connected(const Socket& socket, std::optional<Clock::time_point> deadline) {
  const int ms = PollTimeout(deadline);
  timeval limit{ms / 1000, (ms % 1000) * 1000};
  bool failed = false;
  const int ready = WaitForRoom(socket.get(), ms < 0 ? nullptr : &limit, failed);
  if (ready == SOCKET_ERROR) return ::WSAGetLastError();
  if (ready == 0) return WSAETIMEDOUT;
  int error = 0;
  int length = sizeof error;
  if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
    return ::WSAGetLastError();
  }
  return failed && error == 0 ? WSAECONNREFUSED : error;
}

}  // namespace

// The errors of the connection have no text in the C runtime: the reason
// alone says what happened (systemError stays 0), except for the resolver,
// whose codes the system names.
std::unique_ptr<RemoteSocket> ConnectRemote(const RemoteAddress& address, uint32_t timeoutMs, OpenError& reason,
                                            int& systemError) {
  if (!WinsockStarted()) {
    reason = OpenError::CannotOpen;
    return nullptr;
  }
  const AddressList list = LookUpHost(address, reason, systemError);
  if (!list) return nullptr;
  reason = OpenError::RemoteNoAnswer;
  const std::optional<Clock::time_point> deadline = DeadlineAfter(timeoutMs);
  for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
    Socket socket(::WSASocketW(entry->ai_family, entry->ai_socktype, entry->ai_protocol, nullptr, 0,
                               WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT));
    if (!socket.valid()) continue;
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket.get(), FIONBIO, &nonBlocking) != 0) continue;
    if (::connect(socket.get(), entry->ai_addr, static_cast<int>(entry->ai_addrlen)) != 0) {
      const int error = ::WSAGetLastError();
      if (error != WSAEWOULDBLOCK) {
        reason = ConnectFailure(error);
        continue;
      }
      if (const int failure = Connected(socket, deadline); failure != 0) {
        reason = ConnectFailure(failure);
        continue;
      }
    }
    const BOOL one = TRUE;
    ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    // Every segment acknowledged at once: a server that sends small pieces
    // without TCP_NODELAY would otherwise hold its next one back for our
    // delayed acknowledgement. Not every system takes it; then as it was.
    DWORD everySegment = 1;
    DWORD returned = 0;
    ::WSAIoctl(socket.get(), SIO_TCP_SET_ACK_FREQUENCY, &everySegment, sizeof everySegment, nullptr, 0, &returned,
               nullptr, nullptr);
    win32::Handle received(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    win32::Handle wake(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!received.valid() || !wake.valid() || ::WSAEventSelect(socket.get(), received.get(), FD_READ | FD_CLOSE) != 0) {
      reason = OpenError::CannotOpen;
      return nullptr;
    }
    return std::make_unique<WinsockSocket>(std::move(socket), std::move(received), std::move(wake));
  }
  return nullptr;
}

}  // namespace zk::com::detail
