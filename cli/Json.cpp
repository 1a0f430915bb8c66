#include "cli/Json.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace zk::cli {
namespace {

using Json = nlohmann::json;

// The length of the UTF-8 sequence at text[at], 0 when it is not one (an
// overlong form, a surrogate or a value past U+10FFFF included).
std::size_t Utf8Length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  uint32_t value = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(at + i) & 0x3F);
  }
  static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kLeast[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::optional<std::string> EscapedUtf8(std::string_view text) {
  std::string out;
  bool escaped = false;
  for (std::size_t at = 0; at < text.size();) {
    if (const std::size_t n = Utf8Length(text, at); n != 0) {
      out.append(text.substr(at, n));
      at += n;
      continue;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(text[at])));
    out += hex;
    escaped = true;
    ++at;
  }
  if (!escaped) return std::nullopt;
  return out;
}

std::string JsonString(std::string_view s) {
  const std::optional<std::string> escaped = EscapedUtf8(s);
  return Json(escaped ? *escaped : std::string(s)).dump();
}

void JsonObject::Key(std::string_view key) {
  if (!body_.empty()) body_ += ",";
  body_ += JsonString(key) + ":";
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view value) {
  const std::optional<std::string> escaped = EscapedUtf8(value);
  Key(key);
  body_ += Json(escaped ? *escaped : std::string(value)).dump();
  // A text that is not UTF-8 (a file name of another code page) is given
  // with its stray bytes as \xNN, and says so.
  if (escaped) Add(std::string(key) + "NotUtf8", true);
  return *this;
}

JsonObject& JsonObject::Add(std::string_view key, int64_t value) {
  Key(key);
  body_ += Json(value).dump();
  return *this;
}

JsonObject& JsonObject::Add(std::string_view key, double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  Key(key);
  body_ += text;
  return *this;
}

JsonObject& JsonObject::Add(std::string_view key, bool value) {
  Key(key);
  body_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::Add(std::string_view key, const std::vector<std::string>& values) {
  Json array = Json::array();
  for (const std::string& value : values) {
    const std::optional<std::string> escaped = EscapedUtf8(value);
    array.push_back(escaped ? *escaped : value);
  }
  Key(key);
  body_ += array.dump();
  return *this;
}

JsonObject& JsonObject::AddRaw(std::string_view key, std::string_view value) {
  Key(key);
  body_ += value;
  return *this;
}

std::string JsonField(std::string_view line, std::string_view key) {
  const Json parsed = Json::parse(line, nullptr, false);
  if (!parsed.is_object()) return {};
  const auto it = parsed.find(key);
  if (it == parsed.end()) return {};
  return it->is_string() ? it->get<std::string>() : it->dump();
}

}  // namespace zk::cli
