#include "link/qt/SettingsDialogQt.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace zk::link {
namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString ControlName(int id) { return QStringLiteral("ctl%1").arg(id); }

void Fill(QComboBox& box, const EntryList& entries, std::optional<std::size_t> selection) {
  for (const std::string& entry : entries) box.addItem(Q(entry));
  box.setCurrentIndex(selection ? static_cast<int>(*selection) : -1);
}

std::optional<std::string> Selected(const QComboBox& box) {
  if (box.currentIndex() < 0) return std::nullopt;
  return box.currentText().toStdString();
}

// The window that has the keyboard focus owns the dialog.
QWidget* Owner() {
  if (QWidget* focus = QApplication::focusWidget()) return focus->window();
  return QApplication::activeWindow();
}

}  // namespace

bool QtDialogAvailable() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  return app != nullptr && QThread::currentThread() == app->thread();
}

std::optional<DialogChoice> QtSettingsDialog::Run(const DialogSetup& setup) {
  const DialogTexts& texts = DialogTextsFor(setup.templateId);
  QDialog dialog(Owner());
  dialog.setObjectName(QStringLiteral("dlg%1").arg(setup.templateId));
  dialog.setWindowTitle(Q(texts.title));

  auto* ports = new QComboBox(&dialog);
  ports->setObjectName(ControlName(kCtlInterface));
  Fill(*ports, setup.comList, setup.comSelection);
  auto* rates = new QComboBox(&dialog);
  rates->setObjectName(ControlName(kCtlBaudrate));
  Fill(*rates, setup.baudList, setup.baudSelection);

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel(Q(texts.interfaceLabel), &dialog), 0, 0);
  fields->addWidget(ports, 0, 1);
  fields->addWidget(new QLabel(Q(texts.baudrateLabel), &dialog), 1, 0);
  fields->addWidget(rates, 1, 1);

  auto* defaults = new QGroupBox(Q(texts.defaultsGroup), &dialog);
  auto* defaultsLayout = new QVBoxLayout(defaults);
  for (const std::string_view line : {texts.dataBits, texts.stopBit, texts.parity}) {
    defaultsLayout->addWidget(new QLabel(Q(line), defaults));
  }

  auto* extended = new QGroupBox(Q(texts.extendedGroup), &dialog);
  extended->setObjectName(ControlName(kCtlExtended));
  auto* extendedLayout = new QVBoxLayout(extended);
  auto* raw = new QCheckBox(Q(texts.rawMode), extended);
  raw->setObjectName(ControlName(kCtlRawMode));
  raw->setChecked(setup.rawChecked);
  extendedLayout->addWidget(raw);
  extended->setVisible(setup.extended);

  auto* ok = new QPushButton(Q(texts.ok), &dialog);
  ok->setObjectName(ControlName(kCtlOk));
  ok->setDefault(true);
  auto* cancel = new QPushButton(Q(texts.cancel), &dialog);
  cancel->setObjectName(ControlName(kCtlCancel));
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(fields);
  layout->addWidget(defaults);
  layout->addWidget(extended);
  layout->addLayout(buttons);
  dialog.setFocus();

  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return DialogChoice{Selected(*ports), Selected(*rates), raw->isChecked()};
}

}  // namespace zk::link
