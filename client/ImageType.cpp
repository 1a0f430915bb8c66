#include "client/ImageType.h"

#include "common/DmApi.h"
#include "platform/AsciiText.h"

#include <algorithm>
#include <array>
#include <fstream>

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

ImageType ImageTypeOfPath(std::string_view path, ExtensionCase letters) {
  const std::optional<std::string_view> extension = ExtensionOf(path);
  return extension ? ImageTypeOfExtension(*extension, letters) : ImageType::kBinary;
}

ImageType SaveTypeOfPath(std::string_view path, ExtensionCase letters) {
  const std::optional<ImageFormat> named = FormatOfPath(path, letters);
  return named == ImageFormat::kHex || named == ImageFormat::kSrec ? *named : ImageType::kBinary;
}

ImageType ImageTypeOfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(kFormatHeadBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return FormatByContent(head, path);
}

uint32_t LoadModeOf(ImageType type) {
  switch (type) {
    case ImageType::kBinary: return dm::kLoadBinary;
    case ImageType::kSrec: return dm::kLoadSrec;
    case ImageType::kElf: return dm::kLoadElf;
    case ImageType::kHex: break;
  }
  return dm::kLoadHex;
}

}  // namespace zk::client
