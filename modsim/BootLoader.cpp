#include "modsim/BootLoader.h"

#include "modsim/BaudRates.h"
#include "modsim/FaultInjector.h"
#include "modsim/Trace.h"

#include <cstdio>
#include <string>

namespace zk::modsim {
namespace {

constexpr std::size_t kMemoryWriteHeader = 5;  // code, address (3), count
constexpr std::size_t kSpeedSwitchLength = 2;
constexpr std::size_t kRangeLength = 7;
constexpr std::size_t kStartLength = 8;
constexpr uint8_t kStartMarker = 0x07;

uint32_t Address24(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
}

std::string Hex(const char* format, uint32_t value) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

}  // namespace

uint8_t BootChecksum(std::span<const uint8_t> bytes) {
  uint8_t sum = 0;
  for (const uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return static_cast<uint8_t>(-sum);
}

BootLoader::BootLoader(const BootParams& params, ByteSink& out, BootListener& listener, FaultInjector* faults,
                       Trace* trace)
    : params_(params), out_(out), listener_(listener), faults_(faults), trace_(trace) {
  Reset();
}

void BootLoader::Reset() {
  stage_ = Stage::kReset;
  settle_.reset();
  bootCode_.clear();
  frame_.clear();
  ram_.assign(params_.ramEnd - params_.ramStart + 1, 0);
  written_.assign(ram_.size(), false);
  range_.reset();
}

void BootLoader::Note(std::string_view text, TimePoint now) {
  if (trace_) trace_->Note(std::string("boot: ") + std::string(text), now);
}

void BootLoader::Answer(std::span<const uint8_t> bytes, std::string_view what, TimePoint now) {
  if (faults_ && faults_->Check(FaultKind::kBootMute)) {
    Note(std::string("fault: ") + std::string(what) + " left out", now);
    return;
  }
  if (trace_) trace_->Frame(Direction::kToHost, what, bytes.data(), bytes.size(), now);
  for (const uint8_t b : bytes) out_.Put(b, now);
}

void BootLoader::AnswerByte(uint8_t byte, std::string_view what, TimePoint now) {
  Answer(std::span<const uint8_t>(&byte, 1), what, now);
}

void BootLoader::Ack(TimePoint now) { AnswerByte(kBootAck, "boot ack", now); }

void BootLoader::Nak(BootError error, std::string_view why, TimePoint now) {
  Note(why, now);
  uint8_t frame[4] = {kBootNak, 0, static_cast<uint8_t>(error), 0};
  frame[3] = BootChecksum(std::span<const uint8_t>(frame, 3));
  Answer(frame, "boot nak", now);
}

void BootLoader::Hang(std::string_view why, TimePoint now) {
  Note(std::string(why) + "; the module hangs until it is reset", now);
  stage_ = Stage::kHung;
}

Deadline BootLoader::NextDeadline() const {
  if (stage_ == Stage::kReset) return std::nullopt;
  Deadline deadline = lastByte_ + params_.silenceReset;
  deadline = Earliest(deadline, settle_);
  if (stage_ == Stage::kBootRunning && !frame_.empty()) {
    deadline = Earliest(deadline, lastByte_ + params_.frameTimeout);
  }
  return deadline;
}

void BootLoader::OnTimer(TimePoint now) {
  if (settle_ && now >= *settle_) {
    settle_.reset();
    if (stage_ == Stage::kZero) {
      AnswerByte(params_.identByte, "boot ident", now);
      stage_ = Stage::kBootCode;
      lastByte_ = now;
    }
  }
  if (stage_ == Stage::kReset) return;
  if (now >= lastByte_ + params_.silenceReset) {
    Note("line silent, back to the reset state", now);
    Reset();
    return;
  }
  if (stage_ == Stage::kBootRunning && !frame_.empty() && now >= lastByte_ + params_.frameTimeout) {
    Note("frame incomplete, discarded: " + std::to_string(frame_.size()) + " bytes", now);
    frame_.clear();
  }
}

void BootLoader::OnByte(uint8_t c, TimePoint now) {
  lastByte_ = now;
  switch (stage_) {
    case Stage::kReset:
      if (c != 0x00) return;  // noise before the dialogue
      if (trace_) trace_->Frame(Direction::kFromHost, "boot 0x00", &c, 1, now);
      listener_.OnRate(listener_.MeasureHostRate(), now);
      if (params_.expect == BootExpect::kDownload) {
        AnswerByte(params_.identByte, "boot ident", now);
        stage_ = Stage::kBootCode;
        return;
      }
      stage_ = Stage::kZero;
      if (params_.expect == BootExpect::kAuto) settle_ = now + params_.settleTime;
      return;
    case Stage::kZero:
      settle_.reset();
      if (c == 0x00) {
        stage_ = Stage::kHandshake;
      } else {
        Note(Hex("0x%02X after a single 0x00, ignored", c), now);
        stage_ = Stage::kReset;
      }
      return;
    case Stage::kHandshake: OnHandshakeByte(c, now); return;
    case Stage::kBootCode: OnBootCodeByte(c, now); return;
    case Stage::kBootRunning: OnFrameByte(c, now); return;
    case Stage::kHung: return;
  }
}

void BootLoader::OnHandshakeByte(uint8_t c, TimePoint now) {
  if (c == 0x00) return;
  if (trace_) trace_->Frame(Direction::kFromHost, "handshake", &c, 1, now);
  const uint32_t rate = HandshakeRate(c);
  if (rate == 0) {
    Note(Hex("0x%02X is no handshake index, ignored", c), now);
    return;
  }
  if (faults_ && faults_->Check(FaultKind::kHandshakeEcho)) {
    AnswerByte(c, "handshake (fault: index echoed)", now);
    return;
  }
  AnswerByte(static_cast<uint8_t>(~c), "handshake", now);
  listener_.OnRate(rate, now);
  stage_ = Stage::kReset;
  listener_.OnFirmwareStart(now);
}

void BootLoader::OnBootCodeByte(uint8_t c, TimePoint now) {
  if (!params_.bootCode) {
    if (c != kBootEndOfBootCode) {
      bootCode_.push_back(c);
      return;
    }
    Note("boot code of " + std::to_string(bootCode_.size()) + " bytes runs", now);
    stage_ = Stage::kBootRunning;
    OnFrameByte(c, now);
    return;
  }
  bootCode_.push_back(c);
  if (bootCode_.size() < params_.bootCode->size()) return;
  if (trace_) trace_->Frame(Direction::kFromHost, "boot code", bootCode_.data(), bootCode_.size(), now);
  if (bootCode_ != *params_.bootCode) {
    Hang("the boot code received differs from the expected one", now);
    return;
  }
  stage_ = Stage::kBootRunning;
}

std::size_t BootLoader::FrameLength() const {
  switch (frame_[0]) {
    case kBootEndOfBootCode: return 1;
    case kBootMemoryWrite: return frame_.size() < kMemoryWriteHeader ? 0 : kMemoryWriteHeader + frame_[4] + 1;
    case kBootSpeedSwitch: return kSpeedSwitchLength;
    case kBootRange: return kRangeLength;
    case kBootStart: return kStartLength;
    default: return 1;  // unknown: refused at once
  }
}

void BootLoader::OnFrameByte(uint8_t c, TimePoint now) {
  frame_.push_back(c);
  const std::size_t length = FrameLength();
  if (length == 0 || frame_.size() < length) return;
  if (trace_) trace_->Frame(Direction::kFromHost, "boot", frame_.data(), frame_.size(), now);
  HandleFrame(now);
  frame_.clear();
}

void BootLoader::HandleFrame(TimePoint now) {
  switch (frame_[0]) {
    case kBootEndOfBootCode: AnswerByte(kBootCodeAccepted, "boot check", now); return;
    case kBootMemoryWrite: HandleMemoryWrite(now); return;
    case kBootSpeedSwitch: HandleSpeedSwitch(now); return;
    case kBootRange: HandleRange(now); return;
    case kBootStart: HandleStart(now); return;
    default: Nak(BootError::kUnsupported, Hex("unknown command 0x%02X", frame_[0]), now); return;
  }
}

void BootLoader::HandleMemoryWrite(TimePoint now) {
  if (BootChecksum(frame_) != 0) {
    Nak(BootError::kChecksum, "memory write: checksum wrong", now);
    return;
  }
  const uint32_t address = Address24(&frame_[1]);
  const std::size_t count = frame_[4];
  if (count == 0) {
    Nak(BootError::kUnsupported, "memory write without data", now);
    return;
  }
  if (address < params_.ramStart || address + count - 1 > params_.ramEnd) {
    Nak(BootError::kNoRam, Hex("memory write at 0x%06X outside the RAM area", address), now);
    return;
  }
  if (faults_) {
    if (const auto hit = faults_->Check(FaultKind::kBootNak)) {
      Nak(static_cast<BootError>(hit->ValueOr(static_cast<uint32_t>(BootError::kChecksum))),
          "fault: memory write refused", now);
      return;
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    ram_[address - params_.ramStart + i] = frame_[kMemoryWriteHeader + i];
    written_[address - params_.ramStart + i] = true;
  }
  Ack(now);
}

void BootLoader::HandleSpeedSwitch(TimePoint now) {
  const uint32_t rate = SpeedSwitchRate(frame_[1]);
  if (rate == 0) {
    Nak(BootError::kUnsupported, Hex("speed switch to unknown index %u", frame_[1]), now);
    return;
  }
  Ack(now);  // still at the old rate
  Note("speed switch to " + std::to_string(rate) + " baud", now);
  listener_.OnRate(rate, now);
}

void BootLoader::HandleRange(TimePoint now) {
  if (BootChecksum(frame_) != 0) {
    Nak(BootError::kChecksum, "range announcement: checksum wrong", now);
    return;
  }
  range_ = Range{Address24(&frame_[1]), frame_[5], frame_[6]};
  Note(Hex("range from 0x%06X", range_->start) +
           Hex(", length 0x%04X", (static_cast<uint32_t>(frame_[4]) << 8) | frame_[5]),
       now);
  Ack(now);
}

void BootLoader::HandleStart(TimePoint now) {
  if (BootChecksum(frame_) != 0) {
    Nak(BootError::kChecksum, "start frame: checksum wrong", now);
    return;
  }
  if (!range_) {
    Nak(BootError::kUnsupported, "start frame without a range announcement", now);
    return;
  }
  if (Address24(&frame_[1]) != range_->start || frame_[4] != kStartMarker || frame_[5] != range_->lengthLow ||
      frame_[6] != range_->checksum) {
    Nak(BootError::kChecksum, "start frame does not repeat the range announcement", now);
    return;
  }
  Ack(now);
  if (!FirmwareMatches()) {
    Hang("the loaded flash file differs from the expected firmware", now);
    return;
  }
  Note("firmware starts", now);
  stage_ = Stage::kReset;
  listener_.OnFirmwareStart(now);
}

bool BootLoader::FirmwareMatches() const {
  if (!params_.firmware) return true;
  for (const auto& record : params_.firmware->records) {
    for (std::size_t i = 0; i < record.data.size(); ++i) {
      const uint64_t address = static_cast<uint64_t>(record.address) + i;
      if (address < params_.ramStart || address > params_.ramEnd) return false;
      const std::size_t at = static_cast<std::size_t>(address - params_.ramStart);
      if (!written_[at] || ram_[at] != record.data[i]) return false;
    }
  }
  return true;
}

}  // namespace zk::modsim
