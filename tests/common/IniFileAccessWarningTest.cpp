// A module description that cannot be written: the writers fail, the file
// stays as it was, and the user sees one warning that names it.
#include "common/IniFileAccess.h"
#include "tests/platform/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace zk {
namespace {

namespace fs = std::filesystem;

TEST(IniFileAccessWarning, AReadOnlyModuleDescriptionIsReportedOnceAndKept) {
  const test::TempDir temp("zk-ini-warning");
  const fs::path dir = temp.path();
  const fs::path path = dir / "modul.ini";
  const std::string original = "[RS232]\nDisconnect=1\nJumpAddress=0\n";
  std::ofstream(path, std::ios::binary) << original;
  const auto readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  fs::permissions(path, readOnly);
  test::MessageBoxRecorder boxes;
  const IniFileAccess module(path.string());

  // A disconnect with a jump address writes two keys: one warning.
  EXPECT_FALSE(module.WriteDisconnect(2));
  EXPECT_FALSE(module.WriteJumpAddress(4096));
  EXPECT_EQ(test::ReadFile(path), original);
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_NE(boxes.texts[0].find(path.string()), std::string::npos);

  fs::permissions(path, readOnly | fs::perms::owner_write);
  EXPECT_TRUE(module.WriteAutoBoot(1));
  fs::permissions(path, readOnly);
  EXPECT_FALSE(module.WriteAutoBoot(0));  // failing again is news again
  EXPECT_EQ(boxes.texts.size(), 2u);
#ifdef _WIN32
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);  // else Windows keeps it
#endif
  fs::remove_all(dir);
}

}  // namespace
}  // namespace zk
