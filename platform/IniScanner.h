#pragma once
// One pass over the text of an INI file, line by line, without copying:
// section headers, key lines and everything else (blank lines, ';' comments,
// lines without '=') with their byte offsets, so that a writer can change one
// line and keep all others byte for byte.
#include <cstddef>
#include <optional>
#include <string_view>

namespace zk::ini {

enum class LineKind { Other, Section, Key };

struct IniLine {
  LineKind kind = LineKind::Other;
  std::size_t begin = 0;       // first byte of the line
  std::size_t end = 0;         // end of its content (before "\r\n", "\n" or a final "\r")
  std::size_t next = 0;        // first byte of the following line
  std::string_view name;       // section or key name, blanks trimmed
  std::size_t valueBegin = 0;  // key lines: the value, blanks trimmed
  std::size_t valueEnd = 0;
};

class IniScanner {
 public:
  explicit IniScanner(std::string_view text);
  // The next line; false at the end of the text.
  bool Next(IniLine& line);

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// Where a key is, or would go, in a file.
struct KeyLocation {
  std::optional<IniLine> section;  // the first section of that name
  std::optional<IniLine> key;      // its first key of that name
  std::optional<IniLine> lastKey;  // the last key line of that section before key (or its end)
};

// Section and key names compare ignoring ASCII case and surrounding blanks.
KeyLocation Locate(std::string_view text, std::string_view section, std::string_view key);

}  // namespace zk::ini
