#include "platform/Telnet.h"

namespace zk::com::telnet {
namespace {

// Longest subnegotiation kept; the COM-PORT-OPTION needs a handful of bytes.
constexpr std::size_t kMaxSub = 64;

}  // namespace

void AppendData(std::span<const uint8_t> data, std::vector<uint8_t>& out) {
  for (const uint8_t b : data) {
    out.push_back(b);
    if (b == kIac) out.push_back(kIac);
  }
}

std::vector<uint8_t> Negotiation(uint8_t verb, uint8_t option) { return {kIac, verb, option}; }

std::vector<uint8_t> ComPortCommandFrame(uint8_t command, std::span<const uint8_t> value) {
  std::vector<uint8_t> frame{kIac, kSb, kComPort, command};
  AppendData(value, frame);
  frame.push_back(kIac);
  frame.push_back(kSe);
  return frame;
}

std::vector<uint8_t> SetBaudRateFrame(uint32_t rate) {
  const uint8_t value[4] = {static_cast<uint8_t>(rate >> 24), static_cast<uint8_t>(rate >> 16),
                            static_cast<uint8_t>(rate >> 8), static_cast<uint8_t>(rate)};
  return ComPortCommandFrame(kSetBaudRate, value);
}

void Decoder::Feed(std::span<const uint8_t> bytes, std::vector<uint8_t>& data, std::vector<Event>& events) {
  for (const uint8_t b : bytes) {
    switch (state_) {
      case State::Data:
        if (b == kIac) {
          state_ = State::Iac;
        } else {
          data.push_back(b);
        }
        break;
      case State::Iac:
        if (b == kIac) {
          data.push_back(kIac);
          state_ = State::Data;
        } else if (b >= kWill && b <= kDont) {
          verb_ = b;
          state_ = State::Verb;
        } else if (b == kSb) {
          sub_.clear();
          state_ = State::Sub;
        } else {
          state_ = State::Data;  // NOP, GA and the other one-byte commands
        }
        break;
      case State::Verb: {
        const Event::Kind kind = verb_ == kWill   ? Event::Kind::Will
                                 : verb_ == kWont ? Event::Kind::Wont
                                 : verb_ == kDo   ? Event::Kind::Do
                                                  : Event::Kind::Dont;
        events.push_back({kind, b, {}});
        state_ = State::Data;
        break;
      }
      case State::Sub:
        if (b == kIac) {
          state_ = State::SubIac;
        } else if (sub_.size() < kMaxSub) {
          sub_.push_back(b);
        }
        break;
      case State::SubIac:
        if (b == kIac) {
          if (sub_.size() < kMaxSub) sub_.push_back(kIac);
          state_ = State::Sub;
        } else {
          // IAC SE (or a broken sequence): the subnegotiation ends.
          if (sub_.size() >= 2 && sub_[0] == kComPort) {
            events.push_back({Event::Kind::ComPort, sub_[1], std::vector<uint8_t>(sub_.begin() + 2, sub_.end())});
          }
          state_ = State::Data;
        }
        break;
    }
  }
}

}  // namespace zk::com::telnet
