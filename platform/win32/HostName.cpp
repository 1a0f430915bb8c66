#include "platform/HostName.h"

#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

namespace zk {

std::string HostName() {
  wchar_t name[256] = {};
  DWORD size = 255;
  if (::GetComputerNameExW(ComputerNameDnsHostname, name, &size) == 0 || size == 0) return "unknown";
  return win32::Narrow(std::wstring_view(name, size));
}

}  // namespace zk
