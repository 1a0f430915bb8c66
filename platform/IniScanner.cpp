#include "platform/IniScanner.h"

#include "platform/AsciiText.h"

namespace zk::ini {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

void Classify(std::string_view text, IniLine& line) {
  std::size_t pos = line.begin;
  while (pos < line.end && text::IsBlank(text[pos])) ++pos;
  const std::string_view content = text.substr(pos, line.end - pos);
  if (content.empty() || content.front() == ';') return;
  if (content.front() == '[') {
    const std::size_t close = content.find(']');
    // "[name" without its bracket is neither a header nor a key.
    if (close == std::string_view::npos) return;
    line.kind = LineKind::Section;
    line.name = text::TrimBlanks(content.substr(1, close - 1));
    return;
  }
  const std::size_t equals = content.find('=');
  if (equals == std::string_view::npos) return;  // a line without '=' is ignored
  line.kind = LineKind::Key;
  line.name = text::TrimBlanks(content.substr(0, equals));
  std::size_t valueBegin = pos + equals + 1;
  std::size_t valueEnd = line.end;
  while (valueBegin < valueEnd && text::IsBlank(text[valueBegin])) ++valueBegin;
  while (valueEnd > valueBegin && text::IsBlank(text[valueEnd - 1])) --valueEnd;
  line.valueBegin = valueBegin;
  line.valueEnd = valueEnd;
}

}  // namespace

IniScanner::IniScanner(std::string_view text) : text_(text) {
  if (text_.substr(0, kUtf8Bom.size()) == kUtf8Bom) pos_ = kUtf8Bom.size();
}

bool IniScanner::Next(IniLine& line) {
  if (pos_ >= text_.size()) return false;
  line = IniLine{};
  line.begin = pos_;
  const std::size_t newline = text_.find('\n', pos_);
  if (newline == std::string_view::npos) {
    // A carriage return that ends the file ends its last line, as one
    // before a line feed does.
    line.next = text_.size();
    line.end = (line.next > pos_ && text_.back() == '\r') ? line.next - 1 : line.next;
  } else {
    line.next = newline + 1;
    line.end = (newline > pos_ && text_[newline - 1] == '\r') ? newline - 1 : newline;
  }
  pos_ = line.next;
  Classify(text_, line);
  return true;
}

KeyLocation Locate(std::string_view text, std::string_view section, std::string_view key) {
  const std::string_view wantedSection = text::TrimBlanks(section);
  const std::string_view wantedKey = text::TrimBlanks(key);
  KeyLocation found;
  IniScanner scanner(text);
  IniLine line;
  while (scanner.Next(line)) {
    if (line.kind == LineKind::Section) {
      if (found.section) break;  // the first section of that name has ended
      if (text::EqualsNoCase(line.name, wantedSection)) found.section = line;
    } else if (line.kind == LineKind::Key && found.section) {
      if (text::EqualsNoCase(line.name, wantedKey)) {
        found.key = line;
        break;
      }
      found.lastKey = line;
    }
  }
  return found;
}

}  // namespace zk::ini
