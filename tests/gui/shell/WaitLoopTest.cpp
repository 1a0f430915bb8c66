// The waits for a data manager worker: the window keeps going while the
// user's clicks, keys, commands and close requests are kept away from it;
// the Cancel button and Enter stop a cancellable wait; a worker thread's
// message box is answered meanwhile.
#include "gui/connect/ConnectPage.h"
#include "gui/shell/Child.h"
#include "gui/shell/StatusPane.h"
#include "gui/shell/WaitLoops.h"
#include "tests/gui/GuiFixture.h"

#include <QDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QVBoxLayout>

#include <atomic>
#include <thread>

namespace zk::gui::test {
namespace {

class WaitLoopTest : public GuiFixture {
 protected:
  void SetUp() override {
    GuiFixture::SetUp();
    AddModule("Mod", StandardModule());
    SetLastModul("Mod");
  }
};

TEST_F(WaitLoopTest, ClicksKeysCommandsAndCloseDuringTheLoginAreDropped) {
  StartApp();
  Fake().polls = 6;
  int polls = 0;
  bool dialogOpened = false;
  Fake().onPoll = [&] {
    if (++polls != 2) return;
    MyPropSheet* sheet = app_->Sheet();
    QTest::mouseClick(app_->ConnectPage()->ConnectButton(), Qt::LeftButton);
    QTest::keyClick(app_->ConnectPage()->ConnectButton(), Qt::Key_Space);
    QTest::mouseClick(sheet->findChild<QToolBar*>()->widgetForAction(sheet->Action(kCmdToolInfo)), Qt::LeftButton);
    QTest::keyClick(sheet, Qt::Key_U, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_FALSE(sheet->close());
    dialogOpened = QApplication::activeModalWidget() != nullptr;
  };
  app_->ConnectPage()->ConnectButton()->click();
  EXPECT_GE(polls, 6);
  EXPECT_FALSE(dialogOpened);
  EXPECT_EQ(Calls("DmLogin").size(), 1u);
  EXPECT_TRUE(app_->ConnectPage()->Connected());
  EXPECT_TRUE(app_->Sheet()->isVisible());
  // Afterwards the window takes input again.
  QTest::mouseClick(app_->ConnectPage()->ConnectButton(), Qt::LeftButton);
  EXPECT_FALSE(app_->ConnectPage()->Connected());
}

TEST_F(WaitLoopTest, TheStatusPaneShowsTheStepAndTheProgress) {
  StartApp();
  Fake().progress = 37;
  QString status;
  int shown = -1;
  Fake().onPoll = [&] {
    status = app_->Sheet()->StatusBar()->Text();
    if (QProgressBar* bar = app_->Sheet()->StatusBar()->Progress()) shown = bar->value();
  };
  app_->ConnectPage()->ConnectButton()->click();
  EXPECT_EQ(status, "Loading firmware");
  EXPECT_EQ(shown, 37);
  EXPECT_EQ(app_->Sheet()->StatusBar()->Progress(), nullptr);
}

TEST_F(WaitLoopTest, AWorkerThreadsMessageBoxIsAnsweredDuringTheWait) {
  SetMessageBoxHandler(&boxes_, true);
  boxes_.answers = {IDYES};
  StartApp();
  Fake().polls = 2000;
  std::atomic<int> answer{0};
  std::thread worker;
  Fake().onPoll = [&] {
    if (!worker.joinable()) worker = std::thread([&] { answer = MessageBox("Go on?", "Worker", MB_YESNO); });
    if (answer != 0) Fake().pollsLeft = 0;
  };
  app_->ConnectPage()->ConnectButton()->click();
  worker.join();
  EXPECT_EQ(answer, IDYES);
  ASSERT_FALSE(boxes_.shown.empty());
  EXPECT_EQ(boxes_.shown[0].text, "Go on?");
  EXPECT_TRUE(app_->ConnectPage()->Connected());
}

// A window with the operation's button (reading "Cancel") and another one.
class CancellableLoopTest : public WaitLoopTest {
 protected:
  void SetUp() override {
    WaitLoopTest::SetUp();
    layout_ = Child<QVBoxLayout>(&window_);
    layout_->addWidget(&cancel_);
    layout_->addWidget(&other_);
    QObject::connect(&other_, &QPushButton::clicked, [this] { ++otherClicks_; });
    window_.show();
    ASSERT_TRUE(dm_.Load("KORDm"));
    Fake().polls = 1000;
    WorkerThreadInfo thread{};
    dm_.Login("module", nullptr, &thread);
  }
  client::WaitOutcome Wait() {
    CancellableWait wait;
    wait.cancel = &cancel_;
    wait.pause = 1;
    wait.confirm = [this] {
      ++confirmations_;
      return confirmAnswer_;
    };
    return CancellableLoop(dm_, wait);
  }

  QWidget window_;
  QVBoxLayout* layout_ = nullptr;
  QPushButton cancel_{"Cancel"};
  QPushButton other_{"Other"};
  client::CDmAccess dm_;
  int otherClicks_ = 0;
  int confirmations_ = 0;
  bool confirmAnswer_ = true;
};

TEST_F(CancellableLoopTest, AClickOnCancelAsksAndStops) {
  int polls = 0;
  Fake().onPoll = [&] {
    if (++polls == 3) QTest::mouseClick(&other_, Qt::LeftButton);
    if (polls == 5) QTest::mouseClick(&cancel_, Qt::LeftButton);
  };
  const client::WaitOutcome outcome = Wait();
  EXPECT_EQ(outcome.end, client::WaitEnd::kStopped);
  EXPECT_EQ(confirmations_, 1);
  EXPECT_EQ(otherClicks_, 0);
  EXPECT_EQ(Calls("DmStopCurrentThread").size(), 1u);
}

TEST_F(CancellableLoopTest, EnterIsAStopRequestAndNoGoesOn) {
  confirmAnswer_ = false;
  int polls = 0;
  Fake().onPoll = [&] {
    if (++polls == 3) QTest::keyClick(&other_, Qt::Key_Return);
    if (polls == 10) Fake().pollsLeft = 0;
  };
  const client::WaitOutcome outcome = Wait();
  EXPECT_EQ(outcome.end, client::WaitEnd::kEnded);
  EXPECT_EQ(outcome.status, kOk);
  EXPECT_EQ(confirmations_, 1);
  EXPECT_TRUE(Calls("DmStopCurrentThread").empty());
  EXPECT_EQ(otherClicks_, 0);
}

}  // namespace
}  // namespace zk::gui::test
