#pragma once
// The log pane: a dock of the main window showing the activity log, a
// line per step, status, message and result code, with Copy (to the
// clipboard) and "Save as text...". Whether it is shown is kept in the
// profile ("User", "ShowLog").
#include <QDockWidget>

class QPlainTextEdit;
class QPushButton;

namespace zk::gui {

class CActivityLog;

inline constexpr char kShowLogEntry[] = "ShowLog";

class CLogPane : public QDockWidget {
 public:
  // Shows log (its lines so far and every line added while the pane lives).
  explicit CLogPane(CActivityLog& log, QWidget* parent = nullptr);
  ~CLogPane() override;

  // The user's choice of the profile; shown when there is none.
  static bool ShownByProfile();

  QPlainTextEdit* TextView() const { return text_; }
  QPushButton* CopyButton() const { return copy_; }
  QPushButton* SaveButton() const { return save_; }
  // Writes the log to path; false (with a message) when it cannot.
  bool SaveTo(const QString& path);

 private:
  void OnSave();

  CActivityLog& log_;
  QPlainTextEdit* text_;
  QPushButton* copy_;
  QPushButton* save_;
};

}  // namespace zk::gui
