// The connect page's connect and disconnect sequences.
#include "gui/connect/ConnectPage.h"

#include "client/ModuleBanks.h"
#include "gui/connect/DisconnectChoices.h"
#include "gui/connect/ModuleTree.h"
#include "gui/dialogs/FlashLibDlg.h"
#include "gui/flashinfo/FlashDescription.h"
#include "gui/flashinfo/FlashInfoPage.h"
#include "gui/shell/Globals.h"
#include "gui/shell/GuiFlow.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/Texts.h"
#include "gui/shell/WaitCursor.h"
#include "gui/shell/WaitLoops.h"
#include "platform/Files.h"
#include "platform/Library.h"

#include <algorithm>
#include <iterator>

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace zk::gui {
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
}

void CConnectPage::Connect() {
  const std::string moduleDir = SelectedModuleDirectory();
  if (tree_->currentItem() == nullptr || HasSubdirectories(moduleDir)) return;
  const WaitCursor wait;
  SetStatus(Text(TextId::kLoadingFirmware));
  const StatusProgress progress(links_.sheet->StatusBar());

  const std::string modulePath = client::ModuleDescriptionPath(moduleDir);
  const IniFileAccess module(modulePath);
  // Only where the box is offered: a remembered 0 would stop the command
  // layer driving the reset and boot lines of this module.
  if (module.AutoBootEnable() == 1) module.WriteAutoBoot(autoBoot_->isChecked() ? 1 : 0);
  links_.flashInfo->SetModulePath(modulePath);

  CGuiFlow& flow = *links_.flow;
  flow.chooser = [this](int, std::span<const FlashLibInfo> found) { return ChooseLibrary(found); };
  flow.stageReached = [this](client::ConnectStage stage) {
    if (stage == client::ConnectStage::kSearchingLibrary) SetStatus(Text(TextId::kSearchingFlashLib));
    if (stage == client::ConnectStage::kStartingLibrary) SetStatus(Text(TextId::kStartingFlashLib));
  };
  flow.bankConnected = [this, &module](const client::BankRow& row) { ShowBank(module, row); };
  const CGuiFlow::WaitScope scope(flow, CGuiFlow::Progress(progress.Bar()));
  const client::ConnectOutcome outcome = flow.Flow().Connect(moduleDir);
  switch (outcome.step) {
    case client::ConnectStep::kConnected: break;
    case client::ConnectStep::kLibraryName:
      ShowMessage(outcome.refusal, "Connect", MB_OK | MB_ICONERROR);
      SetStatus(Text(TextId::kReady));
      return;
    case client::ConnectStep::kLoad:
      ReportResult("Connect", kDmDllNotLoaded);
      SetStatus(Text(TextId::kReady));
      return;
    case client::ConnectStep::kLogin: AbortConnect(outcome.login.status); return;
    case client::ConnectStep::kOldFirmware: AbortConnect(kOldFirmware); return;
    case client::ConnectStep::kNoFlashLibrary:
    case client::ConnectStep::kSelectFailed:
      // A chooser the user closed is no failure to report.
      AbortConnect(outcome.chooserDeclined ? kOk : kNoFlashLibrary);
      return;
  }
  const LoginInfo& login = flow.Flow().Login();
  InfoUse& info = TheInfoUse();
  info.SetMajor(login.bytes[0]);
  info.SetMinor(login.bytes[1]);
  info.SetBuild(login.bytes[2]);
  FinishConnect(module);
}

std::optional<std::size_t> CConnectPage::ChooseLibrary(std::span<const FlashLibInfo> found) {
  if (found.size() == 1) return 0;
  CFlashLibDlg dialog(installDir_, this);
  for (const FlashLibInfo& info : found) dialog.Add(info);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const FlashLibInfo& chosen = dialog.Chosen();
  for (std::size_t n = 0; n < found.size(); ++n) {
    if (std::equal(std::begin(found[n].words), std::end(found[n].words), std::begin(chosen.words))) return n;
  }
  return std::nullopt;
}

void CConnectPage::ShowBank(const IniFileAccess& module, const client::BankRow& row) {
  const std::string description = FlashDescriptionPath(installDir_, row.library);
  links_.flashInfo->SetFlashDescriptionPath(description);

  BankLineFields line;
  line.bank = row.bank;
  line.deviceName = FlashDescriptionDeviceName(description);
  line.library = row.library;
  line.flashSize = FlashDescriptionSize(description);
  line.doubled = client::BankMode(module, row.bank) == 0;
  line.startText = row.startText;
  links_.flashInfo->SetBankLine(row.bank, BankLine(line));

  SetPagesConnected(true);
  links_.flashInfo->AddBank(row.bank != 0, row, links_.flow->Flow().Table());
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
  links_.flow->Flow().Disconnect(plan.request);

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
