// vdl-query under a hostile environment: inputs without end, a disk that
// fills, a file rewritten while it loads. Each ends in the input's rows or a
// clear error, never a signal, and leaves nothing in the temporary folder.

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "vdl_query_test_support.h"

namespace vendrel::vdlquery::testing {
namespace {

using HostileTest = VdlQueryTest;

// An endless input (a device, a pipe that never ends) stops at the bound and
// leaves nothing of its copy; a file beyond the bound is not read at all.
TEST_F(HostileTest, AnInputLargerThanMaxInputSizeIsRefusedAndAnEndlessOneStops) {
  WriteFile("small.csv", "A\n11\n22\n");  // 8 bytes
  struct SizeCase {
    std::vector<std::string> arguments;
    std::string line;  // the error; none: the input loads
  };
  const SizeCase cases[] = {
      {{"-t", "csv", "--max-input-size", "1M", "-i", "x=/dev/zero"},
       "vdl-query: '/dev/zero' is larger than --max-input-size (1.0 MiB): give a larger size to read it"},
      {{"--max-input-size", "7", "-i", "x=small.csv"},
       "vdl-query: 'small.csv' (8 bytes) is larger than --max-input-size (7 bytes): give a larger size to read it"},
      {{"--max-input-size", "8", "-i", "x=small.csv"}, ""},
      {{"--max-input-size", "0", "-i", "x=small.csv"}, ""},
      {{"-i", "x=small.csv"}, ""},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(c.line);
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("SELECT COUNT(*) AS N FROM x");
    const RunResult r = Run(arguments);
    EXPECT_EQ(c.line.empty() ? 0 : 1, r.status);
    EXPECT_EQ(c.line.empty() ? "" : c.line + "\n", r.err);
    EXPECT_EQ(c.line.empty() ? "N\n2\n" : "", r.out);
  }
  // Standard input that goes on and on.
  Process endless({"--max-input-size", "1M", "-i", "x=-", "SELECT COUNT(*) AS N FROM x"}, scratch_, temp_);
  std::string lines = "A\n";
  while (lines.size() < 64 * 1024) lines += "yes\n";
  for (int i = 0; i < 64; ++i) endless.Write(lines);
  const RunResult r = endless.Finish();
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("vdl-query: standard input is larger than --max-input-size (1.0 MiB): give a larger size to read it\n",
            r.err);
  EXPECT_TRUE(TempFolderContents().empty());
}

// A stream's copy stops before its disk is full, with no --max-input-size
// bound at all. The disk is a tmpfs of 64 MiB mounted on the program's
// temporary folder in a mount namespace of its own, where the system lets
// the test make one: only the program sees it, and it goes when it ends.
TEST_F(HostileTest, AStreamIsCopiedNoFurtherThanWouldLeaveItsDiskTooFull) {
  constexpr int kNoNamespace = 77, kLeftSomething = 78;
  int err[2];
  ASSERT_EQ(0, ::pipe(err));
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(err[1], STDERR_FILENO);
    ::close(err[0]);
    ::close(err[1]);
    if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", temp_.c_str(), "tmpfs", 0, "size=64m") != 0)
      ::_exit(kNoNamespace);
    const pid_t program = ::fork();
    if (program == 0) {
      ::setenv("TMPDIR", temp_.c_str(), 1);
      if (::chdir(scratch_.c_str()) != 0) ::_exit(126);
      ::execl(VDL_QUERY_PROGRAM, "vdl-query", "-t", "csv", "--max-input-size", "0", "-i", "x=/dev/zero",
              "SELECT COUNT(*) AS N FROM x", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    if (::waitpid(program, &status, 0) != program || !WIFEXITED(status)) ::_exit(126);
    DIR* dir = ::opendir(temp_.c_str());
    int entries = 0;
    while (dir && ::readdir(dir)) ++entries;
    ::_exit(entries == 2 ? WEXITSTATUS(status) : kLeftSomething);  // "." and ".." only
  }
  ::close(err[1]);
  std::string errors;
  char buffer[4096];
  for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) errors.append(buffer, static_cast<size_t>(n));
  ::close(err[0]);
  int status = 0;
  ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == kNoNamespace) GTEST_SKIP() << "this system gives the test no mount namespace";
  EXPECT_EQ(1, WEXITSTATUS(status)) << errors;
  EXPECT_EQ(0u, errors.find("vdl-query: stopped reading '/dev/zero' after ")) << errors;
  double copiedMiB = 0;  // most of the disk, not nothing
  EXPECT_EQ(1, std::sscanf(errors.c_str(), "vdl-query: stopped reading '/dev/zero' after %lf MiB", &copiedMiB));
  EXPECT_GT(copiedMiB, 48) << errors;
  EXPECT_NE(std::string::npos,
            errors.find(": copying more of it would leave less than 3.2 MiB free on the disk of " + temp_ + "\n"))
      << errors;
}

// A file rewritten again and again, a third of its length or whole, while
// the shell loads it: each load gives the file's rows (as they were when the
// load began, none when it found the file just emptied) or an error naming
// the file, never a signal;
// the result kept before stays usable and nothing is left.
TEST_F(HostileTest, AFileRewrittenWhileItLoadsGivesItsRowsOrAnErrorAndAKeptResultStays) {
  WriteFile("k.csv", "K\n1\n2\n");
  std::string whole = "N,T\n";
  for (int i = 0; whole.size() < 24 * 1024 * 1024; ++i) whole += std::to_string(i) + ",row " + std::to_string(i) + "\n";
  const std::string third = whole.substr(0, whole.find('\n', whole.size() / 3) + 1);
  WriteFile("big.csv", whole);
  std::atomic<bool> stop{false};
  std::thread writer([&, path = Path("big.csv")] {
    for (int i = 0; !stop; ++i) {
      const std::string& version = i % 2 ? whole : third;
      const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
      for (size_t at = 0; fd >= 0 && at < version.size(); at += 1 << 20)
        if (::write(fd, version.data() + at, std::min<size_t>(1 << 20, version.size() - at)) < 0) break;
      if (fd >= 0) ::close(fd);
    }
  });
  std::string input = "SELECT K FROM k;\n.save kept\n";
  for (int i = 0; i < 12; ++i) input += ".load big big.csv\n";
  input += "SELECT COUNT(*) AS N FROM kept;\n";
  const RunResult r = Run({"-i", "k=k.csv", "-f", "csv"}, input);
  stop = true;
  writer.join();
  EXPECT_LT(r.status, 128) << "ended by signal " << r.status - 128;
  for (const std::string& line : Lines(r.err))
    EXPECT_TRUE(line.find("'big.csv' changed while it was read") != std::string::npos ||
                line == "vdl-query: 'big.csv' is empty: it has no header line" ||  // found just as it was emptied
                line.starts_with("Error Number: ") || line.starts_with("Error Source: "))
        << line;
  EXPECT_TRUE(r.out.ends_with("N\n2\n")) << r.out;
  EXPECT_TRUE(TempFolderContents().empty());
}

}  // namespace
}  // namespace vendrel::vdlquery::testing
