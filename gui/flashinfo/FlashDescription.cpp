#include "gui/flashinfo/FlashDescription.h"

#include "platform/Files.h"
#include "platform/Ini.h"

#include <cstdio>

namespace zk::gui {
namespace {

constexpr std::size_t kTextBuffer = 101;
constexpr std::string_view kGeneral = "General";

std::string Word(uint16_t value, const char* format) {
  char text[8];
  std::snprintf(text, sizeof text, format, static_cast<unsigned>(value));
  return text;
}

}  // namespace

std::string FlashDescriptionPath(std::string_view installDir, const FlashLibInfo& library) {
  return files::Join(files::Join(installDir, "FlashInfo"), FlashDescriptionName(library));
}

std::string FlashDescriptionMode(const std::string& path) {
  return ini::GetString(path, kGeneral, "Mode", "", kTextBuffer);
}

std::string FlashDescriptionDeviceName(const std::string& path) {
  return ini::GetString(path, kGeneral, "Name", "", kTextBuffer);
}

std::string FlashDescriptionSize(const std::string& path) {
  return ini::GetString(path, kGeneral, "FlashSize", "", kTextBuffer);
}

std::string BankLine(const BankLineFields& fields) {
  std::string line = "Bank " + std::to_string(fields.bank) + ": " + fields.deviceName;
  line += "\t" + Word(fields.library.words[1], "%.4X") + "H";
  line += "\t" + Word(fields.library.words[2], "%.4X") + "H";
  line += "\t" + fields.flashSize + " kB";
  if (fields.doubled) line += " x2";
  line += "\t" + fields.startText;
  return line;
}

}  // namespace zk::gui
