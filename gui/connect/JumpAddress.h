#pragma once
// The jump address of the disconnect choice: typed as hexadecimal digits,
// remembered in the module description as a decimal number.
#include "common/Records.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zk::gui {

inline constexpr uint32_t kInvalidJumpAddress = 0xFFFFFFFFu;

// A lower-case 'x' anywhere but first starts the digits after it (0x1F00 is
// 1F00); the digits 0-9, A-F, a-f are read most significant first; an empty
// text is 0. nullopt for any other character and for more than 32 bits.
std::optional<uint32_t> ParseJumpAddress(std::string_view text);
// The value the disconnect record gets: kInvalidJumpAddress for a text
// ParseJumpAddress refuses.
uint32_t ReadJumpAddress(std::string_view text);
// The remembered address shown in the edit: upper-case hexadecimal digits
// without leading zeros.
std::string JumpAddressText(int32_t remembered);

// The boxes checked when the user disconnects.
struct DisconnectChoice {
  bool softwareReset = false;  // 1096
  bool hardwareReset = false;  // 1117
  bool jumpToAddress = false;  // 1097, with jumpText
  bool jumpToZero = false;     // 1098
  std::string jumpText;
};

// The record for DmExitZelkor and what the module description remembers.
struct DisconnectPlan {
  ExitRequest request{0, 0};
  std::optional<int32_t> disconnect;   // [RS232] Disconnect
  std::optional<int32_t> jumpAddress;  // [RS232] JumpAddress
};

// The boxes looked at in the order 1096, 1117, 1097, 1098; the last one
// checked wins. No box checked: mode 0, address 0, nothing remembered.
DisconnectPlan PlanDisconnect(const DisconnectChoice& choice);

}  // namespace zk::gui
