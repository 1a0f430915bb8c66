#pragma once
// The figures of the benchmarks as rows of one table: each benchmark's own
// report lines are read back into figure, value, reference, ratio, target
// and whether the target was met.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zk::bench {

enum class Met { kYes, kNo, kNoTarget };

struct BenchRow {
  std::string figure;
  std::string value;      // with its unit
  std::string reference;  // what the value is held against, or "-"
  std::optional<double> ratio;
  std::string target;  // or "-"
  Met met = Met::kNoTarget;
};

// The rows in the report of one benchmark (its standard output); lines that
// carry no figure are passed over.
std::vector<BenchRow> ParseFigureLines(std::string_view output);
// Google Benchmark's JSON report of the link benchmark.
std::vector<BenchRow> ParseLinkBenchmarkJson(std::string_view json);

// The table, its columns as wide as their widest entry.
std::string FormatTable(const std::vector<BenchRow>& rows);

}  // namespace zk::bench
