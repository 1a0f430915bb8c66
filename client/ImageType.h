#pragma once
// The type of an image file, as DmLoadFile and DmSaveFile take it, and the
// rules that give a file its type for every program: by its content (the
// shared rule of common/ImageFormat), for saving by its extension, and
// LOADHEX's rule of HEX or binary by the extension.
#include "common/ImageFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zk::client {

using ImageType = ImageFormat;
using zk::ExtensionCase;
using zk::ExtensionOf;

// kHex for the extensions HEX and H86 (in any case, or in lower case only),
// kBinary for any other.
ImageType ImageTypeOfExtension(std::string_view extension, ExtensionCase letters = ExtensionCase::kAny);

// The type of the file path names by its extension as ImageTypeOfExtension
// gives it; a name without one is a binary image.
ImageType ImageTypeOfPath(std::string_view path, ExtensionCase letters = ExtensionCase::kAny);

// The type a file is saved in: HEX or S-record when its extension names
// one of them, binary otherwise (an ELF file is never written).
ImageType SaveTypeOfPath(std::string_view path, ExtensionCase letters = ExtensionCase::kAny);

// The type the file's first bytes show, else the one its extension names,
// else binary; a file that cannot be read goes by its extension.
ImageType ImageTypeOfFile(const std::string& path);

// The mode of DmLoadFile and DmSaveFile.
uint32_t LoadModeOf(ImageType type);

}  // namespace zk::client
