// For the package test: one settings write as the workbench does it when it
// disconnects, into the module description named on the command line.
//   ZkSettingsWrite MODUL_INI   prints the file the write went to
// Exit code 0 when the write succeeded.
#include "common/IniFileAccess.h"
#include "platform/SettingsCopy.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ZkSettingsWrite MODUL_INI\n");
    return 2;
  }
  const zk::IniFileAccess module(argv[1]);
  if (!module.WriteDisconnect(2)) return 1;
  std::printf("%s\n", zk::settings::WrittenFile(argv[1]).c_str());
  return 0;
}
