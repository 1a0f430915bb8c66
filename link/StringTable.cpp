#include "link/StringTable.h"

#include <array>

namespace zk::link {
namespace {

struct Entry {
  unsigned id;
  std::string_view text;
};

constexpr std::array<Entry, 10> kStrings{{
    {26000, "RS232 Fehler"},
    {26001,
     "Es konnten nicht alle zu RS232\ngeh\u00f6rigen DLLs geladen werden. Bitte installieren Sie\n"
     "den RS232-Treiber und gegebenenfalls Tolvane neu.\n\nRS232 ben\u00f6tigt eine 32Bit Windows-Version !"},
    {26002,
     "Die Netzwerkschicht kann nicht initialisiert werden.\nEin Zugriff auf die Steuerung ist nicht "
     "m\u00f6glich."},
    {26100, "Auswahl Zielknoten"},
    {26101,
     "Bei einer seriellen Punkt- zu Punk-Verbindung wird der\nerreichbare Zielknoten durch die physische "
     "Verkabelung\nfest vorgegeben. Eine Auswahlm\u00f6glichkeit durch Software\nbesteht dabei nicht."},
    {27000, "RS232 Error"},
    {27001,
     "Some of the DLLs required by RS232\ncould not be loaded.\nPlease reinstall the RS232 driver and if\n"
     "required Tolvane.\n\nRS232 requires a 32-bit Windows version !"},
    {27002, "The network layer could not be initialized.\nAccess to the PLC system is not possible."},
    {27100, "Select target node"},
    {27101,
     "If a serial point-to-point connection is used, the\ntarget node is explicitely assigned by the "
     "physical\ncabeling. There is no possibility to select the node\nvia software."},
}};

}  // namespace

std::string_view LinkString(unsigned mappedId) {
  for (const Entry& entry : kStrings) {
    if (entry.id == mappedId) return entry.text;
  }
  return {};
}

}  // namespace zk::link
