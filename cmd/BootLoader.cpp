#include "cmd/BootLoader.h"

#include "cmd/BootFile.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Trace.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

namespace zk::cmd {
namespace {

constexpr int kHandshakeAttempts = 10;

struct RateIndex {
  uint32_t baud;
  uint8_t index;
};

constexpr std::array kHandshakeTable{
    RateIndex{300, 1},  RateIndex{600, 2},   RateIndex{1200, 3},  RateIndex{2400, 4},  RateIndex{4800, 5},
    RateIndex{9600, 6}, RateIndex{19200, 7}, RateIndex{38400, 8}, RateIndex{57600, 9}, RateIndex{115200, 10},
};

constexpr std::array kSpeedSwitchTable{
    RateIndex{9600, 0},
    RateIndex{19200, 1},
    RateIndex{38400, 2},
    RateIndex{57600, 3},
};

template <std::size_t N>
std::optional<uint8_t> Lookup(const std::array<RateIndex, N>& table, uint32_t baud) {
  for (const RateIndex& entry : table) {
    if (entry.baud == baud) return entry.index;
  }
  return std::nullopt;
}

ResultCode OpenError(com::OpenError error) {
  switch (error) {
    case com::OpenError::BadRate:
    case com::OpenError::CannotConfigure: return kComPortInit;
    default: return kComPortOpen;
  }
}

std::unique_ptr<com::SerialPort> OpenBootPort(const BootRequest& request, ResultCode& rc) {
  com::OpenError error = com::OpenError::None;
  auto port = com::OpenSerialPort(request.port, request.baud, &error);
  rc = port ? kOk : OpenError(error);
  return port;
}

bool AskRetry(const BootRequest& request) {
  return request.retryOnFailure && MessageBox(kConnectErrorText, "", MB_RETRYCANCEL | MB_ICONERROR) == IDRETRY;
}

void Report(const BootHooks& hooks, uint32_t percent) {
  if (hooks.setProgress) hooks.setProgress(percent);
}

void Step(const BootHooks& hooks, uint32_t increment) {
  if (hooks.addProgress) hooks.addProgress(increment);
}

uint32_t Scaled(uint32_t base, uint32_t span, std::size_t done, std::size_t total) {
  return total == 0 ? base : base + static_cast<uint32_t>(span * done / total);
}

// Asserts reset and boot together, then releases each when its delay has
// passed, both counted from that moment; on equal delays boot goes first.
void DriveBootLines(BootLine& line, const LineSettings& settings) {
  com::SerialPort& port = line.Port();
  const bool resetActive = settings.resetInverted == 0;
  const bool bootActive = settings.bootInverted == 0;
  port.SetRts(resetActive);
  port.SetDtr(bootActive);
  const uint32_t resetDelay = static_cast<uint32_t>(std::max(settings.releaseResetDelay, 0));
  const uint32_t bootDelay = static_cast<uint32_t>(std::max(settings.releaseBootDelay, 0));
  if (bootDelay <= resetDelay) {
    line.Sleep(bootDelay);
    port.SetDtr(!bootActive);
    line.Sleep(resetDelay - bootDelay);
    port.SetRts(!resetActive);
  } else {
    line.Sleep(resetDelay);
    port.SetRts(!resetActive);
    line.Sleep(bootDelay - resetDelay);
    port.SetDtr(!bootActive);
  }
}

// Any answer other than an acknowledge fails the flash file; the specific
// negative answers and read failures keep their own codes.
ResultCode ExpectAck(BootLine& line) {
  const ResultCode rc = line.ReadAnswer(nullptr);
  switch (rc) {
    case kOk:
    case kNoAnswer:
    case kReceiveTimeout:
    case kCommandNotSupported:
    case kReceiveChecksum:
    case kNoRamArea: return rc;
    default: return kFlashFileNotSent;
  }
}

std::optional<std::string> ReadFile(const std::string& path) { return files::ReadAll(path); }

// "memory write 0x002000 +248": what a frame is, for the trace; nothing is
// formatted while the trace is off.
std::string Label(const char* what, uint32_t address, std::size_t length) {
  if (!trace::Enabled()) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%s 0x%06X +%zu", what, address, length);
  return text;
}

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::optional<uint8_t> HandshakeIndex(uint32_t baud) { return Lookup(kHandshakeTable, baud); }
std::optional<uint8_t> SpeedSwitchIndex(uint32_t baud) { return Lookup(kSpeedSwitchTable, baud); }

ResultCode RunBaudHandshake(const BootRequest& request, const BootHooks& hooks) {
  const std::optional<uint8_t> index = HandshakeIndex(request.baud);
  if (!index) return kInvalidFileFormat;
  ResultCode rc = kOk;
  auto port = OpenBootPort(request, rc);
  if (!port) return rc;
  BootLine line(*port, hooks.timing);
  Step(hooks, 10);

  const uint8_t expected = static_cast<uint8_t>(~*index);
  for (;;) {
    line.DiscardInput();
    if (request.line.autoBoot != 0) {
      // This variant drives the lines in their plain sense.
      port->SetRts(true);
      port->SetDtr(true);
      line.Sleep(static_cast<uint32_t>(std::max(request.line.releaseResetDelay, 0)));
      port->SetRts(false);
      line.Sleep(static_cast<uint32_t>(std::max(request.line.releaseBootDelay, 0)));
      port->SetDtr(false);
    }
    const std::array<uint8_t, 2> wakeUp{0x00, 0x00};
    bool answered = line.Write(wakeUp, "wake-up") == kOk;
    bool matched = false;
    for (int attempt = 0; answered && attempt < kHandshakeAttempts && !matched; ++attempt) {
      uint8_t reply = 0;
      if (line.WriteByte(*index, "rate index") != kOk) break;
      matched = line.ReadByte(reply, "rate index, inverted") == kOk && reply == expected;
    }
    if (matched) {
      Step(hooks, 10);
      return kOk;
    }
    if (!AskRetry(request)) return kBootLoaderNotActive;
  }
}

ResultCode SendBootFile(BootLine& line, const std::string& path, const BootHooks& hooks) {
  const std::optional<std::string> file = ReadFile(path);
  if (!file) return kFileNotFound;
  const auto records = ParseBootFile(Bytes(*file));
  if (!records) return kBootFileNotSent;

  std::size_t sent = 0;
  for (const MemoryRecord& record : *records) {
    if (line.Write(record.data, "boot code") != kOk) return kSendFailed;
    sent += record.data.size();
    Report(hooks, Scaled(10, 20, sent, file->size()));
  }
  if (line.WriteByte(kBootEndOfBootCode, "end of boot code") != kOk) return kSendFailed;
  uint8_t verdict = 0;
  if (ResultCode rc = line.ReadByte(verdict, "boot code verdict"); rc != kOk) return rc;
  return verdict == kBootCodeAccepted ? kOk : kBootLoaderNotActive;
}

ResultCode SendFlashFile(BootLine& line, const BootRequest& request, const BootHooks& hooks) {
  const std::optional<std::string> file = ReadFile(request.flashFile);
  if (!file) return kFileNotFound;
  const auto records = ParseBootFile(Bytes(*file));
  if (!records || records->empty()) return kFlashFileNotSent;

  if (request.autoBaud) {
    const std::optional<uint8_t> speed = SpeedSwitchIndex(request.targetBaud);
    if (!speed) return kInvalidFileFormat;
    const std::array<uint8_t, 2> frame{kBootSpeedSwitch, *speed};
    if (line.Write(frame, "speed switch") != kOk) return kSendFailed;
    if (ResultCode rc = ExpectAck(line); rc != kOk) return rc;
    if (!line.Port().SetBaudRate(request.targetBaud)) return kComPortInit;
  }

  // Gather bytes into memory write frames: a frame goes out when it is full
  // or when the next byte does not follow the previous one.
  std::vector<uint8_t> pending;
  uint32_t frameAddress = 0;
  std::size_t sent = 0;
  auto flush = [&]() -> ResultCode {
    if (pending.empty()) return kOk;
    if (line.Write(MemoryWriteFrame(frameAddress, pending), Label("memory write", frameAddress, pending.size())) !=
        kOk) {
      return kSendFailed;
    }
    sent += pending.size();
    pending.clear();
    if (ResultCode rc = ExpectAck(line); rc != kOk) return rc;
    Report(hooks, Scaled(30, 40, sent, file->size()));
    return kOk;
  };
  for (const MemoryRecord& record : *records) {
    for (std::size_t i = 0; i < record.data.size(); ++i) {
      const uint32_t address = record.address + static_cast<uint32_t>(i);
      const bool follows = frameAddress + pending.size() == address;
      if (!pending.empty() && (pending.size() == kMaxMemoryWriteData || !follows)) {
        if (ResultCode rc = flush(); rc != kOk) return rc;
      }
      if (pending.empty()) frameAddress = address;
      pending.push_back(record.data[i]);
    }
  }
  if (ResultCode rc = flush(); rc != kOk) return rc;

  // The range: smallest start to largest end, an end being start plus count,
  // less one for an odd start, rounded up to an even address.
  uint32_t lowest = 0xFFFFFFFFu;
  uint32_t highest = 0;
  for (const MemoryRecord& record : *records) {
    lowest = std::min(lowest, record.address);
    uint32_t end = record.address + static_cast<uint32_t>(record.data.size());
    if (record.address & 1u) --end;
    end = (end + 1u) & ~1u;
    highest = std::max(highest, end);
  }
  const auto length = static_cast<uint16_t>((highest - lowest) & 0xFFFFu);
  const std::vector<uint8_t> range = RangeFrame(lowest, length);
  if (line.Write(range, Label("range", lowest, length)) != kOk) return kSendFailed;
  std::vector<uint8_t> answer;
  if (ResultCode rc = line.ReadAnswer(&answer); rc != kOk) return rc;

  if (line.Write(StartFrame(lowest, static_cast<uint8_t>(length), range.back()), Label("start", lowest, length)) !=
      kOk) {
    return kSendFailed;
  }
  return line.ReadAnswer(nullptr) == kOk ? kOk : kFlashFileNotSent;
}

ResultCode RunBootDownload(const BootRequest& request, const BootHooks& hooks) {
  ResultCode rc = kOk;
  auto port = OpenBootPort(request, rc);
  if (!port) return rc;
  BootLine line(*port, hooks.timing);

  for (;;) {
    if (request.line.autoBoot != 0) DriveBootLines(line, request.line);
    line.DiscardInput();
    if (line.WriteByte(0x00, "wake-up") != kOk) return kSendFailed;
    uint8_t identification = 0;
    rc = line.ReadByte(identification, "identification");
    if (rc == kOk) rc = SendBootFile(line, request.bootFile, hooks);
    if (rc == kOk) return SendFlashFile(line, request, hooks);
    if (!AskRetry(request)) return rc;
  }
}

}  // namespace zk::cmd
