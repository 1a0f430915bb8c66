#pragma once
// The help window: the program's HTML help file (ZelkorGui.html beside the
// program, else in the installation directory) in a browser. Its topics are anchors named "ctl<id>" after the
// control ids; a topic the file does not hold shows the contents.
#include <QDialog>
#include <QString>

class QTextBrowser;

namespace zk::gui {

inline constexpr char kHelpFileName[] = "ZelkorGui.html";

// The help file of the running program.
QString HelpFilePath();

class CHelpWindow : public QDialog {
 public:
  explicit CHelpWindow(QWidget* parent = nullptr);

  // Shows the window at the topic of control id topic (0: the contents).
  void ShowTopic(int topic, int dialog = 0);
  // The anchor shown last; empty for the contents.
  const QString& CurrentTopic() const { return topic_; }
  bool FileLoaded() const { return !html_.isEmpty(); }

 private:
  void Load();

  QTextBrowser* browser_;
  QString html_;
  QString topic_;
};

}  // namespace zk::gui
