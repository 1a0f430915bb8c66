#include "modsim/IniFile.h"

#include "modsim/Numbers.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zk::modsim {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

IniFile IniFile::Parse(std::string_view text) {
  IniFile file;
  std::string section;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const auto line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const auto close = line.find(']');
      section = std::string(Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1)));
      file.sections_.push_back(section);
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    file.entries_.push_back(
        {section, std::string(Trim(line.substr(0, equals))), std::string(Trim(line.substr(equals + 1)))});
  }
  return file;
}

std::optional<IniFile> IniFile::Load(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str());
}

std::size_t IniFile::Find(std::string_view section, std::string_view key) const {
  section = Trim(section);
  key = Trim(key);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (EqualsIgnoringCase(entries_[i].section, section) && EqualsIgnoringCase(entries_[i].key, key)) return i;
  }
  return kNotFound;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  if (const std::size_t i = Find(section, key); i != kNotFound) return entries_[i].value;
  return std::nullopt;
}

bool IniFile::HasSection(std::string_view section) const {
  section = Trim(section);
  for (const auto& name : sections_) {
    if (EqualsIgnoringCase(name, section)) return true;
  }
  return false;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (const std::size_t i = Find(section, key); i != kNotFound) {
    entries_[i].value = std::string(Trim(value));
    return;
  }
  if (!HasSection(section)) sections_.emplace_back(Trim(section));
  entries_.push_back({std::string(Trim(section)), std::string(Trim(key)), std::string(Trim(value))});
}

}  // namespace zk::modsim
