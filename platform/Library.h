#pragma once
// Libraries loaded by their Windows name: a trailing ".dll" (any case) is
// dropped, then lib<name>.so, <name>.so and the name as given are looked for
// in the directory, comparing file names ignoring case.
#include "platform/Api.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zk {

using LibraryHandle = void*;

// path: a directory and a Windows library name ("dir/KORCmd.dll"), or a
// bare name, which is looked for in the host program's directory. Returns
// null when no file matches or it cannot be loaded.
ZK_PLATFORM_API LibraryHandle LoadLibrary(std::string_view path);

// The file that LoadLibrary(path) would load; nullopt when none matches.
ZK_PLATFORM_API std::optional<std::string> FindLibraryFile(std::string_view path);

ZK_PLATFORM_API void* GetProcAddress(LibraryHandle library, const char* name);
ZK_PLATFORM_API bool FreeLibrary(LibraryHandle library);

// A loaded library released when its owner goes.
struct LibraryCloser {
  void operator()(LibraryHandle library) const { FreeLibrary(library); }
};
using UniqueLibrary = std::unique_ptr<void, LibraryCloser>;

// The "module file name" of the library that contains address (dladdr),
// or of the host program for nullptr (/proc/self/exe).
ZK_PLATFORM_API std::string ModuleFileName(const void* addressInModule);

// Whether name, read from a module description or a settings file, is a
// plain library name: no directory separator ('/' or '\\') and no "..",
// so that it can only name a file of the installation directory.
ZK_PLATFORM_API bool IsPlainLibraryName(std::string_view name);

// The message that refuses a library name which is not plain: it names the
// file and the key the name was read from.
ZK_PLATFORM_API std::string LibraryNameRefusal(std::string_view file, std::string_view key, std::string_view name);

// The text of the last failure of LoadLibrary on this thread.
ZK_PLATFORM_API std::string LastLibraryError();

}  // namespace zk
