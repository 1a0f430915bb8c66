#pragma once
// The protected areas page (dialog 140, tab "Protected Areas Info"). This
// version holds the connection flag and refuses to be shown while not
// connected; its two lists are not built yet.
#include "common/DmAccess.h"
#include "gui/PageLinks.h"
#include "gui/PropertyPage.h"

namespace zk::gui {

class CProtectedAreaInfo : public CPropertyPage, public ConnectionListener {
 public:
  explicit CProtectedAreaInfo(CDmAccess& dm, QWidget* parent = nullptr);

  void SetConnected(bool connected) override { connected_ = connected; }
  bool OnSetActive() override { return connected_; }

 private:
  CDmAccess& dm_;
  bool connected_ = false;
};

}  // namespace zk::gui
