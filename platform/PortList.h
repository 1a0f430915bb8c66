#pragma once
// The COM ports that resolve to a device that is there, each with the stable
// names udev gives serial devices (/dev/serial/by-id), and the stable names
// that no port resolves to.
#include "platform/Api.h"
#include "platform/ComPort.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zk::com {

inline constexpr std::string_view kStableNameDir = "/dev/serial/by-id";
inline constexpr std::string_view kTtyClassDir = "/sys/class/tty";

struct StableName {
  std::string link;    // /dev/serial/by-id/usb-...-if00-port0
  std::string device;  // the device it names, /dev/ttyUSB0
};

struct ListedPort {
  unsigned port = 0;
  PortMapping mapping;
  std::string device;                    // the mapped path, links followed
  std::vector<std::string> stableNames;  // stable names of that device
  std::optional<bool> hostAnswers;       // remote ports: whether the host takes a connection
};

struct PortListing {
  std::vector<ListedPort> ports;     // ascending port numbers
  std::vector<StableName> unmapped;  // stable names of devices no port names
};

// One port, whether or not its device is there, without trying a remote
// host: its mapping, the device with links followed and that device's
// stable names. nullopt when port is outside 1..256.
struct PortLookup {
  ListedPort port;
  bool remote = false;
  bool present = false;      // a local mapping names a character device
  bool placeholder = false;  // the default /dev/ttyS<n-1>, with no UART behind it
};
ZK_PLATFORM_API std::optional<PortLookup> LookUpPort(unsigned port, std::string_view stableNameDir = kStableNameDir,
                                                     std::string_view ttyClassDir = kTtyClassDir);

// A port is listed when its device path names a character device, or when
// it is mapped to a remote port (rfc2217://HOST:PORT; whether the host
// answers is tried, at most a second for each). A port
// left at its default /dev/ttyS<n-1> is left out when the kernel reports no
// UART behind that device (<ttyClassDir>/ttyS<n-1>/type is 0), as for the
// placeholders most machines have.
ZK_PLATFORM_API PortListing ListPorts(std::string_view stableNameDir = kStableNameDir,
                                      std::string_view ttyClassDir = kTtyClassDir);

}  // namespace zk::com
