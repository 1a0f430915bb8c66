#pragma once
// The one entry point of the settings dialog's plugin library
// (libTarnlinkDialog.so, link/qt/), which the transport loads by name from
// its own folder only while NetSelectProperty runs, so that the transport
// itself needs no toolkit. Plain C records, as between any two libraries.
#include <cstdint>

namespace zk::link {

inline constexpr const char* kDialogLibrary = "TarnlinkDialog";
inline constexpr const char* kDialogEntry = "TarnlinkSettingsDialog";

// Entries of at most kEntryChars characters; a selection of -1 selects none.
struct DialogPluginSetup {
  uint32_t templateId;
  const char* const* comEntries;
  uint32_t comCount;
  int32_t comSelection;
  const char* const* baudEntries;
  uint32_t baudCount;
  int32_t baudSelection;
  uint8_t extended;
  uint8_t rawChecked;
};

inline constexpr uint32_t kChoiceChars = 16;  // an entry and its terminating zero fit

struct DialogPluginChoice {
  char com[kChoiceChars];  // empty: no entry selected
  char baud[kChoiceChars];
  uint8_t rawChecked;
};

enum DialogPluginResult : int32_t {
  kDialogCancelled = 0,
  kDialogConfirmed = 1,
  kDialogNoApplication = 2,  // no QApplication, or not on its thread
};

using SettingsDialogFn = int32_t (*)(const DialogPluginSetup* setup, DialogPluginChoice* choice);

}  // namespace zk::link
