// The workbench's share of the CPU while it downloads a 256 KB image to the
// simulator over the emulated line at 57600, and how fast Cancel and Enter
// bring up the stop question during a download, whose loop waits 500 ms
// between polls. The whole workbench runs in this process (offscreen
// unless QT_QPA_PLATFORM says otherwise) with the real data manager,
// command layer and link driver: the CPU time is the whole process's.
// Targets: under 5% of one core, under 100 ms for the question.
//   GuiDownloadBench [KB]
#include "gui/connect/ConnectPage.h"
#include "gui/connect/ModuleTree.h"
#include "gui/download/DownloadPage.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/StatusPane.h"
#include "gui/shell/ZelkorGuiApp.h"
#include "platform/Ini.h"
#include "platform/MessageBox.h"
#include "tests/e2e/ModSimProcess.h"
#include "tests/gui/TempInstallation.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kDefaultKb = 256;
constexpr double kCpuTarget = 0.05;
constexpr double kReactionTargetMs = 100;
constexpr char kModule[] = "Simulator/ZkSim-Download";
// Stop requests during the second download, one every so often; each is
// answered No but the last.
constexpr int kStopRequests = 6;
constexpr int kRequestSpacingMs = 1300;

// The CPU time of the whole process, all its threads.
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Answers the stop question (No until told otherwise) and notes when it
// came; every other box is printed and answered with OK.
class Boxes : public zk::MessageBoxHandler {
 public:
  int Show(std::string_view text, std::string_view caption, uint32_t type) override {
    if (text.find("stop the download") != std::string_view::npos) {
      reactions.push_back(MsSince(requested));
      return ++asked >= stopAt ? zk::IDYES : zk::IDNO;
    }
    std::fprintf(stderr, "box: %.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
    ++others;
    return zk::DefaultMessageBoxAnswer(type);
  }
  Clock::time_point requested;
  std::vector<double> reactions;
  int asked = 0;
  int stopAt = kStopRequests;
  int others = 0;
};

// A click on the button or Enter, as the window system delivers them.
void PostStopRequest(QPushButton* button, bool enter) {
  if (enter) {
    QCoreApplication::postEvent(button, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
    QCoreApplication::postEvent(button, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier));
    return;
  }
  const QPointF local(button->width() / 2.0, button->height() / 2.0);
  const QPointF global = button->mapToGlobal(local);
  QCoreApplication::postEvent(
      button, new QMouseEvent(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(
      button, new QMouseEvent(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t kb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : kDefaultKb;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);

  zk::e2e::ModSimProcess sim({"--baud-emulation"});
  zk::gui::test::WorkbenchInstallation install(ZK_BIN);
  if (!sim.Running() || !install.Ready()) {
    std::fprintf(stderr, "ModSim or the installation did not start\n");
    return 1;
  }
  // Bank 0 whole, so no protected area; the send lock at 1 ms so that the
  // line alone sets the pace.
  const std::string modulIni = install.ModulIni(kModule);
  zk::ini::WriteString(modulIni, "General", "NumberOfProtectedAreas", "0");
  zk::ini::WriteString(modulIni, "RS232", "SendLockTime", "1");
  const std::string image = install.Dir() + "/image.bin";
  {
    std::vector<char> bytes(kb * 1024);
    std::mt19937 random(7);
    for (char& b : bytes) b = static_cast<char>(random());
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  Boxes boxes;
  zk::SetMessageBoxHandler(&boxes, false);
  zk::gui::CZelkorGuiApp app;
  if (!app.InitInstance()) return 1;
  app.Sheet()->show();
  zk::gui::CConnectPage* connect = app.ConnectPage();
  if (connect->Tree()->SelectPath(kModule) == nullptr) return 1;
  connect->ConnectButton()->click();
  if (!connect->Connected()) {
    std::fprintf(stderr, "the workbench did not connect\n");
    return 1;
  }
  zk::gui::CDownloadPage* page = app.DownloadPage();
  app.Sheet()->SetActivePage(page);
  page->OpenFile(image, 0);
  if (!page->FileLoaded()) return 1;
  if (page->EraseNeededBox()->isChecked()) page->EraseNeededBox()->click();

  // The whole download, nothing else happening.
  const double cpuBefore = CpuSeconds();
  const Clock::time_point started = Clock::now();
  page->Start();
  const double wall = std::chrono::duration<double>(Clock::now() - started).count();
  const double share = (CpuSeconds() - cpuBefore) / wall;
  if (boxes.others != 0) std::fprintf(stderr, "%d other message boxes\n", boxes.others);

  // Again, with stop requests now and then: clicks and Enter by turns.
  int sent = 0;
  QTimer requests;
  requests.setInterval(kRequestSpacingMs);
  QObject::connect(&requests, &QTimer::timeout, [&] {
    if (sent >= kStopRequests || !page->DownloadRunning()) return;
    boxes.requested = Clock::now();
    PostStopRequest(page->StartButton(), sent % 2 == 1);
    ++sent;
  });
  requests.start();
  page->Start();
  requests.stop();

  std::printf(
      "workbench download of %zu KB at 57600 (emulated, %s): %.2f s wall, %.2f%% of one core "
      "(target < %.0f%%)\n",
      kb, qgetenv("QT_QPA_PLATFORM").constData(), wall, 100 * share, 100 * kCpuTarget);
  double worst = 0;
  for (std::size_t i = 0; i < boxes.reactions.size(); ++i) {
    std::printf("  stop request %zu (%s): question after %.1f ms\n", i + 1, i % 2 == 1 ? "Enter" : "click",
                boxes.reactions[i]);
    worst = std::max(worst, boxes.reactions[i]);
  }
  std::printf("stop question: %zu of %d requests, worst %.1f ms (target < %.0f ms); status \"%s\"\n",
              boxes.reactions.size(), kStopRequests, worst, kReactionTargetMs,
              app.Sheet()->StatusBar()->Text().toUtf8().constData());
  zk::SetMessageBoxHandler(nullptr, false);
  const bool met = share < kCpuTarget && worst < kReactionTargetMs &&
                   boxes.reactions.size() == static_cast<std::size_t>(kStopRequests);
  return met ? 0 : 3;
}
