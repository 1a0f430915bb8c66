#pragma once
// What each backend's Library.cpp gives the shared lookup and loading of
// platform/LibraryLookup.cpp: the file names a library may have, and the
// OS calls that test and open a file.
#include "platform/Library.h"

#include <string>
#include <vector>

namespace zk::detail {

// The file names a library named stem (name as given, ".dll" dropped) may
// have, in the order they are tried.
std::vector<std::string> LibraryFileNames(const std::string& stem, const std::string& name);

bool IsRegularFile(const std::string& path);

// path made absolute, so that the loaded library's name stays right when
// the working directory changes; path itself when that fails.
std::string AbsolutePath(const std::string& path);

// Opens the library at the absolute path; null with failure set when it
// cannot be loaded.
LibraryHandle OpenLibraryFile(const std::string& absolute, std::string& failure);

}  // namespace zk::detail
