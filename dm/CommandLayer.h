#pragma once
// The command layer library bound at login. Every forwarding export looks
// its function up by name at each call; a library that is not bound or lacks
// the function is released (the missing-function rule), so that every
// forwarding export answers kCmdDllError until the next login.
#include "common/CmmApi.h"
#include "common/ResultCodes.h"
#include "platform/Library.h"

#include <atomic>
#include <string_view>
#include <utility>

namespace zk::dm {

// Two functions a command layer may offer besides those of CmmApi.h.
using AddOwnPagesFn = uint32_t (*)(uint32_t);
using ProgStatusByteFn = uint32_t (*)(uint32_t);

class CommandLayer {
 public:
  // Loads the library at path (a directory and a Windows library name).
  // On success it replaces, and releases, a library bound before; on
  // failure nothing changes.
  bool Bind(std::string_view path);
  void Release();
  bool Bound() const { return library_.load() != nullptr; }

  // The function name of the bound library, or null after the
  // missing-function rule released the library.
  template <typename Fn>
  Fn Require(const char* name) {
    if (Fn fn = Find<Fn>(name)) return fn;
    Release();
    return nullptr;
  }

  // The function name without the rule: null when it is missing.
  template <typename Fn>
  Fn Find(const char* name) const {
    LibraryHandle library = library_.load();
    return library ? reinterpret_cast<Fn>(GetProcAddress(library, name)) : nullptr;
  }

  // Calls name with args, or answers kCmdDllError by the rule.
  template <typename Fn, typename... Args>
  ResultCode Call(const char* name, Args&&... args) {
    Fn fn = Require<Fn>(name);
    return fn ? static_cast<ResultCode>(fn(std::forward<Args>(args)...)) : kCmdDllError;
  }

 private:
  std::atomic<LibraryHandle> library_{nullptr};
};

CommandLayer& Cmd();

}  // namespace zk::dm
