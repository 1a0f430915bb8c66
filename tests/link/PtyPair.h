#pragma once
// A pseudo terminal pair for the link tests: the test talks on the master,
// the code under test opens the slave as COMn through $ZELKOR_COMn. The
// pair keeps a slave descriptor of its own open (raw), so that the master
// never sees a hang-up while the code under test reopens the port.
#include "platform/NonCopyable.h"

#include <cstdint>
#include <string>

namespace zk::test {

class PtyPair : private NonCopyable {
 public:
  PtyPair();
  ~PtyPair();

  int master() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }

  // Makes COMn name the slave.
  void BindPort(unsigned n) const;
  // Closes the master: the slave side sees a hang-up.
  void HangUp();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

}  // namespace zk::test
