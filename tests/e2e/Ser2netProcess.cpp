#include "tests/e2e/Ser2netProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

extern char** environ;

namespace zk::e2e {
namespace {

constexpr int kStartTries = 5;
constexpr auto kStartWait = std::chrono::seconds(5);
constexpr auto kStopWait = std::chrono::seconds(3);
constexpr auto kStep = std::chrono::milliseconds(20);

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// Whether something listens on the port (the probe is closed at once).
bool Listening(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const sockaddr_in address = Loopback(port);
  const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

bool Exited(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, WNOHANG) == pid;
}

}  // namespace

uint16_t FreeTcpPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

Ser2netProcess::Ser2netProcess(const std::string& device, uint32_t rate) {
  char pattern[] = "/tmp/zk-ser2net-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return;
  dir_ = pattern;
  for (int attempt = 0; attempt < kStartTries && pid_ <= 0; ++attempt) {
    port_ = FreeTcpPort();
    const std::string config = dir_ + "/ser2net.yaml";
    std::ofstream(config) << "%YAML 1.1\n---\n"
                          << "connection: &zk\n"
                          << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << port_ << "\n"
                          << "  connector: serialdev," << device << "," << rate
                          << "n81,local\n"
                          // Every byte from the line at once: the 3964R replies are single bytes.
                          << "  options:\n"
                          << "    chardelay: false\n";
    std::vector<std::string> argv{"ser2net", "-n", "-d", "-c", config, "-P", dir_ + "/ser2net.pid"};
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = dir_ + "/ser2net.log";
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return;
    pid_ = pid;
    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (!Listening(port_)) {
      // The port was taken meanwhile, or ser2net failed: another try.
      if (Exited(pid_)) {
        pid_ = -1;
        break;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        Stop();
        break;
      }
      std::this_thread::sleep_for(kStep);
    }
  }
}

Ser2netProcess::~Ser2netProcess() {
  Stop();
  std::error_code ec;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

std::string Ser2netProcess::Mapping() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }

void Ser2netProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopWait;
  while (!Exited(pid_)) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(kStep);
  }
  pid_ = -1;
}

}  // namespace zk::e2e
