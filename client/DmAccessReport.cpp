#include "client/DmAccessReport.h"

namespace zk {

void FlashException::Report(ResultReporter& reporter, std::string_view caption, ResultCode code) const {
  reporter.ShowResult(ResultMessage(code), caption);
}

}  // namespace zk
