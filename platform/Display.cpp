#include "platform/Display.h"

#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace zk {
namespace {

constexpr int kX11BasePort = 6000;
constexpr int kConnectTimeoutMs = 1000;
constexpr std::string_view kX11SocketDir = "/tmp/.X11-unix/X";

std::string_view Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string_view(value) : std::string_view();
}

// A stream socket connected to the Unix socket at path (abstract: in the
// abstract name space).
bool ConnectsUnix(const std::string& path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;
  if (path.empty() || path.size() + offset >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
  files::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return false;
  return ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

// A TCP connection to host:port within the time-out.
bool ConnectsTcp(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool connected = false;
  for (const addrinfo* a = found; a != nullptr && !connected; a = a->ai_next) {
    files::UniqueFd fd(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
    if (!fd.valid()) continue;
    if (::connect(fd.get(), a->ai_addr, a->ai_addrlen) == 0) {
      connected = true;
      break;
    }
    if (errno != EINPROGRESS) continue;
    pollfd wait{fd.get(), POLLOUT, 0};
    int error = 0;
    socklen_t size = sizeof error;
    connected = ::poll(&wait, 1, kConnectTimeoutMs) == 1 &&
                ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
  }
  ::freeaddrinfo(found);
  return connected;
}

// DISPLAY is [host]:number[.screen], or the path of a socket.
bool X11Reachable(std::string_view display) {
  if (display.empty()) return false;
  if (display.front() == '/') return ConnectsUnix(std::string(display), false);
  const std::size_t colon = display.rfind(':');
  if (colon == std::string_view::npos) return false;
  const std::string_view host = display.substr(0, colon);
  std::string_view rest = display.substr(colon + 1);
  rest = rest.substr(0, rest.find('.'));
  int number = -1;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
  if (error != std::errc() || end != rest.data() + rest.size() || number < 0) return false;
  if (host.empty() || host == "unix") {
    const std::string socket = std::string(kX11SocketDir) + std::to_string(number);
    return ConnectsUnix(socket, false) || ConnectsUnix(socket, true);
  }
  return ConnectsTcp(std::string(host), kX11BasePort + number);
}

// WAYLAND_DISPLAY is a socket name in XDG_RUNTIME_DIR, or a path.
bool WaylandReachable(std::string_view name) {
  if (name.empty()) return false;
  if (name.front() == '/') return ConnectsUnix(std::string(name), false);
  const std::string_view runtime = Env("XDG_RUNTIME_DIR");
  if (runtime.empty()) return false;
  return ConnectsUnix(std::string(runtime) + "/" + std::string(name), false);
}

}  // namespace

bool DisplayReachable() { return WaylandReachable(Env("WAYLAND_DISPLAY")) || X11Reachable(Env("DISPLAY")); }

}  // namespace zk
