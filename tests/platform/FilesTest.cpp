#include "platform/Files.h"

#include "tests/platform/PlatformFileSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zk::files {
namespace {

using test::ModeOf;
using test::ReadFile;

TEST(FilesPath, JoinUsesExactlyOneSeparator) {
  EXPECT_EQ(Join("/opt/zk", "Zelkor.ini"), "/opt/zk/Zelkor.ini");
  EXPECT_EQ(Join("/opt/zk/", "Zelkor.ini"), "/opt/zk/Zelkor.ini");
  EXPECT_EQ(Join("/opt/zk\\", "\\modul.ini"), "/opt/zk/modul.ini");
  EXPECT_EQ(Join("/opt/zk//", "//target\\m1"), "/opt/zk/target\\m1");
  EXPECT_EQ(Join("/", "etc"), "/etc");
  EXPECT_EQ(Join("\\\\", "\\etc"), "/etc");
  EXPECT_EQ(Join("", "a\\b"), "a\\b");
  EXPECT_EQ(Join("dir\\", ""), "dir\\");
  EXPECT_EQ(Join("dir", "/"), "dir/");
}

TEST(FilesPath, DirNameBaseNameAndToNative) {
  EXPECT_EQ(ToNative("C\\target\\m1/modul.ini"), "C/target/m1/modul.ini");
  EXPECT_EQ(DirName("/opt/zk/bin/Quillrun"), "/opt/zk/bin");
  EXPECT_EQ(DirName("target\\m1\\\\modul.ini"), "target\\m1");
  EXPECT_EQ(DirName("/Quillrun"), "/");
  EXPECT_EQ(DirName("Quillrun"), "");
  EXPECT_EQ(BaseName("/opt/zk/bin/Quillrun"), "Quillrun");
  EXPECT_EQ(BaseName("target\\m1\\Modul.ini"), "Modul.ini");
  EXPECT_EQ(BaseName("plain"), "plain");
  EXPECT_EQ(BaseName("dir/"), "");
}

class FilesTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
};

TEST_F(FilesTest, FindNoCasePrefersTheExactSpelling) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file names ignore case: every spelling names the one file there can be";
#endif
  dir_.Write("Modul.ini", "upper");
  dir_.Write("modul.ini", "lower");
  EXPECT_EQ(FindNoCase(dir_.path(), "modul.ini"), dir_.File("modul.ini"));
  EXPECT_EQ(FindNoCase(dir_.path(), "Modul.ini"), dir_.File("Modul.ini"));
  // No exact match among several spellings: the same one every time.
  EXPECT_EQ(FindNoCase(dir_.path(), "MODUL.INI"), dir_.File("Modul.ini"));
}

TEST_F(FilesTest, FindNoCaseMatchesWithinTheDirectoryOnly) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file names ignore case: every spelling names the one file there can be";
#endif
  std::filesystem::create_directory(dir_.File("Target"));
  dir_.Write("Target/Info.TXT", "x");
  dir_.Write("Zelkor.ini", "x");
  EXPECT_EQ(FindNoCase(dir_.path(), "zelkor.INI"), dir_.File("Zelkor.ini"));
  EXPECT_EQ(FindNoCase(dir_.path() + "/", "\\ZELKOR.ini"), dir_.File("Zelkor.ini"));
  EXPECT_EQ(FindNoCase(dir_.File("Target"), "info.txt"), dir_.File("Target/Info.TXT"));
  EXPECT_EQ(FindNoCase(dir_.path(), "Target\\info.txt"), dir_.File("Target/Info.TXT"));
  EXPECT_EQ(FindNoCase(dir_.File("target"), "Info.TXT"), std::nullopt);  // the directory keeps its case
  EXPECT_EQ(FindNoCase(dir_.path(), "other.ini"), std::nullopt);
  EXPECT_EQ(FindNoCase(dir_.File("missing"), "x"), std::nullopt);
  EXPECT_EQ(FindNoCase(dir_.path(), ""), std::nullopt);
}

TEST_F(FilesTest, ResolveNoCase) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file names ignore case: every spelling names the one file there can be";
#endif
  dir_.Write("Modul.ini", "x");
  EXPECT_EQ(ResolveNoCase(dir_.File("Modul.ini")), dir_.File("Modul.ini"));
  EXPECT_EQ(ResolveNoCase(dir_.File("modul.INI")), dir_.File("Modul.ini"));
  EXPECT_EQ(ResolveNoCase(dir_.path() + "\\MODUL.ini"), dir_.File("Modul.ini"));
  EXPECT_EQ(ResolveNoCase(dir_.File("absent.ini")), dir_.File("absent.ini"));
  EXPECT_TRUE(Exists(dir_.path() + "\\Modul.ini"));
  EXPECT_FALSE(Exists(dir_.File("modul.ini")));
  EXPECT_FALSE(Exists(""));
}

