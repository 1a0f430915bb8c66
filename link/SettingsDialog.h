#pragma once
// The "Network settings for RS232" dialog as the transport sees it: what it
// shows, what the user chose, and the texts of its two templates (26500
// English, 25500 German).
#include "link/EntryList.h"

#include <optional>
#include <string>
#include <string_view>

namespace zk::link {

// Control ids; the toolkit dialog names its controls "ctl<id>".
enum SettingsControl : int {
  kCtlOk = 1,
  kCtlCancel = 2,
  kCtlInterface = 300,
  kCtlBaudrate = 301,
  kCtlRawMode = 306,
  kCtlExtended = 307,
};

inline constexpr unsigned kSettingsTemplate = 5500;  // before the language shift

struct DialogTexts {
  std::string_view title;
  std::string_view interfaceLabel;
  std::string_view baudrateLabel;
  std::string_view ok;
  std::string_view cancel;
  std::string_view defaultsGroup;
  std::string_view dataBits;
  std::string_view stopBit;
  std::string_view parity;
  std::string_view extendedGroup;
  std::string_view rawMode;
};

// The texts of template 26500 or 25500; English for any other id.
const DialogTexts& DialogTextsFor(unsigned templateId);

struct DialogSetup {
  unsigned templateId = 0;
  EntryList comList;
  EntryList baudList;
  std::optional<std::size_t> comSelection;  // entry selected on opening
  std::optional<std::size_t> baudSelection;
  bool extended = false;  // show "Extended" and "RAW mode"
  bool rawChecked = false;
};

struct DialogChoice {
  std::optional<std::string> com;  // the selected entries, if any
  std::optional<std::string> baud;
  bool rawChecked = false;
};

// The first entry that begins with prefix, ignoring case (the combo box's
// own search).
std::optional<std::size_t> FindPrefix(const EntryList& list, std::string_view prefix);

class SettingsDialog {
 public:
  virtual ~SettingsDialog() = default;
  // Shows the dialog modally; nullopt when it was cancelled.
  virtual std::optional<DialogChoice> Run(const DialogSetup& setup) = 0;
};

}  // namespace zk::link
