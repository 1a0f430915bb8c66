#include "platform/PortList.h"

#include "platform/Files.h"
#include "platform/RemotePort.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

namespace zk::com {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kNoUart = "0";
constexpr uint32_t kRemoteProbeMs = 1000;

bool IsCharacterDevice(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

std::string RealPath(const std::string& path) {
  std::error_code error;
  const fs::path real = fs::canonical(path, error);
  return error ? path : real.string();
}

std::vector<StableName> StableNames(std::string_view dir) {
  std::vector<StableName> names;
  std::error_code error;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    const std::string link = it->path().string();
    if (IsCharacterDevice(link)) names.push_back({link, RealPath(link)});
  }
  std::sort(names.begin(), names.end(), [](const StableName& a, const StableName& b) { return a.link < b.link; });
  return names;
}

// The serial core's port type of a ttyS device; nullopt when it has none.
std::optional<std::string> UartType(std::string_view ttyClassDir, const std::string& device) {
  std::ifstream in(files::Join(ttyClassDir, files::BaseName(device) + "/type"));
  std::string type;
  if (!(in >> type)) return std::nullopt;
  return type;
}

bool Placeholder(const PortMapping& mapping, std::string_view ttyClassDir) {
  return mapping.source == PortSource::Default && UartType(ttyClassDir, mapping.device) == kNoUart;
}

// The device behind the port's mapping and its stable names, marking the
// stable names it takes.
void NameDevice(ListedPort& listed, const std::vector<StableName>& stable, std::vector<bool>& named) {
  listed.device = RealPath(listed.mapping.device);
  for (std::size_t i = 0; i < stable.size(); ++i) {
    if (stable[i].device != listed.device) continue;
    listed.stableNames.push_back(stable[i].link);
    named[i] = true;
  }
}

}  // namespace

std::optional<PortLookup> LookUpPort(unsigned port, std::string_view stableNameDir, std::string_view ttyClassDir) {
  std::optional<PortMapping> mapping = ResolvePort(port);
  if (!mapping) return std::nullopt;
  PortLookup lookup;
  lookup.port.port = port;
  lookup.port.mapping = std::move(*mapping);
  lookup.remote = IsRemoteMapping(lookup.port.mapping.device);
  if (lookup.remote) {
    lookup.port.device = lookup.port.mapping.device;
    return lookup;
  }
  lookup.present = IsCharacterDevice(lookup.port.mapping.device);
  lookup.placeholder = lookup.present && Placeholder(lookup.port.mapping, ttyClassDir);
  const std::vector<StableName> stable = StableNames(stableNameDir);
  std::vector<bool> named(stable.size(), false);
  NameDevice(lookup.port, stable, named);
  return lookup;
}

PortListing ListPorts(std::string_view stableNameDir, std::string_view ttyClassDir) {
  PortListing listing;
  std::vector<StableName> stable = StableNames(stableNameDir);
  std::vector<bool> named(stable.size(), false);
  for (unsigned port = kFirstPort; port <= kLastPort; ++port) {
    std::optional<PortMapping> mapping = ResolvePort(port);
    if (mapping && IsRemoteMapping(mapping->device)) {
      const bool answers = RemoteHostAnswers(mapping->device, kRemoteProbeMs);
      std::string device = mapping->device;
      listing.ports.push_back({port, std::move(*mapping), std::move(device), {}, answers});
      continue;
    }
    if (!mapping || !IsCharacterDevice(mapping->device) || Placeholder(*mapping, ttyClassDir)) continue;
    ListedPort listed{port, std::move(*mapping), {}, {}, std::nullopt};
    NameDevice(listed, stable, named);
    listing.ports.push_back(std::move(listed));
  }
  for (std::size_t i = 0; i < stable.size(); ++i) {
    if (!named[i]) listing.unmapped.push_back(std::move(stable[i]));
  }
  return listing;
}

}  // namespace zk::com
