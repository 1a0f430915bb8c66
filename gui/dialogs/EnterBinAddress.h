#pragma once
// "Enter Bin address" (dialog 147): the start address of a binary file,
// typed as hexadecimal digits. A text that is no address is refused with
// its reason and the dialog stays open, so a binary file is never placed
// at an address the user did not mean.
#include "gui/dialogs/TextEntryDlg.h"

#include <cstdint>
#include <optional>

namespace zk::gui {

class EnterBinAddress : public CTextEntryDlg {
 public:
  explicit EnterBinAddress(QWidget* parent = nullptr);
  // The address entered with OK.
  uint32_t Address() const;
};

// The start address of a binary file typed as text (the jump address
// rules); nullopt for a text that is no 32-bit hexadecimal number.
std::optional<uint32_t> ParseBinAddress(const QString& text);

}  // namespace zk::gui
