// vdl-bench: the component against a plain SQLite baseline.
//
//   vdl-bench [--rows N | --quick] [--runs K] [--workload W]...
//
// Prints the setting (the temporary folder and its file system), then one
// JSON line per workload and size: the timed runs on new data, every run over
// inputs of a seed of its own (with a detail line after it: the first, cold
// runs, one object over unchanged inputs, and the memory), then one per target. Each
// workload and size runs in a process of its own, so that its peak memory is
// its own. Exits 1 when the two sides disagree on a result or a run fails.

#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runner.h"
#include "vendrel/dataaccess/filesystem.h"

namespace {

using vendrel::bench::Figures;
using vendrel::bench::RunOptions;

constexpr const char* kUsage =
    "usage: vdl-bench [--rows N | --quick] [--runs K] [--workload W1|W2|W3|W4|W5]...\n"
    "  --rows N      one size only (default: 10000, 100000 and 1000000)\n"
    "  --quick       10000 rows only\n"
    "  --runs K      timed runs after the warm-up (default 5)\n"
    "  --workload W  this workload only; may be given more than once\n"
    "  --version     the program's version\n";

struct Options {
  bool version = false;
  bool help = false;
  std::vector<size_t> sizes = {10000, 100000, 1000000};
  std::vector<std::string> workloads = {"W1", "W2", "W3", "W4", "W5"};
  int runs = 5;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  std::vector<std::string> chosen;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string(argv[++i]);
    };
    if (arg == "--version" || arg == "--help") {
      (arg == "--version" ? options.version : options.help) = true;
    } else if (arg == "--quick") {
      options.sizes = {10000};
    } else if (arg == "--rows" || arg == "--runs") {
      const auto text = value();
      char* end = nullptr;
      const long long n = text ? std::strtoll(text->c_str(), &end, 10) : 0;
      if (!text || *end != '\0' || n < 1 || n > 100000000) return std::nullopt;
      if (arg == "--rows")
        options.sizes = {static_cast<size_t>(n)};
      else
        options.runs = static_cast<int>(n);
    } else if (arg == "--workload") {
      const auto text = value();
      if (!text || (*text != "W1" && *text != "W2" && *text != "W3" && *text != "W4" && *text != "W5"))
        return std::nullopt;
      chosen.push_back(*text);
    } else {
      return std::nullopt;
    }
  }
  if (!chosen.empty()) options.workloads = chosen;
  return options;
}

// What a child process sends back: its figures, or why it failed.
struct Report {
  bool ok = false;
  Figures figures;
  char error[512] = {};
};

