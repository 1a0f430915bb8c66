#include "link/PortSettings.h"

#include "platform/ComPort.h"
#include "platform/Ini.h"

namespace zk::link {
namespace {

constexpr std::size_t kTextBuffer = 255;
constexpr std::size_t kListBuffer = 1024;
constexpr std::string_view kScanlessPorts = "COM1, COM2, COM3, COM4";
constexpr std::string_view kDefaultRates = "9600, 19200, 38400, 57600";

}  // namespace

bool PortSettingsStore::Use(const std::string& iniFile, const std::string& section) {
  if (loaded_ && iniFile == file_ && section == section_) return false;
  settings_ = PortSettings{};
  Load(iniFile, section);
  file_ = iniFile;
  section_ = section;
  loaded_ = true;
  return true;
}

void PortSettingsStore::Load(const std::string& iniFile, const std::string& section) {
  PortSettings& s = settings_;
  s.comText = ini::GetString(iniFile, section, "COM", "(no)", kTextBuffer);
  s.baudText = ini::GetString(iniFile, section, "Baud", "(no)", kTextBuffer);
  s.extConfiguration = static_cast<uint8_t>(ini::GetInt(iniFile, section, "ExtConfiguration", 0));

  const std::string comList = ini::GetString(iniFile, section, "COMList", "", kListBuffer);
  if (!comList.empty()) {
    ParseEntryList(comList, s.comList);
  } else if (ini::GetString(iniFile, section, "NoCOMScan", "", kTextBuffer) == "1") {
    ParseEntryList(kScanlessPorts, s.comList);
  } else {
    ScanPorts();
  }

  const std::string baudList = ini::GetString(iniFile, section, "BaudList", "", kListBuffer);
  ParseEntryList(baudList.empty() ? std::string_view(kDefaultRates) : std::string_view(baudList), s.baudList);

  if (s.extConfiguration == 1) s.rawModeText = ini::GetString(iniFile, section, "RawMode", "", kTextBuffer);
}

void PortSettingsStore::ScanPorts() {
  EntryList found;
  for (unsigned n = com::kFirstPort; n <= com::kLastPort && found.size() < kMaxEntries; ++n) {
    if (probe_(n)) found.push_back("COM" + std::to_string(n));
  }
  if (!found.empty()) settings_.comList = std::move(found);
}

}  // namespace zk::link
