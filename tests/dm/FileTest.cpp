#include "platform/MessageBox.h"
#include "platform/Messages.h"
#include "tests/dm/DmFixture.h"
#include "tests/dm/HexTestSupport.h"
#include "tests/support/ElfImage.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace zk::dm::test {
namespace {

using zk::test::ElfImage;

class RecordingBoxes : public MessageBoxHandler {
 public:
  int Show(std::string_view text, std::string_view caption, uint32_t type) override {
    std::lock_guard lock(mutex_);
    boxes_.push_back(std::string(caption) + "|" + std::string(text) + "|" + std::to_string(type));
    return IDOK;
  }
  std::vector<std::string> Boxes() {
    std::lock_guard lock(mutex_);
    return boxes_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> boxes_;
};

class FileTest : public DmTest {
 protected:
  void SetUp() override {
    DmTest::SetUp();
    SetMessageBoxHandler(&boxes_, false);
  }
  void TearDown() override {
    DmTest::TearDown();
    SetMessageBoxHandler(nullptr, false);
  }

  ResultCode Save(const std::string& name, uint32_t mode) {
    const std::string path = dir_.Path(name);
    return Finish(DmSaveFile(path.c_str(), mode, nullptr));
  }

  // A flat image of size bytes at base, read from the scripted module.
  std::string ReadImage(uint32_t base, uint32_t size) {
    std::string pattern(251, '\0');
    std::mt19937 random(base);
    for (char& c : pattern) c = static_cast<char>(random());
    fake_.setReadPattern(reinterpret_cast<const uint8_t*>(pattern.data()), pattern.size());
    PasswordBlock password{0, nullptr};
    EXPECT_EQ(DmSendPassword(&password), kOk);
    ReadRequest request{base, size};
    EXPECT_EQ(DmReadFlash(&request, nullptr), kOk);
    std::string image(size, '\0');
    for (uint32_t i = 0; i < size; ++i) image[i] = pattern[i % pattern.size()];
    return image;
  }

