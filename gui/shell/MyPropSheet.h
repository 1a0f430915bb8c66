#pragma once
// The workbench's main window: a modal sheet of pages with a menu bar, a
// toolbar of six buttons, the accelerators, the log pane docked below the
// pages and a one-pane status bar. The
// Enter key never presses anything in it. Commands the sheet does not
// handle itself go to its command target (the application).
#include "gui/shell/Commands.h"
#include "gui/shell/PageLinks.h"
#include "gui/shell/StatusPane.h"

#include <QDialog>
#include <QHash>
#include <QPointer>

#include <memory>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QTabWidget;
class QToolBar;

namespace zk::gui {

class CHelpWindow;
class CLogPane;
class CPropertyPage;

// The result the sheet ends with when File / Exit presses its Finish button.
inline constexpr int kWizardFinish = 12325;

class MyPropSheet : public QDialog {
 public:
  explicit MyPropSheet(const QString& caption, QWidget* parent = nullptr);
  ~MyPropSheet() override;

  void SetCommandTarget(CommandTarget* target) { target_ = target; }
  void SetDownloadPage(DownloadPageLink* page) { downloadPage_ = page; }
  void SetConnectPage(CPropertyPage* page) { connectPage_ = page; }

  void AddPage(CPropertyPage* page);
  void RemovePage(CPropertyPage* page);
  // Takes every page out of the sheet without activating another.
  void RemoveAllPages();
  bool HasPage(const CPropertyPage* page) const;
  // Makes page the active page; an active page is activated again (it
  // refreshes itself). False when the page refused.
  bool SetActivePage(CPropertyPage* page);
  CPropertyPage* GetActivePage() const;

  CStatusPane* StatusBar() const { return status_; }
  void SetStatusText(const QString& text);
  void EnableToolButton(CommandId id, bool enable);
  bool ToolButtonEnabled(CommandId id) const;
  // The action of a menu item or toolbar button.
  QAction* Action(CommandId id) const;

  // Runs a command as if it were chosen from the menu.
  void RunCommand(CommandId id);
  // The help window at the topic of a control id (0: the contents), the
  // one of the dialog where the id has one there.
  void ShowHelp(int topic, int dialog = 0);
  CHelpWindow* HelpWindow() const { return help_.get(); }
  CLogPane* LogPane() const { return log_; }

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildMenu();
  void BuildToolBar();
  void BuildAccelerators();
  QAction* AddCommand(QMenu* menu, CommandId id, const QString& text);
  void UpdateMenu(QMenu* menu);
  void OnTabChanged(int index);

  CommandTarget* target_ = nullptr;
  DownloadPageLink* downloadPage_ = nullptr;
  CPropertyPage* connectPage_ = nullptr;
  QMenuBar* menuBar_;
  QToolBar* toolBar_;
  QTabWidget* tabs_;
  CStatusPane* status_;
  CLogPane* log_;
  QHash<int, QAction*> actions_;
  std::vector<CPropertyPage*> pages_;
  QPointer<CPropertyPage> active_;
  bool switching_ = false;
  std::unique_ptr<CHelpWindow> help_;
};

}  // namespace zk::gui
