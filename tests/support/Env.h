#pragma once
// Setting and clearing variables of the test process's environment, on
// Linux and under Windows (where an empty value clears the variable).
#include <cstdlib>
#include <string>

namespace zk::test {

inline void SetEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
  ::_putenv_s(name.c_str(), value.c_str());
#else
  ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

inline void UnsetEnv(const std::string& name) {
#ifdef _WIN32
  ::_putenv_s(name.c_str(), "");
#else
  ::unsetenv(name.c_str());
#endif
}

}  // namespace zk::test
