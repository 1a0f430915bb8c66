#include "link/PortSelection.h"

#include "link/StringTable.h"
#include "platform/ComPort.h"
#include "platform/Ini.h"
#include "platform/MessageBox.h"
#include "platform/WriteWarning.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace zk::link {
namespace {

constexpr std::size_t kNumberBuffer = 10;

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

}  // namespace

void PortSelection::Prepare(const char* iniFile, const char* section) {
  const std::string file = Text(iniFile);
  language_ = LanguageFor(CountryOf(file), SystemPrimaryLanguage());
  if (store_.Use(file, Text(section))) {
    // Another module: nothing of the previous one's port stays.
    choice_.portNumber = 2;
    choice_.baudRate = 9600;
  }
}

uint8_t PortSelection::SelectParams(const char* iniFile, const char* section) {
  Prepare(iniFile, section);
  const std::string file = Text(iniFile);
  const std::string sect = Text(section);
  const PortSettings& s = store_.settings();

  uint8_t resolved = 0;
  if (!s.comText.empty() && !s.baudText.empty()) {
    const std::optional<unsigned> port = com::ParsePortName(s.comText);
    const auto entry = std::find(s.baudList.begin(), s.baudList.end(), s.baudText);
    // A rate must fit the link's 16-bit field to be used at all.
    const uint32_t rate = entry != s.baudList.end() ? LeadingDecimal(*entry) : 0;
    if (port && rate > 0 && rate <= std::numeric_limits<uint16_t>::max()) {
      choice_.portNumber = static_cast<uint16_t>(*port);
      choice_.baudRate = static_cast<uint16_t>(rate);
      resolved = 1;
    }
  }
  choice_.rawModeIni = LeadingDecimal(ini::GetString(file, sect, "RawMode", "1", kNumberBuffer)) != 0;
  choice_.sendLockTime = LeadingDecimal(ini::GetString(file, sect, "SendLockTime", "0", kNumberBuffer));
  choice_.messageBeep = LeadingDecimal(ini::GetString(file, sect, "MessageBeep", "0", kNumberBuffer)) != 0;
  return resolved;
}

uint8_t PortSelection::SelectProperty(const char* iniFile, const char* section, SettingsDialog* dialog) {
  Prepare(iniFile, section);
  if (dialog == nullptr) return 0;
  PortSettings& s = store_.settings();
  const bool extended = s.extConfiguration == 1;

  DialogSetup setup;
  setup.templateId = MapResourceId(kSettingsTemplate, language_);
  setup.comList = s.comList;
  setup.baudList = s.baudList;
  setup.comSelection = FindPrefix(s.comList, s.comText);
  setup.baudSelection = FindPrefix(s.baudList, s.baudText);
  setup.extended = extended;
  setup.rawChecked = s.rawModeText == "1";
  const std::optional<DialogChoice> choice = dialog->Run(setup);
  if (!choice) return 0;

  PortSettings chosen = s;
  if (choice->com) chosen.comText = *choice->com;
  if (choice->baud) chosen.baudText = *choice->baud;
  if (extended) chosen.rawModeText.assign(1, choice->rawChecked ? '1' : '0');
  const std::string file = Text(iniFile);
  const bool written = WriteChoice(file, Text(section), chosen, extended);
  // A choice that could not be kept changes nothing, neither the file nor
  // the settings the next connection uses, and the user learns why.
  if (written) s = std::move(chosen);
  return ReportWrite(written, file) ? 1 : 0;
}

bool PortSelection::WriteChoice(const std::string& file, const std::string& section, const PortSettings& chosen,
                                bool extended) {
  struct Key {
    const char* name;
    const std::string& value;
  };
  std::vector<Key> keys{{"COM", chosen.comText}, {"Baud", chosen.baudText}};
  if (extended) keys.push_back({"RawMode", chosen.rawModeText});
  std::vector<std::pair<const char*, std::optional<std::string>>> before;
  for (const Key& key : keys) {
    std::optional<std::string> old = ini::ReadValue(file, section, key.name);
    if (ini::WriteString(file, section, key.name, key.value)) {
      before.emplace_back(key.name, std::move(old));
      continue;
    }
    // Put back what was written so far (a key that was not there keeps
    // the value it now has: the file has no way to drop it).
    for (const auto& [name, value] : before) {
      if (value) ini::WriteString(file, section, name, *value);
    }
    return false;
  }
  return true;
}

uint8_t PortSelection::SelectNode(const char* iniFile) {
  language_ = LanguageFor(CountryOf(Text(iniFile)), SystemPrimaryLanguage());
  MessageBox(LinkString(MapResourceId(kIdsSelectNodeText, language_)),
             LinkString(MapResourceId(kIdsSelectNodeCaption, language_)), MB_OK | MB_ICONINFORMATION);
  return 1;
}

}  // namespace zk::link
