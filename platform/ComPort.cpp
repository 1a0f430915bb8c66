#include "platform/ComPort.h"

#include "platform/DefaultDevice.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Registry.h"

#include <charconv>
#include <cstdlib>
#include <utility>

namespace zk::com {
namespace {

constexpr std::string_view kPortPrefix = "COM";
constexpr std::string_view kPortsSection = "Ports";
constexpr std::string_view kEnvironmentPrefix = "ZELKOR_";

std::optional<std::string> NonEmpty(std::optional<std::string> text) {
  if (text && text->empty()) return std::nullopt;
  return text;
}

std::optional<std::string> FromEnvironment(const std::string& name) {
  const char* value = std::getenv((std::string(kEnvironmentPrefix) + name).c_str());
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::optional<std::string> FromSettingsFile(const std::string& name) {
  const std::string dir = reg::InstallationDirectory().value_or(files::HostProgramDir());
  const std::optional<std::string> file = files::FindNoCase(dir, files::kSettingsFile);
  if (!file) return std::nullopt;
  return NonEmpty(ini::ReadValue(*file, kPortsSection, name));
}

}  // namespace

std::optional<PortMapping> ResolvePort(unsigned port) {
  if (port < kFirstPort || port > kLastPort) return std::nullopt;
  const std::string name = std::string(kPortPrefix) + std::to_string(port);
  if (auto path = FromEnvironment(name)) return PortMapping{std::move(*path), PortSource::Environment};
  if (auto path = NonEmpty(reg::QueryString(reg::Hive::CurrentUser, kUserPortsKey, name))) {
    return PortMapping{std::move(*path), PortSource::UserHive};
  }
  if (auto path = FromSettingsFile(name)) return PortMapping{std::move(*path), PortSource::SettingsFile};
  return PortMapping{detail::DefaultDevice(port), PortSource::Default};
}

std::optional<std::string> DevicePath(unsigned port) {
  std::optional<PortMapping> mapping = ResolvePort(port);
  if (!mapping) return std::nullopt;
  return std::move(mapping->device);
}

std::optional<unsigned> ParsePortName(std::string_view name) {
  if (name.substr(0, kPortPrefix.size()) != kPortPrefix) return std::nullopt;
  const std::string_view digits = name.substr(kPortPrefix.size());
  // Only the spelling "COM%u" gives: no sign, no leading zero, nothing after.
  if (digits.empty() || digits.front() == '0') return std::nullopt;
  unsigned port = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (port < kFirstPort || port > kLastPort) return std::nullopt;
  return port;
}

}  // namespace zk::com
