#pragma once
// The address fields of the download and upload pages: the programs' one
// number rule with bare digits read as hexadecimal (1F000, 0x1F000, 7CK,
// 1M); an empty field is 0.
#include "client/Numbers.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace zk::gui {

inline std::optional<uint32_t> ParseAddressText(std::string_view text) {
  if (text.empty()) return 0;
  return client::ParseNumber(text, client::BareDigits::kHex);
}

}  // namespace zk::gui
