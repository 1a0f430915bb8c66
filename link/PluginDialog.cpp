#include "link/PluginDialog.h"

#include "link/DialogPlugin.h"
#include "platform/Files.h"
#include "platform/Library.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <vector>

namespace zk::link {
namespace {

std::vector<const char*> Pointers(const EntryList& entries) {
  std::vector<const char*> pointers;
  pointers.reserve(entries.size());
  for (const std::string& entry : entries) pointers.push_back(entry.c_str());
  return pointers;
}

int32_t Selection(const std::optional<std::size_t>& selected) {
  return selected ? static_cast<int32_t>(*selected) : -1;
}

std::optional<std::string> Chosen(const char (&text)[kChoiceChars]) {
  const std::string value(text, std::find(text, text + kChoiceChars, '\0'));
  if (value.empty()) return std::nullopt;
  return value;
}

}  // namespace

std::string DialogMissingText(const std::string& file, const std::string& why) {
  return "The port settings dialog cannot be shown: its library\n" + file + "\ncannot be used (" + why +
         ").\nThe settings are left as they were.";
}

std::optional<DialogChoice> PluginSettingsDialog::Run(const DialogSetup& setup) {
  const std::string path = files::Join(folder_, kDialogLibrary);
  const std::string file =
      FindLibraryFile(path).value_or(files::Join(folder_, "lib" + std::string(kDialogLibrary) + ".so"));
  const std::string_view caption = DialogTextsFor(setup.templateId).title;
  const UniqueLibrary library(LoadLibrary(path));
  if (library == nullptr) {
    MessageBox(DialogMissingText(file, LastLibraryError()), caption, MB_OK | MB_ICONWARNING);
    return std::nullopt;
  }
  const auto run = reinterpret_cast<SettingsDialogFn>(GetProcAddress(library.get(), kDialogEntry));
  if (run == nullptr) {
    MessageBox(DialogMissingText(file, std::string("no entry point ") + kDialogEntry), caption, MB_OK | MB_ICONWARNING);
    return std::nullopt;
  }

  const std::vector<const char*> ports = Pointers(setup.comList);
  const std::vector<const char*> rates = Pointers(setup.baudList);
  const DialogPluginSetup plain{setup.templateId,
                                ports.data(),
                                static_cast<uint32_t>(ports.size()),
                                Selection(setup.comSelection),
                                rates.data(),
                                static_cast<uint32_t>(rates.size()),
                                Selection(setup.baudSelection),
                                static_cast<uint8_t>(setup.extended ? 1 : 0),
                                static_cast<uint8_t>(setup.rawChecked ? 1 : 0)};
  DialogPluginChoice choice{};
  if (run(&plain, &choice) != kDialogConfirmed) return std::nullopt;
  return DialogChoice{Chosen(choice.com), Chosen(choice.baud), choice.rawChecked != 0};
}

}  // namespace zk::link
