// The benchmark program runs end to end on small data: both sides agree on
// every workload and each reports its line. No timing is checked here.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace {

struct Outcome {
  int exitCode = -1;
  std::vector<std::string> lines;
};

Outcome RunBench(const std::string& arguments) {
  Outcome out;
  const std::string command = std::string(VDL_BENCH_PROGRAM) + " " + arguments + " 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  std::string line;
  for (int c; (c = std::fgetc(pipe)) != EOF;) {
    if (c == '\n') {
      out.lines.push_back(line);
      line.clear();
    } else {
      line += static_cast<char>(c);
    }
  }
  const int status = ::pclose(pipe);
  out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

TEST(BenchProgram, ASmallRunReportsEveryWorkloadWithAgreeingResults) {
  const Outcome out = RunBench("--rows 2000 --runs 1");
  ASSERT_EQ(out.exitCode, 0);
  const std::regex workloadLine(
      R"re(\{"workload":"(W[1-5])","rows":2000,"execute_ms":[0-9.]+,"baseline_ms":[0-9.]+,"ratio":[0-9.]+,"peak_rss_mb":[0-9.]+\})re");
  std::vector<std::string> seen;
  for (const std::string& line : out.lines) {
    std::smatch m;
    if (std::regex_match(line, m, workloadLine)) seen.push_back(m[1]);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"W1", "W2", "W3", "W4", "W5"}));
  // The kept-result target is reported at any size.
  bool speedup = false;
  for (const std::string& line : out.lines) speedup = speedup || line.find(R"("target":"kept_speedup")") != std::string::npos;
  EXPECT_TRUE(speedup);
}

TEST(BenchProgram, AnUnknownOptionPrintsTheUsageAndFails) {
  const Outcome out = RunBench("--fast");
  EXPECT_EQ(out.exitCode, 2);
  EXPECT_TRUE(out.lines.empty());
  const Outcome version = RunBench("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.lines, std::vector<std::string>{"vdl-bench " VDL_VERSION " (Vendrel 1.2)"});
}

}  // namespace
