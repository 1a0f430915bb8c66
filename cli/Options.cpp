#include "cli/Options.h"

#include "client/Numbers.h"
#include "common/Records.h"
#include "platform/Files.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string_view>

namespace zk::cli {
namespace {

const std::map<std::string_view, Subcommand>& Commands() {
  static const std::map<std::string_view, Subcommand> commands = {
      {"modules", Subcommand::kModules}, {"ports", Subcommand::kPorts}, {"info", Subcommand::kInfo},
      {"flash", Subcommand::kFlash},     {"read", Subcommand::kRead},   {"erase", Subcommand::kErase}};
  return commands;
}

bool SetDisconnect(Options& o, const std::string& text) {
  o.disconnectText = text;
  if (text == "none") {
    o.disconnect = {ModeByte(ExitMode::kNone), 0};
  } else if (text == "swreset") {
    o.disconnect = {ModeByte(ExitMode::kSoftwareReset), 0};
  } else if (text == "hwreset") {
    o.disconnect = {ModeByte(ExitMode::kHardwareReset), 0};
  } else if (text.rfind("jump:", 0) == 0) {
    const std::optional<uint32_t> address = ParseNumber(text.substr(5));
    if (!address) return false;
    o.disconnect = {ModeByte(ExitMode::kJump), *address};
  } else {
    return false;
  }
  return true;
}

constexpr ImageFormat kFormats[] = {ImageFormat::kHex, ImageFormat::kSrec, ImageFormat::kElf, ImageFormat::kBinary};

bool SetFormat(Options& o, const std::string& text) {
  o.format.reset();
  if (text == "auto") return true;
  for (const ImageFormat format : kFormats) {
    if (text == FormatWord(format)) {
      o.format = format;
      return true;
    }
  }
  return false;
}

bool ReadPortsFile(Options& o, const std::string& path) {
  std::ifstream in(path);
  if (!in) return false;
  for (std::string line; std::getline(in, line);) {
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    const std::size_t last = line.find_last_not_of(" \t\r");
    o.ports.push_back(line.substr(first, last - first + 1));
  }
  return true;
}

// One option: whether it takes a value, the subcommands that accept it
// (empty: all), and what it does with the value. An optional value is the
// next word only when that does not look like an option ("-" does not).
struct OptionRule {
  bool value;
  std::vector<Subcommand> commands;
  std::function<bool(Options&, const std::string&)> apply;
  bool optionalValue = false;
};

// An option whose value is stored as it stands in field; an empty one is refused.
OptionRule TextOption(std::vector<Subcommand> commands, std::string Options::*field) {
  return {true, std::move(commands), [field](Options& o, const std::string& v) {
            o.*field = v;
            return !v.empty();
          }};
}

const std::map<std::string_view, OptionRule>& Rules() {
  using S = Subcommand;
  const std::vector<S> connected = {S::kInfo, S::kFlash, S::kRead, S::kErase};
  static const std::map<std::string_view, OptionRule> rules = {
      {"--json", {false, {}, [](Options& o, const std::string&) { return o.json = true; }}},
      {"-q", {false, {}, [](Options& o, const std::string&) { return o.quiet = true; }}},
      {"--quiet", {false, {}, [](Options& o, const std::string&) { return o.quiet = true; }}},
      {"-v", {false, {}, [](Options& o, const std::string&) { return o.verbose = true; }}},
      {"-vv", {false, {}, [](Options& o, const std::string&) { return o.verbose = o.veryVerbose = true; }}},
      {"--verbose", {false, {}, [](Options& o, const std::string&) { return o.verbose = true; }}},
      {"--module", TextOption(connected, &Options::module)},
      {"--port",
       {true, connected,
        [](Options& o, const std::string& v) {
          o.ports.push_back(v);
          return !v.empty();
        }}},
      {"--ports-file", {true, {S::kFlash}, ReadPortsFile}},
      {"--password-file",
       {true,
        {S::kFlash, S::kRead},
        [](Options& o, const std::string& v) {
          o.passwordFile = v;
          return true;
        }}},
      {"--disconnect", {true, connected, SetDisconnect}},
      {"--bank", {true, {S::kFlash}, [](Options& o, const std::string& v) { return bool(o.bank = ParseNumber(v)); }}},
      {"--address",
       {true, {S::kFlash}, [](Options& o, const std::string& v) { return bool(o.address = ParseNumber(v)); }}},
      {"--format", {true, {S::kFlash}, SetFormat}},
      {"--erase",
       {true,
        {S::kFlash},
        [](Options& o, const std::string& v) {
          if (v == "needed") {
            o.erase = EraseMode::kNeeded;
          } else if (v == "chip") {
            o.erase = EraseMode::kChip;
          } else if (v == "none") {
            o.erase = EraseMode::kNone;
          } else {
            return false;
          }
          return true;
        }}},
      {"--verify", {false, {S::kFlash}, [](Options& o, const std::string&) { return o.verify = true; }}},
      {"--log", TextOption({S::kFlash}, &Options::log)},
      {"--timeout",
       {true,
        {S::kFlash},
        [](Options& o, const std::string& v) {
          const std::optional<uint32_t> s = ParseNumber(v);
          o.timeoutSeconds = s.value_or(0);
          return s.has_value();
        }}},
      {"-o", TextOption({S::kRead}, &Options::output)},
      {"--output", TextOption({S::kRead}, &Options::output)},
      {"--chip", {false, {S::kErase}, [](Options& o, const std::string&) { return o.chip = true; }}},
      {"--trace",
       {false,
        {},
        [](Options& o, const std::string& v) {
          o.trace = v == "-" ? "" : v;
          return true;
        },
        true}},
  };
  return rules;
}

bool Accepts(const OptionRule& rule, Subcommand command) {
  if (rule.commands.empty()) return true;
  for (const Subcommand c : rule.commands) {
    if (c == command) return true;
  }
  return false;
}

// The positional arguments of the subcommand.
std::string TakePositional(Options& o, const std::vector<std::string>& args) {
  auto number = [](const std::string& text, uint32_t* out) {
    const std::optional<uint32_t> v = ParseNumber(text);
    if (v) *out = *v;
    return v.has_value();
  };
  switch (o.command) {
    case Subcommand::kModules:
    case Subcommand::kPorts: return args.empty() ? "" : "unexpected argument " + args[0];
    case Subcommand::kInfo:
      if (!args.empty()) return "unexpected argument " + args[0];
      return o.module.empty() ? "--module is required" : "";
    case Subcommand::kFlash:
      if (args.size() != 1) return "flash takes one IMAGE";
      o.image = args[0];
      if (o.module.empty()) return "--module is required";
      if (o.bank && o.address) return "--bank and --address exclude each other";
      return "";
    case Subcommand::kRead: {
      // START END (both included) or START+LENGTH.
      const std::size_t plus = args.size() == 1 ? args[0].find('+') : std::string::npos;
      if (args.size() != 2 && plus == std::string::npos) return "read takes START END or START+LENGTH";
      uint32_t length = 0;
      const bool numbers = plus == std::string::npos
                               ? number(args[0], &o.start) && number(args[1], &o.end)
                               : number(args[0].substr(0, plus), &o.start) && number(args[0].substr(plus + 1), &length);
      if (!numbers) return "START, END and LENGTH are numbers: " + std::string(client::NumberForms());
      if (plus != std::string::npos) {
        if (length == 0) return "LENGTH is 0";
        if (uint64_t{o.start} + length - 1 > 0xFFFFFFFFull) return "START+LENGTH runs past 4 GB";
        o.end = o.start + (length - 1);
      }
      if (o.end < o.start) return "END lies before START";
      if (o.output.empty()) return "-o FILE is required (- for standard output)";
      if (o.output == "-" && o.json) return "-o - and --json both want standard output";
      return o.module.empty() ? "--module is required" : "";
    }
    case Subcommand::kErase:
      if (o.chip != args.empty()) return "erase takes SECTOR [LAST] or --chip";
      if (args.size() > 2) return "erase takes SECTOR [LAST] or --chip";
      if (!args.empty()) {
        if (!number(args[0], &o.firstSector)) return "SECTOR is a number: " + std::string(client::NumberForms());
        o.lastSector = o.firstSector;
        if (args.size() == 2 && !number(args[1], &o.lastSector)) return "LAST is a number";
        if (o.lastSector < o.firstSector) return "LAST lies before SECTOR";
      }
      return o.module.empty() ? "--module is required" : "";
    case Subcommand::kNone: break;
  }
  return "";
}

}  // namespace

std::string_view FormatWord(ImageFormat format) {
  switch (format) {
    case ImageFormat::kHex: return "hex";
    case ImageFormat::kSrec: return "srec";
    case ImageFormat::kElf: return "elf";
    case ImageFormat::kBinary: break;
  }
  return "bin";
}

std::optional<uint32_t> ParseNumber(const std::string& text) { return client::ParseNumber(text); }

Options ParseOptions(int argc, const char* const* argv) {
  Options o;
  std::vector<std::string> positional;
  int i = 1;
  for (; i < argc && o.command == Subcommand::kNone; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else if (const auto found = Commands().find(arg); found != Commands().end()) {
      o.command = found->second;
    } else {
      o.error = arg[0] == '-' ? "unknown option " + arg : "unknown command " + arg;
      return o;
    }
  }
  if (o.help || o.version) return o;
  if (o.command == Subcommand::kNone) {
    o.error = "no command given";
    return o;
  }
  for (; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      o.help = true;
      return o;
    }
    if (arg.size() < 2 || arg[0] != '-' || (arg[1] >= '0' && arg[1] <= '9')) {
      positional.push_back(arg);
      continue;
    }
    std::string value;
    bool inlineValue = false;
    if (const std::size_t eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      inlineValue = true;
    }
    const auto rule = Rules().find(arg);
    if (rule == Rules().end() || !Accepts(rule->second, o.command)) {
      o.error = "unknown option " + arg;
      return o;
    }
    if (rule->second.value && !inlineValue) {
      if (i + 1 >= argc) {
        o.error = arg + " needs a value";
        return o;
      }
      value = argv[++i];
    } else if (rule->second.optionalValue && !inlineValue && i + 1 < argc &&
               (argv[i + 1][0] != '-' || std::string_view(argv[i + 1]) == "-")) {
      value = argv[++i];
    }
    if (!rule->second.apply(o, value)) {
      o.error = "bad value for " + arg + ": " + value;
      if (arg == "--address" || arg == "--bank" || arg == "--timeout") {
        o.error += " (" + std::string(client::NumberForms()) + ")";
      }
      return o;
    }
  }
  o.error = TakePositional(o, positional);
  if (o.error.empty() && o.trace && !o.trace->empty() && (*o.trace == o.image || *o.trace == o.output)) {
    o.error = "the trace would overwrite " + *o.trace;
  }
  return o;
}

}  // namespace zk::cli
