#include "gui/MessageBoxes.h"

namespace zk::gui {

int ShowMessage(std::string_view text, std::string_view caption, uint32_t type) {
  return MessageBox(text, caption, type);
}

void BoxReporter::ShowResult(std::string_view text, std::string_view caption) {
  ShowMessage(detail_.empty() ? std::string(text) : std::string(text) + "\n" + detail_, caption,
              MB_OK | MB_ICONWARNING);
}

void ReportResult(std::string_view caption, ResultCode code, std::string_view detail) {
  BoxReporter reporter(detail);
  FlashException().Report(reporter, caption, code);
}

}  // namespace zk::gui
