// The connect page's connect and disconnect sequences.
#include "gui/ConnectPage.h"

#include "client/ModuleBanks.h"
#include "gui/DisconnectChoices.h"
#include "gui/FlashDescription.h"
#include "gui/FlashInfoPage.h"
#include "gui/FlashLibDlg.h"
#include "gui/Globals.h"
#include "gui/MessageBoxes.h"
#include "gui/ModuleTree.h"
#include "gui/MyPropSheet.h"
#include "gui/Texts.h"
#include "gui/WaitCursor.h"
#include "gui/WaitLoops.h"
#include "platform/Files.h"
#include "platform/Library.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace zk::gui {
namespace {

constexpr std::string_view kDefaultDmDll = "KORDm.Dll";
// A data manager that never ends the list would keep the search going.
constexpr int kMaxLibrariesPerBank = 256;

}  // namespace

void CConnectPage::SetPagesConnected(bool connected) {
  links_.flashInfo->SetConnected(connected);
  if (links_.download != nullptr) links_.download->SetConnected(connected);
  if (links_.protectedAreas != nullptr) links_.protectedAreas->SetConnected(connected);
}

void CConnectPage::AbortConnect(ResultCode code) {
  if (code != kOk) ReportResult("Connect", code);
  SetStatus(Text(TextId::kReady));
  if (QProgressBar* bar = links_.sheet->StatusBar()->Progress()) bar->setValue(0);
  // Pages a bank already marked connected are not connected after all.
  SetPagesConnected(false);
  // The firmware version of a login that was given up is no module's.
  TheInfoUse() = InfoUse();
  ExitRequest plain{0, 0};
  links_.dm->ExitZelkor(&plain);
}

void CConnectPage::Connect() {
  const std::string moduleDir = SelectedModuleDirectory();
  if (tree_->currentItem() == nullptr || HasSubdirectories(moduleDir)) return;
  const WaitCursor wait;
  SetStatus(Text(TextId::kLoadingFirmware));
  const StatusProgress progress(links_.sheet->StatusBar());

  const std::string modulePath = files::ResolveNoCase(files::Join(moduleDir, "Modul.ini"));
  const IniFileAccess module(modulePath);
  // Only where the box is offered: a remembered 0 would stop the command
  // layer driving the reset and boot lines of this module.
  if (module.AutoBootEnable() == 1) module.WriteAutoBoot(autoBoot_->isChecked() ? 1 : 0);
  std::string library = module.DmDll();
  if (library.empty()) library = kDefaultDmDll;
  if (!IsPlainLibraryName(library)) {
    ShowMessage(LibraryNameRefusal(modulePath, "DmDLL", library), "Connect", MB_OK | MB_ICONERROR);
    SetStatus(Text(TextId::kReady));
    return;
  }
  if (!links_.dm->Load(library)) {
    ReportResult("Connect", kDmDllNotLoaded);
    SetStatus(Text(TextId::kReady));
    return;
  }

  LoginInfo login{};
  WorkerThreadInfo thread{};
  if (const ResultCode code = links_.dm->Login(modulePath.c_str(), &login, &thread); code != kOk) {
    ReportResult("Connect", code);
    ExitRequest plain{0, 0};
    links_.dm->ExitZelkor(&plain);
    SetStatus(Text(TextId::kReady));
    return;
  }
  links_.flashInfo->SetModulePath(modulePath);
  if (const ResultCode status = ProgressLoop(*links_.dm, progress.Bar()); status != kOk) {
    AbortConnect(status);
    return;
  }
  InfoUse& info = TheInfoUse();
  info.SetMajor(login.bytes[0]);
  info.SetMinor(login.bytes[1]);
  info.SetBuild(login.bytes[2]);
  if (links_.dm->CheckOldZelkor() == kOldFirmware) {
    AbortConnect(kOldFirmware);
    return;
  }

  SetStatus(Text(TextId::kSearchingFlashLib));
  const int banks = BankCount(module);
  for (int bank = 0; bank < banks; ++bank) {
    if (!ConnectBank(module, bank)) return;
  }
  FinishConnect(module);
}

