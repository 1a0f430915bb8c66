#include "bench/Figures.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <thread>

namespace zk::bench {

void PrintFigure(const Figure& f) {
  std::printf("%-22s measured %10.1f %-4s bound %10.1f %-4s ratio %6.3f  target %-13s %s\n", f.name.c_str(), f.measured,
              f.unit.c_str(), f.bound, f.unit.c_str(), f.ratio, f.target.c_str(), f.met ? "met" : "NOT MET");
  std::fflush(stdout);
}

std::optional<uint32_t> ParseSize(std::string_view text) {
  uint32_t factor = 1;
  if (!text.empty() && (text.back() == 'K' || text.back() == 'k')) {
    factor = 1024;
    text.remove_suffix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  value *= factor;
  if (value > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::optional<std::string> OptionValue(int argc, char** argv, std::string_view name) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == name && i + 1 < argc) return std::string(argv[i + 1]);
    if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
      return std::string(arg.substr(name.size() + 1));
    }
  }
  return std::nullopt;
}

bool HasFlag(int argc, char** argv, std::string_view name) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == name) return true;
  }
  return false;
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void PrintMachineLoad() {
  std::ifstream in("/proc/loadavg");
  double load = 0;
  in >> load;
  const unsigned cores = std::thread::hardware_concurrency();
  std::printf("machine: load average %.2f on %u cores%s\n", load, cores,
              load > cores / 2.0 ? " (busy: the figures suffer; run on a quiet machine or under chrt -f 20)" : "");
}

void Pause(std::chrono::milliseconds quiet) { std::this_thread::sleep_for(quiet); }

}  // namespace zk::bench
