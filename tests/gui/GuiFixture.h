#pragma once
// The workbench against the scripted data manager: a temporary installation
// (machine registry, target tree, flash description files, the fake as
// libKORDm.so), a user hive of its own, and a message-box handler that
// records every box and answers as the test says.
#include "gui/shell/ControlIds.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/ZelkorGuiApp.h"
#include "platform/MessageBox.h"
#include "tests/support/Installation.h"
#include "tests/support/fakedm/FakeDm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QDialog;

namespace zk::gui::test {

struct ShownBox {
  std::string text;
  std::string caption;
  uint32_t type;
};

class RecordingBoxes : public MessageBoxHandler {
 public:
  int Show(std::string_view text, std::string_view caption, uint32_t type) override;
  std::vector<ShownBox> shown;
  // Answers of the next boxes; then the console default.
  std::deque<int> answers;
};

using zk::test::ReadFile;
using zk::test::TempDir;
using zk::test::WriteFile;
using zk::test::WriteMachineRegistry;

// The module description the tests start from: one bank at 0, no areas,
// every disconnect choice offered, the auto boot box offered and checked.
std::string StandardModule();

// The scripted data manager's state (the library stays loaded).
FakeDmState& Fake();

// Offers every modal dialog to action until it takes one (returns true);
// the watch goes with owner.
void OnNextModalWhere(QObject* owner, std::function<bool(QDialog*)> action);
// Runs action on the next modal dialog of type T.
template <typename T>
void OnNextDialog(QObject* owner, std::function<void(T*)> action) {
  OnNextModalWhere(owner, [action](QDialog* dialog) {
    T* wanted = dynamic_cast<T*>(dialog);
    if (wanted == nullptr) return false;
    action(wanted);
    return true;
  });
}
// Lets events run until done() or the time-out (then false).
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

class GuiFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes target/<relative>/modul.ini (and info.txt when given).
  void AddModule(const std::string& relative, const std::string& modulIni, const std::string& info = "");
  std::string ModulIni(const std::string& relative) const;
  void SetKeys(const std::string& relative, const std::string& section,
               std::initializer_list<std::pair<const char*, const char*>> keys);
  // Starts the application with its sheet shown.
  void StartApp();
  // The user's LastModul.
  void SetLastModul(const std::string& path);
  std::string LastModul() const;

  std::vector<std::string> Calls(const std::string& prefix = "") const;
  // Calls of the fake since the last ClearCalls.
  void ClearCalls() { Fake().calls.clear(); }
  std::vector<std::string> BoxTexts() const;

  template <typename T>
  T* Find(int id) const {
    T* found = app_->Sheet()->findChild<T*>(ControlName(id));
    EXPECT_NE(found, nullptr) << "ctl" << id;
    return found;
  }
  // A control of one page (ids repeat across pages).
  template <typename T>
  static T* FindIn(const QWidget* page, int id) {
    T* found = page->findChild<T*>(ControlName(id));
    EXPECT_NE(found, nullptr) << "ctl" << id;
    return found;
  }
  // Runs action on the next modal dialog that opens.
  void OnNextModal(std::function<void(QDialog*)> action);
  // Runs action on the next modal dialog of type T.
  template <typename T>
  void OnNextDialog(std::function<void(T*)> action) {
    test::OnNextDialog<T>(app_->Sheet(), std::move(action));
  }
  static bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    return test::WaitUntil(done, timeoutMs);
  }
  // Selects the module item of a relative path and connects.
  void Connect(const std::string& relative);

  zk::test::TempInstallation tree_{"zk-gui"};
  const TempDir& dir_ = tree_.Root();
  const std::string install_ = tree_.Dir();
  RecordingBoxes boxes_;
  std::unique_ptr<CZelkorGuiApp> app_;
};

}  // namespace zk::gui::test
