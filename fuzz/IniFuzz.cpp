// The private-profile reader and writer on arbitrary file text and names:
// truncated reads are prefixes of the value, a successful write reads back
// as written, and every other key keeps its value.
#include "fuzz/FuzzInput.h"
#include "fuzz/ScratchFile.h"
#include "platform/AsciiText.h"
#include "platform/Ini.h"
#include "platform/IniScanner.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace zk;

constexpr std::size_t kComparedKeys = 16;

const fuzz::ScratchFile& IniFile() {
  static const fuzz::ScratchFile file("ini", ".ini");
  return file;
}

const std::string& IniPath() { return IniFile().Path(); }

// The first keys of the file by section, as the reader finds them.
std::vector<std::pair<std::string, std::string>> KeysOf(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> keys;
  ini::IniScanner scanner(text);
  ini::IniLine line;
  std::optional<std::string_view> section;
  while (scanner.Next(line) && keys.size() < kComparedKeys) {
    if (line.kind == ini::LineKind::Section) section = line.name;
    if (line.kind == ini::LineKind::Key && section && !section->empty() && !line.name.empty())
      keys.emplace_back(*section, line.name);
  }
  return keys;
}

bool SameName(std::string_view a, std::string_view b) {
  return text::EqualsNoCase(text::TrimBlanks(a), text::TrimBlanks(b));
}

// A value that reads back unchanged: no surrounding blanks, no surrounding
// pair of quotes.
bool Plain(std::string_view value) {
  if (value != text::TrimBlanks(value)) return false;
  return !(value.size() >= 2 && value.front() == '"' && value.back() == '"');
}

void CheckReads(std::string_view section, std::string_view key, std::size_t bufferSize) {
  const std::optional<std::string> value = ini::ReadValue(IniPath(), section, key);
  const std::string read = ini::GetString(IniPath(), section, key, "default ", bufferSize);
  const std::string whole = value.value_or("default");
  ZK_FUZZ_CHECK(bufferSize == 0 ? read.empty() : read.size() <= bufferSize - 1);
  ZK_FUZZ_CHECK(whole.compare(0, read.size(), read) == 0);
  const int32_t number = ini::GetInt(IniPath(), section, key, -7);
  ZK_FUZZ_CHECK(number == (value ? ini::ParseInt(*value) : -7));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  const std::size_t bufferSize = in.U8();
  const std::string section(fuzz::FuzzInput::Text(in.Piece()));
  const std::string key(fuzz::FuzzInput::Text(in.Piece()));
  const std::string value(fuzz::FuzzInput::Text(in.Piece()));
  const std::string text(fuzz::FuzzInput::Text(in.Rest()));

  IniFile().Write(text);
  CheckReads(section, key, bufferSize);
  const auto keys = KeysOf(text);
  std::vector<std::optional<std::string>> before;
  for (const auto& [s, k] : keys) before.push_back(ini::ReadValue(IniPath(), s, k));

  if (!ini::WriteString(IniPath(), section, key, value)) return 0;
  if (Plain(value)) ZK_FUZZ_CHECK(ini::ReadValue(IniPath(), section, key) == value);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (SameName(keys[i].first, section) && SameName(keys[i].second, key)) continue;
    ZK_FUZZ_CHECK(ini::ReadValue(IniPath(), keys[i].first, keys[i].second) == before[i]);
  }
  CheckReads(section, key, bufferSize);
  return 0;
}
