#include "cmd/FrameNames.h"

#include "cmd/Command.h"
#include "cmd/Requests.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

namespace zk::cmd {
namespace {

// The code of the last request named: an answer without its echo is named
// by it.
std::atomic<uint8_t> g_lastRequest{0};

// The FrameNaming objects alive: the first lends the decoder, the last
// takes it back.
std::mutex g_lendersMutex;
int g_lenders = 0;

// The bytes of one entry of a list continuation: address and status.
constexpr std::size_t kEntryBytes = 5;
constexpr uint8_t kListContinues = 1;

}  // namespace

const char* CommandName(uint8_t code) {
  switch (static_cast<Command>(code)) {
    case Command::Login: return "Login";
    case Command::FindFlashLib: return "FindFlashLib";
    case Command::SectorStatus: return "SectorStatus";
    case Command::SelectFlashLib: return "SelectFlashLib";
    case Command::Program: return "Program";
    case Command::Read: return "Read";
    case Command::EraseSectors: return "EraseSectors";
    case Command::Exit: return "Exit";
    case Command::EraseBlocks: return "EraseBlocks";
    case Command::EraseChip: return "EraseChip";
    case Command::Password: return "Password";
    case Command::BaseAddress: return "BaseAddress";
    case Command::FirmwareGeneration: return "FirmwareGeneration";
    case Command::SectorStatusNext: return "SectorStatusNext";
    case Command::ReadNext: return "ReadNext";
    case Command::EraseSectorsNext: return "EraseSectorsNext";
    case Command::EraseBlocksNext: return "EraseBlocksNext";
  }
  return nullptr;
}

namespace {

// Little-endian fields of a frame; a field the frame does not carry reads
// as absent.
class Fields {
 public:
  explicit Fields(std::span<const uint8_t> frame) : frame_(frame) {}
  std::optional<uint32_t> U8(std::size_t at) const { return Le(at, 1); }
  std::optional<uint32_t> U16(std::size_t at) const { return Le(at, 2); }
  std::optional<uint32_t> U32(std::size_t at) const { return Le(at, 4); }
  std::size_t Size() const { return frame_.size(); }

