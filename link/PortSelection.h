#pragma once
// Which port the transport opens and how: the port settings of a module
// description (kept in a PortSettingsStore), the language of its texts, the
// settings dialog that writes a new choice back, and the node question. The
// transport takes the resolved choice when it opens the link.
#include "link/Language.h"
#include "link/PortSettings.h"
#include "link/SettingsDialog.h"
#include "platform/NonCopyable.h"

#include <cstdint>
#include <string>

namespace zk::link {

// What NetSelectParams resolved for the next NetInitialize.
struct PortChoice {
  uint16_t portNumber = 2;
  uint16_t baudRate = 9600;
  bool rawModeIni = true;
  uint32_t sendLockTime = 0;  // 0: the transport's default
  bool messageBeep = false;
};

class PortSelection : private NonCopyable {
 public:
  explicit PortSelection(PortProbe probe) : store_(std::move(probe)) {}

  // 1 when port and rate resolved; the choice keeps the last resolved ones.
  uint8_t SelectParams(const char* iniFile, const char* section);
  // dialog null: no dialog can be shown; nothing changes and 0 is returned.
  uint8_t SelectProperty(const char* iniFile, const char* section, SettingsDialog* dialog);
  uint8_t SelectNode(const char* iniFile);

  const PortChoice& choice() const { return choice_; }

  // For the tests.
  const PortSettings& settings() { return store_.settings(); }
  uint16_t portNumber() const { return choice_.portNumber; }
  uint16_t baudRate() const { return choice_.baudRate; }
  const Language& language() const { return language_; }

 private:
  void Prepare(const char* iniFile, const char* section);
  // Writes the dialog's choice into the section; false (and the keys
  // already written put back) when a write fails.
  static bool WriteChoice(const std::string& file, const std::string& section, const PortSettings& chosen,
                          bool extended);

  PortSettingsStore store_;
  Language language_;
  PortChoice choice_;
};

}  // namespace zk::link
