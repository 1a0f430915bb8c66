#include "gui/dialogs/InfoDlg.h"

#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/Texts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zk::gui {

QString FirmwareText(const InfoUse& info) {
  if (!info.Known()) return QString::fromUtf8("no connection to µC");
  return Qs("µC - Firmware " + info.Major() + "." + info.Minor() + " Build " + info.Build());
}

CInfoDlg::CInfoDlg(const InfoUse& info, QWidget* parent) : QDialog(parent) {
  SetControlId(this, kInfoDialog);
  setWindowTitle("Info about Zelkor 3");
  auto* layout = Child<QVBoxLayout>(this);
  auto* fields = Child<QWidget>(this);
  auto* form = Child<QFormLayout>(fields);
  form->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(fields);

  auto* version = Child<QLineEdit>(this, QString(kProgramVersion));
  auto* firmware = Child<QLineEdit>(this, FirmwareText(info));
  auto* address = Child<QPlainTextEdit>(this, QString(kMakerAddress));
  SetControlId(version, kProgramVersionText);
  SetControlId(firmware, kFirmwareText);
  SetControlId(address, kMakerAddressText);
  for (QLineEdit* field : {version, firmware}) {
    field->setReadOnly(true);
    field->setMinimumWidth(320);
  }
  address->setReadOnly(true);
  address->setFixedHeight(address->fontMetrics().lineSpacing() * 6);
  form->addRow("Program:", version);
  form->addRow("Firmware:", firmware);
  form->addRow("Maker:", address);

  auto* buttons = Child<QDialogButtonBox>(this, QDialogButtonBox::Ok);
  SetControlId(buttons->button(QDialogButtonBox::Ok), kIdOk);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

}  // namespace zk::gui
