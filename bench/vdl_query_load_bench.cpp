// vdl-query reading a file of a million rows: the program's peak memory
// against the file's size (the driver reads the file once and nothing copies it
// whole), and the time the load takes. The program runs as a subprocess
// with no statement and an empty standard input, so it loads and ends.
//
// Then vdl-query against the sqlite3 shell on one file of 600,000 rows: the
// load alone, and the load with a count and with a grouped sum, each program
// started afresh; the shell imports with ".import --csv" into an in-memory
// database. Figures: wall-clock seconds and peak resident size of each run,
// and vdl-query's time over the shell's.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <string>
#include <vector>

#include "vendrel/dataaccess/filesystem.h"

extern char** environ;

namespace {

struct Scratch {
  Scratch() {
    std::string pattern = vendrel::fs::TemporaryFolder() + "/vdl-query-bench-XXXXXX";
    if (::mkdtemp(pattern.data())) folder = pattern;
  }
  ~Scratch() {
    if (!folder.empty()) vendrel::fs::DeleteFolder(folder);
  }
  std::string folder;
};

// Writes `folder`/`name`: the header line, then rows 0 to rows-1, each line
// appended to the chunk by `appendRow(chunk, i)`, in writes of about 1 MB.
// Sets `bytes` to the file's size.
template <class AppendRow>
std::string WriteGeneratedCsv(const std::string& folder, const std::string& name, const std::string& header,
                              size_t rows, size_t& bytes, AppendRow appendRow) {
  const std::string path = vendrel::fs::JoinPath(folder, name);
  vendrel::fs::OutputFile file(path, vendrel::fs::OutputFile::Mode::Create);
  std::string chunk = header + "\n";
  bytes = 0;
  for (size_t i = 0; i < rows; ++i) {
    appendRow(chunk, i);
    if (chunk.size() > (1 << 20)) {
      bytes += chunk.size();
      file.Write(chunk);
      chunk.clear();
    }
  }
  bytes += chunk.size();
  file.Write(chunk);
  file.Close();
  return path;
}

// Id (Long), Name (text), Amount (Double), Day (date), Paid (Boolean).
std::string WriteMillionRowFile(const std::string& folder, size_t& bytes) {
  return WriteGeneratedCsv(folder, "million.csv", "Id,Name,Amount,Day,Paid", 1000000, bytes,
                           [](std::string& chunk, size_t i) {
                             chunk += std::to_string(i) + ",customer " + std::to_string(i % 5000) + "," +
                                      std::to_string(i / 4) + "." + std::to_string(i % 4 * 25) + ",2003-01-" +
                                      std::to_string(10 + i % 18) + "," + (i % 2 ? "True" : "False") + "\n";
                           });
}

struct Run {
  double seconds = -1;
  long peakKb = -1;
};

// Runs a program (found on PATH unless named by its path), standard input and
// output on /dev/null; a failed start or a non-zero exit leaves both at -1.
Run RunProgram(std::vector<std::string> arguments, const std::string& tempFolder) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> env = {"TMPDIR=" + tempFolder};
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("TMPDIR=", 0) != 0) env.push_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  Run run;
  if (rc != 0) return run;
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peakKb = usage.ru_maxrss;
  return run;
}

// Runs vdl-query over the file to its end; the peak resident size in kilobytes, or -1.
long RunAndMeasure(const std::string& file, const std::string& tempFolder) {
  return RunProgram({VDL_QUERY_PROGRAM, "-i", "big=" + file}, tempFolder).peakKb;
}

void BM_VdlQueryLoadsMillionRowCsv(benchmark::State& state) {
  Scratch scratch;
  size_t bytes = 0;
  const std::string file = WriteMillionRowFile(scratch.folder, bytes);
  const std::string temp = vendrel::fs::JoinPath(scratch.folder, "tmp");
  vendrel::fs::CreateFolder(temp);
  long peakKb = 0;
  for (auto _ : state) {
    peakKb = RunAndMeasure(file, temp);
    if (peakKb < 0) {
      state.SkipWithError("vdl-query failed");
      return;
    }
  }
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["peak_RSS_MB"] = static_cast<double>(peakKb) * 1024 / 1e6;
  state.counters["peak_per_file_byte"] = static_cast<double>(peakKb) * 1024 / static_cast<double>(bytes);
}
BENCHMARK(BM_VdlQueryLoadsMillionRowCsv)->Unit(benchmark::kSecond)->Iterations(1);

// ---------------------------------------------------------------- against the sqlite3 shell

