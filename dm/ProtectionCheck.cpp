#include "dm/ProtectionCheck.h"

#include "dm/State.h"

#include <algorithm>

namespace zk::dm {
namespace {

constexpr uint64_t kAddressSpace = uint64_t{1} << 32;

}  // namespace

ProtectionGuard::ProtectionGuard() {
  DmState& state = State();
  if (state.protectionOverride != 0) return;
  const IniFileAccess module(state.modulePath);
  const uint16_t count = AreaCount(module, AreaKind::Protected);
  if (count == 0) return;
  active_ = true;
  resolved_ = ReadAreas(module, AreaKind::Protected, count, state.window.start, state.window.end);
}

bool ProtectionGuard::Refused(uint32_t first, uint32_t last) const {
  if (resolved_.unresolved) return true;
  return std::any_of(resolved_.areas.begin(), resolved_.areas.end(),
                     [&](const AddressRange& area) { return Touches(first, last, area); });
}

ResultCode ProtectionGuard::Check(uint32_t first, uint32_t last) const {
  return active_ && Refused(first, last) ? kProtectedBySoftware : kOk;
}

ResultCode ProtectionGuard::CheckSpan(uint32_t start, uint64_t length) const {
  if (!active_ || length == 0) return kOk;
  const uint64_t end = uint64_t{start} + length;  // one past the last byte
  bool refused = false;
  if (end <= kAddressSpace) {
    refused = Refused(start, static_cast<uint32_t>(end - 1));
  } else {
    const uint64_t wrapped = std::min(end - kAddressSpace, kAddressSpace);
    refused = Refused(start, 0xFFFFFFFFu) || Refused(0, static_cast<uint32_t>(wrapped - 1));
  }
  return refused ? kProtectedBySoftware : kOk;
}

}  // namespace zk::dm