 private:
  std::optional<uint32_t> Le(std::size_t at, std::size_t bytes) const {
    if (at + bytes > frame_.size()) return std::nullopt;
    uint32_t value = 0;
    for (std::size_t i = bytes; i-- > 0;) value = value << 8 | frame_[at + i];
    return value;
  }
  std::span<const uint8_t> frame_;
};

std::string Format(const char* format, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b, c, d);
  return text;
}

constexpr const char* kShort = " (short)";

std::string RequestFields(Command command, const Fields& f) {
  switch (command) {
    case Command::FindFlashLib:
      if (!f.U8(6)) return kShort;
      return Format(" selector %u, flash 0x%08X, mode %u", *f.U8(1), *f.U32(2), *f.U8(6));
    case Command::SectorStatus:
      if (!f.U32(9)) return kShort;
      return Format(" 0x%08X..0x%08X step %u", *f.U32(1), *f.U32(5), *f.U32(9));
    case Command::EraseSectors:
    case Command::EraseBlocks:
      if (!f.U32(9)) return kShort;
      return Format(" 0x%08X..0x%08X (%u)", *f.U32(1), *f.U32(5), *f.U32(9));
    case Command::SelectFlashLib:
      if (!f.U8(3)) return kShort;
      return Format(" library %02X %02X %02X", *f.U8(1), *f.U8(2), *f.U8(3));
    case Command::Program:
      if (!f.U16(5)) return kShort;
      return Format(" 0x%08X +%u", *f.U32(1), *f.U16(5));
    case Command::Read:
      if (!f.U32(5)) return kShort;
      return Format(" 0x%08X +%u", *f.U32(1), *f.U32(5));
    case Command::Exit:
      if (!f.U32(2)) return kShort;
      return Format(" mode %u, 0x%08X", *f.U8(1), *f.U32(2));
    case Command::Password:
      if (!f.U32(1)) return kShort;
      return Format(" +%u", *f.U32(1));
    case Command::BaseAddress:
      if (!f.U8(5)) return kShort;
      return Format(" 0x%08X mode %u", *f.U32(1), *f.U8(5));
    default:
      // The one-byte commands, and the continuations, whose bytes behind
      // the code are what the previous answer left.
      return "";
  }
}

std::string AnswerFields(Command command, const Fields& f) {
  const std::optional<uint32_t> status = f.U8(1);
  const std::optional<uint32_t> count = f.U16(2);
  switch (command) {
    case Command::Login:
      if (!f.U8(5)) return kShort;
      return Format(" word 0x%04X, version %u.%u.%u", *f.U16(1), *f.U8(3), *f.U8(4), *f.U8(5));
    case Command::FindFlashLib:
      if (!f.U16(7)) return kShort;
      if (*f.U16(1) == 0 && *f.U16(3) == 0 && *f.U16(5) == 0 && *f.U16(7) == 0) return " no further library";
      return Format(" library %04X %04X %04X %04X", *f.U16(1), *f.U16(3), *f.U16(5), *f.U16(7));
    case Command::SectorStatus:
      if (!count) return kShort;
      return Format(" status %u, %u entries", *status, *count);
    case Command::EraseSectors:
    case Command::EraseBlocks:
    case Command::EraseChip:
      if (!count) return kShort;
      return Format(" status %u, %u failed", *status, *count);
    case Command::Read:
    case Command::ReadNext:
      if (!count) return kShort;
      return Format(" status %u, +%u", *status, *count);
    case Command::SectorStatusNext:
    case Command::EraseSectorsNext:
    case Command::EraseBlocksNext:
      if (!status) return kShort;
      return Format(*status == kListContinues ? " more, %u entries" : " end, %u entries",
                    static_cast<uint32_t>((f.Size() - answer::kNextListEntries) / kEntryBytes));
    default:
      if (!status) return kShort;
      return Format(" status %u", *status);
  }
}

trace::FrameName NameRequest(std::span<const uint8_t> frame) {
  const uint8_t code = frame[0];
  g_lastRequest.store(code, std::memory_order_relaxed);
  const char* name = CommandName(code);
  if (name == nullptr) return {Format("%02X unknown command", code)};
  const auto command = static_cast<Command>(code);
  trace::FrameName named{Format("%02X ", code) + name + RequestFields(command, Fields(frame))};
  if (command == Command::Password) named.shownBytes = RowOf(Command::Password).length;
  return named;
}

trace::FrameName NameAnswer(std::span<const uint8_t> frame) {
  const uint8_t byte0 = frame[0];
  const uint8_t request = g_lastRequest.load(std::memory_order_relaxed);
  if (byte0 == kCurrentFirmwareMarker && request == Code(Command::FirmwareGeneration)) {
    return {Format("%02X FirmwareGeneration current", byte0)};
  }
  if (const char* name = CommandName(byte0)) {
    std::string text = Format("%02X ", byte0) + name + AnswerFields(static_cast<Command>(byte0), Fields(frame));
    if (byte0 != request) text += Format(" (while %02X was asked)", request);
    return {text};
  }
  const char* asked = CommandName(request);
  return {Format("%02X answer to %02X ", byte0, request) + (asked != nullptr ? asked : "nothing known") +
          " without its echo"};
}

}  // namespace

trace::FrameName NameFrame(trace::Direction direction, std::span<const uint8_t> frame) {
  if (frame.empty()) return {"empty frame"};
  return direction == trace::Direction::kToModule ? NameRequest(frame) : NameAnswer(frame);
}

FrameNaming::FrameNaming() {
  std::lock_guard lock(g_lendersMutex);
  if (g_lenders++ == 0) trace::SetFrameDecoder(&NameFrame);
}

FrameNaming::~FrameNaming() {
  std::lock_guard lock(g_lendersMutex);
  if (--g_lenders == 0) trace::ClearFrameDecoder(&NameFrame);
}

}  // namespace zk::cmd
