#pragma once
// Direct reads of the module description keys of the connection set-up.
#include <cstddef>
#include <string>
#include <string_view>

namespace zk::cmd {

inline constexpr std::string_view kGeneralSection = "General";
inline constexpr std::string_view kBootSection = "Boot";

inline constexpr std::size_t kProtocolBuffer = 20;
inline constexpr std::size_t kDllNameBuffer = 255;
inline constexpr std::size_t kComBuffer = 10;
inline constexpr std::size_t kExitComBuffer = 15;
inline constexpr std::size_t kBaudBuffer = 20;
inline constexpr std::size_t kAutoBaudBuffer = 10;
inline constexpr std::size_t kBootFileBuffer = 50;

inline constexpr int32_t kDownloadAbsent = 65535;
inline constexpr int32_t kDownloadBootFiles = 1;

// The protocol section and its port settings.
struct PortKeys {
  std::string protocol;  // ProtocolToUse
  std::string com;
  std::string baud;
};

PortKeys ReadPortKeys(const std::string& modulePath, std::size_t comBuffer);

// Decimal value of a text as atoi reads it.
uint32_t DecimalValue(const std::string& text);

}  // namespace zk::cmd
