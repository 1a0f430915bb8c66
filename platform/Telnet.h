#pragma once
// The Telnet stream of a remote serial port (RFC 854 with the COM-PORT-OPTION
// of RFC 2217): data with IAC (0xFF) doubled, option negotiation, and the
// subnegotiations that set and report the remote port's line. The decoder
// turns what the server sends into data bytes and events; it keeps no
// socket and no clock.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zk::com::telnet {

enum Byte : uint8_t {
  kSe = 240,
  kSb = 250,
  kWill = 251,
  kWont = 252,
  kDo = 253,
  kDont = 254,
  kIac = 255,
};

enum Option : uint8_t {
  kBinary = 0,
  kSuppressGoAhead = 3,
  kComPort = 44,
};

// Client to server commands of the COM-PORT-OPTION; the server answers
// each with its code + 100.
enum ComPortCommand : uint8_t {
  kSetBaudRate = 1,
  kSetDataSize = 2,
  kSetParity = 3,
  kSetStopSize = 4,
  kSetControl = 5,
  kNotifyLineState = 6,
  kNotifyModemState = 7,
  kSetLineStateMask = 10,
  kSetModemStateMask = 11,
  kPurgeData = 12,
};
inline constexpr uint8_t kServerOffset = 100;

enum ControlValue : uint8_t {
  kNoFlowControl = 1,
  kBreakOn = 5,
  kBreakOff = 6,
  kDtrOn = 8,
  kDtrOff = 9,
  kRtsOn = 11,
  kRtsOff = 12,
};
inline constexpr uint8_t kDataSize8 = 8;
inline constexpr uint8_t kParityNone = 1;
inline constexpr uint8_t kStopBits1 = 1;
enum PurgeValue : uint8_t { kPurgeReceive = 1, kPurgeTransmit = 2, kPurgeBoth = 3 };

// Appends data with every IAC doubled.
void AppendData(std::span<const uint8_t> data, std::vector<uint8_t>& out);
// IAC <verb> <option>.
std::vector<uint8_t> Negotiation(uint8_t verb, uint8_t option);
// IAC SB COM-PORT-OPTION <command> <value...> IAC SE, the value escaped.
std::vector<uint8_t> ComPortCommandFrame(uint8_t command, std::span<const uint8_t> value);
std::vector<uint8_t> SetBaudRateFrame(uint32_t rate);

struct Event {
  enum class Kind { Will, Wont, Do, Dont, ComPort } kind;
  uint8_t option = 0;          // negotiation: the option; ComPort: the server's code
  std::vector<uint8_t> value;  // ComPort: the value bytes, undoubled
};

class Decoder {
 public:
  // Decodes bytes from the server: data goes to data, everything else to
  // events, in order. Sequences split across calls are kept.
  void Feed(std::span<const uint8_t> bytes, std::vector<uint8_t>& data, std::vector<Event>& events);

 private:
  enum class State { Data, Iac, Verb, Sub, SubIac };
  State state_ = State::Data;
  uint8_t verb_ = 0;
  std::vector<uint8_t> sub_;
};

}  // namespace zk::com::telnet
