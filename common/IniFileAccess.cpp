#include "common/IniFileAccess.h"

#include "platform/Ini.h"
#include "platform/WriteWarning.h"

#include <cstdlib>

namespace zk {
namespace {

constexpr std::size_t kBuffer100 = 100;
constexpr std::size_t kBuffer32 = 32;
constexpr int32_t kDefaultReleaseResetDelay = 100;
constexpr int32_t kDefaultReleaseBootDelay = 1000;

constexpr std::string_view kFlashConfig = "FlashConfig";
constexpr std::string_view kGeneral = "General";
constexpr std::string_view kBanks = "Banks";
constexpr std::string_view kRs232 = "RS232";
constexpr std::string_view kDisconnect = "Disconnect";
constexpr std::string_view kPaths = "Paths";

std::string Numbered(std::string_view base, int n) { return std::string(base) + std::to_string(n); }

int32_t AtoI(const std::string& text) { return static_cast<int32_t>(std::atoi(text.c_str())); }

}  // namespace

std::string BankKey(std::string_view base, int bank) { return bank == 0 ? std::string(base) : Numbered(base, bank); }

int32_t IniFileAccess::Int(std::string_view section, std::string_view key, int32_t defaultValue) const {
  return ini::GetInt(path_, section, key, defaultValue);
}

std::string IniFileAccess::String(std::string_view section, std::string_view key, std::size_t buffer) const {
  return ini::GetString(path_, section, key, "", buffer);
}

bool IniFileAccess::WriteInt(std::string_view section, std::string_view key, int64_t value) const {
  return ReportWrite(ini::WriteString(path_, section, key, std::to_string(value)), path_);
}

int32_t IniFileAccess::FlashBanks() const { return Int(kFlashConfig, "FlashBanks", -1); }
int32_t IniFileAccess::FlashStart(int bank) const { return Int(kFlashConfig, BankKey("FlashStart", bank), -1); }
int32_t IniFileAccess::FlashEnd(int bank) const { return Int(kFlashConfig, BankKey("FlashEnd", bank), -1); }
int32_t IniFileAccess::FlashMode(int bank) const { return Int(kFlashConfig, BankKey("FlashMode", bank), -1); }

std::string IniFileAccess::AvailableProtocol(int n) const {
  return String(kGeneral, Numbered("AvailableProtocol", n), kBuffer100);
}
int32_t IniFileAccess::NumberOfProtectedAreas() const {
  return AtoI(String(kGeneral, "NumberOfProtectedAreas", kBuffer100));
}
// Key names are compared without their surrounding blanks, so this finds the
// key whether the file spells it with a trailing blank or without.
int32_t IniFileAccess::NumberOfNonAccessAreas() const {
  return AtoI(String(kGeneral, "NumberOfNonAccessAreas ", kBuffer100));
}
std::string IniFileAccess::ModulName() const { return String(kGeneral, "ModulName", kBuffer32); }
std::string IniFileAccess::Microcontroller() const { return String(kGeneral, "Microcontroller", kBuffer32); }
std::string IniFileAccess::DmDll() const { return String(kGeneral, "DmDLL", kBuffer100); }

std::string IniFileAccess::DllName(std::string_view protocolSection) const {
  return String(protocolSection, "DLLName", kBuffer100);
}

std::string IniFileAccess::AreaStart(std::string_view prefix, int n) const {
  return String(Numbered(prefix, n), "StartAddress", kBuffer100);
}
std::string IniFileAccess::AreaEnd(std::string_view prefix, int n) const {
  return String(Numbered(prefix, n), "EndAddress", kBuffer100);
}

std::string IniFileAccess::IniFilePath() const { return String(kPaths, "INIFilePath", kBuffer100); }

int32_t IniFileAccess::UseBanks() const { return Int(kBanks, "UseBanks", 0); }
int32_t IniFileAccess::DefaultBank() const { return Int(kBanks, "DefaultBank", -1); }

int32_t IniFileAccess::AutoBoot() const { return Int(kRs232, "AutoBoot", -1); }
int32_t IniFileAccess::ReleaseResetDelay() const {
  const int32_t v = Int(kRs232, "ReleaseResetDelay", 0);
  return v == 0 ? kDefaultReleaseResetDelay : v;
}
int32_t IniFileAccess::ReleaseBootDelay() const {
  const int32_t v = Int(kRs232, "ReleaseBootDelay", 0);
  return v == 0 ? kDefaultReleaseBootDelay : v;
}
int32_t IniFileAccess::ResetInverted() const { return Int(kRs232, "ResetInverted", 0); }
int32_t IniFileAccess::BootInverted() const { return Int(kRs232, "BootInverted", 0); }
int32_t IniFileAccess::DisconnectMode() const { return Int(kRs232, "Disconnect", 0) & 0xFF; }
int32_t IniFileAccess::JumpAddress() const { return Int(kRs232, "JumpAddress", 0); }
int32_t IniFileAccess::AutoBootEnable() const { return Int(kRs232, "AutoBootEnable", 0); }

int32_t IniFileAccess::SwReset() const { return Int(kDisconnect, "SWReset", 0); }
int32_t IniFileAccess::JumpToXXX() const { return Int(kDisconnect, "JumpToXXX", 0); }
int32_t IniFileAccess::JumpEnable() const { return Int(kDisconnect, "JumpEnable", 0); }

bool IniFileAccess::WriteAutoBoot(int32_t value) const { return WriteInt(kRs232, "AutoBoot", value); }
bool IniFileAccess::WriteDisconnect(int32_t value) const {
  return WriteInt(kRs232, "Disconnect", static_cast<uint32_t>(value) % 256u);
}
bool IniFileAccess::WriteJumpAddress(int32_t value) const { return WriteInt(kRs232, "JumpAddress", value); }

}  // namespace zk
