// The Qt face, headless: the status window, the waiting loop on Qt's event
// queue, message boxes and Cancel, with the scripted data manager.
#include "platform/Ini.h"
#include "runner/ScriptRunner.h"
#include "runner/qt/MainFrame.h"
#include "runner/qt/QtUi.h"
#include "runner/qt/StatusDialog.h"
#include "tests/runner/RunnerFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <sstream>

namespace zk::runner {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "QuillrunTests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication instance(argc, argv);
    return &instance;
  }();
  return *app;
}

// Answers every message box that comes up and remembers "title|text"; calls
// onIdle between boxes.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(std::function<void()> onIdle = {}) : onIdle_(std::move(onIdle)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxes.push_back(box->windowTitle().toStdString() + "|" + box->text().toStdString());
        box->accept();
      } else if (onIdle_) {
        onIdle_();
      }
    });
    timer_.start();
  }
  std::vector<std::string> boxes;

 private:
  std::function<void()> onIdle_;
  QTimer timer_;
};

TEST(QtFace, TheStatusWindowsControlsAndItsCancel) {
  App();
  CStatusDlg dialog;
  EXPECT_EQ(dialog.windowTitle(), "Status");
  auto* caption = dialog.findChild<QLabel*>("ctl1000");
  auto* bar = dialog.findChild<QProgressBar*>("ctl1001");
  auto* cancel = dialog.findChild<QPushButton*>("ctl2");
  ASSERT_TRUE(caption && bar && cancel);
  EXPECT_EQ(cancel->text(), "Cancel");
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 100);
  dialog.SetCaption("Downloading...");
  EXPECT_EQ(caption->text(), "Downloading...");

  dialog.show();
  cancel->click();
  EXPECT_TRUE(dialog.isVisible()) << "Cancel does not close the window";
  EXPECT_TRUE(dialog.TakeCancelRequest());
  EXPECT_FALSE(dialog.TakeCancelRequest());
  dialog.close();
  EXPECT_TRUE(dialog.isVisible()) << "nor does its close button";
}

TEST(QtFace, TheEmptyFrame) {
  App();
  CMainFrame frame;
  EXPECT_EQ(frame.windowTitle(), "Quillrun");
  QStringList menus;
  for (QAction* menu : frame.menuBar()->actions()) menus << menu->text();
  EXPECT_EQ(menus, (QStringList{"&Datei", "&Ansicht", "&?"}));
  EXPECT_EQ(frame.statusBar()->currentMessage(), "Bereit");
}

TEST(QtFace, TheStatusWindowOfACommand) {
  App();
  QtUi ui;
  ui.OpenStatus("Erasing chip...", false);
  ASSERT_NE(ui.Status(), nullptr);
  EXPECT_TRUE(ui.Status()->isVisible());
  EXPECT_FALSE(ui.Status()->findChild<QPushButton*>("ctl2")->isEnabled());
  ui.ShowProgress(40);
  EXPECT_EQ(ui.Status()->Progress(), 40);
  ui.CloseStatus(true);
  EXPECT_EQ(ui.Status(), nullptr);
}

TEST(QtFace, WaitingKeepsTheEventsFlowing) {
  App();
  QtUi ui;
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  for (int i = 0; i < 100 && !ran; ++i) ui.WaitForEvent(5);
  EXPECT_TRUE(ran);
}

// CScriptRunner with the Qt face against the scripted data manager, in this
// process.
class QtFaceRun : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    test::WriteMachineRegistry(dir_.Path() + "/machine.reg", std::string(test::kFakeDmRoot) + "/scripted");
    test::WriteFile(dir_.Path() + "/m/modul.ini", "[General]\nDmDLL=FakeDm\n");
    test::WriteFile(dir_.Path() + "/fake.ini", "[Fake]\n");
    setenv("ZELKOR_MACHINE_REGISTRY", (dir_.Path() + "/machine.reg").c_str(), 1);
    setenv("FAKE_DM_CONFIG", (dir_.Path() + "/fake.ini").c_str(), 1);
    setenv("FAKE_DM_LOG", (dir_.Path() + "/calls.log").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ZELKOR_MACHINE_REGISTRY");
    unsetenv("FAKE_DM_CONFIG");
    unsetenv("FAKE_DM_LOG");
  }
  ExitCode Run(const std::string& script, QtUi& ui) {
    test::WriteFile(dir_.Path() + "/s.qrs", script);
    CScriptRunner runner(ui, true);
    return runner.Run(dir_.Path() + "/s.qrs");
  }

  test::TempDir dir_;
};

TEST_F(QtFaceRun, MessagesAreBoxesTitledWithTheProgramsName) {
  QtUi ui;
  BoxAnswerer answerer;
  EXPECT_EQ(Run("MESSAGE \"all done\"\nFROB\n", ui), ExitCode::kFailed);
  EXPECT_THAT(answerer.boxes, ::testing::ElementsAre("Quillrun|ALL DONE", "Quillrun|Unknown command in line 2"));
}

TEST_F(QtFaceRun, CancelStopsTheOperation) {
  ini::WriteString(dir_.Path() + "/fake.ini", "Fake", "Polls", "-1");
  QtUi ui;
  BoxAnswerer answerer([&ui] {
    if (ui.Status() != nullptr) ui.Status()->findChild<QPushButton*>("ctl2")->click();
  });
  EXPECT_EQ(Run("CONNECT EXTERNAMD " + dir_.Path() + "/m\n", ui), ExitCode::kFailed);
  EXPECT_THAT(answerer.boxes, ::testing::ElementsAre("Quillrun|Error connecting"));
  EXPECT_THAT(test::ReadFile(dir_.Path() + "/calls.log"), ::testing::HasSubstr("DmStopCurrentThread"));
}

TEST(QtFaceProgram, RunsAScriptWithoutShowingAWindow) {
  test::TempDir dir;
  test::WriteFile(dir.Path() + "/s.qrs", "SELECTBANK 1\nENABLE VERBOSE\n");
  test::RunOptions options;
  options.args = {"--gui", dir.Path() + "/s.qrs"};
  options.env["QT_QPA_PLATFORM"] = "offscreen";
  const test::RunResult run = test::RunQuillrun(options);
  EXPECT_EQ(run.exitCode, 0) << run.err;

  options.env["QT_QPA_PLATFORM"] = std::nullopt;
  options.env["DISPLAY"] = std::nullopt;
  options.env["WAYLAND_DISPLAY"] = std::nullopt;
  const test::RunResult noDisplay = test::RunQuillrun(options);
  EXPECT_EQ(noDisplay.exitCode, 2);
  EXPECT_THAT(noDisplay.err, ::testing::HasSubstr("no display"));
}

TEST(QtFaceProgram, WithoutADisplayThereTheConsoleFaceRuns) {
  // A platform plugin alone, or a DISPLAY that names no server, is no one
  // to answer a message box: the run must not wait for one.
  test::TempDir dir;
  test::WriteFile(dir.Path() + "/s.qrs", "MESSAGE hello\n");
  test::RunOptions options;
  options.args = {dir.Path() + "/s.qrs"};
  options.env["QT_QPA_PLATFORM"] = "offscreen";
  options.env["DISPLAY"] = ":54321";
  options.env["WAYLAND_DISPLAY"] = std::nullopt;
  options.timeoutMs = 20000;
  const test::RunResult run = test::RunQuillrun(options);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "Quillrun: HELLO\n");
}

}  // namespace
}  // namespace zk::runner
