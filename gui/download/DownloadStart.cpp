// The download page's Start: erase the chip or the sectors the image
// needs, then program the flash, with Cancel.
#include "gui/download/DownloadPage.h"

#include "gui/download/TransferMeter.h"
#include "gui/flashinfo/FlashInfoPage.h"
#include "gui/shell/Globals.h"
#include "gui/shell/GuiFlow.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/StatusPane.h"
#include "gui/shell/Texts.h"
#include "gui/shell/WaitCursor.h"
#include "gui/shell/WaitLoops.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace zk::gui {
namespace {

// The digits of the SHA-256 the status pane shows; its tool tip has all.
constexpr int kShortDigest = 16;

bool AskStopDownload() {
  return ShowMessage(LoadString(TextId::kStopDownload), "Download", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace

void CDownloadPage::Start() {
  if (busy_) return;
  const WaitCursor cursor;
  busy_ = true;
  progressText_->clear();
  sheet_.StatusBar()->SetSummary({}, {});
  if (eraseChip_->isChecked() && eraseChip_->isVisibleTo(this)) {
    SetStatus(Text(TextId::kErasingFlash));
    if (flashInfo_.EraseAll() != kOk) {
      SetStatus(Text(TextId::kReady));
      busy_ = false;
      return;
    }
  }
  const uint32_t offset = DownloadOffset();
  if (eraseNeeded_->isChecked() && !EraseNeededSectors(offset)) {
    SetStatus(Text(TextId::kReady));
    busy_ = false;
    return;
  }
  Program(offset);
  busy_ = false;
  if (changePending_) retry_.start();
}

bool CDownloadPage::EraseNeededSectors(uint32_t offset) {
  StatusProgress progress(sheet_.StatusBar());
  SetStatus(Text(TextId::kErasingSectors));
  const CGuiFlow::WaitScope scope(flow_, CGuiFlow::Progress(progress.Bar()));
  const client::FlowResult result = flow_.Flow().EraseNeeded(offset);
  switch (result.end) {
    case client::FlowEnd::kDone: return true;
    case client::FlowEnd::kRefused: ShowMessage(result.refusal, "Download", MB_OK | MB_ICONERROR); return false;
    case client::FlowEnd::kCallFailed: ReportResult("Erase Sector", result.code); return false;
    case client::FlowEnd::kStopped:
    case client::FlowEnd::kWorkerFailed:
      // An erase that failed leaves sectors that would make programming
      // fail at their first byte: the download stops here.
      ReportResult("EraseSector", result.code);
      return false;
  }
  return false;
}

void CDownloadPage::Program(uint32_t offset) {
  StatusProgress progress(sheet_.StatusBar());
  const uint64_t total = imageBytes_;
  CTransferMeter meter;
  meter.Start(total, CTransferMeter::Clock::now());
  start_->setText(Text(TextId::kCancel));
  SetStatus(Text(TextId::kProgrammingFlash));
  downloadRunning_ = true;
  const auto finish = [this](TextId status) {
    start_->setText(Text(TextId::kStart));
    SetStatus(Text(status));
    downloadRunning_ = false;
  };
  CancellableWait wait;
  wait.bar = progress.Bar();
  wait.cancel = start_;
  wait.pause = pauses_.download;
  wait.skipZeroProgress = true;
  wait.confirm = AskStopDownload;
  wait.observe = [this, &meter](uint32_t percent) {
    meter.Update(percent, CTransferMeter::Clock::now());
    progressText_->setText("Programming: " + meter.ProgressText());
  };
  const CGuiFlow::WaitScope scope(flow_, CGuiFlow::Cancellable(wait));
  const client::FlowResult result = flow_.Flow().Program(offset, total);
  if (result.Done()) {
    meter.Update(100, CTransferMeter::Clock::now());
  } else if (result.end != client::FlowEnd::kRefused && total != 0) {
    progressText_->setText((result.end == client::FlowEnd::kStopped ? "Stopped at " : "Not programmed: ended at ") +
                           meter.ProgressText());
  }
  if (result.end == client::FlowEnd::kRefused) {
    ShowMessage(result.refusal, "Download", MB_OK | MB_ICONERROR);
    finish(TextId::kReady);
    return;
  }
  if (result.end == client::FlowEnd::kCallFailed) {
    ReportResult("Erase Sector", result.code);
    finish(TextId::kReady);
    return;
  }
  if (result.end != client::FlowEnd::kStopped) {
    downloadRunning_ = false;
    if (result.code == kFileNotFound) {
      ShowMessage(LoadString(TextId::kNoDataToDownload), "Download", MB_OK | MB_ICONWARNING);
    } else if (result.code != kOk) {
      ReportResult("Download", result.code);
    }
    progress.SetPosition(0);
    if (result.Done() && verify_->isEnabled() && verify_->isChecked()) {
      finish(TextId::kDownloadReady);
      ShowSummary(meter.Total(), meter.Seconds(), Verify(offset));
      return;
    }
  }
  finish(TextId::kDownloadReady);
  if (result.Done()) ShowSummary(meter.Total(), meter.Seconds(), "not verified");
}

void CDownloadPage::ShowSummary(uint64_t bytes, double seconds, const QString& verified) {
  const QString rate = CTransferMeter::RateText(seconds > 0 ? static_cast<double>(bytes) / seconds : 0.0);
  const QString head =
      QString("%1 bytes programmed in %2 s (%3), %4").arg(bytes).arg(seconds, 0, 'f', 1).arg(rate, verified);
  const QString digest = sha256_.empty() ? QString("read from the flash, no file") : Qs(sha256_);
  const QString full = head + ", image SHA-256 " + digest;
  progressText_->setText(full);
  sheet_.StatusBar()->SetSummary(head + ", SHA-256 " + digest.left(kShortDigest) + (sha256_.empty() ? "" : "..."),
                                 full);
  TheLog().Add(LogKind::kStep, "download summary: " + full);
}

}  // namespace zk::gui
