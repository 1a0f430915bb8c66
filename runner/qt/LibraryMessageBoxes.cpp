#include "runner/qt/LibraryMessageBoxes.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>

#include <array>

namespace zk::runner {
namespace {

struct ButtonAnswer {
  QMessageBox::StandardButton button;
  int answer;
};

constexpr std::array kAnswers{
    ButtonAnswer{QMessageBox::Ok, IDOK},         ButtonAnswer{QMessageBox::Cancel, IDCANCEL},
    ButtonAnswer{QMessageBox::Abort, IDABORT},   ButtonAnswer{QMessageBox::Retry, IDRETRY},
    ButtonAnswer{QMessageBox::Ignore, IDIGNORE}, ButtonAnswer{QMessageBox::Yes, IDYES},
    ButtonAnswer{QMessageBox::No, IDNO},
};

QMessageBox::StandardButtons ButtonsOf(uint32_t type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_ABORTRETRYIGNORE: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case MB_YESNOCANCEL: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO: return QMessageBox::Yes | QMessageBox::No;
    case MB_RETRYCANCEL: return QMessageBox::Retry | QMessageBox::Cancel;
    default: return QMessageBox::Ok;
  }
}

QMessageBox::Icon IconOf(uint32_t type) {
  switch (type & ~MB_TYPEMASK) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

}  // namespace

LibraryMessageBoxes::LibraryMessageBoxes() { SetMessageBoxHandler(this, true); }

LibraryMessageBoxes::~LibraryMessageBoxes() { SetMessageBoxHandler(nullptr, false); }

int LibraryMessageBoxes::Show(std::string_view text, std::string_view caption, uint32_t type) {
  QMessageBox box(IconOf(type), QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())),
                  QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), ButtonsOf(type));
  const int pressed = box.exec();
  for (const ButtonAnswer& entry : kAnswers) {
    if (pressed == entry.button) return entry.answer;
  }
  return DefaultMessageBoxAnswer(type);
}

void LibraryMessageBoxes::Wake() {
  // Runs on the requesting thread: the GUI thread serves the request from
  // its event loop.
  QMetaObject::invokeMethod(QCoreApplication::instance(), [] { ServeMessageBoxRequests(); }, Qt::QueuedConnection);
}

}  // namespace zk::runner
