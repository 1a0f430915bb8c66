#include "gui/dialogs/EnterBinAddress.h"

#include "gui/shell/AddressText.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/Texts.h"

namespace zk::gui {

std::optional<uint32_t> ParseBinAddress(const QString& text) { return ParseAddressText(Utf8(text.trimmed())); }

EnterBinAddress::EnterBinAddress(QWidget* parent)
    : CTextEntryDlg({.dialogId = kBinAddressDialog,
                     .caption = "Enter Bin address",
                     .prompt = "Please enter the startaddress of the bin file",
                     .label = "Startaddress (hex)",
                     .editId = kBinAddressEdit,
                     .hidden = false},
                    parent) {
  SetCheck([](const QString& text) {
    return ParseBinAddress(text) ? QString()
                                 : QString("\"%1\" is no address: write it %2.")
                                       .arg(text, QString::fromUtf8(client::NumberForms(client::BareDigits::kHex)));
  });
}

uint32_t EnterBinAddress::Address() const { return ParseBinAddress(Entered()).value_or(0); }

}  // namespace zk::gui
