#include "gui/shell/InputBlocker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include <utility>

namespace zk::gui {
namespace {

bool IsInputEvent(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Close: return true;
    default: return false;
  }
}

// The widget an event for receiver acts on: the receiver itself, or for a
// shortcut or an action the widget that holds it.
const QWidget* OwningWidget(const QObject* receiver) {
  for (; receiver != nullptr; receiver = receiver->parent()) {
    if (receiver->isWidgetType()) return static_cast<const QWidget*>(receiver);
  }
  return nullptr;
}

bool IsEnter(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

InputBlocker::InputBlocker(QAbstractButton* cancelButton) : cancel_(cancelButton) {
  for (const QWidget* window : QApplication::topLevelWidgets()) windows_.insert(window);
  QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker() { QCoreApplication::instance()->removeEventFilter(this); }

bool InputBlocker::TakeStopRequest() { return std::exchange(stopRequested_, false); }

bool InputBlocker::Blocked(QObject* receiver) const {
  const QWidget* widget = OwningWidget(receiver);
  return widget != nullptr && windows_.contains(widget->window());
}

bool InputBlocker::IsStopRequest(QEvent* event) const {
  if (cancel_ == nullptr) return false;
  if (IsEnter(event)) return true;
  if (event->type() != QEvent::MouseButtonPress) return false;
  const auto* mouse = static_cast<const QMouseEvent*>(event);
  if (mouse->button() != Qt::LeftButton || !cancel_->isVisible()) return false;
  const QPoint local = cancel_->mapFromGlobal(mouse->globalPosition().toPoint());
  return cancel_->rect().contains(local);
}

bool InputBlocker::eventFilter(QObject* receiver, QEvent* event) {
  if (!IsInputEvent(event->type()) || !Blocked(receiver)) return false;
  // Qt hands a click to the window before the widget under the mouse; only
  // the widget's copy counts.
  if (receiver->isWidgetType() && IsStopRequest(event)) stopRequested_ = true;
  // An ignored close request leaves the window open.
  event->ignore();
  return true;
}

}  // namespace zk::gui
