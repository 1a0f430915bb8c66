// Quillrun's share of the CPU while it waits for a 256 KB download over the
// simulator's emulated line at 57600: the CPU time of the whole process (its
// waiting loop, the data manager's worker, the command layer and the link
// thread) between the start and the end of DOWNLOAD, over the wall time.
//   QuillrunCpuBench [--gui] [KB]
// With --gui the Qt face runs (offscreen); it prints no status lines, so the
// whole run is measured.
#include "platform/Ini.h"
#include "tests/e2e/ModSimProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kDefaultKb = 256;
constexpr double kTarget = 0.05;

// utime + stime of a process in seconds.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The fields after the command name, which is in parentheses.
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  unsigned long utime = 0;
  unsigned long stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stoul(field);
    if (i == 15) {
      stime = std::stoul(field);
      break;
    }
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Sample {
  double cpu = 0;
  Clock::time_point when;
};

}  // namespace

int main(int argc, char** argv) {
  bool gui = false;
  std::size_t kb = kDefaultKb;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--gui") {
      gui = true;
    } else {
      kb = std::strtoul(argv[i], nullptr, 10);
    }
  }
  zk::e2e::ModSimProcess sim({"--baud-emulation"});
  if (!sim.Running()) {
    std::fprintf(stderr, "ModSim did not start\n");
    return 1;
  }
  // The demo module without protected areas (the image fills bank 0), its
  // send lock at 1 ms so that the line alone sets the pace.
  const fs::path work = sim.Dir();
  const fs::path module = work / "module";
  fs::copy(fs::path(zk::e2e::ModuleDescription("ZkSim-Download")).parent_path(), module);
  zk::ini::WriteString((module / "modul.ini").string(), "General", "NumberOfProtectedAreas", "0");
  zk::ini::WriteString((module / "modul.ini").string(), "RS232", "SendLockTime", "1");
  std::vector<char> image(kb * 1024);
  std::mt19937 random(7);
  for (char& b : image) b = static_cast<char>(random());
  std::ofstream(work / "image.bin", std::ios::binary).write(image.data(), static_cast<std::streamsize>(image.size()));
  std::ofstream(work / "machine.reg") << "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zelkor3.exe]\nPATH="
                                      << zk::e2e::BinDir() << "\n";
  std::ofstream(work / "bench.qrs") << "CONNECT EXTERNAMD " << module.string() << "\nLOADHEX "
                                    << (work / "image.bin").string()
                                    << "\nENABLE VERBOSE\nDOWNLOAD\nDISCONNECT SWRESET\n";
  setenv("ZELKOR_MACHINE_REGISTRY", (work / "machine.reg").c_str(), 1);
  if (gui) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  int err[2];
  if (pipe(err) != 0) return 1;
  std::string program = zk::e2e::BinDir() + "/Quillrun";
  std::string console = gui ? "--gui" : "--console";
  std::string script = (work / "bench.qrs").string();
  char* args[] = {program.data(), console.data(), script.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  pid_t pid = -1;
  const Clock::time_point started = Clock::now();
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, args, environ) != 0) return 1;
  posix_spawn_file_actions_destroy(&actions);
  close(err[1]);

  // The status lines mark the download's start and end.
  Sample begin{gui ? CpuSeconds(pid) : 0, started};
  Sample end;
  std::FILE* lines = fdopen(err[0], "r");
  char line[256];
  while (std::fgets(line, sizeof line, lines) != nullptr) {
    const std::string text = line;
    if (text == "Quillrun: Downloading...\n") begin = {CpuSeconds(pid), Clock::now()};
    if (text == "Quillrun: Downloading... 100%\n") end = {CpuSeconds(pid), Clock::now()};
    if (text.find('%') == std::string::npos) std::fputs(line, stderr);
  }
  std::fclose(lines);
  if (gui) end = {CpuSeconds(pid), Clock::now()};
  int status = 0;
  waitpid(pid, &status, 0);
  const double total = std::chrono::duration<double>(Clock::now() - started).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || end.when == Clock::time_point{}) {
    std::fprintf(stderr, "the run failed\n");
    return 1;
  }
  const double wall = std::chrono::duration<double>(end.when - begin.when).count();
  const double cpu = end.cpu - begin.cpu;
  const double share = cpu / wall;
  std::printf(
      "%s of %zu KB at 57600 (emulated), %s face: %.2f s wall, %.3f s CPU of Quillrun: %.2f%% (target < %.0f%%)\n",
      gui ? "connect and download" : "download", kb, gui ? "Qt" : "console", wall, cpu, 100 * share, 100 * kTarget);
  std::printf("whole run: %.2f s\n", total);
  return share < kTarget ? 0 : 1;
}
