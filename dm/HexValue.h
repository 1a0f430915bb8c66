#pragma once
// Hex values of the module and flash description files: the shared hex text
// rule, except that an 'x' as the very first character is not a separator
// and so makes the value invalid.
#include "common/HexText.h"

#include <cstdint>
#include <string_view>

namespace zk::dm {

inline uint32_t HexValue(std::string_view text) {
  if (!text.empty() && text.front() == 'x') return kInvalidHexValue;
  return HexTextToValue(text);
}

}  // namespace zk::dm
