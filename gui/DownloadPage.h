#pragma once
// The download page (dialog 108, tab "Download"). This version holds what
// the shell and the connect page rely on: the connection flag and the
// links; it has no controls and loads no file yet.
#include "common/DmAccess.h"
#include "gui/PageLinks.h"
#include "gui/PropertyPage.h"

namespace zk::gui {

class CFlashInfoPage;
class MyPropSheet;

class CDownloadPage : public CPropertyPage, public DownloadPageLink {
 public:
  CDownloadPage(CDmAccess& dm, CFlashInfoPage& flashInfo, MyPropSheet& sheet, QWidget* parent = nullptr);

  void SetConnected(bool connected) override { connected_ = connected; }
  bool Connected() const { return connected_; }
  void CheckFileChanged() override {}
  bool FileLoaded() const override { return false; }
  void Open() override {}
  void Start() override {}

 private:
  CDmAccess& dm_;
  CFlashInfoPage& flashInfo_;
  MyPropSheet& sheet_;
  bool connected_ = false;
};

}  // namespace zk::gui
