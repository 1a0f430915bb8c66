#include "cmd/BankMap.h"

#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/IniFileAccess.h"
#include "platform/Ini.h"

#include <algorithm>

namespace zk::cmd {
namespace {

constexpr uint32_t kAbsent = 0xFFFFFFFFu;
// The command layer reads the bank count with this default, which counts as one bank.
constexpr int32_t kBankCountAbsent = 255;

int BankCount(const std::string& modulePath) {
  const int32_t count = ini::GetInt(modulePath, "FlashConfig", "FlashBanks", kBankCountAbsent);
  if (count == kBankCountAbsent) return 1;
  return count < 0 ? 0 : (count > kMaxBanks ? kMaxBanks : count);
}

}  // namespace

uint8_t BankModeOf(const std::string& modulePath, uint32_t flashStart) {
  const IniFileAccess access(modulePath);
  const int count = BankCount(modulePath);
  int bank = 0;
  while (bank < count && static_cast<uint32_t>(access.FlashStart(bank)) != flashStart) ++bank;
  return static_cast<uint8_t>(access.FlashMode(bank));
}

BankPlace PlaceInBank(const std::string& modulePath, uint32_t start, uint32_t end) {
  const IniFileAccess access(modulePath);
  for (int bank = 0; bank < kMaxBanks; ++bank) {
    const auto s = static_cast<uint32_t>(access.FlashStart(bank));
    const auto e = static_cast<uint32_t>(access.FlashEnd(bank));
    if (s != kAbsent && start >= s && start <= e && end >= s && end <= e) return {BankOutcome::InsideBank, end, s};
    if (start >= s && start <= e && end > e) return {BankOutcome::Clipped, e, 0};
    if (s == kAbsent) break;
  }
  return {BankOutcome::NotInFlash, end, 0};
}

std::vector<AddressSpan> SplitAtBankEnds(const std::string& modulePath, uint32_t start, uint32_t length) {
  std::vector<AddressSpan> pieces;
  while (length > 0) {
    const uint32_t last = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{start} + length - 1, kAbsent));
    const BankPlace place = PlaceInBank(modulePath, start, last);
    if (place.outcome != BankOutcome::Clipped) break;
    const uint32_t piece = place.end - start + 1;
    pieces.push_back({start, piece});
    start += piece;
    length -= piece;
  }
  if (length > 0 || pieces.empty()) pieces.push_back({start, length});
  return pieces;
}

std::optional<RangeRequest> WorkerCopy(const std::string& modulePath, RangeRequest* range, bool clip) {
  if (range == nullptr) return std::nullopt;
  const RangeRequest copy = *range;
  if (clip) {
    const BankPlace place = PlaceInBank(modulePath, range->start, range->end);
    if (place.outcome == BankOutcome::Clipped) range->end = place.end;
  }
  return copy;
}

ResultCode SendBaseAddress(Session& session, const BaseAddressRecord& record) {
  return RunRepeatable(
      session, [&] { return request::BaseAddress(session.buffer, record); }, "base address");
}

void SetBankBase(Session& session, const std::string& modulePath, uint32_t bankStart) {
  SendBaseAddress(session, BaseAddressRecord{bankStart, BankModeOf(modulePath, bankStart)});
}

BankOutcome MapToBank(Session& session, const std::string& modulePath, uint32_t start, uint32_t& end) {
  const BankPlace place = PlaceInBank(modulePath, start, end);
  if (place.outcome == BankOutcome::InsideBank) SetBankBase(session, modulePath, place.bankStart);
  if (place.outcome == BankOutcome::Clipped) end = place.end;
  return place.outcome;
}

}  // namespace zk::cmd
