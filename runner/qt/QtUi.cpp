#include "runner/qt/QtUi.h"

#include "client/qt/QtText.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace zk::runner {
namespace {

void ShowBox(QMessageBox::Icon icon, std::string_view text, std::string_view caption) {
  QMessageBox box(icon, client::Qs(caption), client::Qs(text), QMessageBox::Ok);
  box.exec();
}

}  // namespace

QtUi::QtUi() { wake_.setSingleShot(true); }

QtUi::~QtUi() = default;

void QtUi::ShowMessage(std::string_view text, MessageKind kind) {
  ShowBox(kind == MessageKind::kScript ? QMessageBox::Information : QMessageBox::Warning, text, kProgramName);
}

void QtUi::ShowResult(std::string_view text, std::string_view caption) { ShowBox(QMessageBox::Warning, text, caption); }

void QtUi::OpenStatus(std::string_view caption, bool cancelEnabled) {
  status_ = std::make_unique<CStatusDlg>();
  status_->SetProgress(0);
  status_->EnableCancel(cancelEnabled);
  status_->TakeCancelRequest();
  status_->SetCaption(client::Qs(caption));
  status_->adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = status_->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    status_->move(frame.topLeft());
  }
  status_->show();
  QCoreApplication::processEvents();
}

void QtUi::CloseStatus(bool succeeded) {
  if (!status_) return;
  if (succeeded) status_->SetProgress(100);
  status_.reset();
}

bool QtUi::PumpOneEvent(client::EventFilter filter) {
  QCoreApplication::processEvents(filter == client::EventFilter::kNoCommands ? QEventLoop::ExcludeUserInputEvents
                                                                             : QEventLoop::AllEvents);
  ServeMessageBoxRequests();
  // Qt hands on whatever is pending at once; the loop then waits.
  return false;
}

bool QtUi::TakeStopRequest() { return status_ && status_->TakeCancelRequest(); }

void QtUi::WaitForEvent(uint32_t milliseconds) {
  // The timer's event ends the wait when nothing else does.
  wake_.start(static_cast<int>(milliseconds));
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  wake_.stop();
}

void QtUi::ShowProgress(uint32_t percent) {
  if (status_) status_->SetProgress(static_cast<int>(percent));
}

void QtUi::Begin() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void QtUi::End() { QApplication::restoreOverrideCursor(); }

}  // namespace zk::runner
