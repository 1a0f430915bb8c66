#include "gui/shell/MyPropSheet.h"

#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/Globals.h"
#include "gui/shell/HelpWindow.h"
#include "gui/shell/LogPane.h"
#include "gui/shell/PropertyPage.h"
#include "gui/shell/Texts.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace zk::gui {
namespace {

constexpr QSize kSheetSize(900, 780);
constexpr QSize kMinimumSize(640, 480);
constexpr int kPageMargin = 8;
// The log pane's first height; the user drags it from there.
constexpr int kLogHeight = 150;

struct ToolButton {
  CommandId id;
  const char* text;
  QStyle::StandardPixmap icon;
  bool separatorBefore;
};

// Toolbar 130: the buttons in their order, the texts being their tips.
constexpr ToolButton kToolButtons[] = {
    {kCmdToolLoad, "Load file", QStyle::SP_DialogOpenButton, false},
    {kCmdToolDownload, "Download file", QStyle::SP_ArrowDown, false},
    {kCmdToolConnect, "Connect", QStyle::SP_DialogApplyButton, true},
    {kCmdToolDisconnect, "Disconnect", QStyle::SP_DialogCancelButton, false},
    {kCmdToolHelp, "Help", QStyle::SP_DialogHelpButton, true},
    {kCmdToolInfo, "Info", QStyle::SP_MessageBoxInformation, false},
};

bool IsEnterKey(const QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// The dialog id of the page that holds widget; 0 outside the pages.
int PageIdOf(const QWidget* widget) {
  for (; widget != nullptr; widget = widget->parentWidget()) {
    if (const auto* page = dynamic_cast<const CPropertyPage*>(widget)) return page->DialogId();
  }
  return 0;
}

}  // namespace

MyPropSheet::MyPropSheet(const QString& caption, QWidget* parent)
    : QDialog(parent),
      menuBar_(Child<QMenuBar>(this)),
      toolBar_(Child<QToolBar>(this)),
      tabs_(Child<QTabWidget>(this)),
      status_(Child<CStatusPane>(this)),
      log_(nullptr) {
  setWindowTitle(caption);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
  setSizeGripEnabled(true);

  auto* layout = Child<QVBoxLayout>(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setMenuBar(menuBar_);
  layout->addWidget(toolBar_);
  // The pages in a window of their own within the sheet, so that the log
  // pane can dock to any of its sides or float.
  auto* body = Child<QMainWindow>(this);
  body->setWindowFlags(Qt::Widget);
  auto* pages = Child<QWidget>(body);
  auto* pagesLayout = Child<QVBoxLayout>(pages);
  pagesLayout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
  pagesLayout->addWidget(tabs_);
  body->setCentralWidget(pages);
  log_ = Child<CLogPane>(body, TheLog());
  body->addDockWidget(Qt::BottomDockWidgetArea, log_);
  body->resizeDocks({log_}, {kLogHeight}, Qt::Vertical);
  log_->setVisible(CLogPane::ShownByProfile());
  layout->addWidget(body, 1);
  layout->addWidget(status_);

  SetControlId(tabs_, kSheetTabs);
  tabs_->setDocumentMode(false);
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) { OnTabChanged(index); });

  BuildMenu();
  BuildToolBar();
  BuildAccelerators();

  resize(kSheetSize);
  setMinimumSize(kMinimumSize);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  status_->SetText(Text(TextId::kReady));
  QCoreApplication::instance()->installEventFilter(this);
}

MyPropSheet::~MyPropSheet() { QCoreApplication::instance()->removeEventFilter(this); }

QAction* MyPropSheet::AddCommand(QMenu* menu, CommandId id, const QString& text) {
  QAction* action = menu->addAction(text);
  SetControlId(action, id);
  actions_.insert(id, action);
  connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
  return action;
}

void MyPropSheet::BuildMenu() {
  QMenu* file = menuBar_->addMenu("&File");
  AddCommand(file, kCmdOpen, "&Open...")->setShortcut(QKeySequence("Ctrl+O"));
  AddCommand(file, kCmdDownload, "&Download")->setShortcut(QKeySequence("Ctrl+D"));
  file->addSeparator();
  AddCommand(file, kCmdExit, "E&xit");
  QMenu* connection = menuBar_->addMenu("&Connection");
  AddCommand(connection, kCmdConnect, "&Connect");
  AddCommand(connection, kCmdDisconnect, "&Disconnect");
  QMenu* config = menuBar_->addMenu("C&onfig");
  AddCommand(config, kCmdProtocol, "&Protocol...");
  QMenu* view = menuBar_->addMenu("&View");
  view->addAction(log_->toggleViewAction());
  QMenu* help = menuBar_->addMenu("&?");
  AddCommand(help, kCmdHelpTopics, "&Help topics");
  help->addSeparator();
  AddCommand(help, kCmdInfo, "&Info about Zelkor 3...");
  for (QMenu* menu : {file, connection, config, help}) {
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenu(menu); });
  }
}

