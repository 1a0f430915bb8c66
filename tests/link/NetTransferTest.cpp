// Blocks through the transport to and from the scripted peer.
#include "tests/link/NetFixture.h"
#include "tests/support/Env.h"

namespace zk::test {
namespace {

using namespace zk::link;
using Bytes = std::vector<uint8_t>;

class NetTransferTest : public NetFixture {};

TEST_F(NetTransferTest, RawModeRoundTrip) {
  Open(kNetModeRawBit);
  EXPECT_EQ(net.GetRxStatus(), kNetNoReceive);
  Bytes answer(64);
  ASSERT_EQ(net.RecData(answer.data(), 64, 2, 0), kNetOk);
  EXPECT_EQ(net.GetRxStatus(), kNetRxPending);

  const Bytes request = Pattern(1500);
  auto sent = SendAsync(request);
  std::vector<std::size_t> frames;
  const auto received = peer.ReceiveMessage(&frames);
  EXPECT_EQ(sent.get(), kNetOk);
  ASSERT_TRUE(received);
  EXPECT_EQ(*received, request);
  EXPECT_EQ(frames, (std::vector<std::size_t>{1024, 476}));

  const Bytes reply{0x81, kDle, 0x00, 0x42};
  ASSERT_TRUE(peer.SendMessage(reply, 1024));
  ASSERT_TRUE(WaitFor([&] { return net.GetRxStatus() != kNetRxPending; }));
  EXPECT_EQ(net.GetRxStatus(), kNetOk);
  EXPECT_EQ(net.GetRxStatus(), kNetOk);  // stays until the next receive
  EXPECT_TRUE(std::equal(reply.begin(), reply.end(), answer.begin()));
  ASSERT_EQ(net.RecData(answer.data(), 64, 2, 0), kNetOk);
  EXPECT_EQ(net.GetRxStatus(), kNetRxPending);
}

TEST_F(NetTransferTest, HeaderModeSendAnnouncesTheBlockAndWaitsForTheReply) {
  Open(0, "RawMode=0\nSendLockTime=1\n");
  ASSERT_FALSE(net.rawMode());
  const Bytes data = Pattern(1500);
  auto sent = SendAsync(data, 7);  // no type of its own: 0xFF
  const auto header = peer.ReceiveMessage();
  ASSERT_TRUE(header);
  EXPECT_EQ(*header, (Bytes{0xFF, 0xDC, 0x05}));
  ASSERT_TRUE(peer.SendMessage(Bytes{0x00, 0x00}, 1024));
  const auto body = peer.ReceiveMessage();
  EXPECT_EQ(sent.get(), kNetOk);
  ASSERT_TRUE(body);
  EXPECT_EQ(*body, data);
}

TEST_F(NetTransferTest, HeaderModeSendStopsAtARefusalOrAMissingReply) {
  Open(0, "RawMode=0\nSendLockTime=1\n");
  const Bytes data = Pattern(10);
  auto refused = SendAsync(data);
  ASSERT_TRUE(peer.ReceiveMessage());
  ASSERT_TRUE(peer.SendMessage(Bytes{0x00, 0xFF}, 1024));
  EXPECT_EQ(refused.get(), kNetLinkError);
  EXPECT_TRUE(peer.Quiet(20));  // the data did not follow

  services.autoStep = 200;  // the 5000 ms wait passes quickly
  auto unanswered = SendAsync(data);
  ASSERT_TRUE(peer.ReceiveMessage());
  EXPECT_EQ(unanswered.get(), kNetLinkError);
  EXPECT_TRUE(peer.Quiet(20));
}

TEST_F(NetTransferTest, HeaderModeReceiveRepliesToTheHeaderAndTakesTheBlock) {
  Open(0, "RawMode=0\nSendLockTime=1\n");
  Bytes buffer(4096);
  ASSERT_EQ(net.RecData(buffer.data(), 4096, 2, 1000), kNetOk);
  auto status = FinalStatusAsync();
  ASSERT_TRUE(peer.SendMessage(Bytes{2, 3, 0}, 1024));
  const auto reply = peer.ReceiveMessage();
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, (Bytes{0x00, 0x00}));
  ASSERT_TRUE(peer.SendMessage(Bytes{7, 8, 9}, 1024));
  EXPECT_EQ(status.get(), kNetOk);
  EXPECT_EQ(buffer[0], 7);
  EXPECT_EQ(buffer[2], 9);
}

TEST_F(NetTransferTest, HeaderModeRefusesAWrongTypeAndAnOversizedBlock) {
  Open(0, "RawMode=0\nSendLockTime=1\n");
  Bytes buffer(4096);
  struct Case {
    Bytes header;
    uint8_t status;
  };
  for (const Case& c : {Case{{1, 3, 0}, kNetHeaderType}, Case{{2, 0x88, 0x13}, kNetHeaderLength}}) {
    ASSERT_EQ(net.RecData(buffer.data(), 4096, 2, 1000), kNetOk);
    auto status = FinalStatusAsync();
    ASSERT_TRUE(peer.SendMessage(c.header, 1024));
    const auto reply = peer.ReceiveMessage();
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, (Bytes{0x00, 0xFF}));
    EXPECT_EQ(status.get(), c.status);
    EXPECT_EQ(net.GetRxStatus(), c.status);
  }
}

