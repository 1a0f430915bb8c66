#include "platform/Library.h"

#include "platform/AsciiText.h"
#include "platform/Files.h"
#include "platform/PerThread.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>

namespace zk {
namespace {

constexpr std::string_view kDllSuffix = ".dll";

// The text of the last failure on this thread.
struct LastError {
  std::string text;
};
std::string& TheLastError() { return detail::PerThread<LastError>().text; }

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The name without a trailing ".dll" in any case.
std::string_view Stem(std::string_view name) {
  if (name.size() > kDllSuffix.size() &&
      text::EqualsNoCase(name.substr(name.size() - kDllSuffix.size()), kDllSuffix)) {
    name.remove_suffix(kDllSuffix.size());
  }
  return name;
}

// dlopen keeps the path it was given as the module's name: an absolute one
// stays right when the working directory changes.
std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

}  // namespace

std::optional<std::string> FindLibraryFile(std::string_view path) {
  const std::string native = files::ToNative(path);
  const std::string name = files::BaseName(native);
  if (name.empty()) return std::nullopt;
  const bool bare = native.find('/') == std::string::npos;
  const std::string dir = bare ? files::HostProgramDir() : files::DirName(native);

  const std::string stem(Stem(name));
  const std::array<std::string, 3> candidates = {"lib" + stem + ".so", stem + ".so", name};
  for (const std::string& candidate : candidates) {
    const std::optional<std::string> found = files::FindNoCase(dir, candidate);
    if (found && IsRegularFile(*found)) return found;
  }
  return std::nullopt;
}

namespace {
#ifdef ZK_KEEP_LIBRARIES_MAPPED
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
#else
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;
#endif
}  // namespace

LibraryHandle LoadLibrary(std::string_view path) {
  const std::optional<std::string> file = FindLibraryFile(path);
  if (!file) {
    TheLastError() = "no file matches " + std::string(path);
    return nullptr;
  }
  const std::string absolute = AbsolutePath(*file);
  ::dlerror();
  LibraryHandle library = ::dlopen(absolute.c_str(), kOpenFlags);
  if (library == nullptr) {
    const char* reason = ::dlerror();
    TheLastError() = reason != nullptr ? std::string(reason) : "cannot load " + absolute;
  }
  return library;
}

void* GetProcAddress(LibraryHandle library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return ::dlsym(library, name);
}

bool FreeLibrary(LibraryHandle library) { return library != nullptr && ::dlclose(library) == 0; }

std::string ModuleFileName(const void* addressInModule) {
  if (addressInModule == nullptr) return files::HostProgramPath();
  Dl_info info{};
  link_map* module = nullptr;
  if (::dladdr1(addressInModule, &info, reinterpret_cast<void**>(&module), RTLD_DL_LINKMAP) == 0) {
    return {};
  }
  // The program itself has an empty name in the link map.
  if (module == nullptr || module->l_name == nullptr || module->l_name[0] == '\0') {
    return files::HostProgramPath();
  }
  return module->l_name;
}

std::string LastLibraryError() { return TheLastError(); }

}  // namespace zk
