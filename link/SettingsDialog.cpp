#include "link/SettingsDialog.h"

#include "link/Language.h"

namespace zk::link {
namespace {

constexpr DialogTexts kEnglish{
    "Network settings for RS232",
    "Interface:",
    "Baudrate:",
    "&OK",
    "&Cancel",
    "Default settings",
    "- 8 Data bits",
    "- 1 Stop bit",
    "- no parity",
    "Extended",
    "RAW mode",
};

constexpr DialogTexts kGerman{
    "Netzwerkeinstellungen f\u00fcr RS232",
    "Schnittstelle:",
    "Baudrate:",
    "&OK",
    "&Abbrechen",
    "Standardeinstellungen",
    "- 8 Datenbits",
    "- 1 Stopbit",
    "- Keine Parit\u00e4t",
    "Erweitert",
    "RAW-Mode",
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  }
  return true;
}

}  // namespace

const DialogTexts& DialogTextsFor(unsigned templateId) {
  return templateId == kSettingsTemplate + kGermanStringBase ? kGerman : kEnglish;
}

std::optional<std::size_t> FindPrefix(const EntryList& list, std::string_view prefix) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (StartsWithNoCase(list[i], prefix)) return i;
  }
  return std::nullopt;
}

}  // namespace zk::link
