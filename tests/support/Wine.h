#pragma once
// Whether the test runs under Wine, which lets a second opener of a COM port
// through: the exclusive open shows on Windows only.
#if defined(_WIN32)
#include "platform/win32/Windows.h"
#endif

namespace zk::test {

inline bool UnderWine() {
#if defined(_WIN32)
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

inline constexpr const char* kWineSharesPorts =
    "Wine lets a second opener of a COM port through; only Windows shows the exclusive open";

}  // namespace zk::test
