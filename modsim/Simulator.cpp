#include "modsim/Simulator.h"

#include "modsim/PtyLine.h"
#include "modsim/SerialLine.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace zk::modsim {
namespace {

constexpr Duration kModemPollPeriod = Milliseconds(10);
constexpr uint8_t kGarbleMask = 0x5A;

ModemInput ModemInputByName(const std::string& name) {
  if (name == "cts") return ModemInput::kCts;
  if (name == "dsr") return ModemInput::kDsr;
  if (name == "dcd") return ModemInput::kDcd;
  if (name == "ri") return ModemInput::kRi;
  return ModemInput::kNone;
}

timespec ToTimespec(Duration d) {
  if (d < Duration::zero()) d = Duration::zero();
  const auto ns = d.count();
  return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

Simulator::Simulator(const Options& options, const SimConfig& config)
    : options_(options),
      config_(config),
      started_(Clock::now()),
      faults_(options.seed, options.rates),
      pacer_(options.baudEmulation),
      output_(pacer_, &faults_, &trace_),
      input_(pacer_),
      flash_(config.banks) {
  for (const auto& rule : options.faults) faults_.AddRule(rule);
  output_.SetPacketLatency(Milliseconds(options.usbLatencyMs));
  if (options.lineFaultsInFirmware) faults_.SetLineGate([this] { return module_ && module_->InFirmware(); });
}

Simulator::~Simulator() {
  RemoveLink();
  if (signalFd_ >= 0) close(signalFd_);
}

uint32_t Simulator::HostRate() { return line_ ? line_->HostRate() : 0; }

void Simulator::SetRate(uint32_t baud) {
  pacer_.SetRate(baud);
  if (line_) line_->SetRate(baud);
}

bool Simulator::OpenLine() {
  std::string error;
  if (options_.device.empty()) {
    line_ = PtyLine::Create(&error);
  } else {
    line_ = SerialLine::Open(options_.device, options_.baud, ModemInputByName(options_.resetInput), &error);
  }
  if (!line_) {
    std::fprintf(stderr, "ModSim: %s\n", error.c_str());
    return false;
  }
  if (!options_.linkPath.empty() && options_.device.empty()) {
    struct stat info {};
    if (lstat(options_.linkPath.c_str(), &info) == 0) {
      if (!S_ISLNK(info.st_mode)) {
        std::fprintf(stderr, "ModSim: %s exists and is no symbolic link; left as it is\n", options_.linkPath.c_str());
        return false;
      }
      unlink(options_.linkPath.c_str());
    }
    if (symlink(line_->Path().c_str(), options_.linkPath.c_str()) != 0) {
      std::fprintf(stderr, "ModSim: %s: %s\n", options_.linkPath.c_str(), std::strerror(errno));
      return false;
    }
    linkMade_ = true;
  }
  return true;
}

void Simulator::RemoveLink() {
  if (!linkMade_ || !line_) return;
  char target[PATH_MAX];
  const ssize_t n = readlink(options_.linkPath.c_str(), target, sizeof target - 1);
  if (n > 0 && line_->Path() == std::string(target, static_cast<std::size_t>(n))) unlink(options_.linkPath.c_str());
  linkMade_ = false;
}

bool Simulator::OpenFlashImage() {
  const std::string path = options_.flashFile.empty() ? config_.imageFile : options_.flashFile;
  if (path.empty()) return true;
  std::string error;
  if (!image_.Open(path, flash_.MutableContent(), &error)) {
    std::fprintf(stderr, "ModSim: flash file %s\n", error.c_str());
    return false;
  }
  flash_.SetObserver([this](std::size_t offset, std::size_t size) {
    if (!image_.Store(flash_.Content(), offset, size)) trace_.Note("flash file: write failed", Clock::now());
  });
  return true;
}

int Simulator::Run() {
  if (options_.tracePath && !trace_.Open(*options_.tracePath, started_)) {
    std::fprintf(stderr, "ModSim: cannot open trace file %s\n", options_.tracePath->c_str());
    return 2;
  }
  trace_.SetBytes(options_.traceBytes);
  if (!OpenLine() || !OpenFlashImage()) return 2;
  if (!options_.controlPath.empty()) {
    std::string error;
    if (!control_.Open(options_.controlPath, &error)) {
      std::fprintf(stderr, "ModSim: control channel %s\n", error.c_str());
      return 2;
    }
  }
  sigset_t signals;
  sigemptyset(&signals);
  for (const int s : {SIGUSR1, SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, s);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  signalFd_ = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);

  module_ = std::make_unique<Module>(config_, flash_, output_, *this, &faults_, &trace_);
  std::printf("%s\n", line_->Path().c_str());
  std::fflush(stdout);
  trace_.Note("module on " + line_->Path(), Clock::now());
  if (options_.startFirmware) module_->StartFirmware(options_.baud, Clock::now());

  while (!stop_) {
    TimePoint now = Clock::now();
    DeliverArrived(now);
    module_->OnTimer(now);
    WriteDue(now);

    const bool exempt = module_->ExemptFromPacing();
    Deadline deadline = Earliest(input_.NextArrival(exempt), module_->NextDeadline());
    if (line_->HasModemLines()) deadline = Earliest(deadline, now + kModemPollPeriod);
    pollfd fds[4] = {{line_->Fd(), POLLIN, 0},
                     {signalFd_, POLLIN, 0},
                     {options_.openReset ? line_->OpenWatchFd() : -1, POLLIN, 0},
                     {control_.Fd(), POLLIN, 0}};
    const Deadline due = output_.NextDue();
    if (due && *due <= now) {
      fds[0].events = static_cast<short>(fds[0].events | POLLOUT);  // the device is full for now
    } else {
      deadline = Earliest(deadline, due);
    }
    const timespec timeout = deadline ? ToTimespec(*deadline - now) : timespec{};
    const int ready = ppoll(fds, 4, deadline ? &timeout : nullptr, nullptr);
    if (ready < 0 && errno != EINTR) {
      std::fprintf(stderr, "ModSim: poll: %s\n", std::strerror(errno));
      return 1;
    }
    now = Clock::now();
    if (fds[2].revents & POLLIN) HandleHostOpen(now);  // before the bytes written after the open
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) ReadLine(now);
    if (fds[1].revents & POLLIN) HandleSignal(now);
    if (fds[3].revents & (POLLIN | POLLHUP)) HandleControl(now);
    if (line_->HasModemLines()) PollResetLine(now);
  }
  trace_.Note("stopped", Clock::now());
  return lineFailed_ ? 1 : 0;
}

void Simulator::ReadLine(TimePoint now) {
  LineRead read = line_->Read();
  if (read.failed) {
    lineFailed_ = true;
    stop_ = true;
    std::fprintf(stderr, "ModSim: %s: the device is gone\n", line_->Path().c_str());
  }
  if (read.bytes.empty() && !read.breakAt) return;
  const uint32_t host = line_->HostRate();
  const uint32_t module = pacer_.Rate();
  if (options_.rateCheck != RateCheck::kOff && host != 0 && module != 0 && host != module) {
    trace_.Note("host sends at " + std::to_string(host) + " baud, the module listens at " + std::to_string(module) +
                    (options_.rateCheck == RateCheck::kGarble ? ": bytes garbled" : ""),
                now);
    if (options_.rateCheck == RateCheck::kGarble) {
      for (auto& b : read.bytes) b ^= kGarbleMask;
    }
  }
  if (resetHeld_) return;  // a module held in reset hears nothing
  const std::size_t split = read.breakAt.value_or(read.bytes.size());
  input_.Push(std::span<const uint8_t>(read.bytes.data(), split), now);
  if (read.breakAt) {
    DeliverArrived(Clock::now());
    input_.Clear();
    module_->Reset("line break", now);
    input_.Push(std::span<const uint8_t>(read.bytes.data() + split, read.bytes.size() - split), now);
  }
}

void Simulator::DeliverArrived(TimePoint now) {
  while (const auto byte = input_.PopArrived(now, module_->ExemptFromPacing())) {
    trace_.Byte(Direction::kFromHost, *byte, now);
    const auto survived = faults_.FilterRx(*byte);
    if (!survived) {
      trace_.Note("fault: byte received lost", now);
      continue;
    }
    if (*survived != *byte) trace_.Note("fault: byte received corrupted", now);
    module_->OnByte(*survived, now);
  }
}

void Simulator::WriteDue(TimePoint now) {
  const auto due = output_.Due(now);
  if (due.empty()) return;
  const std::size_t written = line_->Write(due.data(), due.size());
  for (std::size_t i = 0; i < written; ++i) trace_.Byte(Direction::kToHost, due[i], now);
  output_.Consume(written);
}

void Simulator::HandleHostOpen(TimePoint now) {
  if (line_->TakeHostOpens() == 0) return;
  trace_.Note("the host opened the port", now);
  if (!module_->InFirmware()) {
    DeliverArrived(now);
    input_.Clear();  // what is still on its way belongs to the abandoned dialogue
  }
  module_->OnHostOpened(now);
}

void Simulator::HandleSignal(TimePoint now) {
  signalfd_siginfo info{};
  while (read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    if (info.ssi_signo == SIGUSR1) {
      input_.Clear();
      module_->Reset("SIGUSR1", now);
    } else {
      stop_ = true;
    }
  }
}

void Simulator::HandleControl(TimePoint now) {
  for (const auto& line : control_.ReadLines()) {
    std::string error;
    const auto command = ParseControlCommand(line, &error);
    if (!command) {
      std::fprintf(stderr, "ModSim: %s\n", error.c_str());
      continue;
    }
    switch (command->kind) {
      case ControlCommand::Kind::kReset:
        input_.Clear();
        module_->Reset("control", now);
        break;
      case ControlCommand::Kind::kQuit: stop_ = true; break;
      case ControlCommand::Kind::kFault:
        faults_.ArmNext(command->fault.kind, command->fault.value);
        trace_.Note("fault armed: " + std::string(FaultName(command->fault.kind)), now);
        break;
    }
  }
}

void Simulator::PollResetLine(TimePoint now) {
  switch (line_->PollResetLine()) {
    case ResetLine::kAsserted:
      resetHeld_ = true;
      input_.Clear();
      module_->Reset("reset line", now);
      break;
    case ResetLine::kReleased:
      resetHeld_ = false;
      trace_.Note("reset line released", now);
      break;
    case ResetLine::kUnchanged: break;
  }
}

}  // namespace zk::modsim
