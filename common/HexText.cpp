#include "common/HexText.h"

namespace zk {

uint32_t HexTextToValue(std::string_view text) {
  if (const auto x = text.find('x'); x != std::string_view::npos) text.remove_prefix(x + 1);
  return HexDigitsValue(text);
}

uint32_t HexDigitsValue(std::string_view digits) {
  uint32_t value = 0;
  for (const char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return kInvalidHexValue;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  return value;
}

}  // namespace zk
