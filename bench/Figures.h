#pragma once
// Output and option helpers of the end-to-end benchmarks: one line per
// figure (name, measured, bound, ratio, target, met).
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zk::bench {

struct Figure {
  std::string name;
  double measured = 0;
  double bound = 0;
  std::string unit;
  double ratio = 0;
  std::string target;
  bool met = false;
};

void PrintFigure(const Figure& figure);

// "262144", "256K", "0x40000".
std::optional<uint32_t> ParseSize(std::string_view text);

// The value after option name in argv ("--size 4K" or "--size=4K").
std::optional<std::string> OptionValue(int argc, char** argv, std::string_view name);
bool HasFlag(int argc, char** argv, std::string_view name);

using Clock = std::chrono::steady_clock;
double SecondsSince(Clock::time_point start);

// The machine's load beside the figures: other work on it stretches every
// turnaround of the dialogue.
void PrintMachineLoad();

// A line quieter than the send lock and than a trace's burst gap.
void Pause(std::chrono::milliseconds quiet);

}  // namespace zk::bench
