#include "runner/qt/MainFrame.h"

#include "client/qt/QtText.h"
#include "runner/RunnerUi.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

namespace zk::runner {
namespace {

constexpr int kInitialWidth = 640;
constexpr int kInitialHeight = 480;

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(client::Qs(kProgramName));
  resize(kInitialWidth, kInitialHeight);
  setCentralWidget(new QMdiArea(this));

  QMenu* file = menuBar()->addMenu("&Datei");
  QAction* quit = file->addAction("&Beenden");
  connect(quit, &QAction::triggered, this, &QWidget::close);

  QMenu* view = menuBar()->addMenu("&Ansicht");
  QAction* statusBarShown = view->addAction("&Statusleiste");
  statusBarShown->setCheckable(true);
  statusBarShown->setChecked(true);
  connect(statusBarShown, &QAction::toggled, statusBar(), &QWidget::setVisible);

  QMenu* help = menuBar()->addMenu("&?");
  QAction* about = help->addAction(QString::fromUtf8("Info über Quillrun..."));
  connect(about, &QAction::triggered, this, &CMainFrame::ShowAbout);

  statusBar()->showMessage("Bereit");
}

void CMainFrame::ShowAbout() {
  QDialog dialog(this);
  dialog.setObjectName("dlg100");
  dialog.setWindowTitle(QString::fromUtf8("Info über Quillrun"));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel("Quillrun Version 1.0", &dialog));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  dialog.exec();
}

}  // namespace zk::runner
