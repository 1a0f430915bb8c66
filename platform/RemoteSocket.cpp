#include "platform/RemoteSocket.h"

#include "platform/HostLookup.h"
#include "platform/PortIo.h"

#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <array>
#include <string>

namespace zk::com::detail {
namespace {

class PosixSocket final : public RemoteSocket {
 public:
  PosixSocket(Descriptor socket, Descriptor wake) : socket_(std::move(socket)), wake_(std::move(wake)) {}

  std::optional<std::size_t> Send(std::span<const uint8_t> bytes) override {
    for (;;) {
      const ssize_t sent = ::send(socket_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent >= 0) return static_cast<std::size_t>(sent);
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
      return std::nullopt;
    }
  }

  std::optional<std::size_t> Receive(std::span<uint8_t> out) override {
    for (;;) {
      const ssize_t got = ::recv(socket_.get(), out.data(), out.size(), MSG_DONTWAIT);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
      if (got <= 0) return std::nullopt;
      // Acknowledged at once: a server that sends small pieces without
      // TCP_NODELAY would otherwise hold its next one back for our delayed
      // acknowledgement. The kernel clears this after a while, so again each time.
      const int one = 1;
      ::setsockopt(socket_.get(), IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
      return static_cast<std::size_t>(got);
    }
  }

  SocketWait WaitReadable(std::optional<Clock::time_point> deadline) override {
    std::array<pollfd, 2> fds{{{socket_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}}};
    const int ready = ::poll(fds.data(), fds.size(), PollTimeout(deadline));
    if (ready < 0) return errno == EINTR ? SocketWait::kReady : SocketWait::kFailed;
    if (fds[1].revents & POLLIN) return SocketWait::kWoken;
    if (ready == 0) return SocketWait::kTimedOut;
    return SocketWait::kReady;
  }

  SocketWait WaitWritable() override {
    std::array<pollfd, 2> fds{{{socket_.get(), POLLOUT, 0}, {wake_.get(), POLLIN, 0}}};
    if (::poll(fds.data(), fds.size(), -1) < 0) return errno == EINTR ? SocketWait::kReady : SocketWait::kFailed;
    if (fds[1].revents & POLLIN) return SocketWait::kWoken;
    if (fds[0].revents & (POLLERR | POLLHUP)) return SocketWait::kFailed;
    return SocketWait::kReady;
  }

  // Bytes not yet sent; bytes sent but not yet acknowledged do not count,
  // since the peer may delay its acknowledgement.
  std::optional<std::size_t> Unsent() override {
    int unsent = 0;
    if (::ioctl(socket_.get(), SIOCOUTQNSD, &unsent) != 0) return std::nullopt;
    return static_cast<std::size_t>(unsent);
  }

  void Wake() override { SignalWake(wake_); }
  void ClearWake() override { ClearWakeFd(wake_); }
  IoStatus WaitForWake(std::optional<Clock::time_point> deadline) override {
    return detail::WaitForWake(wake_, deadline);
  }

 private:
  Descriptor socket_;
  Descriptor wake_;
};

}  // namespace

std::unique_ptr<RemoteSocket> ConnectRemote(const RemoteAddress& address, uint32_t timeoutMs, OpenError& reason,
                                            int& systemError) {
  const AddressList list = LookUpHost(address, reason, systemError);
  if (!list) return nullptr;
  reason = OpenError::RemoteNoAnswer;
  const std::optional<Clock::time_point> deadline = DeadlineAfter(timeoutMs);
  for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
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
    Descriptor wake = MakeWakeFd();
    if (!wake.valid()) {
      reason = OpenError::CannotOpen;
      systemError = errno;
      return nullptr;
    }
    return std::make_unique<PosixSocket>(std::move(socket), std::move(wake));
  }
  return nullptr;
}

}  // namespace zk::com::detail
