#include "platform/Ini.h"

#include "tests/platform/PlatformFileSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

namespace zk::ini {
namespace {

using test::ModeOf;
using test::ReadFile;

constexpr std::size_t kBuffer = 100;

class IniTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& content) { return dir_.Write("modul.ini", content); }
  std::string Get(std::string_view section, std::string_view key, std::string_view def = "<default>",
                  std::size_t buffer = kBuffer) {
    return GetString(dir_.File("modul.ini"), section, key, def, buffer);
  }
  int32_t Int(std::string_view section, std::string_view key, int32_t def = -7) {
    return GetInt(dir_.File("modul.ini"), section, key, def);
  }

  test::TempDir dir_;
};

TEST_F(IniTest, NamesIgnoreCaseAndSurroundingBlanks) {
  Write(
      "[General]\n"
      "NumberOfNonAccessAreas=3\n"
      "NumberOfProtectedAreas =4\n"
      "[  Non Access Area 1 ]\n"
      "  StartAddress   =   0x8000   \n");
  EXPECT_EQ(Get("general", "NUMBEROFNONACCESSAREAS "), "3");
  EXPECT_EQ(Get("General", "NumberOfNonAccessAreas"), "3");
  EXPECT_EQ(Get("GENERAL", "numberofprotectedareas"), "4");
  EXPECT_EQ(Get("General ", " NumberOfProtectedAreas "), "4");
  EXPECT_EQ(Get("Non Access Area 1", "StartAddress"), "0x8000");
  EXPECT_EQ(Int("non access area 1 ", "startaddress"), 0x8000);
}

TEST_F(IniTest, FirstSectionAndFirstKeyWin) {
  Write(
      "[RS232]\n"
      "AutoBoot=1\n"
      "autoboot=2\n"
      "[Other]\n"
      "x=1\n"
      "[rs232]\n"
      "AutoBoot=3\n"
      "OnlyInSecond=5\n");
  EXPECT_EQ(Int("RS232", "AutoBoot"), 1);
  // Only the first section of a name is searched.
  EXPECT_EQ(Int("RS232", "OnlyInSecond"), -7);
}

TEST_F(IniTest, AbsentKeysGiveTheDefault) {
  Write("[General]\nModulName=M1\n");
  EXPECT_EQ(Get("General", "Missing", "dflt"), "dflt");
  EXPECT_EQ(Get("Missing", "ModulName", "dflt"), "dflt");
  EXPECT_EQ(Get("General", "Missing", "dflt  "), "dflt");  // trailing blanks of a default go
  EXPECT_EQ(Int("General", "Missing", 255), 255);
  EXPECT_EQ(Int("Missing", "ModulName", -1), -1);
}

TEST_F(IniTest, MissingFileHasNoKeys) {
  EXPECT_EQ(Get("General", "ModulName", ""), "");
  EXPECT_EQ(Int("Boot", "Download", 65535), 65535);
  EXPECT_FALSE(ReadValue(dir_.File("nothing.ini"), "General", "ModulName"));
  EXPECT_EQ(GetString(dir_.path(), "General", "ModulName", "d", kBuffer), "d");  // a directory
}

TEST_F(IniTest, StringsAreTruncatedToTheBufferLessOne) {
  Write("[General]\nModulName=ABCDEFGH\n");
  EXPECT_EQ(Get("General", "ModulName", "", 4), "ABC");
  EXPECT_EQ(Get("General", "ModulName", "", 9), "ABCDEFGH");
  EXPECT_EQ(Get("General", "ModulName", "", 1), "");
  EXPECT_EQ(Get("General", "ModulName", "", 0), "");
  EXPECT_EQ(Get("General", "Missing", "123456", 3), "12");
}

