#include "platform/Library.h"
#include "platform/Tick.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace zk {
namespace {

namespace fs = std::filesystem;

using AnswerFn = int (*)();
using AddressFn = const void* (*)();

std::string WithBackslashes(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

[[maybe_unused]] std::string Canonical(const std::string& path) { return fs::weakly_canonical(path).string(); }

TEST(LibraryNames, LibPrefixThenPlainSoThenTheNameAsGiven) {
#ifdef _WIN32
  GTEST_SKIP() << "the .so names the Linux build maps Windows names to";
#endif
  const test::TempDir dir("zk-library");
  const std::string prefixed = dir.Write("libAlpha.so", "");
  dir.Write("Alpha.so", "");
  const std::string plain = dir.Write("beta.so", "");
  const std::string asGiven = dir.Write("Gamma.bin", "");
  fs::create_directory(dir.path() + "/libdelta.so");  // a directory is no library

  EXPECT_EQ(FindLibraryFile(dir.path() + "/ALPHA.DLL"), prefixed);
  EXPECT_EQ(FindLibraryFile(dir.path() + "/alpha"), prefixed);
  EXPECT_EQ(FindLibraryFile(dir.path() + "/Beta.Dll"), plain);
  EXPECT_EQ(FindLibraryFile(dir.path() + "/gamma.BIN"), asGiven);
  EXPECT_EQ(FindLibraryFile(WithBackslashes(dir.path()) + "\\alpha.dll"), prefixed);
  EXPECT_EQ(FindLibraryFile(dir.path() + "/delta.dll"), std::nullopt);
  EXPECT_EQ(FindLibraryFile(dir.path() + "/"), std::nullopt);
  EXPECT_EQ(FindLibraryFile(dir.path() + "/.dll"), std::nullopt);
}

TEST(LibraryNames, BareNameIsLookedForBesideTheProgram) {
#ifdef _WIN32
  // The system's spelling (drive, case) differs from the build's.
  EXPECT_TRUE(fs::equivalent(FindLibraryFile("TESTLIB.DLL").value_or(""), ZK_TEST_LIBRARY));
#else
  EXPECT_EQ(Canonical(FindLibraryFile("TESTLIB.DLL").value_or("")), Canonical(ZK_TEST_LIBRARY));
#endif
}

TEST(Libraries, LoadedByAnySpellingOfItsWindowsName) {
  const std::string dir = fs::path(ZK_TEST_LIBRARY).parent_path().string();
  for (const std::string& name : {std::string("TESTLIB.DLL"), std::string("TestLib.Dll"), std::string("testlib"),
                                  WithBackslashes(dir) + "\\TestLib.dll"}) {
    SCOPED_TRACE(name);
    LibraryHandle library = LoadLibrary(name);
    ASSERT_NE(library, nullptr) << LastLibraryError();
    auto answer = reinterpret_cast<AnswerFn>(GetProcAddress(library, "ZkTestLibAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(GetProcAddress(library, "NoSuchFunction"), nullptr);
    EXPECT_TRUE(FreeLibrary(library));
  }
}

TEST(Libraries, FailuresGiveNullAndATextSaysWhy) {
  EXPECT_EQ(LoadLibrary("NoSuchLib.dll"), nullptr);
  EXPECT_NE(LastLibraryError().find("no file matches"), std::string::npos);
  EXPECT_NE(LastLibraryError().find("NoSuchLib.dll"), std::string::npos);

  const test::TempDir dir("zk-library");
#ifdef _WIN32
  dir.Write("junk.dll", "not a library");
#else
  dir.Write("libJunk.so", "not a library");
#endif
  EXPECT_EQ(LoadLibrary(dir.path() + "/junk.dll"), nullptr);
  EXPECT_EQ(LastLibraryError().find("no file matches"), std::string::npos);
  EXPECT_FALSE(LastLibraryError().empty());

  EXPECT_EQ(GetProcAddress(nullptr, "ZkTestLibAnswer"), nullptr);
  EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST(Libraries, ModuleFileNames) {
  LibraryHandle library = LoadLibrary("testlib");
  ASSERT_NE(library, nullptr) << LastLibraryError();
  auto address = reinterpret_cast<AddressFn>(GetProcAddress(library, "ZkTestLibAddress"));
  ASSERT_NE(address, nullptr);
  const std::string libraryFile = ModuleFileName(address());
#ifdef _WIN32
  // Paths as the system spells them: a drive, the case of the files.
  EXPECT_TRUE(fs::equivalent(libraryFile, ZK_TEST_LIBRARY)) << libraryFile;
  EXPECT_TRUE(FreeLibrary(library));
  const std::string program = ModuleFileName(nullptr);
  EXPECT_TRUE(fs::equivalent(program, ZK_TEST_PROGRAM)) << program;
  EXPECT_EQ(ModuleFileName(reinterpret_cast<const void*>(&WithBackslashes)), program);
  EXPECT_EQ(fs::path(ModuleFileName(reinterpret_cast<const void*>(&GetTickCount))).filename(), "ZkPlatform.dll");
#else
  EXPECT_EQ(libraryFile.front(), '/');
  EXPECT_EQ(Canonical(libraryFile), Canonical(ZK_TEST_LIBRARY));
  EXPECT_TRUE(FreeLibrary(library));

  const std::string program = ModuleFileName(nullptr);
  EXPECT_EQ(program, Canonical(ZK_TEST_PROGRAM));
  EXPECT_EQ(ModuleFileName(reinterpret_cast<const void*>(&WithBackslashes)), program);
  EXPECT_EQ(fs::path(ModuleFileName(reinterpret_cast<const void*>(&GetTickCount))).filename(), "libZkPlatform.so");
#endif
}

}  // namespace
}  // namespace zk
