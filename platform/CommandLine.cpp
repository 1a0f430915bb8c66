#include "platform/CommandLine.h"

#include <string_view>

namespace zk::process {
namespace {

constexpr std::string_view kBlanks = " \t\n\v";

void AppendArgument(std::string_view argument, std::string& line) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
    line += argument;
    return;
  }
  // Inside quotes a run of backslashes is literal unless a quote follows it
  // (or the closing quote does): then each one is doubled, and a quote of
  // the argument gets one more backslash.
  line += '"';
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      line.append(backslashes * 2 + 1, '\\');
    } else {
      line.append(backslashes, '\\');
    }
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, '\\');
  line += '"';
}

}  // namespace

std::string WindowsCommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    if (i == 0) {
      const bool quote = argv[0].empty() || argv[0].find_first_of(kBlanks) != std::string::npos;
      line += quote ? '"' + argv[0] + '"' : argv[0];
      continue;
    }
    line += ' ';
    AppendArgument(argv[i], line);
  }
  return line;
}

}  // namespace zk::process
