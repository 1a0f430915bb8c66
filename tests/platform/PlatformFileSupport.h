#pragma once
// File modes and environment overrides for the platform tests.
#include "tests/support/Env.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace zk::test {

inline mode_t ModeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

// Sets (or with nullopt unsets) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    if (value) {
      zk::test::SetEnv(name_, *value);
    } else {
      zk::test::UnsetEnv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    if (old_) {
      zk::test::SetEnv(name_, *old_);
    } else {
      zk::test::UnsetEnv(name_);
    }
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace zk::test
