#include "dm/CommandLayer.h"

namespace zk::dm {

bool CommandLayer::Bind(std::string_view path) {
  LibraryHandle library = LoadLibrary(path);
  if (library == nullptr) return false;
  // Loaded before the old one goes, so that binding the same library again
  // never unloads it in between.
  if (LibraryHandle old = library_.exchange(library)) FreeLibrary(old);
  return true;
}

void CommandLayer::Release() {
  if (LibraryHandle library = library_.exchange(nullptr)) FreeLibrary(library);
}

CommandLayer& Cmd() {
  static CommandLayer layer;
  return layer;
}

}  // namespace zk::dm
