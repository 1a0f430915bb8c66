#include "platform/ChildProcess.h"

#include "platform/CommandLine.h"
#include "platform/Immortal.h"
#include "platform/win32/Handle.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

#include <array>
#include <condition_variable>
#include <cwchar>
#include <mutex>
#include <thread>

namespace zk::process {
namespace {

// The exit code of a child that Kill ended, as a POSIX shell shows SIGKILL.
constexpr DWORD kKilledCode = 128 + 9;
// The exit code of a child that could only be ended where it was asked to stop.
constexpr DWORD kInterruptedCode = 130;
constexpr auto kCancelPause = std::chrono::milliseconds(50);

// What the pipe readers have brought, for all children: one lock and one
// condition, so that a wait can cover any number of children.
struct Arrivals {
  std::mutex mutex;
  std::condition_variable changed;
};

Arrivals& TheArrivals() {
  static detail::Immortal<Arrivals> arrivals;
  return *arrivals;
}

// One pipe of a child: a thread reads it as it comes, since an anonymous
// pipe cannot be waited on.
struct Pipe {
  win32::Handle read;
  std::thread reader;
  std::string pending;  // arrived, not yet taken (under the arrivals' lock)
  bool ended = false;   // the reader has stopped (under the arrivals' lock)
  bool closed = false;  // ended and all of it taken

  void Run() {
    Arrivals& arrivals = TheArrivals();
    std::array<char, 4096> buffer{};
    for (;;) {
      DWORD got = 0;
      const bool ok = ::ReadFile(read.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) != 0;
      const std::lock_guard lock(arrivals.mutex);
      if (ok) {
        pending.append(buffer.data(), got);
      } else {
        ended = true;
      }
      arrivals.changed.notify_all();
      if (!ok) return;
    }
  }

  bool Ready() const { return !closed && (ended || !pending.empty()); }

  // Stops the reader: its end of the pipe is closed once the child and what
  // it started have gone, but a process outside the job may still hold it.
  void Stop() {
    if (!reader.joinable()) return;
    Arrivals& arrivals = TheArrivals();
    std::unique_lock lock(arrivals.mutex);
    while (!ended) {
      ::CancelIoEx(read.get(), nullptr);
      arrivals.changed.wait_for(lock, kCancelPause);
    }
    lock.unlock();
    reader.join();
  }
};

// The parent's environment with the entries replaced or added, as the
// block CreateProcessW takes.
std::wstring EnvironmentBlock(const std::vector<EnvironmentEntry>& additions) {
  std::vector<std::wstring> names;
  for (const auto& [name, value] : additions) names.push_back(win32::Widen(name) + L'=');
  std::wstring block;
  wchar_t* const strings = ::GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; entry != nullptr && *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    bool replaced = false;
    for (const std::wstring& name : names) {
      replaced = replaced || ::_wcsnicmp(entry, name.c_str(), name.size()) == 0;
    }
    if (!replaced) block.append(entry).push_back(L'\0');
  }
  if (strings != nullptr) ::FreeEnvironmentStringsW(strings);
  for (const auto& [name, value] : additions) block.append(win32::Widen(name + "=" + value)).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

// The attribute list that names the only handles the child inherits.
class InheritedHandles : private NonCopyable {
 public:
  explicit InheritedHandles(std::span<HANDLE> handles) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    auto* const list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (::InitializeProcThreadAttributeList(list, 1, 0, &size) == 0) return;
    list_ = list;
    if (::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                    handles.size() * sizeof(HANDLE), nullptr, nullptr) == 0) {
      ::DeleteProcThreadAttributeList(list_);
      list_ = nullptr;
    }
  }
  ~InheritedHandles() {
    if (list_ != nullptr) ::DeleteProcThreadAttributeList(list_);
  }
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

 private:
  std::vector<char> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// A pipe whose write end the child inherits.
bool MakePipe(win32::Handle& read, win32::Handle& write) {
  HANDLE r = nullptr;
  HANDLE w = nullptr;
  if (::CreatePipe(&r, &w, nullptr, 0) == 0) return false;
  read = win32::Handle(r);
  write = win32::Handle(w);
  return ::SetHandleInformation(w, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) != 0;
}

std::string Failure(const std::string& what) { return what + ": " + win32::SystemMessage(::GetLastError()); }

}  // namespace

struct ChildProcess::State {
  win32::Handle process;
  win32::Handle job;  // the child and everything it starts; ended when closed
  DWORD id = 0;
  bool console = false;  // shares the parent's console
  bool killed = false;
  std::array<Pipe, 2> pipes;  // standard output, error
  std::optional<Exit> exit;
  std::string error;

  Pipe& PipeOf(Stream stream) { return pipes[stream == Stream::kOut ? 0 : 1]; }

