// vdl-query reading a file of a million rows: the program's peak memory
// against the file's size (the driver reads the file once and nothing copies it
// whole), and the time the load takes. The program runs as a subprocess
// with no statement and an empty standard input, so it loads and ends.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Id (Long), Name (text), Amount (Double), Day (date), Paid (Boolean).
std::string WriteMillionRowFile(const std::string& folder, size_t& bytes) {
  const std::string path = vendrel::fs::JoinPath(folder, "million.csv");
  vendrel::fs::OutputFile file(path, vendrel::fs::OutputFile::Mode::Create);
  std::string chunk = "Id,Name,Amount,Day,Paid\n";
  bytes = 0;
  for (int i = 0; i < 1000000; ++i) {
    chunk += std::to_string(i) + ",customer " + std::to_string(i % 5000) + "," + std::to_string(i / 4) + "." +
             std::to_string(i % 4 * 25) + ",2003-01-" + std::to_string(10 + i % 18) + "," +
             (i % 2 ? "True" : "False") + "\n";
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

// Runs the program to its end; the peak resident size in kilobytes, or -1.
long RunAndMeasure(const std::string& file, const std::string& tempFolder) {
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
  std::string program = VDL_QUERY_PROGRAM, option = "-i", input = "big=" + file;
  char* argv[] = {program.data(), option.data(), input.data(), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss;
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

}  // namespace
