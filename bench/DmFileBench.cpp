// Whole-program runs of the data manager's file operations against the
// reference tools on the same files, side by side:
//   DmLoadFile of a 16 MB image in 1,048,576 16-byte records (ascending, and
//   descending) against objcopy -I ihex -O binary;
//   DmSaveFile of the 16 MB flat image as HEX against objcopy -I binary -O ihex;
//   DmGetHexFileInfo of the loaded page image against 4096 sectors;
//   the peak memory of the load.
// Each program is run once to warm the caches, then five times; medians are
// compared. Run as <build>/bench/DmFileBench [work directory].
// The same program is its own driver: "DmFileBench load <file> <peak file>"
// and "DmFileBench save <binary> <hex> <peak file>" call the library, poll its
// status and note their peak memory.
#include "common/DmApi.h"
#include "platform/Library.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;
constexpr uint32_t kImageSize = 16u << 20;
constexpr uint32_t kSectors = 4096;
constexpr double kLoadRatio = 1.0;
constexpr double kDescendingRatio = 2.0;
constexpr double kSaveRatio = 1.0;
constexpr double kInfoLimitMs = 100.0;
constexpr double kPeakLimitMb = 4.0 * 16 + 64;

// The data manager library, resolved by name.
struct DataManager {
  explicit DataManager(const std::string& path = ZK_KORDM_LIBRARY) : library(zk::LoadLibrary(path)) {}
  zk::LibraryHandle library;
  template <typename Fn>
  Fn Get(const char* name) const {
    auto fn = reinterpret_cast<Fn>(zk::GetProcAddress(library, name));
    if (fn == nullptr) {
      std::fprintf(stderr, "%s missing: %s\n", name, zk::LastLibraryError().c_str());
      std::exit(2);
    }
    return fn;
  }
  zk::dm::FileFn load = Get<zk::dm::FileFn>("DmLoadFile");
  zk::dm::FileFn save = Get<zk::dm::FileFn>("DmSaveFile");
  zk::dm::PollFn status = Get<zk::dm::PollFn>("DmGetCurrentThreadStatus");
  zk::dm::LoginFn login = Get<zk::dm::LoginFn>("DmLogin");
  zk::dm::GetHexFileInfoFn info = Get<zk::dm::GetHexFileInfoFn>("DmGetHexFileInfo");
  zk::dm::FreeMemoryFn freeMemory = Get<zk::dm::FreeMemoryFn>("DmFreeMemory");

  uint32_t Wait() const {
    uint32_t s = 0;
    while ((s = status()) == 0xC0) std::this_thread::sleep_for(std::chrono::microseconds(100));
    return s;
  }
};

struct RunResult {
  double seconds = 0;
  double peakMb = 0;  // our own programs only
  int exitCode = -1;
};

RunResult Run(const std::vector<std::string>& args, const fs::path& peakFile = {}) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  RunResult result;
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return result;
  int status = 0;
  waitpid(pid, &status, 0);
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (!peakFile.empty()) std::ifstream(peakFile) >> result.peakMb;
  return result;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

// The records of an ascending file in descending order, each data record
// behind the extended address record it needs.
bool WriteDescending(const fs::path& ascending, const fs::path& descending) {
  std::ifstream in(ascending);
  std::vector<std::pair<std::string, std::string>> records;  // {upper record, data record}
  std::string upper = ":020000040000FA";
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 9 && line.compare(7, 2, "04") == 0) upper = line;
    if (line.size() > 9 && line.compare(7, 2, "00") == 0) records.emplace_back(upper, line);
  }
  std::ofstream out(descending, std::ios::binary);
  std::string current;
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    if (it->first != current) {
      out << it->first << "\r\n";
      current = it->first;
    }
    out << it->second << "\r\n";
  }
  out << ":00000001FF\r\n";
  return records.size() == kImageSize / 16 && static_cast<bool>(out);
}

// The peak resident size of this process image in MB. (The rusage of a
// spawned child also counts the parent's pages from before the exec.)
double OwnPeakMb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  }
  return 0;
}

