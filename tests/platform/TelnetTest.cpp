// The Telnet stream of remote ports, fed one byte at a time so that every
// sequence is split somewhere.
#include "platform/Telnet.h"

#include <gtest/gtest.h>

namespace zk::com::telnet {
namespace {

TEST(Telnet, DataAndCommandsComeApartWhereverTheStreamIsCut) {
  const std::vector<uint8_t> payload{0x41, kIac, 0x00, kIac, kIac};
  std::vector<uint8_t> stream;
  AppendData(payload, stream);
  EXPECT_EQ(stream, (std::vector<uint8_t>{0x41, kIac, kIac, 0x00, kIac, kIac, kIac, kIac}));
  // A baud rate reply with an IAC in its value, then an offer and more data.
  const std::vector<uint8_t> rate{0, 0, 0xE1, 0xFF};
  const std::vector<uint8_t> reply = ComPortCommandFrame(kServerOffset + kSetBaudRate, rate);
  stream.insert(stream.end(), reply.begin(), reply.end());
  for (const uint8_t b : std::vector<uint8_t>{kIac, kWill, 1, 0x42}) stream.push_back(b);

  Decoder decoder;
  std::vector<uint8_t> data;
  std::vector<Event> events;
  for (const uint8_t b : stream) decoder.Feed(std::span<const uint8_t>(&b, 1), data, events);
  EXPECT_EQ(data, (std::vector<uint8_t>{0x41, kIac, 0x00, kIac, kIac, 0x42}));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, Event::Kind::ComPort);
  EXPECT_EQ(events[0].option, kServerOffset + kSetBaudRate);
  EXPECT_EQ(events[0].value, rate);
  EXPECT_EQ(events[1].kind, Event::Kind::Will);
  EXPECT_EQ(events[1].option, 1);
}

}  // namespace
}  // namespace zk::com::telnet
