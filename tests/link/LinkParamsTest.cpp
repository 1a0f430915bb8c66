// What TN3964R_Initialize accepts.
#include "tests/link/LinkFixture.h"
#include "tests/support/Wine.h"

namespace zk::test {
namespace {

using namespace zk::link;

class LinkParamsTest : public LinkFixture {
 protected:
  uint8_t InitializeWith(void (*change)(LinkParams&)) {
    LinkParams changed = params;
    change(changed);
    const uint8_t result = link.Initialize(&changed);
    link.Shutdown();
    return result;
  }
};

TEST_F(LinkParamsTest, EachFieldIsCheckedAtItsBoundaries) {
  struct Case {
    const char* what;
    void (*change)(LinkParams&);
    uint8_t expected;
  };
  const Case cases[] = {
      {"baud 4800", [](LinkParams& p) { p.baudRate = 4800; }, kLinkOk},
      {"baud 57600", [](LinkParams& p) { p.baudRate = 57600; }, kLinkOk},
      {"baud 4799", [](LinkParams& p) { p.baudRate = 4799; }, kBaudRateRefused},
      {"baud 57601", [](LinkParams& p) { p.baudRate = 57601; }, kBaudRateRefused},
      {"parity 3", [](LinkParams& p) { p.parity = 3; }, kParityRefused},
      {"stop bits 3", [](LinkParams& p) { p.stopBits = 3; }, kStopBitsRefused},
      {"parity 2, stop bits 2", [](LinkParams& p) { p.parity = p.stopBits = 2; }, kLinkOk},
      {"priority 2", [](LinkParams& p) { p.priority = 2; }, kPriorityRefused},
      {"retries 0", [](LinkParams& p) { p.retries = 0; }, kRetriesRefused},
      {"retries 11", [](LinkParams& p) { p.retries = 11; }, kRetriesRefused},
      {"retries 10", [](LinkParams& p) { p.retries = 10; }, kLinkOk},
      {"char time-out 0", [](LinkParams& p) { p.charTimeout = 0; }, kCharTimeoutRefused},
      {"char time-out 1001", [](LinkParams& p) { p.charTimeout = 1001; }, kCharTimeoutRefused},
      {"ack time-out 6000", [](LinkParams& p) { p.ackTimeout = 6000; }, kLinkOk},
      {"ack time-out 6001", [](LinkParams& p) { p.ackTimeout = 6001; }, kAckTimeoutRefused},
      {"retry delay 0", [](LinkParams& p) { p.retryDelay = 0; }, kRetryDelayRefused},
      {"retry delay 3001", [](LinkParams& p) { p.retryDelay = 3001; }, kRetryDelayRefused},
      {"first refused field decides", [](LinkParams& p) { p.retries = 0, p.parity = 9; }, kParityRefused},
      {"rate without a termios constant", [](LinkParams& p) { p.baudRate = 5000; }, kLinkOk},
      {"no such port", [](LinkParams& p) { p.port = 0x8000; }, kLinkOpenFailed},
  };
  for (const Case& c : cases) EXPECT_EQ(InitializeWith(c.change), c.expected) << c.what;
}

TEST_F(LinkParamsTest, Bit15OfThePortIsClearedInTheCallersRecord) {
  params.port = 0x8000 | kPort;
  ASSERT_EQ(link.Initialize(&params), kLinkOk);
  EXPECT_EQ(params.port, kPort);
}

TEST_F(LinkParamsTest, APortOpenedTwiceFailsAndAReopenWorks) {
  if (UnderWine()) GTEST_SKIP() << kWineSharesPorts;
  Open();
  LinkDriver other;
  EXPECT_EQ(other.Initialize(&params), kLinkOpenFailed);
  EXPECT_FALSE(other.IsOpen());
  // Initialising an open link closes it first.
  EXPECT_EQ(link.Initialize(&params), kLinkOk);
  link.Shutdown();
  EXPECT_EQ(other.Initialize(&params), kLinkOk);
  other.Shutdown();
}

}  // namespace
}  // namespace zk::test
