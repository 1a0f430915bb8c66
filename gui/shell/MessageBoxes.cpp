#include "gui/shell/MessageBoxes.h"

#include "gui/shell/Globals.h"
#include "gui/shell/Texts.h"

namespace zk::gui {

int ShowMessage(std::string_view text, std::string_view caption, uint32_t type) {
  TheLog().Add(LogKind::kMessage, Qs(caption) + ": " + Qs(text));
  return MessageBox(text, caption, type);
}

void BoxReporter::ShowResult(std::string_view text, std::string_view caption) {
  ShowMessage(detail_.empty() ? std::string(text) : std::string(text) + "\n" + detail_, caption,
              MB_OK | MB_ICONWARNING);
}

QString ResultCodeText(ResultCode code) {
  return QString("%1 (0x%2)").arg(code).arg(QString::number(code, 16).toUpper());
}

void ReportResult(std::string_view caption, ResultCode code, std::string_view detail) {
  TheLog().Add(LogKind::kResult, Qs(caption) + ": result code " + ResultCodeText(code) +
                                     (detail.empty() ? QString() : " (" + Qs(detail) + ")"));
  BoxReporter reporter(detail);
  client::FlashException().Report(reporter, caption, code);
}

}  // namespace zk::gui
