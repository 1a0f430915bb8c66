#pragma once
// The program's per-user profile in the user hive of the registry: key
// Software\<registry key>\<profile name>\<section>.
#include <cstdint>
#include <string>
#include <string_view>

namespace zk::gui {

inline constexpr std::string_view kProfileRegistryKey = "Korvane\\Zelkor";
inline constexpr std::string_view kProfileName = "ZelkorGui";
inline constexpr std::string_view kUserSection = "User";

class CProfile {
 public:
  CProfile(std::string_view registryKey = kProfileRegistryKey, std::string_view profileName = kProfileName);

  std::string GetString(std::string_view section, std::string_view entry, std::string_view defaultValue = {}) const;
  bool WriteString(std::string_view section, std::string_view entry, std::string_view value) const;
  uint32_t GetInt(std::string_view section, std::string_view entry, uint32_t defaultValue) const;
  bool WriteInt(std::string_view section, std::string_view entry, uint32_t value) const;

 private:
  std::string Key(std::string_view section) const;

  std::string base_;
};

}  // namespace zk::gui