Report RunInChild(const std::string& workload, const RunOptions& options) {
  Report report;
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) {
    std::snprintf(report.error, sizeof report.error, "cannot make a pipe");
    return report;
  }
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    Report mine;
    try {
      mine.figures = vendrel::bench::RunWorkload(workload, options);
      mine.ok = true;
    } catch (const std::exception& e) {
      std::snprintf(mine.error, sizeof mine.error, "%s", e.what());
    }
    const ssize_t written = ::write(pipeFds[1], &mine, sizeof mine);
    ::_exit(written == static_cast<ssize_t>(sizeof mine) ? 0 : 1);
  }
  ::close(pipeFds[1]);
  if (child < 0) {
    ::close(pipeFds[0]);
    std::snprintf(report.error, sizeof report.error, "cannot start a process");
    return report;
  }
  size_t got = 0;
  auto* bytes = reinterpret_cast<char*>(&report);
  while (got < sizeof report) {
    const ssize_t n = ::read(pipeFds[0], bytes + got, sizeof report - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (got != sizeof report) {
    report = Report();
    std::snprintf(report.error, sizeof report.error, "the run ended without a report (status %d)", status);
  }
  return report;
}

// The folder the query folders are made in, and its kind of file system: the
// folders and files of each query cost far more on a disk than in memory.
void PrintSetting() {
  const std::string folder = vendrel::fs::TemporaryFolder();
  const char* kind = "other";
  struct statfs st;
  if (::statfs(folder.c_str(), &st) == 0) {
    switch (static_cast<unsigned long>(st.f_type)) {
      case 0xEF53: kind = "ext4"; break;
      case 0x01021994: kind = "tmpfs"; break;
      case 0x58465342: kind = "xfs"; break;
      case 0x9123683E: kind = "btrfs"; break;
      case 0x794C7630: kind = "overlay"; break;
      default: break;
    }
  }
  double load = 0;
  if (FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf", &load) != 1) load = 0;
    std::fclose(f);
  }
  std::printf("{\"setting\":\"vdl-bench\",\"temp_folder\":\"%s\",\"file_system\":\"%s\",\"load_average\":%.2f}\n",
              folder.c_str(), kind, load);
}

void PrintTarget(const char* target, const std::string& workload, size_t rows, const char* extra, double value,
                 double limit, bool atMost) {
  const bool met = atMost ? value <= limit : value >= limit;
  std::printf("{\"target\":\"%s\",\"workload\":\"%s\"", target, workload.c_str());
  if (rows) std::printf(",\"rows\":%zu", rows);
  std::printf("%s,\"value\":%.3f,\"%s\":%g,\"met\":%s}\n", extra, value, atMost ? "at_most" : "at_least", limit,
              met ? "true" : "false");
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (options->version || options->help) {
    std::fputs(options->version ? VDL_VERSION_LINE "\n" : kUsage, stdout);
    return 0;
  }
  PrintSetting();
  std::map<std::pair<std::string, size_t>, Figures> done;
  bool failed = false;
  for (const std::string& workload : options->workloads) {
    for (size_t rows : options->sizes) {
      RunOptions run;
      run.rows = rows;
      run.runs = options->runs;
      const Report report = RunInChild(workload, run);
      if (!report.ok) {
        std::fprintf(stderr, "vdl-bench: %s at %zu rows: %s\n", workload.c_str(), rows, report.error);
        failed = true;
        continue;
      }
      const Figures& f = report.figures;
      std::printf("{\"workload\":\"%s\",\"rows\":%zu,\"execute_ms\":%.1f,\"baseline_ms\":%.1f,\"ratio\":%.3f,"
                  "\"peak_rss_mb\":%.1f}\n",
                  workload.c_str(), rows, f.executeMs, f.baselineMs, f.executeMs / f.baselineMs, f.peakRssMb);
      std::printf("{\"detail\":\"%s\",\"rows\":%zu,\"first_execute_ms\":%.1f,\"first_baseline_ms\":%.1f,"
                  "\"unchanged_execute_ms\":%.1f,\"peak_growth_mb\":%.1f,\"input_text_mb\":%.1f,"
                  "\"retained_mb\":%.1f}\n",
                  workload.c_str(), rows, f.firstExecuteMs, f.firstBaselineMs, f.unchangedExecuteMs, f.peakGrowthMb,
                  f.inputTextMb, f.retainedMb);
      std::fflush(stdout);
      done[{workload, rows}] = f;
    }
  }

  // The targets, for the sizes that ran.
  char extra[160];
  for (const auto& [key, f] : done) {
    const auto& [workload, rows] = key;
    if (workload != "W4" && rows >= 100000) PrintTarget("ratio", workload, rows, "", f.executeMs / f.baselineMs, 1.0, true);
    if (workload == "W4") {
      std::snprintf(extra, sizeof extra, ",\"kept_ms\":%.1f,\"plain_ms\":%.1f", f.keptMs, f.plainMs);
      PrintTarget("kept_speedup", workload, rows, extra, f.plainMs / f.keptMs, 5.0, false);
    }
    if (rows >= 100000) {
      std::snprintf(extra, sizeof extra, ",\"peak_growth_mb\":%.1f,\"input_text_mb\":%.1f", f.peakGrowthMb,
                    f.inputTextMb);
      PrintTarget("memory", workload, rows, extra, f.peakGrowthMb / f.inputTextMb, 3.0, true);
    }
    if (rows == 1000000) {
      const auto smaller = done.find({workload, 100000});
      if (smaller != done.end()) {
        std::snprintf(extra, sizeof extra, ",\"execute_ms_100000\":%.1f,\"execute_ms_1000000\":%.1f",
                      smaller->second.executeMs, f.executeMs);
        PrintTarget("growth", workload, 0, extra, f.executeMs / smaller->second.executeMs, 11.0, true);
      }
    }
  }
  return failed ? 1 : 0;
}
