#pragma once
// The flash description file of a flash library and the bank line the
// connect page builds from it for the flash info page.
#include "common/FlashDescriptionFile.h"
#include "common/Records.h"

#include <string>
#include <string_view>

namespace zk::gui {

// installDir\FlashInfo\ + FlashDescriptionName.
std::string FlashDescriptionPath(std::string_view installDir, const FlashLibInfo& library);

// [General] of a flash description file.
std::string FlashDescriptionMode(const std::string& path);
std::string FlashDescriptionDeviceName(const std::string& path);
std::string FlashDescriptionSize(const std::string& path);

struct BankLineFields {
  int bank = 0;
  std::string deviceName;  // [General] Name
  FlashLibInfo library{};
  std::string flashSize;  // [General] FlashSize, in kB
  bool doubled = false;   // flash mode 0: two devices side by side
  std::string startText;  // the bank's start address as the module description spells it
};

// "Bank <i>: <name>\t<w1>H\t<w2>H\t<size> kB[ x2]\t<start>".
std::string BankLine(const BankLineFields& fields);

}  // namespace zk::gui
