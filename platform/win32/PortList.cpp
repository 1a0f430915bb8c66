#include "platform/PortList.h"

#include "platform/DefaultDevice.h"
#include "platform/RemotePort.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

namespace zk::com {
namespace {

constexpr uint32_t kRemoteProbeMs = 1000;
constexpr std::string_view kDevicePrefix = "\\\\.\\";

// Whether the system knows the DOS device name the path opens ("COM3" of
// "\\.\COM3").
bool DeviceExists(const std::string& device) {
  if (device.compare(0, kDevicePrefix.size(), kDevicePrefix) != 0) {
    return ::GetFileAttributesW(win32::WidePath(device).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  wchar_t target[MAX_PATH];
  return ::QueryDosDeviceW(win32::Widen(device.substr(kDevicePrefix.size())).c_str(), target, MAX_PATH) != 0;
}

}  // namespace

// Windows has no stable names and no placeholder ports: the device is the
// mapping's, present when the system knows it.
std::optional<PortLookup> LookUpPort(unsigned port, std::string_view, std::string_view) {
  std::optional<PortMapping> mapping = ResolvePort(port);
  if (!mapping) return std::nullopt;
  PortLookup lookup;
  lookup.port.port = port;
  lookup.port.mapping = std::move(*mapping);
  lookup.port.device = lookup.port.mapping.device;
  lookup.remote = IsRemoteMapping(lookup.port.device);
  lookup.present = !lookup.remote && DeviceExists(lookup.port.device);
  return lookup;
}

// Windows has no stable names of its own in a directory: the listing names
// the ports the system knows, and the remote ones.
PortListing ListPorts(std::string_view, std::string_view) {
  PortListing listing;
  for (unsigned port = kFirstPort; port <= kLastPort; ++port) {
    std::optional<PortMapping> mapping = ResolvePort(port);
    if (!mapping) continue;
    if (IsRemoteMapping(mapping->device)) {
      const bool answers = RemoteHostAnswers(mapping->device, kRemoteProbeMs);
      std::string device = mapping->device;
      listing.ports.push_back({port, std::move(*mapping), std::move(device), {}, answers});
      continue;
    }
    if (!DeviceExists(mapping->device)) continue;
    std::string device = mapping->device;
    listing.ports.push_back({port, std::move(*mapping), std::move(device), {}, std::nullopt});
  }
  return listing;
}

}  // namespace zk::com
