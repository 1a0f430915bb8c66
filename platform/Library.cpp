#include "platform/Files.h"
#include "platform/LibraryBackend.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <filesystem>

namespace zk {

namespace detail {

std::vector<std::string> LibraryFileNames(const std::string& stem, const std::string& name) {
  return {"lib" + stem + ".so", stem + ".so", name};
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

namespace {
#ifdef ZK_KEEP_LIBRARIES_MAPPED
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
#else
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;
#endif
}  // namespace

// dlopen keeps the path it was given as the module's name.
LibraryHandle OpenLibraryFile(const std::string& absolute, std::string& failure) {
  ::dlerror();
  LibraryHandle library = ::dlopen(absolute.c_str(), kOpenFlags);
  if (library == nullptr) {
    const char* reason = ::dlerror();
    failure = reason != nullptr ? std::string(reason) : "cannot load " + absolute;
  }
  return library;
}

}  // namespace detail

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

}  // namespace zk