TEST(FilesHost, ProgramPathIsTheRealFile) {
  const std::string path = HostProgramPath();
  ASSERT_FALSE(path.empty());
#ifdef _WIN32
  EXPECT_TRUE(std::filesystem::equivalent(path, ZK_TEST_PROGRAM)) << path;
#else
  EXPECT_EQ(path, std::filesystem::canonical("/proc/self/exe").string());
#endif
  EXPECT_EQ(HostProgramDir(), std::filesystem::path(path).parent_path().string());
}

TEST_F(FilesTest, ReadAllReadsEveryByte) {
  std::string content(10000, 'a');
  content[17] = '\0';
  content += "\r\nend";
  const std::string path = dir_.Write("data.bin", content);
  EXPECT_EQ(ReadAll(path), content);
  EXPECT_EQ(ReadAll(dir_.Write("empty", "")), "");
  EXPECT_FALSE(ReadAll(dir_.File("missing")));
  EXPECT_FALSE(ReadAll(dir_.path()));
  // A file whose size the kernel does not know in advance.
  const std::optional<std::string> status = ReadAll("/proc/self/status");
  ASSERT_TRUE(status);
  EXPECT_NE(status->find("Name:"), std::string::npos);
}

TEST_F(FilesTest, ReplaceCreatesAndReplacesKeepingTheMode) {
  const std::string path = dir_.File("new.ini");
  ASSERT_TRUE(ReplaceAtomically(path, "first"));
  EXPECT_EQ(ReadFile(path), "first");
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no POSIX mode to keep";
#endif
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  ASSERT_TRUE(ReplaceAtomically(path, "second"));
  EXPECT_EQ(ReadFile(path), "second");
  EXPECT_EQ(ModeOf(path), 0604u);
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"new.ini"});
}

TEST_F(FilesTest, ReplaceFollowsLinksAndKeepsThem) {
  std::filesystem::create_directory(dir_.File("install"));
  const std::string real = dir_.Write("install/modul.ini", "old");
  std::error_code linkError;
  std::filesystem::create_symlink(std::filesystem::path("install") / "modul.ini", dir_.File("hop"), linkError);
  if (linkError) {
    GTEST_SKIP() << "no symbolic link can be made here (on Windows it needs a privilege): " << linkError.message();
  }
  std::filesystem::create_symlink(dir_.File("hop"), dir_.File("link.ini"));
  ASSERT_TRUE(ReplaceAtomically(dir_.File("link.ini"), "new"));
  EXPECT_EQ(ReadFile(real), "new");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("link.ini")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("hop")));
  EXPECT_EQ(dir_.Entries("install"), std::vector<std::string>{"modul.ini"});
#if !defined(_WIN32)
  // A link to a file not yet there creates that file (on Windows the save
  // takes the link's place).
  ASSERT_EQ(::symlink("install/later.ini", dir_.File("dangling").c_str()), 0);
  ASSERT_TRUE(ReplaceAtomically(dir_.File("dangling"), "made"));
  EXPECT_EQ(ReadFile(dir_.File("install/later.ini")), "made");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("dangling")));

  ASSERT_EQ(::symlink("loop", dir_.File("loop").c_str()), 0);
  EXPECT_FALSE(ReplaceAtomically(dir_.File("loop"), "x"));
#endif
}

TEST_F(FilesTest, ReplaceRefusesReadOnlyTargets) {
  const std::string path = dir_.Write("ro.ini", "keep");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(ReplaceAtomically(path, "lost"));
  EXPECT_EQ(ReadFile(path), "keep");
  EXPECT_EQ(ModeOf(path), 0444u);

  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
#ifndef _WIN32
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0555), 0);
  EXPECT_FALSE(ReplaceAtomically(path, "lost"));
  EXPECT_FALSE(ReplaceAtomically(dir_.File("other.ini"), "lost"));
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  EXPECT_EQ(ReadFile(path), "keep");
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"ro.ini"});
#endif

  std::filesystem::create_directory(dir_.File("adir"));
  EXPECT_FALSE(ReplaceAtomically(dir_.File("adir"), "x"));
  EXPECT_FALSE(ReplaceAtomically(dir_.File("missing/x.ini"), "x"));
  EXPECT_FALSE(ReplaceAtomically("", "x"));
#ifdef _WIN32
  GTEST_SKIP() << "partly: a read-only directory does not keep Windows from making files in it";
#endif
}

TEST_F(FilesTest, ReplaceKeepsTheOwner) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no POSIX owner and group";
#else
  if (::geteuid() != 0) GTEST_SKIP() << "changing a file's owner needs root";
  constexpr uid_t kUid = 4321;
  constexpr gid_t kGid = 4322;
  const std::string path = dir_.Write("owned.ini", "a");
  ASSERT_EQ(::chown(path.c_str(), kUid, kGid), 0);
  ASSERT_TRUE(ReplaceAtomically(path, "b"));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kUid);
  EXPECT_EQ(st.st_gid, kGid);
#endif
}

}  // namespace
}  // namespace zk::files