  void End(DWORD code) {
    if (job.valid() && ::TerminateJobObject(job.get(), code) != 0) return;
    ::TerminateProcess(process.get(), code);
  }
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::~ChildProcess() {
  if (Running()) {
    Kill();
    ::WaitForSingleObject(state_->process.get(), INFINITE);
  }
  for (Pipe& pipe : state_->pipes) pipe.Stop();
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<EnvironmentEntry>& environment) {
  State& s = *state_;
  if (s.process.valid()) {
    s.error = "already started";
    return false;
  }
  std::array<win32::Handle, 2> writes;
  for (std::size_t i = 0; i < s.pipes.size(); ++i) {
    if (!MakePipe(s.pipes[i].read, writes[i])) {
      s.error = Failure("cannot start");
      return false;
    }
  }
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const win32::Handle input(
      ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr));
  std::vector<HANDLE> inherited{writes[0].get(), writes[1].get()};
  if (input.valid()) inherited.push_back(input.get());
  const InheritedHandles attributes(inherited);

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = input.get();
  startup.StartupInfo.hStdOutput = writes[0].get();
  startup.StartupInfo.hStdError = writes[1].get();
  startup.lpAttributeList = attributes.get();

  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::wstring commandLine = win32::Widen(WindowsCommandLine(argv));
  std::wstring block = environment.empty() ? std::wstring() : EnvironmentBlock(environment);

  // A console process group of its own: the console's Ctrl-C reaches the
  // parent only, and Interrupt can address the child alone. Suspended until
  // it is in the job, so that nothing it starts escapes.
  s.console = ::GetConsoleCP() != 0;
  DWORD flags = CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT;
  if (attributes.get() != nullptr) flags |= EXTENDED_STARTUPINFO_PRESENT;
  if (!s.console) flags |= CREATE_NO_WINDOW;
  PROCESS_INFORMATION info{};
  const std::wstring path = win32::WidePath(program);
  if (::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
                       block.empty() ? nullptr : block.data(), nullptr, &startup.StartupInfo, &info) == 0) {
    s.error = Failure("cannot start " + program);
    return false;
  }
  s.process = win32::Handle(info.hProcess);
  const win32::Handle thread(info.hThread);
  s.id = info.dwProcessId;
  s.job = win32::Handle(::CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!s.job.valid() ||
      ::SetInformationJobObject(s.job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits) == 0 ||
      ::AssignProcessToJobObject(s.job.get(), s.process.get()) == 0) {
    // Without a job only the child itself can be ended.
    s.job.Reset();
  }
  ::ResumeThread(thread.get());
  for (Pipe& pipe : s.pipes) pipe.reader = std::thread(&Pipe::Run, &pipe);
  s.error.clear();
  return true;
}

const std::string& ChildProcess::Error() const { return state_->error; }

bool ChildProcess::Running() const { return state_->process.valid() && !state_->exit; }

bool ChildProcess::Open(Stream stream) const {
  const Pipe& pipe = state_->PipeOf(stream);
  return pipe.reader.joinable() && !pipe.closed;
}

bool ChildProcess::Read(Stream stream, std::string& text) {
  Pipe& pipe = state_->PipeOf(stream);
  if (!Open(stream)) return false;
  {
    const std::lock_guard lock(TheArrivals().mutex);
    text += pipe.pending;
    pipe.pending.clear();
    if (!pipe.ended) return true;
    pipe.closed = true;
  }
  pipe.Stop();
  return false;
}

void ChildProcess::Interrupt() {
  if (!Running()) return;
  if (state_->console && ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, state_->id) != 0) return;
  state_->End(kInterruptedCode);
}

void ChildProcess::Kill() {
  if (!Running()) return;
  state_->killed = true;
  state_->End(kKilledCode);
}

std::optional<Exit> ChildProcess::Poll() {
  State& s = *state_;
  if (!s.process.valid() || s.exit) return s.exit;
  if (::WaitForSingleObject(s.process.get(), 0) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(s.process.get(), &code);
  // Whatever the child left in its job goes with it.
  if (s.job.valid()) ::TerminateJobObject(s.job.get(), kKilledCode);
  Exit ended;
  ended.code = static_cast<int>(code);
  ended.signal = s.killed && code == kKilledCode ? 9 : 0;
  s.exit = ended;
  return ended;
}

std::optional<Exit> ChildProcess::Wait() {
  if (!state_->process.valid() || state_->exit) return state_->exit;
  ::WaitForSingleObject(state_->process.get(), INFINITE);
  return Poll();
}

void ChildProcess::WaitForOutput(std::span<ChildProcess* const> children, std::chrono::milliseconds timeout) {
  Arrivals& arrivals = TheArrivals();
  std::unique_lock lock(arrivals.mutex);
  arrivals.changed.wait_for(lock, timeout, [&] {
    for (const ChildProcess* child : children) {
      for (const Pipe& pipe : child->state_->pipes) {
        if (pipe.reader.joinable() && pipe.Ready()) return true;
      }
    }
    return false;
  });
}

}  // namespace zk::process
