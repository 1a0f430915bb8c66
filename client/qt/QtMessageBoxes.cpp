#include "client/qt/QtMessageBoxes.h"

#include "client/qt/QtText.h"

#include <QMessageBox>
#include <QMetaObject>

#include <array>
#include <utility>

namespace zk::client {
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

QtMessageBoxes::QtMessageBoxes(OwnerWindow owner) : owner_(std::move(owner)) { SetMessageBoxHandler(this, true); }

QtMessageBoxes::~QtMessageBoxes() { SetMessageBoxHandler(nullptr, false); }

int QtMessageBoxes::Show(std::string_view text, std::string_view caption, uint32_t type) {
  QMessageBox box(IconOf(type), Qs(caption), Qs(text), ButtonsOf(type), owner_ ? owner_() : nullptr);
  const int pressed = box.exec();
  for (const ButtonAnswer& entry : kAnswers) {
    if (pressed == entry.button) return entry.answer;
  }
  return DefaultMessageBoxAnswer(type);
}

void QtMessageBoxes::Wake() {
  QMetaObject::invokeMethod(
      &context_, [] { ServeMessageBoxRequests(); }, Qt::QueuedConnection);
}

}  // namespace zk::client