// Id, Customer, Region, Amount (Double), Day (date), Paid (Boolean), Note:
// about 70 bytes a row.
std::string WriteSalesFile(const std::string& folder, size_t rows, size_t& bytes) {
  return WriteGeneratedCsv(
      folder, "sales.csv", "Id,Customer,Region,Amount,Day,Paid,Note", rows, bytes, [](std::string& chunk, size_t i) {
        chunk += std::to_string(i) + ",customer " + std::to_string(i % 5000) + ",R" + std::to_string(i % 17) + "," +
                 std::to_string(i % 100000 / 4) + "." + std::to_string(i % 4 * 25) + ",2003-0" +
                 std::to_string(1 + i % 9) + "-" + std::to_string(10 + i % 18) + "," + (i % 2 ? "True" : "False") +
                 ",order note " + std::to_string(i * 7919 % 1000003) + "\n";
      });
}

enum class Question { LoadOnly, Count, GroupBy };

// The same question for both programs; vdl-query's in its dialect.
struct Statements {
  const char* vdl;
  const char* sqlite;
};

Statements StatementsOf(Question q) {
  switch (q) {
    case Question::LoadOnly: return {nullptr, nullptr};
    case Question::Count: return {"SELECT COUNT(*) AS N FROM t", "SELECT COUNT(*) FROM t;"};
    case Question::GroupBy:
      return {"SELECT t.Region, COUNT(*) AS N, SUM(t.Amount) AS S FROM t GROUP BY t.Region ORDER BY t.Region",
              "SELECT Region, COUNT(*), SUM(Amount) FROM t GROUP BY Region ORDER BY Region;"};
  }
  return {nullptr, nullptr};
}

// Medians of `runs` alternating runs of both programs.
void BM_VdlQueryAgainstSqliteShell(benchmark::State& state) {
  const auto question = static_cast<Question>(state.range(0));
  const size_t rows = static_cast<size_t>(state.range(1));
  constexpr int kRuns = 3;
  Scratch scratch;
  size_t bytes = 0;
  const std::string file = WriteSalesFile(scratch.folder, rows, bytes);
  const std::string temp = vendrel::fs::JoinPath(scratch.folder, "tmp");
  vendrel::fs::CreateFolder(temp);
  const Statements sql = StatementsOf(question);
  std::vector<std::string> vdl = {VDL_QUERY_PROGRAM, "-i", "t=" + file};
  std::vector<std::string> shell = {"sqlite3", ":memory:", "-cmd", ".import --csv " + file + " t"};
  if (sql.vdl) {
    vdl.push_back(sql.vdl);
    shell.push_back(sql.sqlite);
  } else {
    shell.push_back("SELECT 1;");
  }
  std::vector<double> vdlSeconds, shellSeconds;
  long vdlPeak = 0, shellPeak = 0;
  for (auto _ : state) {
    for (int i = 0; i < kRuns; ++i) {
      const Run a = RunProgram(vdl, temp);
      const Run b = RunProgram(shell, temp);
      if (a.seconds < 0) {
        state.SkipWithError("vdl-query failed");
        return;
      }
      if (b.seconds < 0) {
        state.SkipWithError("the sqlite3 shell failed or is not installed (scripts/install-deps installs it)");
        return;
      }
      vdlSeconds.push_back(a.seconds);
      shellSeconds.push_back(b.seconds);
      vdlPeak = std::max(vdlPeak, a.peakKb);
      shellPeak = std::max(shellPeak, b.peakKb);
    }
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const double mb = static_cast<double>(bytes) / 1e6;
  state.counters["file_MB"] = mb;
  state.counters["vdl_s"] = median(vdlSeconds);
  state.counters["sqlite3_s"] = median(shellSeconds);
  state.counters["time_ratio"] = median(vdlSeconds) / median(shellSeconds);
  state.counters["vdl_peak_MB"] = static_cast<double>(vdlPeak) * 1024 / 1e6;
  state.counters["sqlite3_peak_MB"] = static_cast<double>(shellPeak) * 1024 / 1e6;
  state.counters["vdl_peak_per_file_byte"] = static_cast<double>(vdlPeak) * 1024 / static_cast<double>(bytes);
}
BENCHMARK(BM_VdlQueryAgainstSqliteShell)
    ->ArgNames({"question", "rows"})
    ->Args({static_cast<int>(Question::LoadOnly), 600000})
    ->Args({static_cast<int>(Question::Count), 600000})
    ->Args({static_cast<int>(Question::GroupBy), 600000})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace
