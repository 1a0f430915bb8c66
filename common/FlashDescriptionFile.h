#pragma once
// Where the description of a flash library lies: a file named after the
// library's words in the folder the settings file names (INIFilePath).
#include "common/Records.h"

#include <string>

namespace zk {

// "<w2>x<w1>x<w3>.ini", each word as four lower-case hexadecimal digits.
std::string FlashDescriptionName(const FlashLibInfo& library);

// The folder of the flash descriptions: INIFilePath of the settings file in
// settingsDir, below settingsDir.
std::string FlashDescriptionDir(const std::string& settingsDir);

// The description file of library in dir, its name matched without regard to case.
std::string FlashDescriptionFile(const std::string& dir, const FlashLibInfo& library);

}  // namespace zk
