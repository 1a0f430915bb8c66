// ModSim as a program over its pseudo terminal, the way the host meets it.
#include "TestSupport.h"
#include "tests/support/TiedChild.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <string>

namespace zk::modsim {
namespace {

using test::HostBlock;
using test::ParseModuleBlock;
using ::testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

constexpr int kWaitMs = 3000;  // only a failing test waits this long

std::string ModSimPath() {
  const char* bin = std::getenv("ZK_BIN_DIR");
  return bin ? std::string(bin) + "/ModSim" : std::string();
}

// ModSim with args; with withErrors its standard error comes with its output.
class ModSimProcess : public zk::test::TiedChild {
 public:
  explicit ModSimProcess(std::vector<std::string> args, bool withErrors = false)
      : TiedChild(WithProgram(std::move(args)), withErrors) {}
  std::string FirstLine() { return TiedChild::FirstLine(kWaitMs); }
  std::string AllOutput() { return TiedChild::AllOutput(kWaitMs); }

 private:
  static std::vector<std::string> WithProgram(std::vector<std::string> args) {
    args.insert(args.begin(), ModSimPath());
    return args;
  }
};

// The host's port: raw, as the host library would set it.
class HostPort {
 public:
  explicit HostPort(const std::string& path, speed_t speed = B57600) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    if (fd_ < 0 || tcgetattr(fd_, &t) != 0) return;
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    tcsetattr(fd_, TCSANOW, &t);
  }
  ~HostPort() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  void Write(const Bytes& bytes) {
    ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  Bytes Read(std::size_t n, int timeoutMs = kWaitMs) {
    Bytes out;
    pollfd p{fd_, POLLIN, 0};
    while (out.size() < n && poll(&p, 1, timeoutMs) == 1) {
      uint8_t buffer[512];
      const ssize_t got = read(fd_, buffer, std::min(sizeof buffer, n - out.size()));
      if (got <= 0) break;
      out.insert(out.end(), buffer, buffer + got);
    }
    return out;
  }
  // One request, one answer over 3964R; empty on any failure.
  Bytes Transact(const Bytes& request) {
    Write({kStx});
    if (Read(1) != Bytes{kDle}) return {};
    Write(HostBlock(request));
    if (Read(1) != Bytes{kDle} || Read(1) != Bytes{kStx}) return {};
    Write({kDle});
    Bytes block;
    while (!ParseModuleBlock(block)) {
      const Bytes more = Read(1);
      if (more.empty()) return {};
      block.push_back(more[0]);
    }
    Write({kDle});
    return *ParseModuleBlock(block);
  }

 private:
  int fd_ = -1;
};

TEST(ModSimProgram, HelpDocumentsEveryOption) {
  ModSimProcess sim({"--help"});
  const std::string text = sim.AllOutput();
  for (const char* option :
       {"--device", "--link",    "--baud",  "--reset-input", "--baud-emulation", "--rate-check",  "--no-open-reset",
        "--config", "--set",     "--start", "--header-mode", "--raw-mode",       "--flash-file",  "--seed",
        "--drop",   "--corrupt", "--fault", "--control",     "--trace",          "--trace-bytes", "--help"}) {
    EXPECT_NE(text.find(option), std::string::npos) << option;
  }
}

TEST(ModSimProgram, HandshakeLoginReopenExitAndResetOverThePseudoTerminal) {
  ASSERT_FALSE(ModSimPath().empty()) << "ZK_BIN_DIR is not set";
  const std::string link = "/tmp/modsim-test-link-" + std::to_string(getpid());
  ModSimProcess sim({"--link", link});
  const std::string path = sim.FirstLine();
  ASSERT_FALSE(path.empty());
  struct stat info {};
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  {
    HostPort boot(link);
    ASSERT_TRUE(boot.ok());
    boot.Write({0x00, 0x00, 0x09});
    EXPECT_THAT(boot.Read(1), ElementsAre(0xF6));
  }  // the boot loader closes the port; the transport opens it again
  HostPort port(path);
  ASSERT_TRUE(port.ok());
  EXPECT_THAT(port.Transact({0x01}), ElementsAre(0x01, 0x01, 0x03, 3, 1, 7));
  EXPECT_THAT(port.Transact({0x0F}), ElementsAre(0xEE, 0x00));
  EXPECT_THAT(port.Transact({0x08, 0x01, 0x00, 0x10, 0x00, 0x00}), ElementsAre(0x08, 0x00));
  // Back in the boot loader; a second handshake, then SIGUSR1 resets again.
  port.Write({0x00, 0x00, 0x09});
  EXPECT_THAT(port.Read(1), ElementsAre(0xF6));
  kill(sim.pid(), SIGUSR1);
  usleep(50000);
  port.Write({kStx});
  EXPECT_TRUE(port.Read(1, 200).empty());  // the boot loader does not answer STX
  port.Write({0x00, 0x00, 0x06});
  EXPECT_THAT(port.Read(1), ElementsAre(0xF9));
  EXPECT_EQ(sim.Stop(), 0);                  // SIGTERM ends it normally
  EXPECT_NE(lstat(link.c_str(), &info), 0);  // the link goes with the program
}

TEST(ModSimProgram, ALoginAfterAnAbandonedSessionFindsTheBootLoader) {
  ModSimProcess sim({});
  const std::string path = sim.FirstLine();
  {
    HostPort port(path, B19200);
    port.Write({0x00});
    EXPECT_THAT(port.Read(1), ElementsAre(0x5A));
  }  // the host gives up in the middle of the boot download
  {
    HostPort port(path);
    port.Write({0x00, 0x00, 0x09});
    EXPECT_THAT(port.Read(1), ElementsAre(0xF6));
  }
  {
    HostPort port(path);
    EXPECT_THAT(port.Transact({0x01}), ElementsAre(0x01, 0x01, 0x03, 3, 1, 7));
  }  // the host ends without the exit command
  HostPort port(path);
  port.Write({0x00, 0x00, 0x09});
  EXPECT_THAT(port.Read(1), ElementsAre(0xF6));
}

TEST(ModSimProgram, ARateOtherThanTheModulesGarblesTheBytes) {
  ModSimProcess sim({"--start", "firmware", "--baud", "57600"});
  HostPort port(sim.FirstLine(), B19200);
  ASSERT_TRUE(port.ok());
  port.Write({kStx});
  EXPECT_THAT(port.Read(1), ElementsAre(kNak));  // STX arrived as something else
}

TEST(ModSimProgram, RefusesBadOptionsAndConfigurationsWithAMessage) {
  ModSimProcess unknown({"--no-such-option"}, true);
  EXPECT_NE(unknown.AllOutput().find("unknown option --no-such-option"), std::string::npos);
  EXPECT_EQ(unknown.Wait(), 2);
  ModSimProcess badSet({"--set", "Link.AckTimeout=soon"}, true);
  EXPECT_NE(badSet.AllOutput().find("[Link] AckTimeout"), std::string::npos);
  EXPECT_EQ(badSet.Wait(), 2);
}

}  // namespace
}  // namespace zk::modsim
