#pragma once
// The type of an image file, as DmLoadFile and DmSaveFile take it, and the
// rule that gives a file its type by its extension.
#include <cstdint>
#include <optional>
#include <string_view>

namespace zk::client {

enum class ImageType : uint8_t { kHex = 0, kBinary = 1 };

enum class ExtensionCase { kAny, kLower };

// kHex for the extensions HEX and H86 (in any case, or in lower case only),
// kBinary for any other.
ImageType ImageTypeOfExtension(std::string_view extension, ExtensionCase letters = ExtensionCase::kAny);

// The text after the last '.' of path; nullopt when it has none.
std::optional<std::string_view> ExtensionOf(std::string_view path);

}  // namespace zk::client
