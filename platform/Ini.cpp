#include "platform/Ini.h"

#include "platform/AsciiText.h"
#include "platform/Files.h"
#include "platform/IniScanner.h"
#include "platform/SettingsCopy.h"

#include <filesystem>

#include <mutex>

namespace zk::ini {
namespace {

constexpr std::string_view kNewFileLineEnd = "\n";

std::string FileText(const std::string& path) {
  return files::ReadAll(files::ResolveNoCase(path)).value_or(std::string());
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
  return value;
}

std::optional<std::string_view> FindValue(std::string_view text, std::string_view section, std::string_view key) {
  const KeyLocation at = Locate(text, section, key);
  if (!at.key) return std::nullopt;
  return StripQuotes(text.substr(at.key->valueBegin, at.key->valueEnd - at.key->valueBegin));
}

// The value as the file itself holds it.
std::optional<std::string> OwnValue(const std::string& path, std::string_view section, std::string_view key) {
  const std::string text = FileText(path);
  const std::optional<std::string_view> value = FindValue(text, section, key);
  if (!value) return std::nullopt;
  return std::string(*value);
}

// The value as the programs see it: from the user's copy of an installed
// file when the copy has the key, else from the file.
std::optional<std::string> Lookup(const std::string& path, std::string_view section, std::string_view key) {
  if (const std::optional<std::string> copy = settings::CopyOf(path); copy && !copy->empty()) {
    if (std::optional<std::string> value = OwnValue(*copy, section, key)) return value;
  }
  return OwnValue(path, section, key);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  const char lower = text::AsciiLower(c);
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

// A name that would not read back as the same section or key.
bool ValidNames(std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view s = text::TrimBlanks(section);
  const std::string_view k = text::TrimBlanks(key);
  if (s.empty() || k.empty()) return false;
  if (text::ContainsLineBreak(section) || text::ContainsLineBreak(key) || text::ContainsLineBreak(value)) return false;
  if (s.find(']') != std::string_view::npos) return false;
  if (k.find('=') != std::string_view::npos || k.front() == ';' || k.front() == '[') return false;
  return true;
}

// The line end the file already uses; a file without one gets the default.
std::string_view LineEndOf(std::string_view text) {
  const std::size_t newline = text.find('\n');
  if (newline == std::string_view::npos) return kNewFileLineEnd;
  return (newline > 0 && text[newline - 1] == '\r') ? std::string_view("\r\n") : std::string_view("\n");
}

// What completes the last line of text: nothing after a line feed, a line
// feed after the carriage return that ends it, else the file's line end.
std::string_view LineEndToAdd(std::string_view text, std::string_view eol) {
  if (text.empty() || text.back() == '\n') return {};
  return text.back() == '\r' ? std::string_view("\n") : eol;
}

bool EndsWithBlankLine(std::string_view text) {
  IniScanner scanner(text);
  IniLine line;
  IniLine last;
  while (scanner.Next(line)) last = line;
  return text::TrimBlanks(text.substr(last.begin, last.end - last.begin)).empty();
}

std::string WithValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view eol = LineEndOf(text);
  const KeyLocation at = Locate(text, section, key);
  std::string result;
  result.reserve(text.size() + section.size() + key.size() + value.size() + 8);

  if (at.key) {
    // In place: the key's own spelling and spacing up to the value stay.
    result.append(text.substr(0, at.key->valueBegin));
    result.append(value);
    result.append(text.substr(at.key->end));
    return result;
  }

  const std::string line = std::string(text::TrimBlanks(key)) + "=" + std::string(value);
  if (at.section) {
    // At the end of the section: after its last key, or after its header.
    const IniLine& after = at.lastKey ? *at.lastKey : *at.section;
    result.append(text.substr(0, after.next));
    result.append(LineEndToAdd(text.substr(0, after.next), eol));
    result.append(line).append(eol);
    result.append(text.substr(after.next));
    return result;
  }

  result.append(text);
  if (!text.empty()) {
    result.append(LineEndToAdd(text, eol));
    if (!EndsWithBlankLine(text)) result.append(eol);
  }
  result.append("[").append(text::TrimBlanks(section)).append("]").append(eol);
  result.append(line).append(eol);
  return result;
}

// Read, change and replace must not interleave between two writers of one
// process, or one write would be lost.
std::mutex& WriteMutex() {
  static std::mutex mutex;
  return mutex;
}

// WriteString of exactly the file path.
bool WriteOwnString(const std::string& path, std::string_view section, std::string_view key, std::string_view value) {
  const std::lock_guard<std::mutex> lock(WriteMutex());
  const std::string target = files::ResolveNoCase(path);
  std::string text;
  if (files::Exists(target)) {
    std::optional<std::string> current = files::ReadAll(target);
    if (!current) return false;  // never replace a file that could not be read
    text = std::move(*current);
  }
  const std::string changed = WithValue(text, section, key, value);
  if (changed == text && files::Exists(target)) return true;  // already so: nothing to write
  return files::ReplaceAtomically(target, changed);
}

}  // namespace

std::string GetString(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view defaultValue, std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  const std::optional<std::string> found = Lookup(path, section, key);
  // As on Windows, trailing blanks of the default are not returned.
  const std::string_view value = found ? std::string_view(*found) : text::TrimTrailingBlanks(defaultValue);
  return std::string(value.substr(0, bufferSize - 1));
}

std::optional<std::string> ReadValue(const std::string& path, std::string_view section, std::string_view key) {
  return Lookup(path, section, key);
}

std::optional<std::string> ReadOwnValue(const std::string& path, std::string_view section, std::string_view key) {
  return OwnValue(path, section, key);
}

int32_t GetInt(const std::string& path, std::string_view section, std::string_view key, int32_t defaultValue) {
  const std::optional<std::string> value = Lookup(path, section, key);
  return value ? ParseInt(*value) : defaultValue;
}

int32_t ParseInt(std::string_view text) {
  text = text::TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // Unsigned arithmetic wraps like the 32-bit original: "0xFFFFFFFF" is -1.
  uint32_t value = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && HexDigit(text[2]) >= 0) {
    for (std::size_t i = 2; i < text.size() && HexDigit(text[i]) >= 0; ++i) {
      value = value * 16u + static_cast<uint32_t>(HexDigit(text[i]));
    }
  } else {
    for (std::size_t i = 0; i < text.size() && IsDigit(text[i]); ++i) {
      value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    }
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

bool WriteString(const std::string& path, std::string_view section, std::string_view key, std::string_view value) {
  if (path.empty() || !ValidNames(section, key, value)) return false;
  const std::optional<std::string> copy = settings::CopyOf(path);
  if (!copy) return WriteOwnString(path, section, key, value);
  if (Lookup(path, section, key) == value) return true;  // already so: no copy needed
  if (copy->empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(files::DirName(*copy), error);
  return !error && WriteOwnString(*copy, section, key, value);
}

}  // namespace zk::ini
