#include "cmd/ModuleKeys.h"

#include "platform/Ini.h"

#include <cstdlib>

namespace zk::cmd {

PortKeys ReadPortKeys(const std::string& modulePath, std::size_t comBuffer) {
  PortKeys keys;
  keys.protocol = ini::GetString(modulePath, kGeneralSection, "ProtocolToUse", "", kProtocolBuffer);
  if (keys.protocol.empty()) return keys;
  keys.com = ini::GetString(modulePath, keys.protocol, "COM", "", comBuffer);
  keys.baud = ini::GetString(modulePath, keys.protocol, "Baud", "", kBaudBuffer);
  return keys;
}

uint32_t DecimalValue(const std::string& text) {
  return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

}  // namespace zk::cmd
