#include "cli/SameDevice.h"

#include "platform/RemotePort.h"

#include <filesystem>
#include <system_error>

namespace zk::cli {
namespace {

// What a port names: the device behind every link, or a remote port's URL.
std::string DeviceOf(const std::string& port) {
  if (com::IsRemoteMapping(port)) return port;
  std::error_code error;
  const std::filesystem::path device = std::filesystem::weakly_canonical(port, error);
  return error ? port : device.string();
}

}  // namespace

std::optional<std::string> DeviceNamedTwice(const std::vector<std::string>& ports) {
  std::vector<std::string> devices;
  for (const std::string& port : ports) {
    const std::string device = DeviceOf(port);
    for (std::size_t i = 0; i < devices.size(); ++i) {
      if (devices[i] != device) continue;
      if (ports[i] == port) return "--port " + port + " is given twice";
      return "--port " + ports[i] + " and --port " + port + " name the same device " + device;
    }
    devices.push_back(device);
  }
  return std::nullopt;
}

}  // namespace zk::cli
