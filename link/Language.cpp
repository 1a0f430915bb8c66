#include "link/Language.h"

#include "link/EntryList.h"
#include "platform/Ini.h"

#include <cstdlib>
#include <optional>
#include <string_view>

namespace zk::link {
namespace {

constexpr std::string_view kLocaleSection = "Locale";
constexpr std::size_t kTextBuffer = 256;
constexpr uint16_t kPrimaryMask = 0x3FF;
constexpr uint16_t kGermanPrimary = 7;
constexpr uint16_t kEnglishPrimary = 9;

std::optional<unsigned> CountryKey(const std::string& file) {
  const std::optional<std::string> value = ini::ReadValue(file, kLocaleSection, "Country");
  if (!value) return std::nullopt;
  return LeadingDecimal(value->substr(0, kTextBuffer - 1));
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The configuration file named relative to the directory of iniFile; a
// name with a drive colon or a leading separator stays as it is.
std::string Beside(const std::string& iniFile, const std::string& name) {
  if (name.find(':') != std::string::npos || IsSeparator(name.front())) return name;
  const std::size_t last = iniFile.find_last_of("\\/");
  if (last == std::string::npos) return name;
  return iniFile.substr(0, last + 1) + name;
}

}  // namespace

unsigned CountryOf(const std::string& iniFile) {
  if (const std::optional<unsigned> country = CountryKey(iniFile)) return *country;
  const std::string cfgFile = ini::GetString(iniFile, kLocaleSection, "CfgFile", "", kTextBuffer);
  if (cfgFile.empty()) return 0;
  return CountryKey(Beside(iniFile, cfgFile)).value_or(0);
}

Language LanguageFor(unsigned country, uint16_t systemPrimary) {
  Language language;
  language.languageId = country == 1 ? 0x0409 : country == 49 ? 0x0407 : 0x0800;
  uint16_t primary = language.languageId & kPrimaryMask;
  if (primary == 0) primary = systemPrimary;
  language.stringBase = primary == kGermanPrimary ? kGermanStringBase : kEnglishStringBase;
  return language;
}

uint16_t SystemPrimaryLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    const std::string_view locale(value);
    return locale.substr(0, 2) == "de" ? kGermanPrimary : kEnglishPrimary;
  }
  return kEnglishPrimary;
}

unsigned MapResourceId(unsigned id, const Language& language) {
  return id >= 5000 && id <= 9999 ? id + language.stringBase : id;
}

}  // namespace zk::link
