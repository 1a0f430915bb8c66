#include "gui/shell/HelpWindow.h"

#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/Texts.h"
#include "platform/Files.h"
#include "platform/Registry.h"

#include <QFile>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace zk::gui {
namespace {

constexpr QSize kHelpSize(620, 560);

}  // namespace

QString HelpFilePath() {
  const std::string beside = files::Join(files::HostProgramDir(), kHelpFileName);
  if (files::Exists(beside)) return Qs(beside);
  const std::optional<std::string> installed = reg::InstallationDirectory();
  return Qs(installed ? files::Join(*installed, kHelpFileName) : beside);
}

CHelpWindow::CHelpWindow(QWidget* parent) : QDialog(parent), browser_(Child<QTextBrowser>(this)) {
  setWindowTitle("Zelkor 3 Help");
  setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
  auto* layout = Child<QVBoxLayout>(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  browser_->setOpenLinks(true);
  resize(kHelpSize);
}

void CHelpWindow::Load() {
  if (!html_.isEmpty()) return;
  QFile file(HelpFilePath());
  if (!file.open(QIODevice::ReadOnly)) return;
  html_ = QString::fromUtf8(file.readAll());
  browser_->setSource(QUrl::fromLocalFile(HelpFilePath()));
}

void CHelpWindow::ShowTopic(int topic, int dialog) {
  Load();
  if (html_.isEmpty()) {
    ShowMessage(Utf8("Help file not found: " + HelpFilePath()), "Help", MB_OK | MB_ICONWARNING);
    return;
  }
  // A control id that several dialogs use has a topic per dialog.
  const auto present = [this](const QString& anchor) { return html_.contains("name=\"" + anchor + "\""); };
  const QString own = ControlName(dialog) + "-" + QString::number(topic);
  const QString anchor = ControlName(topic);
  topic_.clear();
  if (topic != 0 && dialog != 0 && present(own)) {
    topic_ = own;
  } else if (topic != 0 && present(anchor)) {
    topic_ = anchor;
  }
  show();
  raise();
  activateWindow();
  browser_->scrollToAnchor(topic_.isEmpty() ? QString("contents") : topic_);
}

}  // namespace zk::gui
