#pragma once
// The type of an image file, as DmLoadFile and DmSaveFile take it, and the
// one rule that gives a file its type by its extension, for every program.
#include <cstdint>
#include <optional>
#include <string_view>

namespace zk::client {

enum class ImageType : uint8_t { kHex = 0, kBinary = 1 };

enum class ExtensionCase { kAny, kLower };

// kHex for the extensions HEX and H86 (in any case, or in lower case only),
// kBinary for any other.
ImageType ImageTypeOfExtension(std::string_view extension, ExtensionCase letters = ExtensionCase::kAny);

// The text after the last '.' of the file name (the path's last part);
// nullopt when the name has none.
std::optional<std::string_view> ExtensionOf(std::string_view path);

// The type of the file path names by its extension; a name without one is
// a binary image.
ImageType ImageTypeOfPath(std::string_view path, ExtensionCase letters = ExtensionCase::kAny);

// The mode byte of DmLoadFile and DmSaveFile.
constexpr uint32_t LoadModeOf(ImageType type) { return static_cast<uint32_t>(type); }

}  // namespace zk::client
