#pragma once
// The port settings the transport keeps from a module description: port
// and rate texts, the lists the settings dialog offers, the extended
// configuration. They are read on first use and kept while later calls
// name the same file and section; a call naming another file or section
// reads that one afresh, so a second connection never gets the first
// module's port.
#include "link/EntryList.h"

#include <cstdint>
#include <functional>
#include <string>

namespace zk::link {

struct PortSettings {
  std::string comText = "(no)";
  std::string baudText = "(no)";
  uint8_t extConfiguration = 0;
  std::string rawModeText;
  EntryList comList;
  EntryList baudList;
};

// Whether COMn can be opened right now (the port scan).
using PortProbe = std::function<bool(unsigned port)>;

class PortSettingsStore {
 public:
  explicit PortSettingsStore(PortProbe probe) : probe_(std::move(probe)) {}

  // Loads the settings of iniFile/section unless they are the ones held.
  // True when they were (re)loaded.
  bool Use(const std::string& iniFile, const std::string& section);

  PortSettings& settings() { return settings_; }
  bool loaded() const { return loaded_; }

 private:
  void Load(const std::string& iniFile, const std::string& section);
  void ScanPorts();

  PortProbe probe_;
  PortSettings settings_;
  bool loaded_ = false;
  std::string file_;
  std::string section_;
};

}  // namespace zk::link
