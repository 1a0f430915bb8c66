#include "cli/Json.h"

#include <cstdio>

namespace zk::cli {

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void JsonObject::Key(std::string_view key) {
  if (!body_.empty()) body_ += ",";
  body_ += JsonString(key) + ":";
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view value) {
  Key(key);
  body_ += JsonString(value);
  return *this;
}

JsonObject& JsonObject::Add(std::string_view key, int64_t value) {
  Key(key);
  body_ += std::to_string(value);
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

JsonObject& JsonObject::AddRaw(std::string_view key, std::string_view value) {
  Key(key);
  body_ += value;
  return *this;
}

std::string JsonField(std::string_view line, std::string_view key) {
  // Only top-level keys: count the nesting while looking for "key":.
  const std::string quoted = JsonString(key) + ":";
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
      continue;
    }
    if (c == '{' || c == '[') ++depth;
    if (c == '}' || c == ']') --depth;
    if (c != '"') continue;
    if (depth == 1 && line.substr(i, quoted.size()) == quoted) {
      std::size_t at = i + quoted.size();
      if (at < line.size() && line[at] == '"') {
        std::string value;
        for (++at; at < line.size() && line[at] != '"'; ++at) {
          if (line[at] == '\\' && at + 1 < line.size()) {
            ++at;
            value += line[at] == 'n' ? '\n' : line[at] == 't' ? '\t' : line[at];
          } else {
            value += line[at];
          }
        }
        return value;
      }
      const std::size_t end = line.find_first_of(",}]", at);
      return std::string(line.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
    }
    inString = true;
  }
  return {};
}

}  // namespace zk::cli
