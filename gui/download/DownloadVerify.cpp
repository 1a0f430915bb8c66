// The download page's verification: after programming, the image is
// compared with the flash when the "Verify" box is checked.
#include "gui/download/DownloadPage.h"

#include "gui/shell/GuiFlow.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/StatusPane.h"
#include "gui/shell/Texts.h"
#include "gui/shell/WaitLoops.h"

#include <QCheckBox>
#include <QPushButton>

namespace zk::gui {

void CDownloadPage::UpdateVerifyBox() {
  const bool readAccess = shell_ != nullptr && shell_->ReadAccess();
  const bool canVerify = dm_.Loaded() && dm_.CanVerify();
  verify_->setEnabled(readAccess && canVerify);
  if (!readAccess) {
    verify_->setToolTip("Verifying reads the flash back: enter the module's password first (Ctrl+Alt+Shift+U).");
  } else if (!canVerify) {
    verify_->setToolTip("The data manager of this module cannot verify.");
  } else {
    verify_->setToolTip("After programming, read the flash back and compare it with the image.");
  }
}

QString CDownloadPage::Verify(uint32_t offset) {
  StatusProgress progress(sheet_.StatusBar());
  SetStatus("Verifying flash");
  start_->setText(Text(TextId::kCancel));
  CancellableWait wait;
  wait.bar = progress.Bar();
  wait.cancel = start_;
  wait.pause = pauses_.download;
  const CGuiFlow::WaitScope scope(flow_, CGuiFlow::Cancellable(wait));
  VerifyResult result{};
  const client::FlowResult verified = flow_.Flow().Verify(offset, &result);
  if (verified.end == client::FlowEnd::kCallFailed) {
    start_->setText(Text(TextId::kStart));
    ReportResult("Verify", verified.code);
    SetStatus("Verify failed");
    return "verify failed";
  }
  const client::WaitOutcome outcome{
      verified.end == client::FlowEnd::kStopped ? client::WaitEnd::kStopped : client::WaitEnd::kEnded, verified.code};
  start_->setText(Text(TextId::kStart));
  progress.SetPosition(0);
  if (outcome.end == client::WaitEnd::kStopped) {
    SetStatus("Verify stopped");
    return "verify stopped";
  }
  if (outcome.status == kOk) {
    SetStatus(QString("Verify ready: %1 bytes equal the image").arg(result.compared));
    return "verified";
  }
  if (outcome.status == kVerifyMismatch) {
    const QString first = QString("%1").arg(result.firstDifference, 8, 16, QChar('0')).toUpper();
    const QString text =
        QString("Verify failed: %1 bytes differ from the image, the first at 0x%2").arg(result.differing).arg(first);
    SetStatus(text);
    ShowMessage(text.toStdString(), "Verify", MB_OK | MB_ICONERROR);
    return QString("verify failed: %1 bytes differ").arg(result.differing);
  }
  ReportResult("Verify", outcome.status);
  SetStatus("Verify failed");
  return "verify failed";
}

}  // namespace zk::gui
