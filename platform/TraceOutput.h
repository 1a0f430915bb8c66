#pragma once
// Where the wire trace goes: standard error, or a file created anew.
#include "platform/NonCopyable.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zk::trace::detail {

class Output : private NonCopyable {
 public:
  // An empty path is standard error. When the file cannot be created,
  // valid() is false and errno tells why.
  explicit Output(const std::string& path);
  ~Output();
  bool valid() const { return valid_; }
  // Writes the pieces one after the other, all of them; a failing write is
  // given up without a word, as the trace must never stop the work it traces.
  void Write(std::string_view first, std::string_view second, std::string_view third);

 private:
  intptr_t handle_ = -1;
  bool owned_ = false;
  bool valid_ = false;
};

long ProcessId();

}  // namespace zk::trace::detail
