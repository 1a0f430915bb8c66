#pragma once
// Comparing names as Windows lists and sorts them: ASCII case folded.
#include "platform/AsciiText.h"

#include <string_view>

namespace zk::gui {

// <0, 0 or >0 as a is less than, equal to or greater than b, ignoring case.
constexpr int CompareNoCase(std::string_view a, std::string_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const auto x = static_cast<unsigned char>(text::AsciiLower(a[i]));
    const auto y = static_cast<unsigned char>(text::AsciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace zk::gui
