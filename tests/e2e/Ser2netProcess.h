#pragma once
// ser2net on 127.0.0.1 and a free TCP port, serving one serial device over
// RFC 2217 with a configuration file of its own, for one test: stopped (and
// waited for) when the object goes, also when the test fails.
#include <cstdint>
#include <string>

#include <sys/types.h>

namespace zk::e2e {

class Ser2netProcess {
 public:
  explicit Ser2netProcess(const std::string& device, uint32_t rate = 57600);
  ~Ser2netProcess();
  Ser2netProcess(const Ser2netProcess&) = delete;
  Ser2netProcess& operator=(const Ser2netProcess&) = delete;

  bool Running() const { return pid_ > 0; }
  uint16_t Port() const { return port_; }
  // The port mapping that names it: rfc2217://127.0.0.1:<port>.
  std::string Mapping() const;
  void Stop();

 private:
  pid_t pid_ = -1;
  uint16_t port_ = 0;
  std::string dir_;
};

// A TCP port on 127.0.0.1 that nothing listens on right now.
uint16_t FreeTcpPort();

}  // namespace zk::e2e
