#pragma once
// The protected areas page (dialog 140, tab "Protected Areas Info"): while
// connected, the module's protected areas and no-access areas, each as a
// list with the columns "Protection" and "AddressRange". The protected list
// stays empty while the protected areas are enabled; leaving the page
// empties both.
#include "client/DmAccess.h"
#include "common/DmRecords.h"
#include "gui/shell/PageLinks.h"
#include "gui/shell/PropertyPage.h"

#include <string>

class QTreeWidget;

namespace zk::gui {

// "0x<start> - 0x<end>", upper-case hexadecimal without leading zeros.
std::string AreaRangeText(const AddressRange& area);

class CProtectedAreaInfo : public CPropertyPage, public ConnectionListener {
 public:
  explicit CProtectedAreaInfo(client::CDmAccess& dm, QWidget* parent = nullptr);

  void SetShell(const ShellLink* shell) { shell_ = shell; }
  void SetConnected(bool connected) override { connected_ = connected; }
  bool OnSetActive() override;
  void OnKillActive() override;

  QTreeWidget* ProtectedList() const { return protected_; }
  QTreeWidget* NoAccessList() const { return noAccess_; }

 private:
  client::CDmAccess& dm_;
  const ShellLink* shell_ = nullptr;
  bool connected_ = false;
  QTreeWidget* protected_;
  QTreeWidget* noAccess_;
};

}  // namespace zk::gui
