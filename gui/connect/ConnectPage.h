#pragma once
// The connect page (dialog 106, tab "Connect"): the module types below the
// installation's target directory as a tree, the selected module's
// description text, and the one button that connects to the selected module
// or disconnects from it, with the disconnect choices the module offers,
// and what the module's COM port maps to before anything is opened.
#include "client/DmAccess.h"
#include "client/FlashTable.h"
#include "common/IniFileAccess.h"
#include "gui/shell/PageLinks.h"
#include "gui/shell/PropertyPage.h"

#include <optional>
#include <span>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidgetItem;

namespace zk::gui {

class CDisconnectChoices;
class CFlashInfoPage;
class CGuiFlow;
class CModuleTree;
class MyPropSheet;

class CConnectPage : public CPropertyPage {
 public:
  struct Links {
    MyPropSheet* sheet = nullptr;
    CFlashInfoPage* flashInfo = nullptr;
    DownloadPageLink* download = nullptr;
    ConnectionListener* protectedAreas = nullptr;
    client::CDmAccess* dm = nullptr;
    CGuiFlow* flow = nullptr;
    ShellLink* shell = nullptr;
  };

  explicit CConnectPage(const Links& links, QWidget* parent = nullptr);

  void SetInstallationDirectory(std::string dir) { installDir_ = std::move(dir); }
  // The page's initialisation: the module tree, the last used module and
  // the data manager library it names.
  void Initialize();
  bool OnSetActive() override;

  // Button 1002, a double click in the tree and the Connection commands.
  void ConnectOrDisconnect();
  bool Connected() const { return connected_; }

  CModuleTree* Tree() const { return tree_; }
  QPushButton* ConnectButton() const { return connectButton_; }
  QLabel* InfoText() const { return infoText_; }
  QLabel* PortText() const { return portText_; }
  QCheckBox* AutoBoot() const { return autoBoot_; }
  CDisconnectChoices* Choices() const { return choices_; }

 private:
  void Connect();
  // Ends a connect that failed after the login: the code reported (unless
  // 0), status "Ready", the bar at 0, the connection closed.
  void AbortConnect(ResultCode code);
  // The chooser dialog when a bank offers more than one flash library.
  std::optional<std::size_t> ChooseLibrary(std::span<const FlashLibInfo> found);
  // A bank connected: its line, its groups on the flash info page.
  void ShowBank(const IniFileAccess& module, const client::BankRow& row);
  void FinishConnect(const IniFileAccess& module);
  void Disconnect();
  void SetPagesConnected(bool connected);

  void OnSelectionChanged();
  void ShowModule(const std::string& moduleDir);
  std::string SelectedModuleDirectory() const;
  void SetStatus(const QString& text);

  Links links_;
  std::string installDir_;
  bool connected_ = false;
  void* modulePages_ = nullptr;

  CModuleTree* tree_;
  QLabel* infoText_;
  QLabel* portText_;
  QCheckBox* autoBoot_;
  CDisconnectChoices* choices_;
  QPushButton* connectButton_;
};

}  // namespace zk::gui