TEST(IniParseInt, WindowsIntegerRule) {
  struct Case {
    const char* text;
    int32_t expected;
  };
  const Case cases[] = {
      {"-1", -1},
      {"12abc", 12},
      {"abc", 0},
      {"0x80000", 0x80000},
      {"0X1f", 31},
      {"55zz", 55},
      {"", 0},
      {"+7", 7},
      {"-0x10", -16},
      {"0x", 0},
      {"0xg", 0},
      {"-", 0},
      {"  42  ", 42},
      {"007", 7},
      {"0xFFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"1 2", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseInt(c.text), c.expected) << '"' << c.text << '"';
}

TEST_F(IniTest, IntegersReadThroughTheFile) {
  Write(
      "[FlashConfig]\n"
      "FlashBanks=\n"
      "FlashStart= 0x80000 \n"
      "FlashEnd=-1\n"
      "FlashMode=\"12\"\n"
      "FlashMode1=text\n");
  EXPECT_EQ(Int("FlashConfig", "FlashBanks", 255), 0);  // present but empty: not the default
  EXPECT_EQ(Int("FlashConfig", "FlashStart"), 0x80000);
  EXPECT_EQ(Int("FlashConfig", "FlashEnd"), -1);
  EXPECT_EQ(Int("FlashConfig", "FlashMode"), 12);
  EXPECT_EQ(Int("FlashConfig", "FlashMode1"), 0);
}

TEST_F(IniTest, LineSyntax) {
  Write(
      "\xEF\xBB\xBF"
      "Before=1\n"
      "[Boot]\r\n"
      "; BootFile=commented.hex\r\n"
      "  ;Download=1\r\n"
      "just some words\r\n"
      "[broken\r\n"
      "BootFile=boot;1.hex\r\n"
      "Empty=\r\n"
      "Quoted=\"  padded  \"\r\n"
      "OneQuote=\"\r\n"
      "HalfQuoted=\"abc\r\n"
      "Eq=a=b\r\n"
      "Last=no line end");
  EXPECT_EQ(Get("", "Before"), "<default>");         // keys before any section are ignored
  EXPECT_EQ(Get("Boot", "BootFile"), "boot;1.hex");  // ';' only starts a comment line
  EXPECT_EQ(Int("Boot", "Download", 65535), 65535);
  EXPECT_EQ(Get("Boot", "just some words"), "<default>");
  EXPECT_EQ(Get("Boot", "Empty"), "");
  EXPECT_EQ(Get("Boot", "Quoted"), "  padded  ");
  EXPECT_EQ(Get("Boot", "OneQuote"), "\"");
  EXPECT_EQ(Get("Boot", "HalfQuoted"), "\"abc");
  EXPECT_EQ(Get("Boot", "Eq"), "a=b");
  EXPECT_EQ(Get("Boot", "Last"), "no line end");
  EXPECT_EQ(ReadValue(dir_.File("modul.ini"), "boot", "quoted"), "  padded  ");
}

TEST_F(IniTest, FileNameIsFoundIgnoringCaseAndBackslashesSeparate) {
  Write("[General]\nDmDLL=KORDm.Dll\n");
  EXPECT_EQ(GetString(dir_.File("Modul.INI"), "General", "DmDLL", "", kBuffer), "KORDm.Dll");
  EXPECT_EQ(GetString(dir_.path() + "\\modul.ini", "General", "DmDLL", "", kBuffer), "KORDm.Dll");
  ASSERT_TRUE(WriteString(dir_.File("MODUL.ini"), "General", "DmDLL", "Other"));
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"modul.ini"});
  EXPECT_EQ(Get("General", "DmDLL"), "Other");
}

TEST_F(IniTest, WriteInPlaceKeepsEveryOtherByte) {
  const std::string before =
      "; module description\r\n"
      "\r\n"
      "[RS232]\r\n"
      "  AutoBoot =  1   \r\n"
      "Disconnect=0\r\n"
      "   odd   spacing   line\r\n"
      "\r\n"
      "[Other]\r\n"
      "AutoBoot=9\r\n";
  const std::string path = Write(before);
  ASSERT_TRUE(WriteString(path, "rs232", "AUTOBOOT", "0"));
  std::string expected = before;
  expected.replace(expected.find("  AutoBoot =  1   "), 18, "  AutoBoot =  0");
  EXPECT_EQ(ReadFile(path), expected);
  EXPECT_EQ(Int("Other", "AutoBoot"), 9);
}

TEST_F(IniTest, WriteReplacesOnlyTheFirstDuplicate) {
  const std::string path = Write("[A]\nk=1\nk=2\n[a]\nk=3\n");
  ASSERT_TRUE(WriteString(path, "A", "K", "7"));
  EXPECT_EQ(ReadFile(path), "[A]\nk=7\nk=2\n[a]\nk=3\n");
}

TEST_F(IniTest, NewKeyGoesToTheEndOfItsSection) {
  const std::string path = Write(
      "[RS232]\r\n"
      "AutoBoot=1\r\n"
      "; trailing comment\r\n"
      "\r\n"
      "[Disconnect]\r\n"
      "SWReset=1\r\n");
  ASSERT_TRUE(WriteString(path, "RS232", "JumpAddress", "4096"));
  EXPECT_EQ(ReadFile(path),
            "[RS232]\r\n"
            "AutoBoot=1\r\n"
            "JumpAddress=4096\r\n"
            "; trailing comment\r\n"
            "\r\n"
            "[Disconnect]\r\n"
            "SWReset=1\r\n");
}

TEST_F(IniTest, NewKeyInAnEmptySectionAndAtTheEndOfAFile) {
  const std::string path = Write("[Empty]\n[Last]\nk=1");
  ASSERT_TRUE(WriteString(path, "Empty", "a", "x"));
  ASSERT_TRUE(WriteString(path, "Last", "b", "y"));
  EXPECT_EQ(ReadFile(path), "[Empty]\na=x\n[Last]\nk=1\nb=y\n");
}