int ChildEnd(uint32_t status, const char* peakFile) {
  std::ofstream(peakFile) << OwnPeakMb();
  return static_cast<int>(status);
}

int ChildLoad(const char* file, const char* peakFile) {
  const DataManager dm;
  if (dm.load(file, 0, nullptr) != 0) return 3;
  return ChildEnd(dm.Wait(), peakFile);
}

int ChildSave(const char* binary, const char* hex, const char* peakFile) {
  const DataManager dm;
  if (dm.load(binary, zk::dm::kLoadBinary, nullptr) != 0 || dm.Wait() != 0) return 3;
  if (dm.save(hex, 0, nullptr) != 0) return 3;
  return ChildEnd(dm.Wait(), peakFile);
}

// The median time of DmGetHexFileInfo on the page image of file, against
// one block of 4096 sectors.
double HexFileInfoMs(const fs::path& work, const fs::path& file, uint32_t& neededOut) {
  const fs::path self = fs::canonical("/proc/self/exe").parent_path();
  // The settings file and the flash description beside the host program.
  fs::create_directories(self / "DmBenchFlash");
  std::ofstream(self / "Zelkor.ini") << "[Paths]\r\nINIFilePath=DmBenchFlash\r\n";
  std::ofstream(self / "DmBenchFlash" / "0000x0000x0000.ini")
      << "[General]\r\nNumberOfBlocks=1\r\n[Block 1]\r\nOffset=0\r\nSectorSize=1000\r\nNumberOfSectors=" << kSectors
      << "\r\n";
  // The data manager finds its command layer beside itself, by a plain
  // name: a copy of the data manager with BenchCmd beside it.
  const fs::path libraries = work / "lib";
  fs::create_directories(libraries);
  const fs::path dataManager = libraries / fs::path(ZK_KORDM_LIBRARY).filename();
  fs::copy_file(ZK_KORDM_LIBRARY, dataManager, fs::copy_options::overwrite_existing);
  const fs::path commandLayer = libraries / fs::path(ZK_BENCH_CMD).filename();
  if (!fs::exists(commandLayer)) fs::create_symlink(ZK_BENCH_CMD, commandLayer);
  const fs::path module = work / "modul.ini";
  std::ofstream(module) << "[General]\r\nCommandDll=BenchCmd"
                        << "\r\n[FlashConfig]\r\nFlashStart=0\r\nFlashEnd=0xFFFFFF\r\nFlashMode=1\r\n";
  const DataManager dm(dataManager.string());
  if (dm.login(module.c_str(), nullptr, nullptr) != 0) return -1;
  if (dm.load(file.c_str(), 0, nullptr) != 0 || dm.Wait() != 0) return -1;
  std::vector<double> ms;
  for (int i = 0; i < kRuns; ++i) {
    zk::HexFileInfo info{};
    const auto start = Clock::now();
    const uint32_t rc = dm.info(0, &info);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (rc != 0) return -1;
    neededOut = info.neededSectorCount;
    dm.freeMemory(info.neededSectors);
  }
  return Median(ms);
}

struct Measured {
  std::vector<double> seconds;
  double peakMb = 0;
  bool ok = true;
  void Add(const RunResult& r) {
    seconds.push_back(r.seconds);
    peakMb = std::max(peakMb, r.peakMb);
    ok = ok && r.exitCode == 0;
  }
  double Median() const { return ::Median(seconds); }
};

bool Report(const char* what, const Measured& ours, const char* reference, const Measured& ref, double limit) {
  const double ratio = ours.Median() / ref.Median();
  const bool met = ours.ok && ref.ok && ratio <= limit;
  std::printf("%-28s %8.3f s   %-30s %8.3f s   ratio %5.2f (at most %.1f)  %s\n", what, ours.Median(), reference,
              ref.Median(), ratio, limit, met ? "met" : "MISSED");
  return met;
}

