#pragma once
// The firmware version the module reported at login: major, minor, build,
// each 255 while no version is known.
#include <cstdint>
#include <string>

namespace zk::gui {

class InfoUse {
 public:
  static constexpr uint8_t kUnknown = 255;

  void SetMajor(uint8_t value) { major_ = value; }
  void SetMinor(uint8_t value) { minor_ = value; }
  void SetBuild(uint8_t value) { build_ = value; }
  // Decimal text.
  std::string Major() const { return std::to_string(major_); }
  std::string Minor() const { return std::to_string(minor_); }
  std::string Build() const { return std::to_string(build_); }

  bool Known() const { return major_ != kUnknown && minor_ != kUnknown; }

 private:
  uint8_t major_ = kUnknown;
  uint8_t minor_ = kUnknown;
  uint8_t build_ = kUnknown;
};

}  // namespace zk::gui
