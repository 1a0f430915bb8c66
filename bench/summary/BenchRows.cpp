#include "bench/summary/BenchRows.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <regex>
#include <sstream>

namespace zk::bench {
namespace {

// The targets of the link benchmark, from its issue.
constexpr double kRoundTripMs = 2.0;
constexpr double kWaitingCpuPercent = 5.0;

std::string Trim(std::string s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}

std::string Number(double v, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

Met MetWord(const std::string& word) { return word == "met" ? Met::kYes : Met::kNo; }

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::istringstream in{std::string(text)};
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// One report line format: its pattern and how its groups become a row.
struct LineFormat {
  std::regex pattern;
  BenchRow (*row)(const std::smatch& m);
};

const std::vector<LineFormat>& Formats() {
  static const std::vector<LineFormat> formats = {
      // End-to-end figures: name, measured, bound, ratio, target, met.
      {std::regex(
           R"(^(.+?) +measured +([0-9.]+) (\S+) +bound +([0-9.]+) (\S+) +ratio +([0-9.]+) +target (.+?) +(met|NOT MET)$)"),
       [](const std::smatch& m) {
         return BenchRow{Trim(m[1]),
                         std::string(m[2]) + " " + std::string(m[3]),
                         "bound " + std::string(m[4]) + " " + std::string(m[5]),
                         std::stod(m[6]),
                         Trim(m[7]),
                         MetWord(m[8])};
       }},
      // Data manager against a reference tool.
      {std::regex(R"(^(.+?) +([0-9.]+) s +(.+?) +([0-9.]+) s +ratio +([0-9.]+) \(at most ([0-9.]+)\) +(met|MISSED)$)"),
       [](const std::smatch& m) {
         return BenchRow{Trim(m[1]),      std::string(m[2]) + " s",        Trim(m[3]) + " " + std::string(m[4]) + " s",
                         std::stod(m[5]), "ratio <= " + std::string(m[6]), MetWord(m[7])};
       }},
      // A value against a limit.
      {std::regex(R"(^(.+?) +([0-9.]+) (MB|ms) +(?:.*\()?(?:at most|under) ([0-9.]+) ?(?:MB|ms)?\) +(met|MISSED)$)"),
       [](const std::smatch& m) {
         const double value = std::stod(m[2]);
         const double limit = std::stod(m[4]);
         return BenchRow{Trim(m[1]),
                         std::string(m[2]) + " " + std::string(m[3]),
                         "-",
                         limit > 0 ? std::optional<double>(value / limit) : std::nullopt,
                         "<= " + std::string(m[4]) + " " + std::string(m[3]),
                         MetWord(m[5])};
       }},
      // The runner's CPU share while it waits.
      {std::regex(R"(^(.+?): ([0-9.]+) s wall, ([0-9.]+) s CPU of Quillrun: ([0-9.]+)% \(target < ([0-9.]+)%\)$)"),
       [](const std::smatch& m) {
         const double share = std::stod(m[4]);
         const double limit = std::stod(m[5]);
         return BenchRow{"Quillrun CPU, " + Trim(m[1]),   std::string(m[4]) + " %",
                         std::string(m[2]) + " s wall",   share / limit,
                         "< " + std::string(m[5]) + " %", share < limit ? Met::kYes : Met::kNo};
       }},
      // GUI timings: median and worst, the worst against the target.
      {std::regex(R"(^(.+?) +median +([0-9.]+) ms +worst +([0-9.]+) ms(?: +target ([0-9.]+) ms +(met|NOT MET))?$)"),
       [](const std::smatch& m) {
         BenchRow row{
             Trim(m[1]),    std::string(m[3]) + " ms worst", "median " + std::string(m[2]) + " ms", std::nullopt, "-",
             Met::kNoTarget};
         if (m[4].matched) {
           row.ratio = std::stod(m[3]) / std::stod(m[4]);
           row.target = "<= " + std::string(m[4]) + " ms";
           row.met = MetWord(m[5]);
         }
         return row;
       }},
      // A check with a verdict word.
      {std::regex(R"(^(saved file read by objcopy) +(identical|DIFFERENT)$)"),
       [](const std::smatch& m) {
         return BenchRow{m[1],         m[2],        "-",
                         std::nullopt, "identical", std::string(m[2]) == "identical" ? Met::kYes : Met::kNo};
       }},
  };
  return formats;
}

// The number after "key": on a line of the JSON report.
std::optional<double> JsonNumber(const std::string& line, const std::string& key) {
  const std::string quoted = "\"" + key + "\":";
  const auto at = line.find(quoted);
  if (at == std::string::npos) return std::nullopt;
  try {
    return std::stod(line.substr(at + quoted.size()));
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<std::string> JsonString(const std::string& line, const std::string& key) {
  const std::string quoted = "\"" + key + "\": \"";
  const auto at = line.find(quoted);
  if (at == std::string::npos) return std::nullopt;
  const auto from = at + quoted.size();
  return line.substr(from, line.find('"', from) - from);
}

std::string MetText(Met met) {
  switch (met) {
    case Met::kYes: return "met";
    case Met::kNo: return "NOT MET";
    case Met::kNoTarget: return "-";
  }
  return "-";
}

}  // namespace

std::vector<BenchRow> ParseFigureLines(std::string_view output) {
  std::vector<BenchRow> rows;
  for (const std::string& line : Lines(output)) {
    for (const LineFormat& format : Formats()) {
      std::smatch m;
      if (std::regex_match(line, m, format.pattern)) {
        rows.push_back(format.row(m));
        break;
      }
    }
  }
  return rows;
}

std::vector<BenchRow> ParseLinkBenchmarkJson(std::string_view json) {
  std::vector<BenchRow> rows;
  std::string name;
  for (const std::string& line : Lines(json)) {
    if (auto n = JsonString(line, "name")) name = n->substr(0, n->find('/'));
    if (auto v = JsonNumber(line, "median_ms")) {
      rows.push_back({name + " median", Number(*v, 3) + " ms", "-", *v / kRoundTripMs,
                      "<= " + Number(kRoundTripMs, 0) + " ms", *v <= kRoundTripMs ? Met::kYes : Met::kNo});
    }
    if (auto v = JsonNumber(line, "cpu_percent")) {
      rows.push_back({name, Number(*v, 2) + " %", "-", *v / kWaitingCpuPercent,
                      "< " + Number(kWaitingCpuPercent, 0) + " %", *v < kWaitingCpuPercent ? Met::kYes : Met::kNo});
    }
    if (auto v = JsonNumber(line, "bytes_per_second")) {
      rows.push_back({name, Number(*v / 1e6, 2) + " MB/s", "-", std::nullopt, "-", Met::kNoTarget});
    }
  }
  return rows;
}

std::string FormatTable(const std::vector<BenchRow>& rows) {
  using Cells = std::array<std::string, 6>;
  std::vector<Cells> table = {{"figure", "value", "reference", "ratio", "target", "met"}};
  for (const BenchRow& r : rows) {
    table.push_back({r.figure, r.value, r.reference, r.ratio ? Number(*r.ratio, 3) : "-", r.target, MetText(r.met)});
  }
  std::array<std::size_t, 6> width{};
  for (const Cells& cells : table) {
    for (std::size_t i = 0; i < cells.size(); ++i) width[i] = std::max(width[i], cells[i].size());
  }
  std::string out;
  for (const Cells& cells : table) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      line += cells[i];
      if (i + 1 < cells.size()) line += std::string(width[i] - cells[i].size() + 2, ' ');
    }
    out += line + "\n";
  }
  return out;
}

}  // namespace zk::bench
