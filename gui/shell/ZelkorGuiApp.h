#pragma once
// The application: finds the installation, builds the sheet and its pages
// and wires them, runs the sheet modally, and on the way out closes a
// connection that is still open.
#include "client/DmAccess.h"
#include "gui/shell/Commands.h"
#include "gui/shell/GuiFlow.h"
#include "gui/shell/PageLinks.h"
#include "gui/shell/WaitCursor.h"
#include "platform/NonCopyable.h"

#include <QString>

#include <memory>
#include <string>

namespace zk::gui {

class CConnectPage;
class CDownloadPage;
class CFlashInfoPage;
class CProtectedAreaInfo;
class CSave;
class GlobalObjects;
class MyPropSheet;

class CZelkorGuiApp : public CommandTarget, public ShellLink, private NonCopyable {
 public:
  CZelkorGuiApp();
  ~CZelkorGuiApp() override;

  // Start-up up to the sheet's run: false (after message 205) when the
  // installation directory is not registered.
  bool InitInstance();
  // Closes an open connection with disconnect mode 0 and deletes the sheet
  // and its pages.
  void ExitInstance();
  // The whole program: start-up, the modal sheet, the way out.
  int Run();

  void OnCommand(CommandId id) override;
  bool CommandEnabled(CommandId id) const override;
  void DisableProtectedAreas() override;
  void RemoveUploadPage() override;
  bool ReadAccess() const override { return uploadInserted_; }

  bool ProtectedAreasEnabled() const override { return protectedAreas_; }
  const std::string& InstallationDirectory() const { return installDir_; }
  client::CDmAccess& DataManager() { return dm_; }
  CGuiFlow& Flows() { return flow_; }
  MyPropSheet* Sheet() const { return sheet_.get(); }
  CConnectPage* ConnectPage() const { return connect_.get(); }
  CFlashInfoPage* FlashInfoPage() const { return flashInfo_.get(); }
  CDownloadPage* DownloadPage() const { return download_.get(); }
  CProtectedAreaInfo* ProtectedAreasPage() const { return protectedAreaInfo_.get(); }
  CSave* UploadPage() const { return upload_.get(); }
  bool UploadPageInserted() const { return uploadInserted_; }

 private:
  void ToggleProtectedAreas();
  void RunProtocolDialog();
  void RunInfoDialog();
  void RunPassword();
  void ActivateDownloadPage();

  std::unique_ptr<GlobalObjects> globals_;
  client::CDmAccess dm_;
  CGuiFlow flow_{dm_};
  WaitCursorIndicator busy_;
  std::string installDir_;
  bool uploadInserted_ = false;
  bool protectedAreas_ = false;
  QString statusText_;
  // The sheet before its pages: the pages go first.
  std::unique_ptr<MyPropSheet> sheet_;
  std::unique_ptr<CFlashInfoPage> flashInfo_;
  std::unique_ptr<CDownloadPage> download_;
  std::unique_ptr<CProtectedAreaInfo> protectedAreaInfo_;
  std::unique_ptr<CSave> upload_;
  std::unique_ptr<CConnectPage> connect_;
};

}  // namespace zk::gui
