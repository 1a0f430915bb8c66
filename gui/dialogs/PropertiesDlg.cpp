#include "gui/dialogs/PropertiesDlg.h"

#include "common/NetApi.h"
#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/NoCase.h"
#include "gui/shell/Texts.h"
#include "platform/Files.h"
#include "platform/Library.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace zk::gui {
namespace {

// The protocol lists end at the first value that is not greater than " "
// (ignoring case), which in practice is the first empty one.
bool IsListEnd(const std::string& value) { return CompareNoCase(value, " ") <= 0; }

}  // namespace

CPropertiesDlg::CPropertiesDlg(const IniFileAccess& module, std::string installDir, QWidget* parent)
    : QDialog(parent), module_(module), installDir_(std::move(installDir)), combo_(Child<QComboBox>(this)) {
  SetControlId(this, kProtocolDialog);
  SetControlId(combo_, kProtocolCombo);
  setWindowTitle("Communication Setup");

  auto* layout = Child<QVBoxLayout>(this);
  auto* group = Child<QGroupBox>(this, QString("Protocol settings"));
  auto* row = Child<QHBoxLayout>(group);
  auto* properties = Child<QPushButton>(group, QString("Properties"));
  SetControlId(properties, kPropertiesButton);
  combo_->setMinimumWidth(200);
  row->addWidget(combo_, 1);
  row->addWidget(properties);
  layout->addWidget(group);

  auto* buttons = Child<QDialogButtonBox>(this);
  QPushButton* close = buttons->addButton("Close", QDialogButtonBox::RejectRole);
  SetControlId(close, kIdCancel);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  for (int n = 1;; ++n) {
    const std::string protocol = module_.AvailableProtocol(n);
    if (IsListEnd(protocol)) break;
    combo_->addItem(Qs(protocol));
  }
  protocol_ = module_.AvailableProtocol(1);
  combo_->setCurrentIndex(combo_->findText(Qs(protocol_)));
  connect(combo_, &QComboBox::currentTextChanged, this, [this](const QString& text) { protocol_ = Utf8(text); });
  connect(properties, &QPushButton::clicked, this, [this] { OnProperties(); });
}

void CPropertiesDlg::OnProperties() {
  const std::string dllName = module_.DllName(protocol_);
  if (IsListEnd(dllName)) {
    ShowMessage(LoadString(TextId::kInvalidModulIni) + protocol_, "Communication Setup", MB_OK | MB_ICONWARNING);
    return;
  }
  if (!IsPlainLibraryName(dllName)) {
    ShowMessage(LibraryNameRefusal(module_.Path(), "[" + protocol_ + "] DLLName", dllName), "Communication Setup",
                MB_OK | MB_ICONWARNING);
    return;
  }
  const std::string path = files::Join(installDir_, dllName);
  UniqueLibrary library(LoadLibrary(path));
  if (library == nullptr) {
    ShowMessage("DLL: " + path + " nicht gefunden", "Communication Setup", MB_OK | MB_ICONWARNING);
    return;
  }
  const auto selectProperty =
      reinterpret_cast<net::SelectPropertyFn>(GetProcAddress(library.get(), "NetSelectProperty"));
  if (selectProperty == nullptr) {
    ShowMessage("The transport library " + path + " has no settings dialog (NetSelectProperty is missing).",
                "Communication Setup", MB_OK | MB_ICONWARNING);
    return;
  }
  selectProperty(module_.Path().c_str(), protocol_.c_str());
}

}  // namespace zk::gui
