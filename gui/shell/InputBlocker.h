#pragma once
// Keeps the user's input away from the windows that were open when a data
// manager operation started, for the lifetime of the object: clicks, keys,
// shortcuts and close requests are dropped, so no second operation can
// start; painting, timers and windows opened meanwhile (a library's message
// box) carry on. With a cancel button, a left click on it or the Enter key
// is taken as a stop request instead.
#include <QObject>
#include <QPointer>
#include <QSet>

class QAbstractButton;
class QWidget;

namespace zk::gui {

class InputBlocker : public QObject {
 public:
  explicit InputBlocker(QAbstractButton* cancelButton = nullptr);
  ~InputBlocker() override;

  // Whether a stop request came since the last call; the request is consumed.
  bool TakeStopRequest();

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override;

 private:
  bool Blocked(QObject* receiver) const;
  bool IsStopRequest(QEvent* event) const;

  QSet<const QWidget*> windows_;
  QPointer<QAbstractButton> cancel_;
  bool stopRequested_ = false;
};

}  // namespace zk::gui
