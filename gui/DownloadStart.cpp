// The download page's Start: erase the chip or the sectors the image
// needs, then program the flash, with Cancel.
#include "gui/DownloadPage.h"

#include "gui/FlashInfoPage.h"
#include "gui/Globals.h"
#include "gui/GuiFlow.h"
#include "gui/MessageBoxes.h"
#include "gui/MyPropSheet.h"
#include "gui/StatusPane.h"
#include "gui/Texts.h"
#include "gui/WaitCursor.h"
#include "gui/WaitLoops.h"

#include <QCheckBox>
#include <QPushButton>

namespace zk::gui {
namespace {

bool AskStopDownload() {
  return ShowMessage(LoadString(TextId::kStopDownload), "Download", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace

void CDownloadPage::Start() {
  if (busy_) return;
  const WaitCursor cursor;
  busy_ = true;
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
    case client::FlowEnd::kDone:
      return true;
    case client::FlowEnd::kRefused:
      ShowMessage(result.refusal, "Download", MB_OK | MB_ICONERROR);
      return false;
    case client::FlowEnd::kCallFailed:
      ReportResult("Erase Sector", result.code);
      return false;
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
  const CGuiFlow::WaitScope scope(flow_, CGuiFlow::Cancellable(wait));
  const client::FlowResult result = flow_.Flow().Program(offset);
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
      Verify(offset);
      return;
    }
  }
  finish(TextId::kDownloadReady);
}

}  // namespace zk::gui
