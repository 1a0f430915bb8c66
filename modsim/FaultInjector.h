#pragma once
// Seeded, reproducible faults. Line faults drop or corrupt single bytes with a
// probability, each direction from its own random stream (one stream per
// direction, three draws per byte whatever happens, so the outcome depends only
// on the seed and the bytes). Event faults fire at counted opportunities: a
// rule "nak-block@3" refuses the third block received, "@*" every one; a
// fault armed at run time fires at the next opportunity.
#include "modsim/Random.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zk::modsim {

enum class FaultKind : uint8_t {
  kNakBlock,       // the 3964R receiver refuses a block with a correct check character
  kBootNak,        // a flash-file frame is answered negatively (value: error byte, default 2)
  kIgnoreCommand,  // a firmware command is received but neither executed nor answered
  kWrongEcho,      // an answer's byte 0 is replaced (value: the byte; default code ^ 0x80)
  kHostileLength,  // an answer claims more data than it carries
  kDelayAnswer,    // an answer goes out late (value: milliseconds, default 1000)
  kHandshakeEcho,  // the handshake answers the index byte unchanged
  kBootMute,       // the boot loader leaves an answer out
  kEraseFail,      // an erased sector fails (status 0x21 in the list)
  kSlowErase,      // an erase takes longer (value: extra milliseconds, default 5000)
  // Hostile answers: a module that breaks the protocol's promises.
  kCountOverrun,       // an answer's count exceeds what its request or one answer can hold (value: by how much)
  kLongList,           // a list carries more entries than its count announces (value: how many more)
  kEndlessList,        // every continuation of a list says that more follows
  kStxFlood,           // in place of an answer, STX after STX (value: how many, default 5000)
  kGarbageAfterLogin,  // random bytes follow the login answer on the line (value: how many, default 1000)
  // Line faults the 3964R check character cannot see, on messages of at
  // least kFaultMessageMinimum bytes (requests and answers that carry data).
  kCancelRx,  // a received message has the same bit flipped in two bytes (value: the bit mask, default 1)
  kCancelTx,  // an answer goes out once with the same bit flipped in two bytes (value: the bit mask, default 1)
  kDropZero,  // an answer goes out once without its first 0x00 data byte
  // A module that answers twice, as one does that ran a repeated block again.
  kRepeatAnswer,  // an answer goes out a second time (value: milliseconds after the first, default 0)
  kShortAnswer,   // an answer with a count carries fewer bytes than it states (value: bytes kept, default half)
};
inline constexpr std::size_t kFaultKindCount = 20;

// The shortest message the invisible line faults touch, and the first byte
// they may change (past the header of a read answer or a program request).
inline constexpr std::size_t kFaultMessageMinimum = 16;
inline constexpr std::size_t kFaultFirstByte = 7;

std::string_view FaultName(FaultKind kind);
std::optional<FaultKind> FaultKindByName(std::string_view name);

struct FaultRule {
  FaultKind kind;
  uint32_t occurrence = 1;  // 1-based; 0 means every opportunity
  std::optional<uint32_t> value;
};

// "KIND[@N|@*][:VALUE]"; nullopt and a message when the text is not one.
std::optional<FaultRule> ParseFaultRule(std::string_view text, std::string* error);

struct LineFaultRates {
  double dropRx = 0, corruptRx = 0;
  double dropTx = 0, corruptTx = 0;
};

struct FaultHit {
  std::optional<uint32_t> value;
  uint32_t ValueOr(uint32_t fallback) const { return value.value_or(fallback); }
};

class FaultInjector {
 public:
  FaultInjector(uint64_t seed, LineFaultRates rates);

  void AddRule(const FaultRule& rule) { rules_.push_back(rule); }
  // Fires once, at the next opportunity of its kind.
  void ArmNext(FaultKind kind, std::optional<uint32_t> value);

  // Counts one opportunity of `kind`; the hit when a fault fires there.
  std::optional<FaultHit> Check(FaultKind kind);

  // While gate says false the line loses and corrupts nothing.
  void SetLineGate(std::function<bool()> gate) { gate_ = std::move(gate); }

  // The byte as it survives the line (nullopt: lost).
  std::optional<uint8_t> FilterRx(uint8_t byte) {
    if (gate_ && !gate_()) return byte;
    return Filter(rx_, rates_.dropRx, rates_.corruptRx, byte);
  }
  std::optional<uint8_t> FilterTx(uint8_t byte) {
    if (gate_ && !gate_()) return byte;
    return Filter(tx_, rates_.dropTx, rates_.corruptTx, byte);
  }

 private:
  static std::optional<uint8_t> Filter(Random& random, double drop, double corrupt, uint8_t byte);

  LineFaultRates rates_;
  std::function<bool()> gate_;
  Random rx_;
  Random tx_;
  std::vector<FaultRule> rules_;
  std::array<uint32_t, kFaultKindCount> seen_{};
  std::array<std::optional<FaultHit>, kFaultKindCount> armed_{};
};

}  // namespace zk::modsim
