#pragma once
// Reader of the module description file. Every reader performs one profile
// read against the stored path and keeps nothing; a missing or unreadable
// file behaves as a file with no keys.
#include <cstdint>
#include <string>
#include <string_view>

namespace zk {

// Prefixes of the numbered area sections ("Protected Area 1", ...).
inline constexpr std::string_view kProtectedAreaPrefix = "Protected Area ";
inline constexpr std::string_view kNonAccessAreaPrefix = "Non Access Area ";

class IniFileAccess {
 public:
  IniFileAccess() = default;
  explicit IniFileAccess(std::string path) : path_(std::move(path)) {}
  virtual ~IniFileAccess() = default;

  void SetPath(std::string_view path) { path_ = std::string(path); }
  const std::string& Path() const { return path_; }

  // [FlashConfig]; bank 0 uses the plain key names, bank n the name with n.
  int32_t FlashBanks() const;
  int32_t FlashStart(int bank) const;
  int32_t FlashEnd(int bank) const;
  int32_t FlashMode(int bank) const;

  // [General]
  std::string AvailableProtocol(int n) const;
  int32_t NumberOfProtectedAreas() const;
  int32_t NumberOfNonAccessAreas() const;
  std::string ModulName() const;
  std::string Microcontroller() const;
  std::string DmDll() const;

  // DLLName of the given protocol section.
  std::string DllName(std::string_view protocolSection) const;

  // StartAddress / EndAddress of section prefix + n.
  std::string AreaStart(std::string_view prefix, int n) const;
  std::string AreaEnd(std::string_view prefix, int n) const;

  // [Paths] of the program-wide settings file.
  std::string IniFilePath() const;

  // [Banks]
  int32_t UseBanks() const;
  int32_t DefaultBank() const;

  // [RS232]
  int32_t AutoBoot() const;
  int32_t ReleaseResetDelay() const;  // 0 reads as 100 ms
  int32_t ReleaseBootDelay() const;   // 0 reads as 1000 ms
  int32_t ResetInverted() const;
  int32_t BootInverted() const;
  int32_t DisconnectMode() const;  // low 8 bits
  int32_t JumpAddress() const;
  int32_t AutoBootEnable() const;

  // [Disconnect]
  int32_t SwReset() const;
  int32_t JumpToXXX() const;
  int32_t JumpEnable() const;

  // Writers of [RS232], each value as a decimal string; false when the file
  // could not be written (it is then left as it was, and a warning box names
  // it: ReportWrite).
  bool WriteAutoBoot(int32_t value) const;
  bool WriteDisconnect(int32_t value) const;  // value modulo 256
  bool WriteJumpAddress(int32_t value) const;

 private:
  int32_t Int(std::string_view section, std::string_view key, int32_t defaultValue) const;
  std::string String(std::string_view section, std::string_view key, std::size_t buffer) const;
  bool WriteInt(std::string_view section, std::string_view key, int64_t value) const;

  std::string path_;
};

// The most flash banks any layer reads; a description with more is treated
// as ending there.
inline constexpr int kMaxBanks = 256;

// Key name of bank n: "FlashStart" for 0, "FlashStart3" for 3.
std::string BankKey(std::string_view base, int bank);

}  // namespace zk
