#include "platform/Library.h"

namespace zk {

bool IsPlainLibraryName(std::string_view name) {
  return name.find_first_of("/\\") == std::string_view::npos && name.find("..") == std::string_view::npos;
}

std::string LibraryNameRefusal(std::string_view file, std::string_view key, std::string_view name) {
  return "The library name \"" + std::string(name) + "\" of " + std::string(key) + " in " + std::string(file) +
         " holds a path; libraries load only from the installation directory, by a plain name.";
}

}  // namespace zk
