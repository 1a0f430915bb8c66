#include "gui/shell/LogPane.h"

#include "gui/dialogs/FileDialogs.h"
#include "gui/shell/ActivityLog.h"
#include "gui/shell/Child.h"
#include "gui/shell/Globals.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/Texts.h"
#include "platform/Files.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace zk::gui {
namespace {

constexpr char kLogFilter[] = "Text files|*.txt|all files (*.*)|*.*||";
constexpr int kVisibleLines = 6;

}  // namespace

CLogPane::CLogPane(CActivityLog& log, QWidget* parent) : QDockWidget("Log", parent), log_(log) {
  setObjectName("logPane");
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  auto* body = Child<QWidget>(this);
  auto* layout = Child<QHBoxLayout>(body);
  layout->setContentsMargins(4, 2, 4, 4);
  text_ = Child<QPlainTextEdit>(body);
  text_->setObjectName("logText");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setMaximumBlockCount(static_cast<int>(CActivityLog::kMaxLines));
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->setMinimumHeight(text_->fontMetrics().lineSpacing() * kVisibleLines / 2);
  layout->addWidget(text_, 1);
  auto buttonColumn = std::make_unique<QVBoxLayout>();
  QVBoxLayout* buttons = buttonColumn.get();
  copy_ = Child<QPushButton>(body, QString("Copy"));
  save_ = Child<QPushButton>(body, QString("Save as text..."));
  copy_->setObjectName("logCopy");
  save_->setObjectName("logSave");
  for (QPushButton* button : {copy_, save_}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  layout->addLayout(buttonColumn.release());  // owned by layout
  setWidget(body);
  toggleViewAction()->setText("&Log");

  for (const LogLine& line : log_.Lines()) text_->appendPlainText(CActivityLog::Format(line));
  log_.SetListener([this](const LogLine& line) { text_->appendPlainText(CActivityLog::Format(line)); });
  connect(copy_, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(log_.Text()); });
  connect(save_, &QPushButton::clicked, this, [this] { OnSave(); });
  // Only the user's own choice is kept: a pane hidden with its window is
  // no choice.
  connect(toggleViewAction(), &QAction::triggered, this,
          [](bool shown) { Profile().WriteInt(kUserSection, kShowLogEntry, shown ? 1 : 0); });
}

CLogPane::~CLogPane() { log_.SetListener({}); }

bool CLogPane::ShownByProfile() { return Profile().GetInt(kUserSection, kShowLogEntry, 1) != 0; }

void CLogPane::OnSave() {
  const std::optional<QString> path = ChooseFile(this, FileDialogMode::kSave, WorkingDirectory(), kLogFilter);
  if (path) SaveTo(*path);
}

bool CLogPane::SaveTo(const QString& path) {
  if (files::ReplaceAtomically(Utf8(path), Utf8(log_.Text()))) return true;
  ShowMessage("The log could not be written to " + Utf8(path) + ".", "Save log", MB_OK | MB_ICONWARNING);
  return false;
}

}  // namespace zk::gui