bool CConnectPage::ConnectBank(const IniFileAccess& module, int bank) {
  const uint32_t start = BankStart(module, bank);

  CFlashLibDlg dialog(installDir_, this);
  FlashLibInfo last{};
  int found = 0;
  for (int call = 0; call < kMaxLibrariesPerBank; ++call) {
    FlashLibRequest request{static_cast<uint8_t>(call == 0 ? 0 : 1), start};
    FlashLibInfo info{};
    if (links_.dm->FindFlashLib(&request, &info) != kOk) {
      AbortConnect(kNoFlashLibrary);
      return false;
    }
    if (info.words[0] == 0 && info.words[3] == 0) break;
    dialog.Add(info);
    last = info;
    ++found;
  }
  if (found == 0) {
    AbortConnect(kNoFlashLibrary);
    return false;
  }
  FlashLibInfo chosen = last;
  if (found > 1) {
    if (dialog.exec() != QDialog::Accepted) {
      AbortConnect(kOk);
      return false;
    }
    chosen = dialog.Chosen();
  }

  SetStatus(Text(TextId::kStartingFlashLib));
  FlashLibSelectionWords selection{{chosen.words[0], chosen.words[3]}};
  if (links_.dm->SelectFlashLib(&selection) != kOk) {
    AbortConnect(kNoFlashLibrary);
    return false;
  }
  const std::string description = FlashDescriptionPath(installDir_, chosen);
  links_.flashInfo->SetFlashDescriptionPath(description);

  BankLineFields line;
  line.bank = bank;
  line.deviceName = FlashDescriptionDeviceName(description);
  line.library = chosen;
  line.flashSize = FlashDescriptionSize(description);
  line.doubled = BankMode(module, bank) == 0;
  line.startText = BankStartText(module, bank);
  links_.flashInfo->SetBankLine(bank, BankLine(line));

  SetPagesConnected(true);
  SetBankBase(*links_.dm, module, bank);
  links_.flashInfo->AddBank(bank != 0, start, bank);
  return true;
}

void CConnectPage::FinishConnect(const IniFileAccess& module) {
  GeneralInfos general{};
  links_.dm->GetGeneralInfos(&general);
  SetStatus(Text(TextId::kReady));
  connectButton_->setText(Text(TextId::kDisconnect));
  tree_->setEnabled(false);

  DisconnectOffer offer;
  offer.softwareReset = module.SwReset() != 0;
  offer.hardwareReset = module.AutoBootEnable() != 0;
  offer.jumpToAddress = module.JumpEnable() != 0 && module.JumpToXXX() != 0;
  offer.jumpToZero = module.JumpEnable() != 0 && module.JumpToXXX() == 0;
  choices_->Offer(offer);
  autoBoot_->hide();
  choices_->Restore(module.DisconnectMode(), module.JumpAddress());

  connected_ = true;
  MyPropSheet& sheet = *links_.sheet;
  sheet.EnableToolButton(kCmdToolConnect, false);
  sheet.EnableToolButton(kCmdToolDisconnect, true);
  sheet.EnableToolButton(kCmdToolDownload, links_.download != nullptr && links_.download->FileLoaded());
  // A library page would have to be a widget of this program; the data
  // manager offers none, so nothing is inserted.
  modulePages_ = links_.dm->AddPages();
  sheet.SetActivePage(links_.flashInfo);
}

void CConnectPage::Disconnect() {
  const DisconnectChoice choice = choices_->Choice();
  if (choice.jumpToAddress && !ParseJumpAddress(choice.jumpText)) {
    ShowMessage("Invalid jump address: " + choice.jumpText + "\nEnter up to eight hexadecimal digits.", "Disconnect",
                MB_OK | MB_ICONWARNING);
    choices_->JumpAddress()->setFocus();
    return;
  }
  const WaitCursor wait;
  if (links_.shell != nullptr) links_.shell->DisableProtectedAreas();

  const IniFileAccess& module = ModuleDescription();
  DisconnectPlan plan = PlanDisconnect(choice);
  if (plan.disconnect) module.WriteDisconnect(*plan.disconnect);
  if (plan.jumpAddress) module.WriteJumpAddress(*plan.jumpAddress);
  links_.dm->ExitZelkor(&plan.request);

  connectButton_->setText(Text(TextId::kConnect));
  connected_ = false;
  SetPagesConnected(false);
  TheInfoUse() = InfoUse();
  tree_->setEnabled(true);
  tree_->setFocus();

  MyPropSheet& sheet = *links_.sheet;
  sheet.EnableToolButton(kCmdToolConnect, true);
  sheet.EnableToolButton(kCmdToolDisconnect, false);
  sheet.EnableToolButton(kCmdToolDownload, false);

  choices_->HideAll();
  autoBoot_->setVisible(module.AutoBootEnable() == 1);
  if (modulePages_ != nullptr) {
    links_.dm->RemovePages();
    modulePages_ = nullptr;
  }
  if (links_.shell != nullptr) links_.shell->RemoveUploadPage();
}

}  // namespace zk::gui
