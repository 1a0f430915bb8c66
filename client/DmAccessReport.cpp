#include "client/DmAccessReport.h"

namespace zk::client {

void FlashException::Report(ResultReporter& reporter, std::string_view caption, ResultCode code) const {
  reporter.ShowResult(ResultMessage(code), caption);
}

}  // namespace zk::client
