#include "gui/connect/DisconnectChoices.h"

#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/Texts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>

#include <initializer_list>

namespace zk::gui {
namespace {

constexpr int kJumpAddressDigits = 10;

void Check(QCheckBox* box, bool enable) {
  box->setChecked(true);
  box->setEnabled(enable);
}

// Checks a remembered box when the group shows it and disables the choices
// it excludes; false when the box is hidden.
bool RestoreBox(const QWidget* group, QCheckBox* box, std::initializer_list<QCheckBox*> excluded) {
  if (!box->isVisibleTo(group)) return false;
  Check(box, true);
  for (QCheckBox* other : excluded) other->setEnabled(false);
  return true;
}

}  // namespace

CDisconnectChoices::CDisconnectChoices(QWidget* parent)
    : QGroupBox("On disconnect", parent),
      softwareReset_(Child<QCheckBox>(this, QString("Disconnect and software reset"))),
      hardwareReset_(Child<QCheckBox>(this, QString("Disconnect and hardware reset"))),
      jumpToAddress_(Child<QCheckBox>(this, QString("Disconnect and jump to address 0x"))),
      jumpAddress_(Child<QLineEdit>(this)),
      jumpToZero_(Child<QCheckBox>(this, QString("Disconnect and jump to address 0"))) {
  SetControlId(softwareReset_, kSoftwareResetBox);
  SetControlId(hardwareReset_, kHardwareResetBox);
  SetControlId(jumpToAddress_, kJumpToAddressBox);
  SetControlId(jumpAddress_, kJumpAddressEdit);
  SetControlId(jumpToZero_, kJumpToZeroBox);
  jumpAddress_->setMaxLength(kJumpAddressDigits);
  jumpAddress_->setFixedWidth(jumpAddress_->fontMetrics().horizontalAdvance("0000000000") + 16);
  jumpAddress_->setPlaceholderText("hex");

  auto* layout = Child<QGridLayout>(this);
  layout->addWidget(softwareReset_, 0, 0, 1, 2);
  layout->addWidget(hardwareReset_, 1, 0, 1, 2);
  layout->addWidget(jumpToAddress_, 2, 0);
  layout->addWidget(jumpAddress_, 2, 1, Qt::AlignLeft);
  layout->addWidget(jumpToZero_, 3, 0, 1, 2);
  layout->setColumnStretch(2, 1);

  connect(softwareReset_, &QCheckBox::clicked, this, [this] { OnResetClicked(softwareReset_, hardwareReset_); });
  connect(hardwareReset_, &QCheckBox::clicked, this, [this] { OnResetClicked(hardwareReset_, softwareReset_); });
  connect(jumpToAddress_, &QCheckBox::clicked, this, [this] { OnJumpToAddressClicked(); });
  HideAll();
}

void CDisconnectChoices::HideAll() {
  for (QWidget* control :
       std::initializer_list<QWidget*>{softwareReset_, hardwareReset_, jumpToAddress_, jumpAddress_, jumpToZero_}) {
    control->hide();
  }
  hide();
}

void CDisconnectChoices::Offer(const DisconnectOffer& offer) {
  for (QCheckBox* box : {softwareReset_, hardwareReset_, jumpToAddress_, jumpToZero_}) {
    box->setChecked(false);
    box->setEnabled(true);
  }
  jumpAddress_->clear();
  jumpAddress_->setEnabled(false);
  softwareReset_->setVisible(offer.softwareReset);
  hardwareReset_->setVisible(offer.hardwareReset);
  jumpToAddress_->setVisible(offer.jumpToAddress);
  jumpAddress_->setVisible(offer.jumpToAddress);
  jumpToZero_->setVisible(offer.jumpToZero);
  setVisible(offer.softwareReset || offer.hardwareReset || offer.jumpToAddress || offer.jumpToZero);
}

void CDisconnectChoices::Restore(int32_t mode, int32_t jumpAddress) {
  // A choice the module description no longer offers is not restored:
  // a hidden box must not decide the disconnect.
  switch (static_cast<ExitMode>(mode)) {
    case ExitMode::kSoftwareReset: RestoreBox(this, softwareReset_, {hardwareReset_, jumpToAddress_}); break;
    case ExitMode::kHardwareReset: RestoreBox(this, hardwareReset_, {softwareReset_, jumpToAddress_}); break;
    case ExitMode::kJump:
      if (RestoreBox(this, jumpToAddress_, {softwareReset_, hardwareReset_})) {
        jumpAddress_->setText(Qs(JumpAddressText(jumpAddress)));
        jumpAddress_->setEnabled(true);
      } else if (jumpToZero_->isVisibleTo(this)) {
        Check(jumpToZero_, true);
      }
      break;
    default: break;
  }
}

void CDisconnectChoices::OnResetClicked(QCheckBox* box, QCheckBox* otherReset) {
  const bool free = !box->isChecked();
  jumpToAddress_->setEnabled(free);
  otherReset->setEnabled(free);
}

void CDisconnectChoices::OnJumpToAddressClicked() {
  if (!jumpToAddress_->isChecked()) {
    jumpAddress_->setEnabled(false);
  } else if (softwareReset_->isChecked()) {
    jumpToAddress_->setChecked(false);
  } else {
    jumpAddress_->setEnabled(true);
  }
  const bool free = !jumpToAddress_->isChecked();
  softwareReset_->setEnabled(free);
  hardwareReset_->setEnabled(free);
}

DisconnectChoice CDisconnectChoices::Choice() const {
  DisconnectChoice choice;
  choice.softwareReset = softwareReset_->isChecked();
  choice.hardwareReset = hardwareReset_->isChecked();
  choice.jumpToAddress = jumpToAddress_->isChecked();
  choice.jumpToZero = jumpToZero_->isChecked();
  choice.jumpText = Utf8(jumpAddress_->text());
  return choice;
}

}  // namespace zk::gui