TEST_F(NetTransferTest, ReceiveTimesOutOnlyWithATimeOutAndNotWhileABlockArrives) {
  Open(kNetModeRawBit);
  Bytes buffer(64);
  ASSERT_EQ(net.RecData(buffer.data(), 64, 2, 30), kNetOk);
  services.now += 30;
  EXPECT_EQ(net.GetRxStatus(), kNetRxPending);
  services.now += 1;
  EXPECT_EQ(net.GetRxStatus(), kNetRxTimeout);
  services.now += 1000;
  EXPECT_EQ(net.GetRxStatus(), kNetRxTimeout);

  ASSERT_EQ(net.RecData(buffer.data(), 64, 2, 0), kNetOk);
  services.now += 100000;
  EXPECT_EQ(net.GetRxStatus(), kNetRxPending);
  net.RestartRxTimeOut(40000);
  services.now += 40001;
  EXPECT_EQ(net.GetRxStatus(), kNetRxTimeout);

  ASSERT_EQ(net.RecData(buffer.data(), 64, 2, 30), kNetOk);
  peer.Write({kStx});
  ASSERT_TRUE(peer.Expect(kDle));
  peer.Write({1, 2});
  EXPECT_EQ(net.GetRxStatus(), kNetRxPending);
  services.now += 500;
  EXPECT_EQ(net.GetRxStatus(), kNetRxPending);  // the block is arriving
  const Bytes rest{3, kDle, kEtx, static_cast<uint8_t>(1 ^ 2 ^ 3 ^ kDle ^ kEtx)};
  peer.Write(rest);
  ASSERT_TRUE(peer.Expect(kDle));
  ASSERT_TRUE(WaitFor([&] { return net.GetRxStatus() != kNetRxPending; }));
  EXPECT_EQ(net.GetRxStatus(), kNetOk);
}

TEST_F(NetTransferTest, AFailedReceptionIsALinkError) {
  Open(kNetModeRawBit);
  Bytes buffer(4);
  ASSERT_EQ(net.RecData(buffer.data(), 4, 2, 0), kNetOk);
  peer.Write({kStx});
  ASSERT_TRUE(peer.Expect(kDle));
  peer.Write(Peer3964::FrameWire(Pattern(8), true));  // too long for the buffer
  ASSERT_TRUE(WaitFor([&] { return net.GetRxStatus() != kNetRxPending; }));
  EXPECT_EQ(net.GetRxStatus(), kNetLinkError);
}

TEST_F(NetTransferTest, FramesGoOutAtLeastTheSendLockTimeApart) {
  Open(kNetModeRawBit, "MessageBeep=1\n");  // no SendLockTime: 20 ms
  EXPECT_EQ(net.sendLockTime(), 20u);
  const Bytes data{1, 2};
  const auto sendOne = [&] {
    auto sent = SendAsync(data);
    EXPECT_TRUE(peer.ReceiveMessage());
    EXPECT_EQ(sent.get(), kNetOk);
  };
  services.now += 5;
  sendOne();  // due too soon after the initialisation: waits 20 ms
  EXPECT_EQ(services.sleeps(), std::vector<uint32_t>{20});
  EXPECT_EQ(services.beeps, 1);
  services.now += 20;
  sendOne();
  EXPECT_EQ(services.sleeps().size(), 1u);
  services.now += 19;
  sendOne();
  EXPECT_EQ(services.sleeps(), (std::vector<uint32_t>{20, 20}));
}

TEST_F(NetTransferTest, InitializeChecksItsModeAndReportsTheLink) {
  ini = Module("RawMode=0\n");
  ASSERT_EQ(ports.SelectParams(ini.c_str(), kSection), 1);
  NetInfo* info = nullptr;
  EXPECT_EQ(net.Initialize(0x03, &info), kNetArgument);
  EXPECT_EQ(info, nullptr);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(net.ShutDown(0x12), kNetArgument);
  const Bytes data{1};
  EXPECT_EQ(net.SendData(data.data(), 1, 2), kNetLinkError);  // not open

  ASSERT_EQ(net.Initialize(kNetModeRawBit, &info), kNetOk);
  ASSERT_NE(info, nullptr);
  EXPECT_TRUE(net.rawMode());  // the raw bit wins over the file
  EXPECT_STREQ(info->name, "TN3964R");
  EXPECT_STREQ(info->description, "Serielle Punkt- zu Punkt-Verbindung");
  EXPECT_EQ(+info->linkStart, +info->lastInit);
  services.now += 7;
  ASSERT_EQ(net.Initialize(2, nullptr), kNetOk);
  ASSERT_EQ(net.Initialize(2, nullptr), kNetOk);
  EXPECT_EQ(+info->reinitCount, 2);
  EXPECT_EQ(+info->lastInit - +info->linkStart, 7u);
  EXPECT_TRUE(net.rawMode());  // only mode 0 decides the mode

  auto sent = SendAsync(Pattern(100));
  EXPECT_TRUE(peer.ReceiveMessage());
  EXPECT_EQ(sent.get(), kNetOk);
  EXPECT_GT(+info->bytesPerSecond, 0);

  ASSERT_EQ(net.Initialize(0, nullptr), kNetOk);
  EXPECT_FALSE(net.rawMode());
  EXPECT_EQ(+info->reinitCount, 0);
  EXPECT_EQ(+info->bytesPerSecond, 0);
  EXPECT_EQ(net.ShutDown(kNetShutDownSoft), kNetOk);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(net.GetRxStatus(), kNetNoReceive);
}

TEST_F(NetTransferTest, AnUnopenablePortIsALinkError) {
  ini = dir.Write("other.ini", "[RS232]\nCOM=COM78\nBaud=9600\n");
  zk::test::SetEnv("ZELKOR_COM78", "/nonexistent/tty");
  ASSERT_EQ(ports.SelectParams(ini.c_str(), kSection), 1);
  EXPECT_EQ(net.Initialize(kNetModeRawBit, nullptr), kNetLinkError);
  Bytes buffer(8);
  EXPECT_EQ(net.RecData(buffer.data(), 8, 2, 0), kNetLinkError);
  EXPECT_EQ(net.GetRxStatus(), kNetLinkError);
}

}  // namespace
}  // namespace zk::test
