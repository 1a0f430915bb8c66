#pragma once
// The formats of image files and the one rule that tells them apart: by
// their first bytes, the file name's extension only a hint. The data
// manager loads "by content" with it; the programs choose a file's type
// and refuse a build product given as binary with it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zk {

enum class ImageFormat : uint8_t { kHex, kBinary, kSrec, kElf };

enum class ExtensionCase { kAny, kLower };

// How many first bytes of a file FormatOfContent looks at.
inline constexpr std::size_t kFormatHeadBytes = 1024;

// kElf for the ELF magic at the start; kSrec when the first line that is not
// blank starts with 'S', a digit and two hex digits; kHex when a line that
// starts with ':' and eight hex digits follows nothing but lines of text;
// kBinary for anything else.
ImageFormat FormatOfContent(std::string_view head);

// The text after the last '.' of the file name (the path's last part);
// nullopt when the name has none. Either separator ends a directory.
std::optional<std::string_view> ExtensionOf(std::string_view path);

// The format an extension names (hex h86 ihex ihx, srec s19 s28 s37 mot,
// elf axf out); nullopt for any other, which names no format.
std::optional<ImageFormat> FormatOfExtension(std::string_view extension, ExtensionCase letters = ExtensionCase::kAny);
std::optional<ImageFormat> FormatOfPath(std::string_view path, ExtensionCase letters = ExtensionCase::kAny);

// The content's format when it shows one, else the one the path's
// extension names, else binary.
ImageFormat FormatByContent(std::string_view head, std::string_view path);

// "Intel HEX", "S-record", "ELF", "binary".
std::string_view FormatName(ImageFormat format);

}  // namespace zk
