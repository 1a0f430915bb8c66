#pragma once
// Which language the link driver speaks, from the locale keys of a module
// description: key "Country" of section "Locale", or the same key in the
// file that key "CfgFile" names. Country 1 is English, 49 German; any other
// follows the system's default language.
#include <cstdint>
#include <string>

namespace zk::link {

inline constexpr unsigned kGermanStringBase = 20000;
inline constexpr unsigned kEnglishStringBase = 21000;

struct Language {
  uint16_t languageId = 0x0800;
  unsigned stringBase = kEnglishStringBase;
};

// The country of an INI file (0 when it names none).
unsigned CountryOf(const std::string& iniFile);

// systemPrimary: the primary language of the system's default locale.
Language LanguageFor(unsigned country, uint16_t systemPrimary);

// From LC_ALL, LC_MESSAGES or LANG: 7 (German) for "de...", else 9.
uint16_t SystemPrimaryLanguage();

// A resource id from 5000 to 9999 shifted into the language's range.
unsigned MapResourceId(unsigned id, const Language& language);

}  // namespace zk::link
