#pragma once
// The message boxes of a windowed program: every box the program or a
// library asks for through the platform's one handler, shown as a Qt message
// box on the GUI thread; a worker thread's request is marshalled there and
// waits until it is answered. Tests install their own handler instead.
#include "platform/MessageBox.h"
#include "platform/NonCopyable.h"

#include <QObject>

#include <functional>
#include <string_view>

class QWidget;

namespace zk::client {

class QtMessageBoxes : public MessageBoxHandler, private NonCopyable {
 public:
  // The window that owns each box, asked for when a box is shown (none: no
  // owner).
  using OwnerWindow = std::function<QWidget*()>;

  // Installs itself for the calling (GUI) thread.
  explicit QtMessageBoxes(OwnerWindow owner = {});
  ~QtMessageBoxes() override;

  int Show(std::string_view text, std::string_view caption, uint32_t type) override;
  // Runs on the requesting thread: lets the GUI thread's event loop serve
  // the request.
  void Wake() override;

 private:
  OwnerWindow owner_;
  QObject context_;
};

}  // namespace zk::client
