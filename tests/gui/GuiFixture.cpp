#include "tests/gui/GuiFixture.h"

#include "gui/connect/ConnectPage.h"
#include "gui/connect/ModuleTree.h"
#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/Profile.h"
#include "platform/Ini.h"
#include "platform/Library.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <filesystem>

namespace zk::gui::test {
namespace {

const char kFlashDescription1[] = "[General]\nMode=EXTERNAL FLASH\nName=ZKF256 (test)\nFlashSize=256\n";
const char kFlashDescription2[] = "[General]\nMode=BOOT FLASH\nName=ZKF512 (test)\nFlashSize=512\n";

}  // namespace

int RecordingBoxes::Show(std::string_view text, std::string_view caption, uint32_t type) {
  shown.push_back({std::string(text), std::string(caption), type});
  if (answers.empty()) return DefaultMessageBoxAnswer(type);
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

std::string StandardModule() {
  return "[General]\nModulName=Test module\nDmDLL=KORDm\nAvailableProtocol1=RS232\nAvailableProtocol2=Other\n"
         "NumberOfProtectedAreas=0\nNumberOfNonAccessAreas=0\n"
         "[RS232]\nDllName=Tarnlink\nAutoBootEnable=1\nAutoBoot=1\nDisconnect=0\nJumpAddress=0\n"
         "[FlashConfig]\nFlashBanks=1\nFlashStart=0x000000\nFlashEnd=0x03FFFF\nFlashMode=1\n"
         "[Disconnect]\nSWReset=1\nJumpEnable=1\nJumpToXXX=1\n";
}

FakeDmState& Fake() {
  static FakeDmState* state = [] {
    LibraryHandle library = LoadLibrary(ZK_FAKE_GUI_DM);
    using StateFn = FakeDmState* (*)();
    const auto stateOf = reinterpret_cast<StateFn>(GetProcAddress(library, "FakeDmStateOf"));
    return stateOf != nullptr ? stateOf() : nullptr;
  }();
  if (state == nullptr) std::abort();
  return *state;
}

void GuiFixture::SetUp() {
  tree_.Use();
  std::filesystem::create_directories(install_ + "/target");
  std::filesystem::create_symlink(ZK_FAKE_GUI_DM, install_ + "/libKORDm.so");
  WriteFile(install_ + "/FlashInfo/00a7x2101x0001.ini", kFlashDescription1);
  WriteFile(install_ + "/FlashInfo/00a7x2202x0001.ini", kFlashDescription2);

  FakeDmState& fake = Fake();
  fake = FakeDmState{};
  fake.defaultBlocks = {{0, 0x4000, 4}, {0x10000, 0x10000, 3}};
  fake.libraries[0] = {{{1, 0x2101, 0x00a7, 1}}};
  SetMessageBoxHandler(&boxes_, false);
}

void GuiFixture::TearDown() {
  app_.reset();
  SetMessageBoxHandler(nullptr, false);
  Fake().onPoll = nullptr;
}

void GuiFixture::AddModule(const std::string& relative, const std::string& modulIni, const std::string& info) {
  WriteFile(ModulIni(relative), modulIni);
  if (!info.empty()) WriteFile(install_ + "/target/" + relative + "/info.txt", info);
}

std::string GuiFixture::ModulIni(const std::string& relative) const { return tree_.ModulIni(relative); }

void GuiFixture::SetKeys(const std::string& relative, const std::string& section,
                         std::initializer_list<std::pair<const char*, const char*>> keys) {
  for (const auto& [key, value] : keys) ini::WriteString(ModulIni(relative), section, key, value);
}

void GuiFixture::StartApp() {
  app_ = std::make_unique<CZelkorGuiApp>();
  ASSERT_TRUE(app_->InitInstance());
  app_->Sheet()->show();
  QCoreApplication::processEvents();
}

void GuiFixture::SetLastModul(const std::string& path) { CProfile().WriteString(kUserSection, "LastModul", path); }

std::string GuiFixture::LastModul() const { return CProfile().GetString(kUserSection, "LastModul"); }

std::vector<std::string> GuiFixture::Calls(const std::string& prefix) const {
  std::vector<std::string> calls;
  for (const std::string& call : Fake().calls) {
    if (call.rfind(prefix, 0) == 0 && call.rfind("DmFreeMemory", 0) != 0) calls.push_back(call);
  }
  return calls;
}

std::vector<std::string> GuiFixture::BoxTexts() const {
  std::vector<std::string> texts;
  for (const ShownBox& box : boxes_.shown) texts.push_back(box.caption + ": " + box.text);
  return texts;
}

void GuiFixture::OnNextModal(std::function<void(QDialog*)> action) {
  OnNextModalWhere(app_->Sheet(), [action](QDialog* dialog) {
    action(dialog);
    return true;
  });
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

void OnNextModalWhere(QObject* owner, std::function<bool(QDialog*)> action) {
  auto* timer = Child<QTimer>(owner);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    timer->stop();
    if (!action(dialog)) {
      timer->start();
      return;
    }
    timer->deleteLater();
  });
  timer->start(5);
}

void GuiFixture::Connect(const std::string& relative) {
  CConnectPage* page = app_->ConnectPage();
  ASSERT_NE(page->Tree()->SelectPath(relative), nullptr) << relative;
  page->ConnectButton()->click();
}

}  // namespace zk::gui::test
