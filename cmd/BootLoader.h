#pragma once
// Bringing the module's boot loader up over the raw serial port: the baud
// rate handshake alone, or the download of a boot file and a flash file.
#include "cmd/BootLine.h"
#include "common/ResultCodes.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zk::cmd {

// The RS232 line settings of the module description.
struct LineSettings {
  int32_t autoBoot = -1;
  int32_t releaseResetDelay = 100;
  int32_t releaseBootDelay = 1000;
  int32_t resetInverted = 0;
  int32_t bootInverted = 0;
};

struct BootRequest {
  unsigned port = 0;  // COMn
  uint32_t baud = 0;  // rate of the boot loader dialogue
  LineSettings line;
  std::string bootFile;  // boot download only
  std::string flashFile;
  bool autoBaud = false;  // switch the module to targetBaud before the flash file
  uint32_t targetBaud = 0;
  bool retryOnFailure = false;  // ask the user whether to retry a failed start
};

// Index byte of the handshake for a rate; nullopt outside the table.
std::optional<uint8_t> HandshakeIndex(uint32_t baud);
// Index of the flash-file speed switch; nullopt outside the table.
std::optional<uint8_t> SpeedSwitchIndex(uint32_t baud);

// Progress reports of the dialogue (absolute values of the login).
using ProgressSink = std::function<void(uint32_t percent)>;
using ProgressStep = std::function<void(uint32_t increment)>;

struct BootHooks {
  BootTiming timing;
  ProgressSink setProgress;
  ProgressStep addProgress;
};

ResultCode RunBaudHandshake(const BootRequest& request, const BootHooks& hooks);
ResultCode RunBootDownload(const BootRequest& request, const BootHooks& hooks);

// The steps of the download on an open port, for tests.
ResultCode SendBootFile(BootLine& line, const std::string& path, const BootHooks& hooks);
ResultCode SendFlashFile(BootLine& line, const BootRequest& request, const BootHooks& hooks);

// The text of the retry question.
inline constexpr const char* kConnectErrorText =
    "Error connecting to board. Please check your connection and activate the Bootsrap loader";

}  // namespace zk::cmd
