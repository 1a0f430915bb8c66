#pragma once
// The simulator's configuration, read from an INI file of its own. Every
// relative path in it is taken from the directory of that file.
#include "modsim/BootLoader.h"
#include "modsim/CommandDispatcher.h"
#include "modsim/FlashModel.h"
#include "modsim/IniFile.h"
#include "modsim/LinkPeer.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace zk::modsim {

struct ChannelParams {
  bool headerMode = false;  // a header message (type, length) precedes every message
  uint8_t type = 2;         // type code of the header messages
  Duration replyTimeout = Milliseconds(5000);
};

struct SimConfig {
  FirmwareParams firmware;
  Duration answerDelay{};
  ChannelParams channel;
  BootParams boot;
  LinkParams link;
  std::vector<FlashBank> banks;
  std::string imageFile;
  std::string bootFile;  // as resolved, for messages
  std::string flashFile;
};

class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws ConfigError naming the section and key of a bad value, or the file
// that could not be read.
SimConfig LoadConfig(const IniFile& ini, const std::string& baseDir);

// `name` in `dir`, the file name compared ignoring case; empty when absent.
std::string FindFileIgnoringCase(const std::string& dir, const std::string& name);
// A path from the configuration: backslashes become slashes, a relative one is
// taken from baseDir.
std::string ResolvePath(const std::string& baseDir, const std::string& path);

}  // namespace zk::modsim
