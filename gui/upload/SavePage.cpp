#include "gui/upload/SavePage.h"

#include "gui/dialogs/FileDialogs.h"
#include "gui/shell/AddressText.h"
#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/GuiFlow.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/StatusPane.h"
#include "gui/shell/Texts.h"
#include "gui/shell/WaitCursor.h"
#include "gui/shell/WaitLoops.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zk::gui {
namespace {

constexpr char kSaveFilter[] =
    "all files (*.*)|*.*|HexFiles (*.hex)|*.hex|"
    "S-record files (*.srec, *.s19, *.s28, *.s37, *.mot)|*.srec; *.s19; *.s28; *.s37; *.mot||";
constexpr uint64_t kAddressSpace = 0x100000000ull;

QLineEdit* AddressEdit(QWidget* parent, int id) {
  auto* edit = Child<QLineEdit>(parent);
  SetControlId(edit, id);
  edit->setMaxLength(10);
  return edit;
}

}  // namespace

std::optional<UploadRange> ParseUploadRange(std::string_view startText, std::string_view endText,
                                            std::string* problem) {
  const auto refuse = [problem](const char* why) -> std::optional<UploadRange> {
    if (problem != nullptr) *problem = why;
    return std::nullopt;
  };
  const std::optional<uint32_t> start = ParseAddressText(startText);
  const std::optional<uint32_t> end = ParseAddressText(endText);
  if (!start || !end) {
    if (problem != nullptr) {
      *problem = "Please enter the start and end address as " +
                 std::string(client::NumberForms(client::BareDigits::kHex)) + ".";
    }
    return std::nullopt;
  }
  const uint64_t length = static_cast<uint64_t>(*end) - *start + 1;
  if (*end < *start || length >= kAddressSpace) {
    return refuse("The end address must lie at or above the start address.");
  }
  return UploadRange{*start, static_cast<uint32_t>(length)};
}

CSave::CSave(CStatusPane& status, CGuiFlow& flow, CDownloadPage& download, QWidget* parent)
    : CPropertyPage(kUploadDialog, "Upload", parent),
      status_(status),
      flow_(flow),
      download_(download),
      startEdit_(AddressEdit(this, kStartAddressEdit)),
      endEdit_(AddressEdit(this, kEndAddressEdit)),
      save_(Child<QPushButton>(this, Text(TextId::kSave))),
      upload_(Child<QPushButton>(this, "Upload")) {
  SetControlId(save_, kSaveButton);
  SetControlId(upload_, kUploadButton);
  auto* layout = Child<QVBoxLayout>(this);
  auto* fields = Child<QWidget>(this);
  auto* grid = Child<QGridLayout>(fields);
  grid->addWidget(Child<QLabel>(fields, "start address"), 0, 0);
  grid->addWidget(Child<QLabel>(fields, "0x"), 0, 1);
  grid->addWidget(startEdit_, 0, 2);
  grid->addWidget(Child<QLabel>(fields, "end address"), 1, 0);
  grid->addWidget(Child<QLabel>(fields, "0x"), 1, 1);
  grid->addWidget(endEdit_, 1, 2);
  grid->addWidget(upload_, 0, 3);
  grid->addWidget(save_, 1, 3);
  grid->setColumnStretch(4, 1);
  layout->addWidget(fields);
  layout->addStretch(1);
  connect(upload_, &QPushButton::clicked, this, [this] { OnUpload(); });
  connect(save_, &QPushButton::clicked, this, [this] { OnSave(); });
}

void CSave::SetStatus(const QString& text) { status_.SetText(text); }

void CSave::OnUpload() {
  std::string problem;
  const std::optional<UploadRange> range =
      ParseUploadRange(Utf8(startEdit_->text().trimmed()), Utf8(endEdit_->text().trimmed()), &problem);
  if (!range) {
    ShowMessage(problem, "Upload", MB_OK | MB_ICONWARNING);
    return;
  }
  const WaitCursor cursor;
  StatusProgress progress(&status_);
  upload_->setText(Text(TextId::kCancel));
  SetStatus(Text(TextId::kReadingFlash));
  CancellableWait wait;
  wait.bar = progress.Bar();
  wait.cancel = upload_;
  const CGuiFlow::WaitScope scope(flow_, CGuiFlow::Cancellable(wait));
  const client::FlowResult read = flow_.Flow().Read(range->start, range->length);
  if (read.end == client::FlowEnd::kCallFailed) {
    upload_->setText(Text(TextId::kRead));
    ReportResult("Erase Sector", read.code);
    // A refused read has discarded the image as well.
    download_.ShowWhatIsLoaded();
    SetStatus(Text(TextId::kReady));
    return;
  }
  const client::WaitOutcome outcome{
      read.end == client::FlowEnd::kStopped ? client::WaitEnd::kStopped : client::WaitEnd::kEnded, read.code};
  if (outcome.end == client::WaitEnd::kEnded && outcome.status != kOk) ReportResult("ReadFlash", outcome.status);
  uploadStart_ = range->start;
  // A read that failed or was stopped leaves no image: the download page
  // must neither offer it nor the file it loaded before. (A read that ended
  // before the stop reached it is whole.)
  if (outcome.status == kOk) {
    download_.TakeUpload(range->start, range->length);
  } else {
    download_.ShowNothingLoaded();
  }
  upload_->setText(Text(outcome.end == client::WaitEnd::kStopped ? TextId::kStart : TextId::kRead));
  progress.SetPosition(0);
  SetStatus(Text(TextId::kReady));
}

void CSave::OnSave() {
  const std::optional<QString> chosen = ChooseFile(this, FileDialogMode::kSave, WorkingDirectory(), kSaveFilter);
  if (!chosen) return;
  const std::string path = Utf8(*chosen);
  RememberWorkingDirectory(path);
  const ImageFileType type = client::SaveTypeOfPath(path, client::ExtensionCase::kLower);
  const WaitCursor cursor;
  SetStatus(Text(TextId::kSavingFile));
  StatusProgress progress(&status_);
  save_->setText(Text(TextId::kCancel));
  CancellableWait wait;
  wait.bar = progress.Bar();
  wait.cancel = save_;
  const CGuiFlow::WaitScope scope(flow_, CGuiFlow::Cancellable(wait));
  const client::FlowResult saved = flow_.Flow().Save(path, type);
  if (saved.end == client::FlowEnd::kCallFailed) {
    ReportResult("Save File", saved.code);
    save_->setText(Text(TextId::kSave));
    return;
  }
  const client::WaitOutcome outcome{
      saved.end == client::FlowEnd::kStopped ? client::WaitEnd::kStopped : client::WaitEnd::kEnded, saved.code};
  save_->setText(Text(TextId::kSave));
  if (outcome.end == client::WaitEnd::kStopped) {
    SetStatus(Text(TextId::kReady));
    return;
  }
  if (outcome.status == kFileNotFound) {
    // Nothing was written: there is no file to hand over.
    ShowMessage(LoadString(TextId::kNoDataToSave), "Save File", MB_OK | MB_ICONWARNING);
  } else {
    if (outcome.status != kOk) ReportResult("Save File", outcome.status);
    download_.SetFileFromUpload(path, uploadStart_, type);
  }
  SetStatus(Text(TextId::kReady));
  progress.SetPosition(0);
}

}  // namespace zk::gui
