#pragma once
// Reporting a result code to the user: the code's text from the result table
// shown with the operation's caption, through whatever the program shows
// messages with (a message box in the workbench, a console line in the
// script runner).
#include "common/ResultCodes.h"

#include <string_view>

namespace zk::client {

class ResultReporter {
 public:
  virtual ~ResultReporter() = default;
  // Shows text titled caption, with a single OK button where there are buttons.
  virtual void ShowResult(std::string_view text, std::string_view caption) = 0;
};

// Constructed on the stack, reported and destroyed; never thrown.
class FlashException {
 public:
  virtual ~FlashException() = default;
  void Report(ResultReporter& reporter, std::string_view caption, ResultCode code) const;
};

}  // namespace zk::client
