#pragma once
// A small modal dialog: a text, one edit that gets the focus, OK and Cancel.
// The entered text is kept when the dialog ends with OK; a check may refuse
// the text, and the dialog then stays open with its reason shown.
#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;

namespace zk::gui {

struct TextEntryLayout {
  int dialogId = 0;
  QString caption;
  QString prompt;
  QString label;  // before the edit; empty: none
  int editId = 0;
  bool hidden = false;  // the characters are not shown
};

class CTextEntryDlg : public QDialog {
 public:
  // Returns why the text cannot be taken, or an empty text when it can.
  using Check = std::function<QString(const QString&)>;

  CTextEntryDlg(const TextEntryLayout& layout, QWidget* parent = nullptr);

  void SetCheck(Check check) { check_ = std::move(check); }
  const QString& Entered() const { return entered_; }
  QLineEdit* Edit() const { return edit_; }
  QLabel* Problem() const { return problem_; }

  // OK: the text is checked first; a refused text keeps the dialog open.
  void accept() override;

  QLineEdit* edit_;
  QLabel* problem_;
  Check check_;
  QString entered_;
};

}  // namespace zk::gui