int FullRun(const fs::path& work) {
  fs::create_directories(work);
  const std::string self = fs::canonical("/proc/self/exe").string();
  const fs::path ascending = work / "image16m.hex";
  const fs::path descending = work / "image16m-descending.hex";
  const fs::path flat = work / "image16m.bin";
  const fs::path refOut = work / "objcopy-out";
  const fs::path ourHex = work / "saved.hex";
  if (!fs::exists(ascending)) {
    std::printf("writing %s with srec_cat\n", ascending.c_str());
    if (!Shell("srec_cat -generate 0 0x1000000 -random -o '" + ascending.string() + "' -intel -obs=16")) return 2;
  }
  if (!fs::exists(descending) && !WriteDescending(ascending, descending)) return 2;
  if (!Shell("objcopy -I ihex -O binary '" + ascending.string() + "' '" + flat.string() + "'")) return 2;
  std::printf("files: %s (%ju bytes), descending copy, flat image of %u bytes\n", ascending.c_str(),
              static_cast<uintmax_t>(fs::file_size(ascending)), kImageSize);

  const fs::path peak = work / "peak.txt";
  const std::vector<std::string> refLoad = {"objcopy", "-I", "ihex", "-O", "binary", ascending, refOut};
  const std::vector<std::string> ourLoad = {self, "load", ascending, peak};
  const std::vector<std::string> ourLoadDown = {self, "load", descending, peak};
  const std::vector<std::string> refSave = {"objcopy", "-I", "binary", "-O", "ihex", flat, refOut};
  const std::vector<std::string> ourSave = {self, "save", flat, ourHex, peak};
  for (const auto* args : {&refLoad, &ourLoad, &ourLoadDown, &refSave, &ourSave}) Run(*args);  // warm

  Measured rl, ol, od, rs, os;
  for (int i = 0; i < kRuns; ++i) {
    rl.Add(Run(refLoad));
    ol.Add(Run(ourLoad, peak));
    od.Add(Run(ourLoadDown, peak));
    rs.Add(Run(refSave));
    os.Add(Run(ourSave, peak));
  }
  // What we saved reads back in the reference tool as the image.
  const bool sameBack = Shell("objcopy -I ihex -O binary '" + ourHex.string() + "' '" + refOut.string() +
                              "' && cmp -s '" + refOut.string() + "' '" + flat.string() + "'");

  std::printf("\nmedians of %d runs each, warm, whole programs:\n", kRuns);
  bool met = Report("DmLoadFile (ascending)", ol, "objcopy -I ihex -O binary", rl, kLoadRatio);
  met = Report("DmLoadFile (descending)", od, "objcopy -I ihex -O binary", rl, kDescendingRatio) && met;
  met = Report("DmSaveFile (HEX)", os, "objcopy -I binary -O ihex", rs, kSaveRatio) && met;
  std::printf("%-28s %8.1f MB   (at most %.0f MB)  %s\n", "peak memory of the load", ol.peakMb, kPeakLimitMb,
              ol.peakMb <= kPeakLimitMb ? "met" : "MISSED");
  std::printf("%-28s %8.1f MB\n", "  (descending)", od.peakMb);
  std::printf("%-28s %8.1f MB\n", "peak memory of the save", os.peakMb);
  met = met && ol.peakMb <= kPeakLimitMb && od.peakMb <= kPeakLimitMb;
  std::printf("%-28s %s\n", "saved file read by objcopy", sameBack ? "identical" : "DIFFERENT");
  met = met && sameBack;

  uint32_t needed = 0;
  const double infoMs = HexFileInfoMs(work, ascending, needed);
  const bool infoMet = infoMs >= 0 && infoMs < kInfoLimitMs && needed == kSectors;
  std::printf("%-28s %8.2f ms   %u needed sectors of %u (under %.0f ms)  %s\n", "DmGetHexFileInfo", infoMs, needed,
              kSectors, kInfoLimitMs, infoMet ? "met" : "MISSED");
  return met && infoMet ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "load" && argc == 4) return ChildLoad(argv[2], argv[3]);
  if (mode == "save" && argc == 5) return ChildSave(argv[2], argv[3], argv[4]);
  const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "dm-file-bench";
  return FullRun(work);
}
