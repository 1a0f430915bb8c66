#include "platform/FrameTrace.h"

#include "platform/Immortal.h"
#include "platform/Trace.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace zk::trace {
namespace {

struct DecoderSlot {
  std::mutex mutex;
  FrameDecoder decoder = nullptr;
};

DecoderSlot& Slot() {
  static zk::detail::Immortal<DecoderSlot> slot;
  return *slot;
}

FrameName Decode(Direction direction, std::span<const uint8_t> bytes) {
  DecoderSlot& slot = Slot();
  std::lock_guard lock(slot.mutex);
  if (slot.decoder == nullptr) return {"frame"};
  return slot.decoder(direction, bytes);
}

const char* Arrow(Direction direction) { return direction == Direction::kToModule ? "->" : "<-"; }

}  // namespace

void SetFrameDecoder(FrameDecoder decoder) {
  DecoderSlot& slot = Slot();
  std::lock_guard lock(slot.mutex);
  slot.decoder = decoder;
}

void ClearFrameDecoder(FrameDecoder decoder) {
  DecoderSlot& slot = Slot();
  std::lock_guard lock(slot.mutex);
  if (slot.decoder == decoder) slot.decoder = nullptr;
}

void Bytes(std::string_view lead, std::span<const uint8_t> bytes, std::size_t shown) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const std::size_t showing = std::min(shown, bytes.size());
  std::string line;
  line.reserve(lead.size() + 16 + 3 * showing + 24);
  line.append(lead);
  char count[40];
  std::snprintf(count, sizeof count, " [%zu]", bytes.size());
  line.append(count);
  for (std::size_t i = 0; i < showing; ++i) {
    line.push_back(' ');
    line.push_back(kDigits[bytes[i] >> 4]);
    line.push_back(kDigits[bytes[i] & 0x0F]);
  }
  if (showing < bytes.size()) {
    std::snprintf(count, sizeof count, " (%zu hidden)", bytes.size() - showing);
    line.append(count);
  }
  Text(line);
}

void Frame(Direction direction, std::span<const uint8_t> bytes, std::string_view name) {
  FrameName decoded;
  if (name.empty()) {
    decoded = Decode(direction, bytes);
  } else {
    decoded.text = name;
  }
  std::string lead = Arrow(direction);
  lead.push_back(' ');
  lead.append(decoded.text);
  Bytes(lead, bytes, decoded.shownBytes);
}

}  // namespace zk::trace
