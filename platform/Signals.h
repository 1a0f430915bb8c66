#pragma once
// Process-wide signal settings of the programs.
//
// Interrupt (Ctrl-C), terminate and hang-up (the terminal or the ssh
// session gone) never end a program on the spot: each only marks a stop
// request, which the program takes at its next check point, where it stops
// the running step and disconnects the module. A write to a pipe or socket
// whose reader has gone fails with EPIPE instead of ending the process (a
// run piped into a pager that has quit).
#include "platform/Api.h"

namespace zk {

enum class StopSignal { kInterrupt, kTerminate, kHangUp };

// Called inside the signal handler, after the stop request was marked:
// only async-signal-safe work (lock-free atomics, write).
using StopSignalHook = void (*)(StopSignal signal);

// Catches SIGINT, SIGTERM and SIGHUP (interrupted calls are restarted),
// calling hook for each when one is given, and ignores SIGPIPE.
ZK_PLATFORM_API void InstallStopSignals(StopSignalHook hook = nullptr);

// Whether any of the three has arrived since InstallStopSignals.
ZK_PLATFORM_API bool StopSignalled();

// The default action of the three again; SIGPIPE stays ignored.
ZK_PLATFORM_API void RestoreStopSignals();

ZK_PLATFORM_API void IgnoreBrokenPipes();

}  // namespace zk
