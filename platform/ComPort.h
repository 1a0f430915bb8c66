#pragma once
// COMn (n = 1..256) to a device path: $ZELKOR_COMn, else value COMn of key
// Software\Korvane\Zelkor\Ports in the user hive, else key COMn of section
// [Ports] in Zelkor.ini of the installation directory, else /dev/ttyS<n-1>.
#include "platform/Api.h"

#include <optional>
#include <string>
#include <string_view>

namespace zk::com {

inline constexpr unsigned kFirstPort = 1;
inline constexpr unsigned kLastPort = 256;
inline constexpr std::string_view kUserPortsKey = "Software\\Korvane\\Zelkor\\Ports";

// Where the device path of a port came from.
enum class PortSource { Environment, UserHive, SettingsFile, Default };

struct PortMapping {
  std::string device;
  PortSource source = PortSource::Default;
};

// The mapping of port n; nullopt when n is outside 1..256.
ZK_PLATFORM_API std::optional<PortMapping> ResolvePort(unsigned port);

// Device path of port n; nullopt when n is outside 1..256.
ZK_PLATFORM_API std::optional<std::string> DevicePath(unsigned port);

// "COMn" exactly (upper case, n = 1..256) to n; nullopt otherwise.
ZK_PLATFORM_API std::optional<unsigned> ParsePortName(std::string_view name);

}  // namespace zk::com
