#pragma once
// The program's frame window: shown empty when no script is given, created
// and kept hidden while a script runs.
#include <QMainWindow>

namespace zk::runner {

class CMainFrame : public QMainWindow {
 public:
  explicit CMainFrame(QWidget* parent = nullptr);

 private:
  void ShowAbout();
};

}  // namespace zk::runner
