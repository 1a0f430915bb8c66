#pragma once
// The disconnect choices of the connect page: four check boxes and the jump
// address edit, hidden until a connection offers them, with the rules that
// keep the reset choices and the jump to an entered address apart.
#include "gui/connect/JumpAddress.h"

#include <QGroupBox>

class QCheckBox;
class QLineEdit;

namespace zk::gui {

// Which choices the module description offers.
struct DisconnectOffer {
  bool softwareReset = false;  // [Disconnect] SWReset
  bool hardwareReset = false;  // [RS232] AutoBootEnable
  bool jumpToAddress = false;  // [Disconnect] JumpEnable and JumpToXXX
  bool jumpToZero = false;     // [Disconnect] JumpEnable without JumpToXXX
};

class CDisconnectChoices : public QGroupBox {
 public:
  explicit CDisconnectChoices(QWidget* parent = nullptr);

  // Shows the offered choices, all unchecked and enabled, the edit empty.
  void Offer(const DisconnectOffer& offer);
  // Checks the remembered choice ([RS232] Disconnect) when it is offered.
  void Restore(int32_t mode, int32_t jumpAddress);
  void HideAll();

  DisconnectChoice Choice() const;

  QCheckBox* SoftwareReset() const { return softwareReset_; }
  QCheckBox* HardwareReset() const { return hardwareReset_; }
  QCheckBox* JumpToAddress() const { return jumpToAddress_; }
  QCheckBox* JumpToZero() const { return jumpToZero_; }
  QLineEdit* JumpAddress() const { return jumpAddress_; }

 private:
  void OnResetClicked(QCheckBox* box, QCheckBox* otherReset);
  void OnJumpToAddressClicked();

  QCheckBox* softwareReset_;
  QCheckBox* hardwareReset_;
  QCheckBox* jumpToAddress_;
  QLineEdit* jumpAddress_;
  QCheckBox* jumpToZero_;
};

}  // namespace zk::gui
