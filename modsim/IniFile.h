#pragma once
// A small INI reader for the simulator's own configuration and the flash
// description files: section and key names compare ignoring ASCII case and
// surrounding blanks, the first match wins, values are trimmed, ';' starts a
// comment line.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zk::modsim {

class IniFile {
 public:
  static IniFile Parse(std::string_view text);
  // Nullopt and a message when the file cannot be read.
  static std::optional<IniFile> Load(const std::string& path, std::string* error);

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;
  // Replaces the value of the key, or adds it.
  void Set(std::string_view section, std::string_view key, std::string_view value);

 private:
  struct Entry {
    std::string section;
    std::string key;
    std::string value;
  };
  static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);
  std::size_t Find(std::string_view section, std::string_view key) const;

  std::vector<Entry> entries_;
  std::vector<std::string> sections_;
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace zk::modsim
