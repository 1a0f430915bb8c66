#pragma once
// A page of the sheet: a widget with its tab title and dialog id that is
// told when it becomes the active page, and may refuse to.
#include <QString>
#include <QWidget>

namespace zk::gui {

class CPropertyPage : public QWidget {
 public:
  CPropertyPage(int dialogId, QString title, QWidget* parent = nullptr);

  int DialogId() const { return dialogId_; }
  const QString& Title() const { return title_; }

  // Called when the page is about to become the active page; false keeps
  // the page that was active.
  virtual bool OnSetActive() { return true; }
  // Called when another page becomes active.
  virtual void OnKillActive() {}

 private:
  const int dialogId_;
  const QString title_;
};

}  // namespace zk::gui