void MyPropSheet::BuildToolBar() {
  toolBar_->setMovable(false);
  toolBar_->setFloatable(false);
  toolBar_->setIconSize(QSize(20, 20));
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  for (const ToolButton& button : kToolButtons) {
    if (button.separatorBefore) toolBar_->addSeparator();
    QAction* action = toolBar_->addAction(style()->standardIcon(button.icon), button.text);
    action->setToolTip(button.text);
    SetControlId(action, button.id);
    actions_.insert(button.id, action);
    const CommandId id = button.id;
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    if (QWidget* widget = toolBar_->widgetForAction(action)) SetControlId(widget, id);
  }
  EnableToolButton(kCmdToolDownload, false);
  EnableToolButton(kCmdToolDisconnect, false);
}

void MyPropSheet::BuildAccelerators() {
  // Table 168: the two hidden commands, and F1 for the help topic of the
  // control that has the focus.
  const struct {
    const char* keys;
    CommandId id;
  } hidden[] = {{"Ctrl+Alt+Shift+S", kCmdProtectedAreas}, {"Ctrl+Alt+Shift+U", kCmdPassword}};
  for (const auto& accelerator : hidden) {
    auto* shortcut = Child<QShortcut>(this, QKeySequence(accelerator.keys));
    const CommandId id = accelerator.id;
    connect(shortcut, &QShortcut::activated, this, [this, id] { RunCommand(id); });
  }
  auto* f1 = Child<QShortcut>(this, QKeySequence(Qt::Key_F1));
  connect(f1, &QShortcut::activated, this, [this] {
    const QWidget* focus = QApplication::focusWidget();
    ShowHelp(ControlIdOf(focus), PageIdOf(focus));
  });
}

void MyPropSheet::UpdateMenu(QMenu* menu) {
  for (QAction* action : menu->actions()) {
    const int id = actions_.key(action, 0);
    if (id == kCmdConnect || id == kCmdDisconnect || id == kCmdDownload) {
      action->setEnabled(target_ != nullptr && target_->CommandEnabled(static_cast<CommandId>(id)));
    }
  }
}

void MyPropSheet::RunCommand(CommandId id) {
  switch (id) {
    case kCmdExit: done(kWizardFinish); return;
    case kCmdHelpTopics:
    case kCmdToolHelp: ShowHelp(0); return;
    default:
      if (target_ != nullptr) target_->OnCommand(id);
  }
}

void MyPropSheet::ShowHelp(int topic, int dialog) {
  if (!help_) help_ = std::make_unique<CHelpWindow>(this);
  help_->ShowTopic(topic, dialog);
}

QAction* MyPropSheet::Action(CommandId id) const { return actions_.value(id, nullptr); }

void MyPropSheet::EnableToolButton(CommandId id, bool enable) {
  if (QAction* action = Action(id)) action->setEnabled(enable);
}

bool MyPropSheet::ToolButtonEnabled(CommandId id) const {
  const QAction* action = Action(id);
  return action != nullptr && action->isEnabled();
}

void MyPropSheet::SetStatusText(const QString& text) { status_->SetText(text); }

void MyPropSheet::AddPage(CPropertyPage* page) {
  if (HasPage(page)) return;
  pages_.push_back(page);
  tabs_->addTab(page, page->Title());
}

void MyPropSheet::RemovePage(CPropertyPage* page) {
  const int index = tabs_->indexOf(page);
  std::erase(pages_, page);
  if (index >= 0) tabs_->removeTab(index);
}

void MyPropSheet::RemoveAllPages() {
  switching_ = true;
  while (tabs_->count() > 0) tabs_->removeTab(0);
  switching_ = false;
  pages_.clear();
  active_ = nullptr;
}

bool MyPropSheet::HasPage(const CPropertyPage* page) const {
  return std::find(pages_.begin(), pages_.end(), page) != pages_.end();
}

CPropertyPage* MyPropSheet::GetActivePage() const { return active_.data(); }

bool MyPropSheet::SetActivePage(CPropertyPage* page) {
  const int index = tabs_->indexOf(page);
  if (index < 0) return false;
  if (page == active_) return page->OnSetActive();
  tabs_->setCurrentIndex(index);
  return active_ == page;
}

void MyPropSheet::OnTabChanged(int index) {
  if (switching_) return;
  auto* page = static_cast<CPropertyPage*>(tabs_->widget(index));
  if (page == nullptr || page == active_) return;
  if (!page->OnSetActive()) {
    // The page refused: the page that was active stays.
    switching_ = true;
    const int previous = active_ != nullptr ? tabs_->indexOf(active_) : -1;
    if (previous >= 0) tabs_->setCurrentIndex(previous);
    switching_ = false;
    return;
  }
  if (active_ != nullptr) active_->OnKillActive();
  active_ = page;
}

bool MyPropSheet::eventFilter(QObject* receiver, QEvent* event) {
  // Enter never presses a button of the sheet or of its pages.
  if (IsEnterKey(event) && receiver->isWidgetType() && static_cast<QWidget*>(receiver)->window() == this) {
    return true;
  }
  return QDialog::eventFilter(receiver, event);
}

void MyPropSheet::keyPressEvent(QKeyEvent* event) {
  // The sheet has no Cancel button: Escape does not end it.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void MyPropSheet::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && downloadPage_ != nullptr) {
    downloadPage_->CheckFileChanged();
  }
}

}  // namespace zk::gui
