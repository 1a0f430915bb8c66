// The download page's Start: erase the chip or the sectors the image
// needs, then program the flash, with Cancel.
#include "gui/DownloadPage.h"

#include "client/HandedOut.h"
#include "client/ModuleBanks.h"
#include "gui/FlashInfoPage.h"
#include "gui/Globals.h"
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
  const IniFileAccess& module = ModuleDescription();
  const int banks = BankCount(module);
  for (int bank = 0; bank < banks; ++bank) {
    SetBankBase(dm_, module, bank);
    const ImageInfo image = FetchImageInfo(dm_, offset);
    StatusProgress progress(sheet_.StatusBar());
    SetStatus(Text(TextId::kErasingSectors));
    for (RangeRequest range : image.neededSectors) {
      SectorList list{};
      const client::HandedOutList entries(dm_, list);
      WorkerThreadInfo thread{};
      if (const ResultCode code = dm_.EraseSectors(&range, &list, &thread); code != kOk) {
        ReportResult("Erase Sector", code);
        return false;
      }
      if (const ResultCode status = ProgressLoop(dm_, progress.Bar()); status != kOk) {
        ReportResult("EraseSector", status);
      }
    }
  }
  return true;
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
  WorkerThreadInfo thread{};
  if (const ResultCode code = dm_.ProgFlash(offset, &thread); code != kOk) {
    ReportResult("Erase Sector", code);
    finish(TextId::kReady);
    return;
  }
  CancellableWait wait;
  wait.bar = progress.Bar();
  wait.cancel = start_;
  wait.pause = pauses_.download;
  wait.skipZeroProgress = true;
  wait.confirm = AskStopDownload;
  const WaitOutcome outcome = CancellableLoop(dm_, wait);
  if (outcome.end == WaitEnd::kEnded) {
    downloadRunning_ = false;
    if (outcome.status == kFileNotFound) {
      ShowMessage(LoadString(TextId::kNoDataToDownload), "Download", MB_OK | MB_ICONWARNING);
    } else if (outcome.status != kOk) {
      ReportResult("Download", outcome.status);
    }
    progress.SetPosition(0);
    if (outcome.status == kOk && verify_->isEnabled() && verify_->isChecked()) {
      finish(TextId::kDownloadReady);
      Verify(offset);
      return;
    }
  }
  finish(TextId::kDownloadReady);
}

}  // namespace zk::gui
