#include "modsim/FaultInjector.h"

#include "modsim/Numbers.h"

namespace zk::modsim {
namespace {

constexpr std::string_view kNames[kFaultKindCount] = {
    "nak-block",     "boot-nak",       "ignore-command", "wrong-echo",    "hostile-length",
    "delay-answer",  "handshake-echo", "boot-mute",      "erase-fail",    "slow-erase",
    "count-overrun", "long-list",      "endless-list",   "stx-flood",     "garbage-after-login",
    "cancel-rx",     "cancel-tx",      "drop-zero",      "repeat-answer", "short-answer",
};

std::size_t Index(FaultKind kind) { return static_cast<std::size_t>(kind); }

// Seeds of the two streams: far apart, both derived from the one seed.
uint64_t StreamSeed(uint64_t seed, uint64_t stream) {
  Random mixer(seed ^ (stream * 0xD1B54A32D192ED03ull));
  return mixer.Next();
}

}  // namespace

std::string_view FaultName(FaultKind kind) { return kNames[Index(kind)]; }

std::optional<FaultKind> FaultKindByName(std::string_view name) {
  for (std::size_t i = 0; i < kFaultKindCount; ++i) {
    if (kNames[i] == name) return static_cast<FaultKind>(i);
  }
  return std::nullopt;
}

std::optional<FaultRule> ParseFaultRule(std::string_view text, std::string* error) {
  auto fail = [&](std::string message) -> std::optional<FaultRule> {
    if (error) *error = std::move(message);
    return std::nullopt;
  };
  text = Trim(text);
  std::string_view valueText;
  if (const auto colon = text.find(':'); colon != std::string_view::npos) {
    valueText = text.substr(colon + 1);
    text = text.substr(0, colon);
  }
  std::string_view countText;
  if (const auto at = text.find('@'); at != std::string_view::npos) {
    countText = text.substr(at + 1);
    text = text.substr(0, at);
  }
  const auto kind = FaultKindByName(Trim(text));
  if (!kind) return fail("unknown fault \"" + std::string(text) + "\"");
  FaultRule rule{*kind, 1, std::nullopt};
  if (Trim(countText) == "*") {
    rule.occurrence = 0;
  } else if (!countText.empty()) {
    const auto count = ParseU32(countText);
    if (!count || *count == 0) return fail("bad occurrence \"" + std::string(countText) + "\" (1, 2, ... or *)");
    rule.occurrence = *count;
  }
  if (!valueText.empty()) {
    const auto value = ParseU32(valueText);
    if (!value) return fail("bad fault value \"" + std::string(valueText) + "\"");
    rule.value = *value;
  }
  return rule;
}

FaultInjector::FaultInjector(uint64_t seed, LineFaultRates rates)
    : rates_(rates), rx_(StreamSeed(seed, 1)), tx_(StreamSeed(seed, 2)) {}

void FaultInjector::ArmNext(FaultKind kind, std::optional<uint32_t> value) { armed_[Index(kind)] = FaultHit{value}; }

std::optional<FaultHit> FaultInjector::Check(FaultKind kind) {
  const std::size_t i = Index(kind);
  const uint32_t seen = ++seen_[i];
  if (armed_[i]) {
    const FaultHit hit = *armed_[i];
    armed_[i].reset();
    return hit;
  }
  for (const FaultRule& rule : rules_) {
    if (rule.kind == kind && (rule.occurrence == 0 || rule.occurrence == seen)) return FaultHit{rule.value};
  }
  return std::nullopt;
}

std::optional<uint8_t> FaultInjector::Filter(Random& random, double drop, double corrupt, uint8_t byte) {
  const double dropDraw = random.NextUnit();
  const double corruptDraw = random.NextUnit();
  const uint64_t bitDraw = random.Next();
  if (dropDraw < drop) return std::nullopt;
  if (corruptDraw < corrupt) return static_cast<uint8_t>(byte ^ (1u << (bitDraw % 8)));
  return byte;
}

}  // namespace zk::modsim
