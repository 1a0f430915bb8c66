// The download page's file: Open, the file facts, the watcher and the
// reload after a change, and the upload page's hand-over.
#include "gui/download/DownloadPage.h"

#include "gui/dialogs/EnterBinAddress.h"
#include "gui/dialogs/FileDialogs.h"
#include "gui/shell/Globals.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/StatusPane.h"
#include "gui/shell/Texts.h"
#include "gui/shell/WaitLoops.h"

#include <QLabel>
#include <QPushButton>

namespace zk::gui {
namespace {

constexpr char kOpenFilter[] =
    "(extended) HexFiles (*.h86, *.hex)|*.h86; *.hex|all files (*.*)|*.*|"
    "S-record files (*.srec, *.s19, *.s28, *.s37, *.mot)|*.srec; *.s19; *.s28; *.s37; *.mot|"
    "ELF files (*.elf, *.axf, *.out)|*.elf; *.axf; *.out||";
constexpr char kUnknown[] = "???";

uint32_t TypeByte(ImageFileType type) { return client::LoadModeOf(type); }

bool AskStopLoad() {
  return ShowMessage(LoadString(TextId::kStopLoad), "Load File", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace

void CDownloadPage::Open() {
  if (busy_) return;
  const std::optional<QString> chosen = ChooseFile(this, FileDialogMode::kOpen, WorkingDirectory(), kOpenFilter);
  if (!chosen) return;
  const std::string path = Utf8(*chosen);
  RememberWorkingDirectory(path);
  OpenFile(path);
}

void CDownloadPage::OpenFile(const std::string& path, std::optional<uint32_t> binaryStart) {
  if (busy_) return;
  // HEX, S-record, ELF or binary as the file's first bytes show.
  const ImageFileType type = client::ImageTypeOfFile(path);
  // Nothing of the page changes before the new image is in: an open that is
  // cancelled or fails leaves the file, its type, start address and bank
  // offset as they were, as long as the data manager still holds that image.
  if (type == ImageFileType::kBinary && !binaryStart) {
    EnterBinAddress dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    binaryStart = dialog.Address();
  }
  if (!LoadImage(path, type, true)) {
    ShowWhatIsLoaded();
    return;
  }
  if (type == ImageFileType::kBinary) {
    ShowBankControls(false);
    binaryStart_ = *binaryStart;
  } else {
    ShowBankControls(UseBanks());
  }
  fileType_ = type;
  diskType_ = type;
  dm_.RememberFile(path, static_cast<uint8_t>(TypeByte(type)));
  fileText_->setText(Qs(path));
  path_ = path;
  sha256_ = Sha256OfFile(path);
  const std::optional<FileTime> time = LocalLastWriteTime(path);
  if (!time) return;
  ShowFileFacts(path, *time);
  if (connected_) sheet_.EnableToolButton(kCmdToolDownload, true);
  WatchFile(path, *time);
}

bool CDownloadPage::LoadImage(const std::string& path, ImageFileType type, bool cancellable) {
  busy_ = true;
  SetStatus(Text(TextId::kLoadingFile));
  StatusProgress progress(sheet_.StatusBar());
  if (cancellable) open_->setText(Text(TextId::kCancel));
  WorkerThreadInfo thread{};
  const ResultCode started = dm_.LoadFile(path.c_str(), TypeByte(type), &thread);
  if (started != kOk) {
    ReportResult("Load File", started);
    open_->setText(Text(TextId::kOpen));
    SetStatus(Text(TextId::kReady));
    busy_ = false;
    return false;
  }
  CancellableWait wait;
  wait.bar = progress.Bar();
  wait.cancel = cancellable ? open_ : nullptr;
  wait.pause = pauses_.load;
  wait.confirm = AskStopLoad;
  const client::WaitOutcome outcome = CancellableLoop(dm_, wait);
  open_->setText(Text(TextId::kOpen));
  busy_ = false;
  // A load that ended before the stop reached it has replaced the image
  // all the same.
  if (outcome.end == client::WaitEnd::kStopped && outcome.status != kOk) {
    SetStatus(Text(TextId::kReady));
    return false;
  }
  if (outcome.status != kOk) {
    // The file's own fault under the code's text; a checksum's box has named it.
    const bool named = (outcome.status & client::kStatusMask) == kReceiveChecksum;
    ReportResult("LoadFile", outcome.status, named ? std::string() : dm_.LoadProblem());
    SetStatus(Text(TextId::kReady));
    return false;
  }
  return true;
}

void CDownloadPage::ShowFileFacts(const std::string& path, FileTime time) {
  fileTime_ = time;
  fileLoaded_ = true;
  dateText_->setText(Qs(FileTimeText(time)));
  sizeText_->setText(Qs(KBytesText(FileSizeOf(path).value_or(0))));
  ShowImageSize();
  SetStatus(Text(TextId::kReady));
}

void CDownloadPage::ShowImageSize() {
  // A hex file's addresses are its own: the start address of an earlier
  // binary file does not move it.
  const uint32_t address = fileType_ == ImageFileType::kBinary ? binaryStart_ : 0;
  imageBytes_ = FetchImageInfo(dm_, address).byteCount;
  downloadText_->setText(Qs(KBytesText(imageBytes_)));
}

void CDownloadPage::WatchFile(const std::string& path, FileTime time) {
  watcher_.Start(path, time, [this] {
    // On the watcher thread: the page handles the change on its own.
    QMetaObject::invokeMethod(
        this, [this] { OnFileChanged(); }, Qt::QueuedConnection);
  });
}

void CDownloadPage::CheckFileChanged() {
  if (fileLoaded_ && watcher_.TakeChange()) OnFileChanged();
}

void CDownloadPage::OnFileChanged() {
  if (!fileLoaded_ || path_ != watcher_.Path()) return;
  // A change that comes while an operation waits for the data manager, or
  // while the question is open, is asked about once that is over.
  if (busy_ || asking_ || WaitLoopRunning()) {
    changePending_ = true;
    retry_.start();
    return;
  }
  window()->raise();
  window()->activateWindow();
  asking_ = true;
  const std::string question = LoadString(TextId::kFileChangedStart) + path_ + LoadString(TextId::kFileChangedEnd);
  const int answer = ShowMessage(question, LoadString(TextId::kSheetCaption), MB_YESNO | MB_ICONQUESTION);
  asking_ = false;
  if (answer == IDYES) Reload();
}

void CDownloadPage::Reload() {
  const bool active = sheet_.GetActivePage() == this;
  if (!LoadImage(path_, diskType_, active)) {
    ShowWhatIsLoaded();
    return;
  }
  fileType_ = diskType_;
  sha256_ = Sha256OfFile(path_);
  sizeText_->setText(Qs(KBytesText(FileSizeOf(path_).value_or(0))));
  ShowImageSize();
  SetStatus(Text(TextId::kReady));
  fileTime_ = watcher_.LastSeen();
  dateText_->setText(Qs(FileTimeText(fileTime_)));
}

void CDownloadPage::ShowWhatIsLoaded() {
  if (FetchImageInfo(dm_, 0).byteCount == 0) ShowNothingLoaded();
}

void CDownloadPage::ShowNothingLoaded() {
  fileLoaded_ = false;
  for (QLabel* text : {fileText_, sizeText_, dateText_, downloadText_}) text->clear();
  watcher_.Forget();
  path_.clear();
  sha256_.clear();
  imageBytes_ = 0;
  dm_.RememberFile("", 0);
  sheet_.EnableToolButton(kCmdToolDownload, false);
}

void CDownloadPage::TakeUpload(uint32_t start, uint32_t length) {
  imageBytes_ = length;
  fileText_->setText(kUnknown);
  sizeText_->setText(kUnknown);
  dateText_->setText(kUnknown);
  fileType_ = ImageFileType::kBinary;
  binaryStart_ = start;
  // The image holds the flash now: a change of the old file, or a reload
  // of the data manager, must not bring the file back over it.
  watcher_.Forget();
  path_.clear();
  sha256_.clear();
  dm_.RememberFile("", 0);
}

void CDownloadPage::SetFileFromUpload(const std::string& path, uint32_t start, ImageFileType savedType) {
  fileType_ = ImageFileType::kBinary;
  diskType_ = savedType;
  binaryStart_ = start;
  fileText_->setText(Qs(path));
  path_ = path;
  sha256_ = Sha256OfFile(path);
  dm_.RememberFile(path, static_cast<uint8_t>(TypeByte(savedType)));
  const std::optional<FileTime> time = LocalLastWriteTime(path);
  if (!time) return;
  ShowFileFacts(path, *time);
  if (connected_) sheet_.EnableToolButton(kCmdToolDownload, true);
  WatchFile(path, *time);
}

}  // namespace zk::gui
