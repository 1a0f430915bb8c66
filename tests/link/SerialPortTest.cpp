// The serial port on the test line (a pseudo terminal on Linux).
#include "platform/SerialPort.h"
#include "tests/link/LinePair.h"
#include "tests/link/Peer3964.h"
#include "tests/support/Wine.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace zk::com {
namespace {

using test::LinePair;

#if !defined(_WIN32)
// The output rate the terminal at path runs at, exactly.
uint32_t LineRate(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  termios2 settings{};
  const bool read = fd >= 0 && ::ioctl(fd, TCGETS2, &settings) == 0;
  if (fd >= 0) ::close(fd);
  return read ? settings.c_ospeed : 0;
}
#endif

class SerialPortTest : public ::testing::Test {
 protected:
  std::unique_ptr<SerialPort> Open(OpenError* error = nullptr) {
    return OpenSerialDevice(line.devicePath(), 57600, error);
  }
  void PeerWrite(std::initializer_list<uint8_t> bytes) {
    ASSERT_TRUE(line.PeerWrite(std::span<const uint8_t>(bytes.begin(), bytes.size())));
  }

  // A pseudo terminal hands a write on in pieces now and then.
  static bool WaitForInput(SerialPort& port, std::size_t n) {
    for (int i = 0; i < 2000; ++i) {
      if (port.Levels()->input >= n) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  LinePair line;
};

TEST_F(SerialPortTest, MovesBytesBothWaysAndReportsTheInputLevel) {
  auto port = Open();
  ASSERT_TRUE(port);
  const std::array<uint8_t, 3> out{1, 0x10, 0xFF};
  ASSERT_TRUE(port->Write(out));
  ASSERT_TRUE(port->WriteByte(7));
  test::Peer3964 peer(line);
  std::vector<uint8_t> seen;
  while (const auto c = peer.Read(2000)) {
    seen.push_back(*c);
    if (seen.size() == 4) break;
  }
  EXPECT_EQ(seen, (std::vector<uint8_t>{1, 0x10, 0xFF, 7}));

  PeerWrite({'a', 'b', 'c', '\n'});  // raw: nothing translated or echoed
  ASSERT_EQ(port->WaitReadable(2000), IoStatus::Ok);
  EXPECT_TRUE(WaitForInput(*port, 4));
  EXPECT_EQ(port->Levels()->input, 4u);
  std::array<uint8_t, 4> in{};
  const ReadResult got = port->ReadExact(in, 2000);
  EXPECT_EQ(got.status, IoStatus::Ok);
  EXPECT_EQ(in, (std::array<uint8_t, 4>{'a', 'b', 'c', '\n'}));
  EXPECT_TRUE(port->Drain(100));
}

TEST_F(SerialPortTest, ReadsTimeOutAndWakeEndsAWaitWithoutLimit) {
  auto port = Open();
  ASSERT_TRUE(port);
  std::array<uint8_t, 4> in{};
  EXPECT_EQ(port->Read(in, 5).status, IoStatus::TimedOut);
  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    port->Wake();
  });
  EXPECT_EQ(port->Read(in, kWaitForever).status, IoStatus::Woken);
  waker.join();
  EXPECT_EQ(port->WaitReadable(kWaitForever), IoStatus::Woken);  // stays woken
  port->ClearWake();
  EXPECT_EQ(port->Read(in, 0).status, IoStatus::TimedOut);
}

TEST_F(SerialPortTest, IsNotSharedAndFreedWhenClosed) {
  if (test::UnderWine()) GTEST_SKIP() << test::kWineSharesPorts;
  auto first = Open();
  ASSERT_TRUE(first);
  OpenError error = OpenError::None;
  EXPECT_FALSE(Open(&error));
  EXPECT_EQ(error, OpenError::InUse);
  first.reset();
  EXPECT_TRUE(Open());
}

TEST_F(SerialPortTest, RefusesWhatIsNoPortAndRatesNoPortRuns) {
  OpenError error = OpenError::None;
#if defined(_WIN32)
  EXPECT_FALSE(OpenSerialDevice("\\\\.\\COM250", 9600, &error));
  EXPECT_EQ(error, OpenError::NoSuchPort);
  EXPECT_FALSE(OpenSerialDevice("\\\\.\\NUL", 9600, &error));
  EXPECT_EQ(error, OpenError::NotSerial);
#else
  EXPECT_FALSE(OpenSerialDevice("/nonexistent/tty", 9600, &error));
  EXPECT_EQ(error, OpenError::NoSuchPort);
  EXPECT_FALSE(OpenSerialDevice("/dev/null", 9600, &error));
  EXPECT_EQ(error, OpenError::NotSerial);
#endif
  EXPECT_FALSE(OpenSerialDevice(line.devicePath(), 230400, &error));
  EXPECT_EQ(error, OpenError::BadRate);
  EXPECT_FALSE(OpenSerialDevice(line.devicePath(), 299, &error));
  EXPECT_EQ(error, OpenError::BadRate);
  EXPECT_FALSE(OpenSerialPort(0, 9600, &error));
  EXPECT_EQ(error, OpenError::NoSuchPort);
  EXPECT_TRUE(IsStandardRate(300) && IsStandardRate(115200));
  EXPECT_FALSE(IsStandardRate(230400));
}

TEST_F(SerialPortTest, LinesRatesAndPurgeWorkOnATerminalWithoutModemLines) {
  auto port = Open();
  ASSERT_TRUE(port);
  EXPECT_TRUE(port->SetRts(true));
  EXPECT_TRUE(port->SetDtr(false));
  // Every rate from 300 to 115200, the ones without a termios constant too,
  // runs exactly.
  for (const uint32_t rate : {300u, 4800u, 7200u, 14400u, 28800u, 56000u, 57600u, 76800u, 115200u}) {
    EXPECT_TRUE(port->SetBaudRate(rate)) << rate;
#if !defined(_WIN32)
    EXPECT_EQ(LineRate(line.devicePath()), rate);
#endif
  }
  EXPECT_FALSE(port->SetBaudRate(230400));
  PeerWrite({1, 2, 3});
  ASSERT_TRUE(WaitForInput(*port, 3));
  EXPECT_TRUE(port->Purge(PurgeWhat::Input));
  std::array<uint8_t, 4> in{};
  EXPECT_EQ(port->Read(in, 0).status, IoStatus::TimedOut);
}

TEST_F(SerialPortTest, HangUpIsALineErrorThatNeverSpins) {
  if (!LinePair::CanHangUp()) GTEST_SKIP() << "the far end is a relay of the test script, which stays up";
  auto port = Open();
  ASSERT_TRUE(port);
  line.HangUp();
  std::array<uint8_t, 4> in{};
  int reads = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
  while (std::chrono::steady_clock::now() < end) {
    EXPECT_EQ(port->Read(in, 20).status, IoStatus::LineError);
    ++reads;
  }
  EXPECT_LE(reads, 8);  // each read took its time
  EXPECT_FALSE(port->WriteByte(1));
  port->Wake();
  EXPECT_EQ(port->Read(in, kWaitForever).status, IoStatus::Woken);
}

TEST_F(SerialPortTest, PortNamesResolveThroughTheEnvironmentAndTestsCanPlugInAnOpener) {
  line.BindPort(201);
  auto port = OpenSerialPort(201, 9600);
  ASSERT_TRUE(port);
  port.reset();

  unsigned asked = 0;
  SetSerialPortOpener([&](unsigned n, uint32_t, OpenError* error) -> std::unique_ptr<SerialPort> {
    asked = n;
    *error = OpenError::InUse;
    return nullptr;
  });
  OpenError error = OpenError::None;
  EXPECT_FALSE(OpenSerialPort(201, 9600, &error));
  EXPECT_EQ(asked, 201u);
  EXPECT_EQ(error, OpenError::InUse);
  SetSerialPortOpener(nullptr);
  EXPECT_TRUE(OpenSerialPort(201, 9600));
}

}  // namespace
}  // namespace zk::com
