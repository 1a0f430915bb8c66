#include "modsim/ControlChannel.h"

#include "modsim/Numbers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace zk::modsim {

std::optional<ControlCommand> ParseControlCommand(std::string_view line, std::string* error) {
  line = Trim(line);
  if (line == "reset") return ControlCommand{ControlCommand::Kind::kReset};
  if (line == "quit") return ControlCommand{ControlCommand::Kind::kQuit};
  if (line.substr(0, 6) == "fault ") {
    auto rule = ParseFaultRule(line.substr(6), error);
    if (!rule) return std::nullopt;
    return ControlCommand{ControlCommand::Kind::kFault, *rule};
  }
  if (error) *error = "unknown control command \"" + std::string(line) + "\"";
  return std::nullopt;
}

ControlChannel::~ControlChannel() {
  if (owned_ && fd_ >= 0) close(fd_);
  if (createdFifo_) unlink(path_.c_str());
}

bool ControlChannel::Open(const std::string& path, std::string* error) {
  if (path == "-") {
    fd_ = STDIN_FILENO;
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    return true;
  }
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    if (mkfifo(path.c_str(), 0600) != 0) {
      if (error) *error = path + ": " + std::strerror(errno);
      return false;
    }
    createdFifo_ = true;
  } else if (!S_ISFIFO(info.st_mode)) {
    if (error) *error = path + ": exists and is no FIFO";
    return false;
  }
  path_ = path;
  // Opened for writing too, so that a writer closing it never ends the channel.
  fd_ = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return false;
  }
  owned_ = true;
  return true;
}

std::vector<std::string> ControlChannel::ReadLines() {
  std::vector<std::string> lines;
  char buffer[512];
  while (fd_ >= 0) {
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) {  // standard input ended: nothing more will come
      if (owned_) close(fd_);
      fd_ = -1;
      break;
    }
    if (n < 0) break;
    partial_.append(buffer, static_cast<std::size_t>(n));
  }
  for (auto end = partial_.find('\n'); end != std::string::npos; end = partial_.find('\n')) {
    lines.push_back(partial_.substr(0, end));
    partial_.erase(0, end + 1);
  }
  constexpr std::size_t kLongestLine = 4096;
  if (partial_.size() > kLongestLine) partial_.clear();
  return lines;
}

}  // namespace zk::modsim