TEST_F(IniTest, ACarriageReturnAtTheEndOfTheFileEndsTheLastLine) {
  // Read as the carriage return of a CR LF; a write completes it and keeps
  // every value as it read before.
  std::string path = Write("[S]\nk=v\r");
  EXPECT_EQ(Get("S", "k"), "v");
  ASSERT_TRUE(WriteString(path, "S", "n", "1"));
  EXPECT_EQ(ReadFile(path), "[S]\nk=v\r\nn=1\n");
  EXPECT_EQ(Get("S", "k"), "v");
  path = Write("[S]\r\nk=v\r");
  ASSERT_TRUE(WriteString(path, "T", "x", "2"));
  EXPECT_EQ(ReadFile(path), "[S]\r\nk=v\r\n\r\n[T]\r\nx=2\r\n");
  EXPECT_EQ(Get("S", "k"), "v");
  EXPECT_EQ(Get("T", "x"), "2");
}

TEST_F(IniTest, NewSectionIsAppended) {
  const std::string path = Write("[General]\r\nModulName=M");
  ASSERT_TRUE(WriteString(path, " RS232 ", " AutoBoot ", "1"));
  EXPECT_EQ(ReadFile(path), "[General]\r\nModulName=M\r\n\r\n[RS232]\r\nAutoBoot=1\r\n");
  ASSERT_TRUE(WriteString(path, "Disconnect", "SWReset", "0"));
  EXPECT_EQ(ReadFile(path),
            "[General]\r\nModulName=M\r\n\r\n[RS232]\r\nAutoBoot=1\r\n\r\n[Disconnect]\r\nSWReset=0\r\n");
}

TEST_F(IniTest, WriteCreatesANewFile) {
  const std::string path = dir_.File("modul.ini");
  ASSERT_TRUE(WriteString(path, "RS232", "AutoBoot", "1"));
  ASSERT_TRUE(WriteString(path, "RS232", "Disconnect", "2"));
  EXPECT_EQ(ReadFile(path), "[RS232]\nAutoBoot=1\nDisconnect=2\n");
  EXPECT_EQ(Int("RS232", "Disconnect"), 2);
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"modul.ini"});  // no temporary left over
}

TEST_F(IniTest, WriteRejectsNamesThatWouldNotReadBack) {
  const std::string before = "[S]\nk=1\n";
  const std::string path = Write(before);
  EXPECT_FALSE(WriteString(path, "S", "k", "two\nlines"));
  EXPECT_FALSE(WriteString(path, "S", "k", "cr\r"));
  EXPECT_FALSE(WriteString(path, "S", "a=b", "1"));
  EXPECT_FALSE(WriteString(path, "S", "  ", "1"));
  EXPECT_FALSE(WriteString(path, "S", ";k", "1"));
  EXPECT_FALSE(WriteString(path, "S", "[k", "1"));
  EXPECT_FALSE(WriteString(path, "a]b", "k", "1"));
  EXPECT_FALSE(WriteString(path, "", "k", "1"));
  EXPECT_FALSE(WriteString("", "S", "k", "1"));
  EXPECT_EQ(ReadFile(path), before);
}

TEST_F(IniTest, WriteKeepsPermissionsAndFollowsALink) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need a privilege on Windows, and its files have no POSIX mode";
#else
  const std::string real = dir_.Write("real.ini", "[S]\nk=1\n");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  const std::string link = dir_.File("modul.ini");
  ASSERT_EQ(::symlink("real.ini", link.c_str()), 0);
  ASSERT_TRUE(WriteString(link, "S", "k", "2"));
  EXPECT_EQ(ReadFile(real), "[S]\nk=2\n");
  EXPECT_EQ(ModeOf(real), 0640u);
  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
#endif
}

TEST_F(IniTest, WriteToAReadOnlyFileFailsAndChangesNothing) {
  const std::string before = "[S]\r\nk=1\r\n";
  const std::string path = Write(before);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(WriteString(path, "S", "k", "2"));
  EXPECT_FALSE(WriteString(path, "S", "new", "2"));
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(ModeOf(path), 0444u);
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"modul.ini"});
  // Writing what the file already holds needs no change and succeeds.
  EXPECT_TRUE(WriteString(path, "s", "K", "1"));
}

TEST_F(IniTest, WriteIntoAReadOnlyDirectoryFails) {
#ifdef _WIN32
  GTEST_SKIP() << "a read-only directory does not keep Windows from making files in it";
#endif
  const std::string before = "[S]\nk=1\n";
  const std::string path = Write(before);
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0555), 0);
  EXPECT_FALSE(WriteString(path, "S", "k", "2"));
  EXPECT_FALSE(WriteString(dir_.File("new.ini"), "S", "k", "2"));
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"modul.ini"});
}

TEST_F(IniTest, ConcurrentWritersLoseNoKey) {
  const std::string path = dir_.File("modul.ini");
  constexpr int kThreads = 4;
  constexpr int kKeys = 8;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&path, t] {
      for (int k = 0; k < kKeys; ++k) {
        WriteString(path, "S", "k" + std::to_string(t) + "_" + std::to_string(k), std::to_string(k));
      }
    });
  }
  for (std::thread& w : writers) w.join();
  for (int t = 0; t < kThreads; ++t) {
    for (int k = 0; k < kKeys; ++k) EXPECT_EQ(Int("S", "k" + std::to_string(t) + "_" + std::to_string(k)), k);
  }
}

}  // namespace
}  // namespace zk::ini
