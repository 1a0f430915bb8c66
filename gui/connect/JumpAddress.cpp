#include "gui/connect/JumpAddress.h"

#include "common/HexText.h"

#include <cstdio>

namespace zk::gui {
namespace {

constexpr int kHexDigitsPerWord = 8;

}  // namespace

std::optional<uint32_t> ParseJumpAddress(std::string_view text) {
  if (text.find('x', 1) != std::string_view::npos) text.remove_prefix(text.find('x') + 1);
  uint32_t value = 0;
  int significant = 0;
  for (const char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    if (value != 0 || digit != 0) ++significant;
    if (significant > kHexDigitsPerWord) return std::nullopt;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  return value;
}

uint32_t ReadJumpAddress(std::string_view text) { return ParseJumpAddress(text).value_or(kInvalidJumpAddress); }

std::string JumpAddressText(int32_t remembered) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", static_cast<uint32_t>(remembered));
  return text;
}

DisconnectPlan PlanDisconnect(const DisconnectChoice& choice) {
  DisconnectPlan plan;
  const auto use = [&plan](ExitMode mode, uint32_t address) {
    plan.request.mode = ModeByte(mode);
    plan.request.address = address;
    plan.disconnect = static_cast<int32_t>(mode);
  };
  if (choice.softwareReset) use(ExitMode::kSoftwareReset, 0);
  if (choice.hardwareReset) use(ExitMode::kHardwareReset, 0);
  if (choice.jumpToAddress) {
    const uint32_t address = ReadJumpAddress(choice.jumpText);
    use(ExitMode::kJump, address);
    plan.jumpAddress = static_cast<int32_t>(address);
  }
  if (choice.jumpToZero) {
    use(ExitMode::kJump, 0);
    plan.jumpAddress = 0;
  }
  return plan;
}

}  // namespace zk::gui
