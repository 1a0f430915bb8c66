#include "cmd/Session.h"

namespace zk::cmd {

Session::~Session() { worker.ShutDown(); }

void Session::SetModulePath(std::string path) {
  std::lock_guard lock(mutex_);
  modulePath_ = std::move(path);
}

std::string Session::ModulePath() const {
  std::lock_guard lock(mutex_);
  return modulePath_;
}

void Session::DropModulePath() {
  std::lock_guard lock(mutex_);
  modulePath_.clear();
}

Session& CurrentSession() {
  static Session session;
  return session;
}

}  // namespace zk::cmd
