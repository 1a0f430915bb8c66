#include "common/ImageFormat.h"

#include "platform/AsciiText.h"

#include <algorithm>
#include <array>

namespace zk {
namespace {

// The extensions of each format, lower case.
struct ExtensionRule {
  ImageFormat format;
  std::array<std::string_view, 5> extensions;  // an empty one ends the list
};

constexpr std::array<ExtensionRule, 3> kExtensions{{
    {ImageFormat::kHex, {"hex", "h86", "ihex", "ihx"}},
    {ImageFormat::kSrec, {"srec", "s19", "s28", "s37", "mot"}},
    {ImageFormat::kElf, {"elf", "axf", "out"}},
}};

constexpr std::string_view kElfMagic{
    "\x7F"
    "ELF",
    4};
constexpr std::size_t kHexRecordDigits = 8;  // count, address, type
constexpr std::size_t kSrecCountDigits = 2;

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

bool HexDigitsFollow(std::string_view line, std::size_t from, std::size_t count) {
  if (line.size() < from + count) return false;
  return std::all_of(line.begin() + static_cast<std::ptrdiff_t>(from),
                     line.begin() + static_cast<std::ptrdiff_t>(from + count), IsHexDigit);
}

// Printable ASCII, blanks and the carriage return: the bytes of a text line.
bool IsTextLine(std::string_view line) {
  return std::all_of(line.begin(), line.end(),
                     [](char c) { return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r'; });
}

bool IsBlankLine(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return text::IsBlank(c) || c == '\r'; });
}

}  // namespace

ImageFormat FormatOfContent(std::string_view head) {
  if (head.starts_with(kElfMagic)) return ImageFormat::kElf;
  bool firstWritten = true;  // no line with text seen yet
  while (!head.empty()) {
    const std::size_t end = head.find('\n');
    // A line the head cuts off tells nothing.
    if (end == std::string_view::npos && head.size() < kHexRecordDigits + 1) return ImageFormat::kBinary;
    const std::string_view line = head.substr(0, end);
    if (line.starts_with(':') && HexDigitsFollow(line, 1, kHexRecordDigits)) return ImageFormat::kHex;
    if (firstWritten && line.size() > 1 && line[0] == 'S' && line[1] >= '0' && line[1] <= '9' &&
        HexDigitsFollow(line, 2, kSrecCountDigits)) {
      return ImageFormat::kSrec;
    }
    if (!IsTextLine(line) || end == std::string_view::npos) return ImageFormat::kBinary;
    if (!IsBlankLine(line)) firstWritten = false;
    head.remove_prefix(end + 1);
  }
  return ImageFormat::kBinary;
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

std::optional<ImageFormat> FormatOfExtension(std::string_view extension, ExtensionCase letters) {
  if (extension.empty()) return std::nullopt;
  for (const ExtensionRule& rule : kExtensions) {
    for (const std::string_view known : rule.extensions) {
      const bool same = letters == ExtensionCase::kLower ? extension == known : text::EqualsNoCase(extension, known);
      if (same) return rule.format;
    }
  }
  return std::nullopt;
}

std::optional<ImageFormat> FormatOfPath(std::string_view path, ExtensionCase letters) {
  const std::optional<std::string_view> extension = ExtensionOf(path);
  return extension ? FormatOfExtension(*extension, letters) : std::nullopt;
}

ImageFormat FormatByContent(std::string_view head, std::string_view path) {
  const ImageFormat shown = FormatOfContent(head);
  if (shown != ImageFormat::kBinary) return shown;
  return FormatOfPath(path).value_or(ImageFormat::kBinary);
}

std::string_view FormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::kHex: return "Intel HEX";
    case ImageFormat::kSrec: return "S-record";
    case ImageFormat::kElf: return "ELF";
    case ImageFormat::kBinary: break;
  }
  return "binary";
}

}  // namespace zk
