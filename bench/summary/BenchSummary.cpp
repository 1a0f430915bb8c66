// BenchSummary: runs every benchmark of a build one after another and prints
// their figures as one table (figure, value, reference, ratio, target, met).
// Each benchmark's own report goes to standard error as it runs.
//   BenchSummary BENCH_DIR [WORK_DIR]
#include "bench/summary/BenchRows.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
using zk::bench::BenchRow;

enum class Report { kFigureLines, kLinkJson };

struct Benchmark {
  const char* program;
  std::vector<std::string> args;
  Report report;
};

struct Output {
  std::string text;
  int exitCode = -1;
};

std::string Quoted(const std::string& arg) { return "'" + arg + "'"; }

Output Run(const fs::path& program, const std::vector<std::string>& args) {
  std::string command = Quoted(program.string());
  for (const std::string& arg : args) command += " " + Quoted(arg);
  Output out;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    out.text.append(buffer, n);
    std::fwrite(buffer, 1, n, stderr);
  }
  const int status = pclose(pipe);
  out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: BenchSummary BENCH_DIR [WORK_DIR]\n", stderr);
    return 2;
  }
  const fs::path dir = argv[1];
  const std::string work = argc > 2 ? argv[2] : (fs::temp_directory_path() / "dm-file-bench").string();
  const std::vector<Benchmark> benchmarks = {
      {"TarnlinkBench", {"--benchmark_format=json"}, Report::kLinkJson},
      {"LoginBench", {}, Report::kFigureLines},
      {"FlashThroughputBench", {}, Report::kFigureLines},
      {"FlashThroughputBench", {"--rates", "57600", "--ser2net"}, Report::kFigureLines},
      {"FlashThroughputBench", {"--rates", "57600", "--usb-latency", "16", "--size", "64K"}, Report::kFigureLines},
      {"FlashThroughputBench", {"--trace-row"}, Report::kFigureLines},
      {"FlashThroughputBench", {"--adapter-row"}, Report::kFigureLines},
      {"DmFileBench", {work}, Report::kFigureLines},
      {"QuillrunCpuBench", {}, Report::kFigureLines},
      {"FlashInfoPageBench", {}, Report::kFigureLines},
      {"ZelkorGangBench", {}, Report::kFigureLines},
  };
  std::vector<BenchRow> rows;
  bool complete = true;
  for (const Benchmark& b : benchmarks) {
    const fs::path program = dir / b.program;
    if (!fs::exists(program)) {
      rows.push_back({std::string(b.program) + ": not built", "-", "-", std::nullopt, "-", zk::bench::Met::kNo});
      complete = false;
      continue;
    }
    std::fprintf(stderr, "== %s\n", b.program);
    const Output out = Run(program, b.args);
    const std::vector<BenchRow> found = b.report == Report::kLinkJson ? zk::bench::ParseLinkBenchmarkJson(out.text)
                                                                      : zk::bench::ParseFigureLines(out.text);
    if (found.empty()) {
      rows.push_back({std::string(b.program) + ": no figures (exit " + std::to_string(out.exitCode) + ")", "-", "-",
                      std::nullopt, "-", zk::bench::Met::kNo});
      complete = false;
    }
    rows.insert(rows.end(), found.begin(), found.end());
  }
  std::printf("\n%s", zk::bench::FormatTable(rows).c_str());
  return complete ? 0 : 1;
}
