#include "platform/Signals.h"

#include <csignal>

namespace zk {

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace zk
