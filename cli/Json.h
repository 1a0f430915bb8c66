#pragma once
// One JSON object written on one line: the event and summary lines of
// --json and the production log, always valid UTF-8.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zk::cli {

class JsonObject {
 public:
  JsonObject& Add(std::string_view key, std::string_view value);
  JsonObject& Add(std::string_view key, const char* value) { return Add(key, std::string_view(value)); }
  JsonObject& Add(std::string_view key, int64_t value);
  JsonObject& Add(std::string_view key, double value);
  JsonObject& Add(std::string_view key, bool value);
  JsonObject& Add(std::string_view key, const std::vector<std::string>& values);
  // value is JSON text already (an array or an object).
  JsonObject& AddRaw(std::string_view key, std::string_view value);
  std::string Text() const { return "{" + body_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string body_;
};

// s as a JSON string, quotes included.
std::string JsonString(std::string_view s);

// text with every byte that is no part of a UTF-8 character written as
// \xNN; nullopt when it is UTF-8 as it stands.
std::optional<std::string> EscapedUtf8(std::string_view text);

// The value of a top-level field of a one-line object as its text (a string
// without its quotes, unescaped; anything else as JSON text); empty when
// absent or when the line is no JSON object.
std::string JsonField(std::string_view line, std::string_view key);

}  // namespace zk::cli
