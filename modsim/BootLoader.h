#pragma once
// The module's boot loader on the raw line, from reset until the firmware
// takes over.
//
// Reset state: a 0x00 starts the dialogue. Two 0x00 in a row are the baud
// rate handshake: a valid index byte (1..10) is answered with its complement
// and the resident firmware starts at the index's rate. A single 0x00 that no
// second one follows within the settle time is the boot download: the
// identification byte answers it, then the raw boot code arrives (exempt from
// receive pacing). When the expected number of bytes is in and matches the
// expected boot code, the boot code runs and speaks the flash-file protocol:
// 0x30 -> 0xAA, memory writes into RAM, speed switch, range announcement and
// start frame, each answered with ACK or a NAK frame carrying an error byte.
// After the start frame the loaded firmware runs when it is the expected one;
// otherwise the module hangs. A boot stage that hears nothing for the silence
// time returns to the reset state, as the host's reset sequence would reset it.
#include "common/ModuleCodes.h"
#include "modsim/BootRecords.h"
#include "modsim/ByteSink.h"
#include "modsim/Clock.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace zk::modsim {

class FaultInjector;
class Trace;

enum class BootExpect : uint8_t { kAuto, kDownload, kHandshake };

// Error bytes of a NAK frame.
enum class BootError : uint8_t {
  kUnsupported = 1,  // unknown or malformed command
  kChecksum = 2,     // checksum or echo bytes wrong
  kNoRam = 3,        // address outside the RAM area
};

struct BootParams {
  BootExpect expect = BootExpect::kAuto;
  uint8_t identByte = 0x5A;
  // The raw boot code the module expects; none: the boot code ends at the first 0x30.
  std::optional<std::vector<uint8_t>> bootCode;
  // The firmware the flash file must load; none: whatever was loaded runs.
  std::optional<RecordFile> firmware;
  uint32_t ramStart = 0x200000;
  uint32_t ramEnd = 0x20FFFF;
  Duration settleTime = Milliseconds(50);
  Duration frameTimeout = Milliseconds(200);
  Duration silenceReset = Milliseconds(900);
};

class BootListener {
 public:
  virtual ~BootListener() = default;
  // The rate the host sends at, as the boot loader measures it from a 0x00; 0 if unknown.
  virtual uint32_t MeasureHostRate() = 0;
  // The line rate changes for everything sent and received from now on.
  virtual void OnRate(uint32_t baud, TimePoint now) = 0;
  // The firmware takes over the line.
  virtual void OnFirmwareStart(TimePoint now) = 0;
};

class BootLoader {
 public:
  enum class Stage { kReset, kZero, kHandshake, kBootCode, kBootRunning, kHung };

  BootLoader(const BootParams& params, ByteSink& out, BootListener& listener, FaultInjector* faults, Trace* trace);

  void OnByte(uint8_t c, TimePoint now);
  void OnTimer(TimePoint now);
  Deadline NextDeadline() const;
  // The raw boot code burst is not paced on reception.
  bool ExemptFromPacing() const { return stage_ == Stage::kBootCode; }

  void Reset();
  Stage stage() const { return stage_; }

 private:
  void Answer(std::span<const uint8_t> bytes, std::string_view what, TimePoint now);
  void AnswerByte(uint8_t byte, std::string_view what, TimePoint now);
  void Ack(TimePoint now);
  void Nak(BootError error, std::string_view why, TimePoint now);
  void Note(std::string_view text, TimePoint now);
  void Hang(std::string_view why, TimePoint now);

  void OnHandshakeByte(uint8_t c, TimePoint now);
  void OnBootCodeByte(uint8_t c, TimePoint now);
  void OnFrameByte(uint8_t c, TimePoint now);
  std::size_t FrameLength() const;  // 0 while not yet known
  void HandleFrame(TimePoint now);
  void HandleMemoryWrite(TimePoint now);
  void HandleSpeedSwitch(TimePoint now);
  void HandleRange(TimePoint now);
  void HandleStart(TimePoint now);
  bool FirmwareMatches() const;

  BootParams params_;
  ByteSink& out_;
  BootListener& listener_;
  FaultInjector* faults_;
  Trace* trace_;

  Stage stage_ = Stage::kReset;
  TimePoint lastByte_{};
  Deadline settle_;
  std::vector<uint8_t> bootCode_;
  std::vector<uint8_t> frame_;
  std::vector<uint8_t> ram_;
  std::vector<bool> written_;
  struct Range {
    uint32_t start;
    uint8_t lengthLow;
    uint8_t checksum;
  };
  std::optional<Range> range_;
};

// The checksum byte of a boot-loader frame: the two's complement of the sum of
// the bytes before it.
uint8_t BootChecksum(std::span<const uint8_t> bytes);

}  // namespace zk::modsim
