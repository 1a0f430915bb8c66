#pragma once
// Child processes: a program started with arguments and additions to its
// environment, its standard output and standard error read through pipes
// without blocking, interrupted, killed and waited for. A child runs in a
// group of its own (POSIX: a process group; Windows: a console process group
// in a job object), so the terminal's Ctrl-C reaches the parent only, and it
// ends when the parent dies without ending it.
#include "platform/Api.h"
#include "platform/NonCopyable.h"

#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace zk::process {

enum class Stream { kOut, kErr };

struct Exit {
  int code = 0;    // the exit code; POSIX: 128 + the signal when one ended it
  int signal = 0;  // the signal that ended it, 0 when it exited (Windows: 9 when Kill ended it)
};

// NAME and VALUE: set in the child's environment, replacing what it inherits.
using EnvironmentEntry = std::pair<std::string, std::string>;

class ChildProcess : private NonCopyable {
 public:
  ZK_PLATFORM_API ChildProcess();
  // Kills what still runs (the whole group) and reaps it.
  ZK_PLATFORM_API ~ChildProcess();

  // Starts program (a path) with args; false, with Error() saying why, when
  // it could not be started. Its standard input is the null device.
  ZK_PLATFORM_API bool Start(const std::string& program, const std::vector<std::string>& args,
                             const std::vector<EnvironmentEntry>& environment = {});
  ZK_PLATFORM_API const std::string& Error() const;
  // Started and not yet reaped.
  ZK_PLATFORM_API bool Running() const;

  // Whether the stream may still bring something.
  ZK_PLATFORM_API bool Open(Stream stream) const;
  // Appends what has arrived on the stream to text, without waiting; false
  // once the stream has ended (the child closed it) and all of it was read.
  ZK_PLATFORM_API bool Read(Stream stream, std::string& text);

  // Asks the child's group to stop: SIGINT; on Windows Ctrl-Break to its
  // console process group, which the child takes as Ctrl-C. A child that
  // shares no console with the parent cannot be asked: it is ended at once
  // with exit code 130, as if it had stopped on the request.
  ZK_PLATFORM_API void Interrupt();
  // Ends the child and its group at once.
  ZK_PLATFORM_API void Kill();

  // How the child ended, without waiting; nullopt while it runs (or was never
  // started). Once it has ended, whatever it left in its group is ended too.
  ZK_PLATFORM_API std::optional<Exit> Poll();
  // Waits until the child has ended.
  ZK_PLATFORM_API std::optional<Exit> Wait();

  // Waits at most timeout until one of children has something to read or a
  // stream that ended.
  ZK_PLATFORM_API static void WaitForOutput(std::span<ChildProcess* const> children, std::chrono::milliseconds timeout);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zk::process
