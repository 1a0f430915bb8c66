// The entry point of the dialog's plugin library: the plain records of
// DialogPlugin.h turned into the dialog's setup, and its choice back.
#include "common/Export.h"
#include "link/DialogPlugin.h"
#include "link/qt/SettingsDialogQt.h"

#include <algorithm>
#include <cstring>

namespace {

using namespace zk::link;

EntryList Entries(const char* const* entries, uint32_t count) {
  EntryList list;
  for (uint32_t i = 0; entries != nullptr && i < count; ++i) list.emplace_back(entries[i]);
  return list;
}

std::optional<std::size_t> Selection(int32_t index) {
  if (index < 0) return std::nullopt;
  return static_cast<std::size_t>(index);
}

void Put(const std::optional<std::string>& value, char (&to)[kChoiceChars]) {
  const std::string text = value.value_or(std::string());
  const std::size_t length = std::min<std::size_t>(text.size(), kChoiceChars - 1);
  std::memcpy(to, text.data(), length);
  to[length] = '\0';
}

}  // namespace

ZK_EXPORT int32_t TarnlinkSettingsDialog(const DialogPluginSetup* setup, DialogPluginChoice* choice) {
  if (setup == nullptr || choice == nullptr) return kDialogCancelled;
  if (!QtDialogAvailable()) return kDialogNoApplication;
  DialogSetup given;
  given.templateId = setup->templateId;
  given.comList = Entries(setup->comEntries, setup->comCount);
  given.baudList = Entries(setup->baudEntries, setup->baudCount);
  given.comSelection = Selection(setup->comSelection);
  given.baudSelection = Selection(setup->baudSelection);
  given.extended = setup->extended != 0;
  given.rawChecked = setup->rawChecked != 0;
  QtSettingsDialog dialog;
  const std::optional<DialogChoice> chosen = dialog.Run(given);
  if (!chosen) return kDialogCancelled;
  Put(chosen->com, choice->com);
  Put(chosen->baud, choice->baud);
  choice->rawChecked = chosen->rawChecked ? 1 : 0;
  return kDialogConfirmed;
}
