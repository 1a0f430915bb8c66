#pragma once
// The flash banks of the module description and the mapping of an address
// range onto them.
#include "common/Records.h"
#include "common/ResultCodes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zk::cmd {

class Session;

enum class BankOutcome {
  NotInFlash,  // the range starts in no bank
  InsideBank,  // wholly inside one bank; its base address has been set
  Clipped,     // starts in a bank and runs past its end: end was lowered
};

// Where a range lies, without telling the module anything.
struct BankPlace {
  BankOutcome outcome = BankOutcome::NotInFlash;
  uint32_t end = 0;        // the range end, lowered to the bank end when clipped
  uint32_t bankStart = 0;  // InsideBank: the bank's first address
};

// Places [start, end] on the banks. A range that ends at a bank's first
// byte, one byte long included, lies inside that bank.
BankPlace PlaceInBank(const std::string& modulePath, uint32_t start, uint32_t end);

// [start, start + length) cut at every bank end it crosses, as
// {start, length} pieces; what lies outside the banks stays one piece,
// which the module refuses.
struct AddressSpan {
  uint32_t start;
  uint32_t length;
};
std::vector<AddressSpan> SplitAtBankEnds(const std::string& modulePath, uint32_t start, uint32_t length);

// The worker's own copy of a range operation's record (none for a null
// record). With clip, the caller's record learns at once the end its
// bank's end lowers it to, as the worker will map it; nothing is sent.
std::optional<RangeRequest> WorkerCopy(const std::string& modulePath, RangeRequest* range, bool clip);

// Maps [start, end] onto the banks; end is lowered when the range is
// clipped. Inside one bank the module is given that bank's base address.
BankOutcome MapToBank(Session& session, const std::string& modulePath, uint32_t start, uint32_t& end);

// Command 0x0C: the flash base address and mode of record, repeated after
// line failures.
ResultCode SendBaseAddress(Session& session, const BaseAddressRecord& record);

// Gives the module the base address and mode of the bank starting at bankStart.
void SetBankBase(Session& session, const std::string& modulePath, uint32_t bankStart);

// The mode byte of the bank whose start is flashStart (0xFF when none).
uint8_t BankModeOf(const std::string& modulePath, uint32_t flashStart);

}  // namespace zk::cmd
