#include "platform/Registry.h"

#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

#include <memory>

namespace zk::reg {
namespace {

HKEY Root(Hive hive) { return hive == Hive::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

struct KeyCloser {
  void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

UniqueKey OpenKey(Hive hive, std::string_view key, REGSAM access) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(Root(hive), win32::Widen(key).c_str(), 0, access, &opened) != ERROR_SUCCESS) return nullptr;
  return UniqueKey(opened);
}

UniqueKey CreateKey(Hive hive, std::string_view key) {
  HKEY created = nullptr;
  if (::RegCreateKeyExW(Root(hive), win32::Widen(key).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created,
                        nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return UniqueKey(created);
}

}  // namespace

std::string HiveFile(Hive hive) { return hive == Hive::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE"; }

std::optional<std::string> QueryString(Hive hive, std::string_view key, std::string_view value) {
  const UniqueKey opened = OpenKey(hive, key, KEY_QUERY_VALUE);
  if (!opened) return std::nullopt;
  const std::wstring name = win32::Widen(value);
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (type == REG_DWORD) {
    DWORD data = 0;
    size = sizeof data;
    if (::RegQueryValueExW(opened.get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    return std::to_string(data);
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  if (::RegQueryValueExW(opened.get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  data.resize(size / sizeof(wchar_t));
  while (!data.empty() && data.back() == L'\0') data.pop_back();
  return win32::Narrow(data);
}

std::optional<uint32_t> QueryDword(Hive hive, std::string_view key, std::string_view value) {
  const UniqueKey opened = OpenKey(hive, key, KEY_QUERY_VALUE);
  if (!opened) return std::nullopt;
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof data;
  if (::RegQueryValueExW(opened.get(), win32::Widen(value).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                         &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return std::nullopt;
  }
  return data;
}

bool SetString(Hive hive, std::string_view key, std::string_view value, std::string_view data) {
  const UniqueKey created = CreateKey(hive, key);
  if (!created) return false;
  const std::wstring wide = win32::Widen(data);
  return ::RegSetValueExW(created.get(), win32::Widen(value).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(wide.c_str()),
                          static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool SetDword(Hive hive, std::string_view key, std::string_view value, uint32_t data) {
  const UniqueKey created = CreateKey(hive, key);
  if (!created) return false;
  const DWORD dword = data;
  return ::RegSetValueExW(created.get(), win32::Widen(value).c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&dword), sizeof dword) == ERROR_SUCCESS;
}

std::optional<std::string> InstallationDirectory() {
  std::optional<std::string> dir = QueryString(Hive::LocalMachine, kAppPathsKey, kAppPathsValue);
  if (!dir || dir->empty()) return std::nullopt;
  return dir;
}

}  // namespace zk::reg
