// A settings write that fails half-way (the disk is full: here a file size
// limit) reports failure and leaves the file as it was, with no temporary
// file beside it.
#include "platform/Ini.h"
#include "tests/hardening/Installation.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <sys/resource.h>

namespace zk::hardening {
namespace {

namespace fs = std::filesystem;

// Writes beyond `bytes` fail (EFBIG) while it lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    applied_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool Applied() const { return applied_; }

 private:
  rlimit saved_{};
  void (*previous_)(int) = SIG_DFL;
  bool applied_ = false;
};

TEST(IniWriteFailure, AWriteThatCannotFinishLeavesTheOldFile) {
  const test::TempDir temp("zk-ini-full");
  const std::string dir = temp.path();
  const std::string path = dir + "/modul.ini";
  std::string original = "[General]\nModulName=ZkSim\n[RS232]\nCOM=COM1\n";
  for (int i = 0; i < 100; ++i) original += "Key" + std::to_string(i) + "=" + std::string(20, 'v') + "\n";
  WriteFile(path, original);
  {
    FileSizeLimit limit(original.size() / 2);
    ASSERT_TRUE(limit.Applied());
    EXPECT_FALSE(ini::WriteString(path, "RS232", "COM", "COM2"));
    EXPECT_FALSE(ini::WriteString(path, "Disconnect", "SWReset", "1"));
  }
  EXPECT_EQ(ReadFile(path), original);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
  EXPECT_EQ(files, 1u) << "no temporary file is left behind";
  EXPECT_TRUE(ini::WriteString(path, "RS232", "COM", "COM2")) << "with room again the write works";
  EXPECT_EQ(ini::ReadValue(path, "RS232", "COM"), "COM2");
}

}  // namespace
}  // namespace zk::hardening
