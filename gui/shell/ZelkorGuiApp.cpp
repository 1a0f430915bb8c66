#include "gui/shell/ZelkorGuiApp.h"

#include "gui/connect/ConnectPage.h"
#include "gui/dialogs/InfoDlg.h"
#include "gui/dialogs/PropertiesDlg.h"
#include "gui/dialogs/PwdDlg.h"
#include "gui/download/DownloadPage.h"
#include "gui/flashinfo/FlashInfoPage.h"
#include "gui/flashinfo/ProtectedAreaInfo.h"
#include "gui/shell/Globals.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/ScreenTour.h"
#include "gui/shell/Texts.h"
#include "gui/upload/SavePage.h"
#include "platform/Files.h"
#include "platform/Registry.h"

#include <QTimer>

namespace zk::gui {

CZelkorGuiApp::CZelkorGuiApp() : dm_(client::CDmAccess::MissingDirectory::kUseProgramDirectory) {
  dm_.SetBusyIndicator(&busy_);
}

CZelkorGuiApp::~CZelkorGuiApp() { ExitInstance(); }

bool CZelkorGuiApp::InitInstance() {
  // The tree-list control needs no registration with Qt; the per-user
  // profile is the registry key Korvane\Zelkor with the program's name.
  globals_ = std::make_unique<GlobalObjects>();
  const QString caption = Text(TextId::kSheetCaption);
  const std::optional<std::string> installed = reg::InstallationDirectory();
  if (!installed) {
    ShowMessage(LoadString(TextId::kInstallationCorrupt), Utf8(caption), MB_OK | MB_ICONERROR);
    return false;
  }
  installDir_ = files::ToNative(*installed);

  sheet_ = std::make_unique<MyPropSheet>(caption);
  globals_->mainWindow = sheet_.get();
  flashInfo_ = std::make_unique<CFlashInfoPage>(dm_, flow_, *sheet_);
  download_ = std::make_unique<CDownloadPage>(dm_, flow_, *flashInfo_, *sheet_);
  protectedAreaInfo_ = std::make_unique<CProtectedAreaInfo>(dm_);
  upload_ = std::make_unique<CSave>(*sheet_->StatusBar(), flow_, *download_);
  download_->SetShell(this);
  protectedAreaInfo_->SetShell(this);
  CConnectPage::Links links;
  links.sheet = sheet_.get();
  links.flashInfo = flashInfo_.get();
  links.download = download_.get();
  links.protectedAreas = protectedAreaInfo_.get();
  links.dm = &dm_;
  links.flow = &flow_;
  links.shell = this;
  connect_ = std::make_unique<CConnectPage>(links);
  connect_->SetInstallationDirectory(installDir_);

  sheet_->SetCommandTarget(this);
  sheet_->SetDownloadPage(download_.get());
  sheet_->SetConnectPage(connect_.get());
  sheet_->AddPage(connect_.get());
  sheet_->AddPage(flashInfo_.get());
  sheet_->AddPage(download_.get());
  sheet_->AddPage(protectedAreaInfo_.get());
  connect_->Initialize();
  return true;
}

void CZelkorGuiApp::ExitInstance() {
  if (connect_ && connect_->Connected()) {
    flow_.Flow().Disconnect(ExitRequest{0, 0});
  }
  if (sheet_) sheet_->RemoveAllPages();
  connect_.reset();
  upload_.reset();
  protectedAreaInfo_.reset();
  download_.reset();
  flashInfo_.reset();
  if (globals_) globals_->mainWindow = nullptr;
  sheet_.reset();
  globals_.reset();
}

int CZelkorGuiApp::Run() {
  if (!InitInstance()) return 1;
  bool toured = true;
  if (const std::optional<std::string> shots = ScreenshotDirectory()) {
    // Once the sheet runs: the tour works the pages as a user would.
    QTimer::singleShot(0, sheet_.get(), [this, dir = *shots, &toured] { toured = RunScreenTour(*this, dir); });
  }
  sheet_->exec();
  ExitInstance();
  return toured ? 0 : 1;
}

bool CZelkorGuiApp::CommandEnabled(CommandId id) const {
  const bool connected = connect_ && connect_->Connected();
  switch (id) {
    case kCmdConnect: return !connected;
    case kCmdDisconnect: return connected;
    case kCmdDownload: return connected && download_ && download_->FileLoaded();
    default: return true;
  }
}

void CZelkorGuiApp::ActivateDownloadPage() { sheet_->SetActivePage(download_.get()); }

void CZelkorGuiApp::OnCommand(CommandId id) {
  if (!sheet_) return;
  switch (id) {
    case kCmdOpen:
    case kCmdToolLoad:
      ActivateDownloadPage();
      download_->Open();
      break;
    case kCmdDownload:
    case kCmdToolDownload:
      // An accelerator reaches the command whatever the menu showed.
      if (!CommandEnabled(kCmdDownload)) return;
      ActivateDownloadPage();
      download_->Start();
      break;
    case kCmdConnect:
      if (CommandEnabled(kCmdConnect)) connect_->ConnectOrDisconnect();
      break;
    case kCmdDisconnect:
    case kCmdToolConnect:
    case kCmdToolDisconnect:
      sheet_->SetActivePage(connect_.get());
      connect_->ConnectOrDisconnect();
      break;
    case kCmdProtocol: RunProtocolDialog(); break;
    case kCmdInfo:
    case kCmdToolInfo: RunInfoDialog(); break;
    case kCmdProtectedAreas: ToggleProtectedAreas(); break;
    case kCmdPassword: RunPassword(); break;
    default: break;
  }
}

void CZelkorGuiApp::RunProtocolDialog() {
  statusText_ = Text(TextId::kConfigureProtocol);
  sheet_->SetStatusText(statusText_);
  CPropertiesDlg dialog(ModuleDescription(), installDir_, sheet_.get());
  dialog.exec();
  sheet_->SetStatusText(Text(TextId::kReady));
}

void CZelkorGuiApp::RunInfoDialog() {
  CInfoDlg dialog(TheInfoUse(), sheet_.get());
  dialog.exec();
}

void CZelkorGuiApp::ToggleProtectedAreas() {
  if (!connect_->Connected()) return;
  protectedAreas_ = !protectedAreas_;
  if (const ResultCode code = dm_.EnableProtectedAreas(protectedAreas_ ? 1 : 0); code != kOk) {
    ReportResult("EnableProtAreas", code);
  }
  CPropertyPage* active = sheet_->GetActivePage();
  if (active == download_.get() || active == protectedAreaInfo_.get()) sheet_->SetActivePage(active);
  flashInfo_->UpdateProtection(protectedAreas_);
}

void CZelkorGuiApp::RunPassword() {
  if (!connect_->Connected()) return;
  CPwdDlg dialog(sheet_.get());
  if (dialog.exec() != QDialog::Accepted) return;
  const std::string password = Utf8(dialog.Entered());
  PasswordBlock block{static_cast<uint32_t>(password.size()), reinterpret_cast<const uint8_t*>(password.data())};
  if (const ResultCode code = dm_.SendPassword(&block); code != kOk) {
    ReportResult("Password", code);
    RemoveUploadPage();
    return;
  }
  if (!uploadInserted_) sheet_->AddPage(upload_.get());
  uploadInserted_ = true;
  if (download_) download_->UpdateVerifyBox();
}

void CZelkorGuiApp::DisableProtectedAreas() {
  protectedAreas_ = false;
  if (const ResultCode code = dm_.EnableProtectedAreas(0); code != kOk) ReportResult("EnableProtAreas", code);
}

void CZelkorGuiApp::RemoveUploadPage() {
  if (sheet_->GetActivePage() == upload_.get()) ActivateDownloadPage();
  if (uploadInserted_) sheet_->RemovePage(upload_.get());
  uploadInserted_ = false;
  if (download_) download_->UpdateVerifyBox();
}

}  // namespace zk::gui
