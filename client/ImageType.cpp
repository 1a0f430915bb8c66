#include "client/ImageType.h"

#include "platform/AsciiText.h"

#include <algorithm>
#include <array>

namespace zk::client {
namespace {

constexpr std::array<std::string_view, 2> kHexExtensions{"hex", "h86"};

bool SameLetters(std::string_view text, std::string_view lower, ExtensionCase letters) {
  if (letters == ExtensionCase::kLower) return text == lower;
  return text::EqualsNoCase(text, lower);
}

}  // namespace

ImageType ImageTypeOfExtension(std::string_view extension, ExtensionCase letters) {
  const bool hex = std::any_of(kHexExtensions.begin(), kHexExtensions.end(),
                               [&](std::string_view known) { return SameLetters(extension, known, letters); });
  return hex ? ImageType::kHex : ImageType::kBinary;
}

std::optional<std::string_view> ExtensionOf(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  // A dot of a directory name is no extension (both separators, as paths
  // of either system may come from a script).
  const std::size_t separator = path.find_last_of("/\\");
  if (separator != std::string_view::npos && separator > dot) return std::nullopt;
  return path.substr(dot + 1);
}

ImageType ImageTypeOfPath(std::string_view path, ExtensionCase letters) {
  const std::optional<std::string_view> extension = ExtensionOf(path);
  return extension ? ImageTypeOfExtension(*extension, letters) : ImageType::kBinary;
}

}  // namespace zk::client
