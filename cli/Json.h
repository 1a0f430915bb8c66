#pragma once
// One JSON object written on one line: the event and summary lines of
// --json and the production log.
#include <cstdint>
#include <string>
#include <string_view>

namespace zk::cli {

class JsonObject {
 public:
  JsonObject& Add(std::string_view key, std::string_view value);
  JsonObject& Add(std::string_view key, const char* value) { return Add(key, std::string_view(value)); }
  JsonObject& Add(std::string_view key, int64_t value);
  JsonObject& Add(std::string_view key, double value);
  JsonObject& Add(std::string_view key, bool value);
  // value is JSON text already (an array or an object).
  JsonObject& AddRaw(std::string_view key, std::string_view value);
  std::string Text() const { return "{" + body_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string body_;
};

// s as a JSON string, quotes included.
std::string JsonString(std::string_view s);

// The value of a top-level field of a one-line object as its text (a string
// without its quotes, unescaped; a number as written); empty when absent.
std::string JsonField(std::string_view line, std::string_view key);

}  // namespace zk::cli
