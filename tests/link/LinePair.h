#pragma once
// The line of the link tests: the code under test opens one end as COMn
// through $ZELKOR_COMn (devicePath), the test talks on the other (PeerRead,
// PeerWrite).
//
// On Linux it is a pseudo terminal pair made here: the test talks on the
// master. The pair keeps a slave descriptor of its own open (raw), so that
// the master never sees a hang-up while the code under test reopens the
// port. On Windows it is two COM ports joined by a relay the test script
// runs ($ZK_TEST_LINE="CODE,PEER", the port numbers): the test talks on the
// second, which it opens and empties for each test.
#include "platform/NonCopyable.h"
#include "tests/support/Env.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace zk::test {

class LinePair : private NonCopyable {
 public:
  LinePair();
  ~LinePair();

  // The device the code under test opens.
  const std::string& devicePath() const { return devicePath_; }
  // Makes COMn name that device.
  void BindPort(unsigned n) const { SetEnv("ZELKOR_COM" + std::to_string(n), devicePath_); }

  // What the far end has received, at most out.size() bytes, waiting up to
  // timeoutMs for the first: 0 when nothing came, nullopt when the line failed.
  std::optional<std::size_t> PeerRead(std::span<uint8_t> out, int timeoutMs);
  // Sends bytes from the far end; false when the line failed.
  bool PeerWrite(std::span<const uint8_t> bytes);

  // Whether HangUp can be done here: a relay of the test script cannot
  // hang up one side.
  static bool CanHangUp();
  // Closes the far end: the code under test sees a hang-up.
  void HangUp();

 private:
  struct Far;
  std::unique_ptr<Far> far_;
  std::string devicePath_;
};

}  // namespace zk::test
