#pragma once
// The TCP connection of a remote port (inside the platform library): each
// system's socket calls behind one face, so that the Telnet port above it
// is the same everywhere. Every wait also ends when Wake is called.
#include "platform/Deadline.h"
#include "platform/RemotePort.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace zk::com::detail {

enum class SocketWait { kReady, kWoken, kTimedOut, kFailed };

class RemoteSocket {
 public:
  virtual ~RemoteSocket() = default;

  // What the socket takes now: the bytes sent, 0 when it has no room;
  // nullopt when the connection has failed.
  virtual std::optional<std::size_t> Send(std::span<const uint8_t> bytes) = 0;
  // What has arrived, without waiting: 0 when nothing has; nullopt when the
  // connection is closed or has failed.
  virtual std::optional<std::size_t> Receive(std::span<uint8_t> out) = 0;
  // Waits until something can be received (the close too) or until
  // deadline. Ready may come without anything to receive; callers look.
  virtual SocketWait WaitReadable(std::optional<Clock::time_point> deadline) = 0;
  // Waits without limit until the socket has room again.
  virtual SocketWait WaitWritable() = 0;
  // Bytes written that the system has not yet sent; nullopt on failure.
  virtual std::optional<std::size_t> Unsent() = 0;

  virtual void Wake() = 0;
  virtual void ClearWake() = 0;
  // Waits until deadline; only Wake ends the wait early.
  virtual IoStatus WaitForWake(std::optional<Clock::time_point> deadline) = 0;
};

// Connects to address within timeoutMs, the socket set up for the port
// (no delay, non-blocking, a wake-up of its own); nullptr, with the reason
// and the system's error code, otherwise.
std::unique_ptr<RemoteSocket> ConnectRemote(const RemoteAddress& address, uint32_t timeoutMs, OpenError& reason,
                                            int& systemError);

}  // namespace zk::com::detail
