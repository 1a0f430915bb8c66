#pragma once
// The command line of zelkor: a subcommand, its arguments and options.
#include "common/ImageFormat.h"
#include "common/Records.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zk::cli {

enum class Subcommand { kNone, kModules, kPorts, kInfo, kFlash, kRead, kErase };
enum class EraseMode { kNeeded, kChip, kNone };

struct Options {
  Subcommand command = Subcommand::kNone;
  bool help = false;
  bool version = false;
  bool json = false;
  bool quiet = false;
  bool verbose = false;
  bool veryVerbose = false;  // -vv: -v and the wire trace on standard error
  // --trace [FILE]: the wire trace of the run; "" for standard error.
  std::optional<std::string> trace;

  std::string module;
  std::vector<std::string> ports;  // --port, repeatable, and the lines of --ports-file
  std::string passwordFile;
  ExitRequest disconnect{0, 0};
  std::string disconnectText = "none";

  // flash
  std::string image;
  std::optional<uint32_t> bank;
  std::optional<uint32_t> address;
  std::optional<ImageFormat> format;  // --format; nullopt: auto, by the image's content
  EraseMode erase = EraseMode::kNeeded;
  bool verify = false;
  std::string log;
  uint32_t timeoutSeconds = 0;  // gang: per module, 0 = none

  // read
  uint32_t start = 0;
  uint32_t end = 0;
  std::string output;

  // erase
  uint32_t firstSector = 0;
  uint32_t lastSector = 0;
  bool chip = false;

  std::string error;  // a usage error, empty when the line is sound
};

Options ParseOptions(int argc, const char* const* argv);

// A number by the programs' one rule (client/Numbers.h); 32 bits.
std::optional<uint32_t> ParseNumber(const std::string& text);

// The word of --format that names format: hex, srec, elf or bin.
std::string_view FormatWord(ImageFormat format);

// The help text of a subcommand (kNone: the program's).
const char* HelpText(Subcommand command);

}  // namespace zk::cli
