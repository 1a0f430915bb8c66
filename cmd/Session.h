#pragma once
// The module description of the current connection: stored by the login
// worker, read by every later operation, dropped at disconnect.
#include <mutex>
#include <string>

namespace zk::cmd {

class Session {
 public:
  void SetModulePath(std::string path);
  std::string ModulePath() const;
  void DropModulePath();

 private:
  mutable std::mutex mutex_;
  std::string modulePath_;
};

Session& CurrentSession();

}  // namespace zk::cmd
