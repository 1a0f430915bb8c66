#include "gui/shell/Profile.h"

#include "platform/Registry.h"

namespace zk::gui {

CProfile::CProfile(std::string_view registryKey, std::string_view profileName)
    : base_("Software\\" + std::string(registryKey) + "\\" + std::string(profileName)) {}

std::string CProfile::Key(std::string_view section) const { return base_ + "\\" + std::string(section); }

std::string CProfile::GetString(std::string_view section, std::string_view entry, std::string_view defaultValue) const {
  return reg::QueryString(reg::Hive::CurrentUser, Key(section), entry).value_or(std::string(defaultValue));
}

bool CProfile::WriteString(std::string_view section, std::string_view entry, std::string_view value) const {
  return reg::SetString(reg::Hive::CurrentUser, Key(section), entry, value);
}

uint32_t CProfile::GetInt(std::string_view section, std::string_view entry, uint32_t defaultValue) const {
  return reg::QueryDword(reg::Hive::CurrentUser, Key(section), entry).value_or(defaultValue);
}

bool CProfile::WriteInt(std::string_view section, std::string_view entry, uint32_t value) const {
  return reg::SetDword(reg::Hive::CurrentUser, Key(section), entry, value);
}

}  // namespace zk::gui
