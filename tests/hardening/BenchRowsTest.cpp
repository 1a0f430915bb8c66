// The benchmark table reads each benchmark's report lines as they are
// printed.
#include "bench/summary/BenchRows.h"

#include <gtest/gtest.h>

namespace zk::bench {
namespace {

TEST(BenchRows, EveryReportFormatBecomesARow) {
  const std::string report =
      "machine: load average 1.99 on 2 cores\n"
      "login bound: wire 831.8 ms, line delays 200 ms; total 1101.8 ms\n"
      "login 57600 (median)   measured     1137.1 ms   bound     1101.8 ms   ratio  1.032  target within 10%    met\n"
      "program 57600          measured     2599.1 B/s  bound     2738.8 B/s  ratio  0.949  target >= 0.95       NOT "
      "MET\n"
      "DmLoadFile (ascending)          0.251 s   objcopy -I ihex -O binary         0.280 s   ratio  0.90 (at most 1.0) "
      " met\n"
      "peak memory of the load         96.3 MB   (at most 100 MB)  met\n"
      "  (descending)                  97.0 MB\n"
      "saved file read by objcopy   identical\n"
      "DmGetHexFileInfo                12.50 ms   4096 needed sectors of 4096 (under 100 ms)  MISSED\n"
      "download of 256 KB at 57600 (emulated), console face: 48.10 s wall, 0.481 s CPU of Quillrun: 1.00% (target < "
      "5%)\n"
      "add bank at connect          median     3.10 ms  worst     4.20 ms\n"
      "table after activation       median    20.00 ms  worst    50.00 ms  target 200 ms  met\n";
  const std::vector<BenchRow> rows = ParseFigureLines(report);
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows[0].figure, "login 57600 (median)");
  EXPECT_EQ(rows[0].value, "1137.1 ms");
  EXPECT_EQ(rows[0].reference, "bound 1101.8 ms");
  EXPECT_DOUBLE_EQ(*rows[0].ratio, 1.032);
  EXPECT_EQ(rows[0].target, "within 10%");
  EXPECT_EQ(rows[0].met, Met::kYes);
  EXPECT_EQ(rows[1].met, Met::kNo);
  EXPECT_EQ(rows[2].reference, "objcopy -I ihex -O binary 0.280 s");
  EXPECT_EQ(rows[2].target, "ratio <= 1.0");
  EXPECT_EQ(rows[3].target, "<= 100 MB");
  EXPECT_EQ(rows[4].value, "identical");
  EXPECT_EQ(rows[5].figure, "DmGetHexFileInfo");
  EXPECT_EQ(rows[5].met, Met::kNo);
  EXPECT_EQ(rows[6].value, "1.00 %");
  EXPECT_DOUBLE_EQ(*rows[6].ratio, 0.2);
  EXPECT_EQ(rows[7].met, Met::kNoTarget);
  EXPECT_EQ(rows[8].target, "<= 200 ms");
  EXPECT_DOUBLE_EQ(*rows[8].ratio, 0.25);
}

TEST(BenchRows, TheLinkBenchmarksJsonGivesItsCountersAgainstTheirTargets) {
  const std::string json = R"({
  "benchmarks": [
    {
      "name": "BM_NetRoundTrip/real_time",
      "median_ms": 1.3899220000000001e+00
    },
    {
      "name": "BM_SendThroughput/real_time",
      "bytes_per_second": 5.9708923418791834e+06
    },
    {
      "name": "BM_CpuWhileWaiting/iterations:5/real_time",
      "cpu_percent": 6.5e+00
    }
  ]
})";
  const std::vector<BenchRow> rows = ParseLinkBenchmarkJson(json);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].figure, "BM_NetRoundTrip median");
  EXPECT_EQ(rows[0].value, "1.390 ms");
  EXPECT_EQ(rows[0].met, Met::kYes);
  EXPECT_EQ(rows[1].value, "5.97 MB/s");
  EXPECT_EQ(rows[1].met, Met::kNoTarget);
  EXPECT_EQ(rows[2].figure, "BM_CpuWhileWaiting");
  EXPECT_EQ(rows[2].met, Met::kNo);
}

TEST(BenchRows, TheTableLinesUpItsColumns) {
  const std::string table = FormatTable({{"a", "1 ms", "-", 0.5, "<= 2 ms", Met::kYes}});
  EXPECT_EQ(table,
            "figure  value  reference  ratio  target   met\n"
            "a       1 ms   -          0.500  <= 2 ms  met\n");
}

}  // namespace
}  // namespace zk::bench