  // The bytes of the page image from its lowest address on, gaps as 0.
  static std::string PageBytes() {
    const auto pages = State().image.Pages().Pages();
    if (pages.empty()) return {};
    const uint32_t first = pages.front().address;
    std::string bytes;
    for (const Page& page : pages) {
      const std::size_t at = page.address - first;
      if (bytes.size() < at + page.length) bytes.resize(at + page.length, '\0');
      std::copy(page.data, page.data + page.length, bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return bytes;
  }

  static bool Have(const char* tool) {
    return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
  }
  int Run(const std::string& command) { return std::system(("cd '" + dir_.Path() + "' && " + command).c_str()); }

  RecordingBoxes boxes_;
};

TEST_F(FileTest, MissingOrEmptyFilesGive80AndKeepTheImage) {
  ASSERT_EQ(LoadFile(std::string(10, 'b'), kLoadBinary), kOk);
  const std::string missing = dir_.Path("missing.bin");
  EXPECT_EQ(Finish(DmLoadFile(missing.c_str(), kLoadBinary, nullptr)), kFileLoadError);
  EXPECT_EQ(LoadFile("", 0, "empty.hex"), kFileLoadError);
  EXPECT_EQ(Finish(DmLoadFile(dir_.Path().c_str(), 0, nullptr)), kFileLoadError);  // a directory
  EXPECT_EQ(State().image.ByteCount(), 10u);
  EXPECT_TRUE(State().image.HasFlat());
}

TEST_F(FileTest, ABinaryImageAndTheSectorsItNeeds) {
  Module("[FlashConfig]\r\nFlashStart=0x8000\r\nFlashEnd=0xFFFF\r\nFlashMode=1\r\n");
  ASSERT_EQ(LoadFile(std::string(1000, 'b'), kLoadBinary), kOk);
  EXPECT_EQ(DmGetProgress(), 100u);  // every worker that ends well ends at 100
  HexFileInfo info{};
  info.neededSectorCount = 99;
  EXPECT_EQ(DmGetHexFileInfo(0x8000, &info), kNoModuleSelected);
  EXPECT_EQ(info.byteCount, 1000u);
  EXPECT_EQ(info.neededSectorCount, 0u);

  Login();
  SelectFlash("[Block 1]\r\nOffset=0\r\nSectorSize=100\r\nNumberOfSectors=128\r\n", 1);
  ASSERT_EQ(DmGetHexFileInfo(0x8000, &info), kOk);
  EXPECT_EQ(info.byteCount, 1000u);
  ASSERT_EQ(info.neededSectorCount, 4u);
  EXPECT_EQ(info.neededSectors[0].start, 0x8000u);
  EXPECT_EQ(info.neededSectors[0].end, 0x80FFu);
  EXPECT_EQ(info.neededSectors[0].third, 0x100u);
  EXPECT_EQ(info.neededSectors[3].end, 0x83FFu);
  EXPECT_EQ(DmFreeMemory(info.neededSectors), kOk);
  EXPECT_EQ(dm::Handouts().Count(), 0u);
}

TEST_F(FileTest, PagesNeedTheSectorsTheyTouchAtTheGivenOffset) {
  Login();
  SelectFlash("[Block 1]\r\nOffset=0\r\nSectorSize=1000\r\nNumberOfSectors=64\r\n", 1);
  ASSERT_EQ(LoadFile(DataRecord(0x0FF8, Bytes(16)) + DataRecord(0x5000, {1}) + kEndOfFile, 0), kOk);
  HexFileInfo info{};
  ASSERT_EQ(DmGetHexFileInfo(0x10000, &info), kOk);
  EXPECT_EQ(info.byteCount, 17u);
  std::vector<uint32_t> starts;
  for (uint32_t i = 0; i < info.neededSectorCount; ++i) starts.push_back(info.neededSectors[i].start);
  EXPECT_EQ(starts, (std::vector<uint32_t>{0x10000, 0x11000, 0x15000}));
  // A layout read only in part hands out no list, and the reason is given.
  SelectFlash("[Block 1]\r\nOffset=0\r\nSectorSize=1000\r\nNumberOfSectors=64\r\n[Block 2]\r\nOffset=0x40000\r\n", 2);
  const std::size_t handedOut = dm::Handouts().Count();
  EXPECT_EQ(DmGetHexFileInfo(0x10000, &info), kInvalidFileFormat);
  EXPECT_EQ(info.neededSectorCount, 0u);
  EXPECT_EQ(Copy(info.neededSectors), nullptr);
  EXPECT_EQ(dm::Handouts().Count(), handedOut);
  // Without a usable layout the list is empty and the reason is given.
  State().currentFlash = FlashLibInfo{};
  EXPECT_EQ(DmGetHexFileInfo(0, &info), kInvalidFileFormat);
  EXPECT_EQ(info.neededSectorCount, 0u);
}

TEST_F(FileTest, AWrongChecksumShowsTheDebugBoxAndEmptiesTheImage) {
  ASSERT_EQ(LoadFile(std::string(10, 'b'), kLoadBinary), kOk);
  EXPECT_EQ(LoadFile(DataRecord(0, {1}) + HexRecord(0, 0x10, {1, 2}, 1) + kEndOfFile, 0), kReceiveChecksum);
  EXPECT_EQ(boxes_.Boxes(),
            std::vector<std::string>{"DEBUG BOX|CheckSum falsch !\nline 2 of " + dir_.Path("image") + "|0"});
  EXPECT_TRUE(State().image.Empty());
  EXPECT_EQ(State().image.ByteCount(), 0u);
}

TEST_F(FileTest, AnUnknownRecordTypeGives225AndTellsTheCaller) {
  Msg msg;
  PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the test thread's queue
  EXPECT_EQ(LoadFile(DataRecord(0, {1}) + HexRecord(0x07, 0, {}) + kEndOfFile, 0), kInvalidFileFormat);
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 34, 34, PM_REMOVE));
  EXPECT_EQ(msg.wParam, kInvalidFileFormat);
  EXPECT_EQ(msg.lParam, 0);
  EXPECT_TRUE(State().image.Empty());
}

TEST_F(FileTest, MalformedTextGives225WithAnEmptyImage) {
  for (const std::string& text : {":0100000001fe\r\n" + kEndOfFile, DataRecord(0, {1}), std::string("no records\n")}) {
    ASSERT_EQ(LoadFile(std::string(10, 'b'), kLoadBinary), kOk);
    EXPECT_EQ(LoadFile(text, 0), kInvalidFileFormat) << text;
    EXPECT_TRUE(State().image.Empty());
  }
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(FileTest, OnlyAFlatImageIsSaved) {
  EXPECT_EQ(Save("out.hex", 0), kFileNotFound);
  ASSERT_EQ(LoadFile(DataRecord(0, {1}) + kEndOfFile, 0), kOk);
  EXPECT_EQ(Save("out.hex", 0), kFileNotFound);
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("out.hex")));
  ASSERT_EQ(LoadFile("abc", kLoadBinary), kOk);
  EXPECT_EQ(Save("no/such/dir/out.bin", kLoadBinary), kFileSaveError);
  EXPECT_EQ(Save("out.bin", kLoadBinary), kOk);
  EXPECT_EQ(dir_.Read("out.bin"), "abc");
  EXPECT_EQ(DmGetProgress(), 100u);
}

TEST_F(FileTest, ASaveThatCannotBeWrittenKeepsTheOldFileAndSaysWhy) {
#ifdef _WIN32
  GTEST_SKIP() << "the full disk is a POSIX file size limit (setrlimit) in a forked child";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ASSERT_EQ(LoadFile(std::string(64 * 1024, 'n'), kLoadBinary), kOk);
  const std::string old(3000, 'o');
  dir_.Write("out.bin", old);
  ASSERT_EQ(::chmod(dir_.Path("out.bin").c_str(), 0640), 0);
  const auto entries = [this] {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> before = entries();
  // A file size limit fails the writes past it as a full disk does, in a
  // child process only.
  const auto saveWithLimit = [this] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 4096;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const ResultCode saved = Save("out.bin", kLoadBinary);
    for (const std::string& box : boxes_.Boxes()) std::fprintf(stderr, "%s\n", box.c_str());
    std::_Exit(static_cast<int>(saved));
  };
  EXPECT_EXIT(saveWithLimit(), ::testing::ExitedWithCode(static_cast<int>(kFileSaveError)),
              "Save File\\|Error saving .*out.bin: File too large");
  EXPECT_EQ(dir_.Read("out.bin"), old);
  EXPECT_EQ(entries(), before) << "no temporary file is left";
  // A save that works replaces the file and keeps its permissions.
  ASSERT_EQ(Save("out.bin", kLoadBinary), kOk);
  EXPECT_EQ(dir_.Read("out.bin"), std::string(64 * 1024, 'n'));
  EXPECT_EQ(std::filesystem::status(dir_.Path("out.bin")).permissions(), std::filesystem::perms::owner_read |
                                                                             std::filesystem::perms::owner_write |
                                                                             std::filesystem::perms::group_read);
#endif
}

TEST_F(FileTest, AReadImageIsSavedAtItsAddress) {
  Login();
  const std::string image = ReadImage(0x12340, 48);
  ASSERT_EQ(Save("out.hex", 0), kOk);
  const std::string text = dir_.Read("out.hex");
  EXPECT_EQ(text.substr(0, 17), ":020000040001F9\r\n");
  EXPECT_EQ(text.substr(17, 9), ":10234000");
  EXPECT_EQ(text.substr(17 + 45, 9), ":10235000");
  EXPECT_EQ(text.substr(17 + 90, 9), ":10236000");
  EXPECT_EQ(text.substr(17 + 135), ":00000001FF\n");
  // And it loads back as the same bytes at the same address.
  ASSERT_EQ(Finish(DmLoadFile(dir_.Path("out.hex").c_str(), 0, nullptr)), kOk);
  EXPECT_EQ(State().image.Pages().Pages().front().address, 0x12340u);
  EXPECT_EQ(PageBytes(), image);
}

TEST_F(FileTest, FilesOfTheReferenceToolsLoadAsObjcopyReadsThem) {
  if (!Have("srec_cat") || !Have("objcopy")) GTEST_SKIP() << "srec_cat and objcopy are needed";
  std::string data(70000, '\0');
  std::mt19937 random(11);
  for (char& c : data) c = static_cast<char>(random());
  dir_.Write("data.bin", data);
  ASSERT_EQ(Run("srec_cat data.bin -binary -offset 0x3F000 -o ref.hex -intel -obs=16"), 0);
  ASSERT_EQ(Run("objcopy -I ihex -O binary ref.hex ref.bin"), 0);
  ASSERT_EQ(Finish(DmLoadFile(dir_.Path("ref.hex").c_str(), 0, nullptr)), kOk);
  EXPECT_EQ(State().image.Pages().Pages().front().address, 0x3F000u);
  EXPECT_EQ(State().image.ByteCount(), data.size());
  EXPECT_EQ(PageBytes(), dir_.Read("ref.bin"));
}

TEST_F(FileTest, SavedFilesLoadBackIdenticallyInObjcopy) {
  if (!Have("objcopy") || !Have("srec_info")) GTEST_SKIP() << "objcopy and srec_info are needed";
  Login();
  const std::string image = ReadImage(0x1FFF7, 0x30001);
  ASSERT_EQ(Save("out.hex", 0), kOk);
  ASSERT_EQ(Run("objcopy -I ihex -O binary out.hex back.bin"), 0);
  EXPECT_EQ(dir_.Read("back.bin"), image);
  ASSERT_EQ(Run("srec_info out.hex -intel > info.txt"), 0);
  EXPECT_NE(dir_.Read("info.txt").find("01FFF7 - 04FFF7"), std::string::npos) << dir_.Read("info.txt");
}

TEST_F(FileTest, SavedSrecordsReadBackInSrecCat) {
  if (!Have("srec_cat")) GTEST_SKIP() << "srec_cat is needed";
  Login();
  const std::string image = ReadImage(0xFFFFF7, 0x20011);  // S3 records, from 0x1000000 on as well
  ASSERT_EQ(Save("out.srec", kLoadSrec), kOk);
  ASSERT_EQ(Run("srec_cat out.srec -offset -0xFFFFF7 -o back.bin -binary"), 0);
  EXPECT_EQ(dir_.Read("back.bin"), image);
}

TEST_F(FileTest, ABadSrecordIsRefusedAsABadHexRecordIsWithItsLine) {
  EXPECT_EQ(LoadFile("S0030000FC\nS1040000FF00\nS9030000FC\n", kLoadSrec, "bad.srec"), kReceiveChecksum);
  EXPECT_EQ(boxes_.Boxes(),
            std::vector<std::string>{"DEBUG BOX|CheckSum falsch !\nline 2 of " + dir_.Path("bad.srec") + "|0"});
  EXPECT_TRUE(State().image.Empty());
}

TEST_F(FileTest, AnElfImageLoadsItsSegmentsAtTheirPhysicalAddressAndIsNeverWritten) {
  const std::string elf = ElfImage::Build({{0x4000, 0x20000000, "code"}, {0x100, 0x100, "data"}});
  ASSERT_EQ(LoadFile(elf, kLoadElf), kOk);
  EXPECT_EQ(State().image.Pages().Pages().front().address, 0x100u);
  EXPECT_EQ(State().image.ByteCount(), 8u);
  ASSERT_EQ(LoadFile(elf, kLoadByContent, "image.hex"), kOk);  // the content outweighs the name
  EXPECT_EQ(State().image.PageCount(), 2u);
  EXPECT_EQ(LoadFile(elf.substr(0, elf.size() - 1), kLoadElf), kInvalidFileFormat);
  ASSERT_EQ(LoadFile("abc", kLoadBinary), kOk);
  EXPECT_EQ(Save("out.elf", kLoadElf), kInvalidFileFormat);
  EXPECT_EQ(Save("out.elf", kLoadByContent), kInvalidFileFormat);
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("out.elf")));
}

}  // namespace
}  // namespace zk::dm::test
