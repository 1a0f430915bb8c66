// ModSim as a program over its pseudo terminal, the way the host meets it.
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

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

class ModSimProcess {
 public:
  explicit ModSimProcess(std::vector<std::string> args, bool withErrors = false) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (withErrors) posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    args.insert(args.begin(), ModSimPath());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    output_ = out[0];
  }
  ~ModSimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) close(output_);
  }
  // The first line the program writes.
  std::string FirstLine() {
    std::string line;
    char c;
    pollfd p{output_, POLLIN, 0};
    while (poll(&p, 1, kWaitMs) == 1 && read(output_, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  // Everything the program writes until it ends.
  std::string AllOutput() {
    std::string text;
    char buffer[4096];
    pollfd p{output_, POLLIN, 0};
    ssize_t n;
    while (poll(&p, 1, kWaitMs) == 1 && (n = read(output_, buffer, sizeof buffer)) > 0)
      text.append(buffer, n);
    return text;
  }
  // The exit code once the program has ended by itself.
  int Wait() {
    int status = -1;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int Stop() {
    int status = -1;
    kill(pid_, SIGTERM);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
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
       {"--device",        "--link",        "--baud", "--reset-input", "--baud-emulation", "--rate-check",
        "--no-open-reset", "--config",      "--set",  "--start",       "--header-mode",    "--raw-mode",
        "--flash-file",    "--seed",        "--drop", "--corrupt",     "--fault",          "--control",
        "--trace",         "--trace-bytes", "--help"}) {
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
