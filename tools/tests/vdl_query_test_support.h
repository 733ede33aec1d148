#pragma once
// vdl-query run as a program: a scratch folder per test holding the input
// files and the program's temporary folder (TMPDIR), and the runs of the
// program, whole or step by step.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace vendrel::vdlquery::testing {

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// A running program with pipes on its standard streams (or one terminal
// for all three).
class Process {
 public:
  enum class Streams { Pipes, Terminal };
  Process(const std::vector<std::string>& arguments, const std::string& folder, const std::string& tempFolder,
          Streams streams = Streams::Pipes);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  void Write(const std::string& text);
  // On a terminal: waits until the program reads keys one by one (its line
  // editor is active); keys typed before are echoed by the terminal itself,
  // and an end of input typed then is lost.
  bool WaitForLineEditor(int timeoutMs = 20000);
  void CloseInput();
  // Reads standard output (the terminal) until it holds `text` at `from` or
  // later; false after the timeout or at its end.
  bool ReadUntil(const std::string& text, size_t from = 0, int timeoutMs = 20000);
  void CloseOutput();
  void Signal(int signal);
  // Closes the input, reads everything and waits for the end.
  RunResult Finish();
  const std::string& Output() const noexcept { return out_; }

 private:
  bool Pump(int timeoutMs);

  pid_t pid_ = -1;
  int in_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  bool terminal_ = false;
  std::string out_;
  std::string err_;
};

class VdlQueryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes a file into the scratch folder (name may hold a subfolder).
  void WriteFile(const std::string& name, const std::string& contents) const;
  std::string Path(const std::string& name) const;
  // The program with these arguments, in the scratch folder, `input` on its standard input.
  RunResult Run(const std::vector<std::string>& arguments, const std::string& input = "") const;
  // Names in the program's temporary folder: none once it has ended.
  std::vector<std::string> TempFolderContents() const;
  // Names in a folder of the scratch folder, sorted.
  std::vector<std::string> FolderContents(const std::string& name) const;

  // The two inputs of the first demonstration example, as a.csv and b.csv.
  void WriteExampleInputs() const;
  static std::vector<std::string> ExampleArguments(const std::string& format);

  std::string scratch_;
  std::string temp_;
};

// The example's statement.
inline constexpr const char* kExampleSql =
    "SELECT rs1.PRODUCT, rs2.SUPPLIER, rs2.COUNTRY FROM rs1 LEFT OUTER JOIN rs2 ON rs1.SUPPLIER=rs2.SUPPLIER";

// Lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace vendrel::vdlquery::testing
