#include "vdl_query_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>

#include "vendrel/dataaccess/filesystem.h"

namespace vendrel::vdlquery::testing {

namespace {

[[noreturn]] void ExecProgram(const std::vector<std::string>& arguments, const std::string& folder,
                              const std::string& tempFolder) {
  ::setenv("TMPDIR", tempFolder.c_str(), 1);
  // The shell's history goes into the test's folder, not the user's.
  ::setenv("XDG_STATE_HOME", (folder + "/state").c_str(), 1);
  if (::chdir(folder.c_str()) != 0) ::_exit(126);
  std::vector<char*> argv;
  std::string program = VDL_QUERY_PROGRAM;
  argv.push_back(program.data());
  std::vector<std::string> copies = arguments;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

Process::Process(const std::vector<std::string>& arguments, const std::string& folder, const std::string& tempFolder,
                 Streams streams) {
  if (streams == Streams::Terminal) {
    terminal_ = true;
    int master = -1;
    pid_ = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid_ == 0) ExecProgram(arguments, folder, tempFolder);
    in_ = master;
    out_fd_ = ::dup(master);
    return;
  }
  int in[2], out[2], err[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
    ExecProgram(arguments, folder, tempFolder);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  in_ = in[1];
  out_fd_ = out[0];
  err_fd_ = err[0];
}

Process::~Process() {
  CloseFd(in_);
  CloseFd(out_fd_);
  CloseFd(err_fd_);
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

void Process::Write(const std::string& text) {
  size_t done = 0;
  while (done < text.size() && in_ >= 0) {
    const ssize_t n = ::write(in_, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    done += static_cast<size_t>(n);
  }
}

void Process::CloseInput() {
  if (terminal_) {
    WaitForLineEditor();
    Write("\x04");  // end of input at the start of a line
    return;
  }
  CloseFd(in_);
}

bool Process::WaitForLineEditor(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  termios mode{};
  while (::tcgetattr(in_, &mode) == 0 && (mode.c_lflag & ICANON)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    ::usleep(2000);
  }
  return true;
}

void Process::CloseOutput() { CloseFd(out_fd_); }

void Process::Signal(int signal) {
  if (pid_ > 0) ::kill(pid_, signal);
}

bool Process::Pump(int timeoutMs) {
  std::vector<pollfd> fds;
  if (out_fd_ >= 0) fds.push_back({out_fd_, POLLIN, 0});
  if (err_fd_ >= 0) fds.push_back({err_fd_, POLLIN, 0});
  if (fds.empty()) return false;
  const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
  if (ready <= 0) return false;
  for (const pollfd& p : fds) {
    if (!p.revents) continue;
    char buffer[65536];
    const ssize_t n = ::read(p.fd, buffer, sizeof buffer);
    std::string& target = p.fd == out_fd_ ? out_ : err_;
    if (n > 0) {
      target.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {  // the end (a terminal says EIO)
      if (p.fd == out_fd_)
        CloseFd(out_fd_);
      else
        CloseFd(err_fd_);
    }
  }
  return true;
}

bool Process::ReadUntil(const std::string& text, size_t from, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  auto found = [&] { return out_.size() >= from && out_.find(text, from) != std::string::npos; };
  while (!found()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !Pump(static_cast<int>(left.count()))) return found();
  }
  return true;
}

RunResult Process::Finish() {
  CloseInput();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while ((out_fd_ >= 0 || err_fd_ >= 0) && std::chrono::steady_clock::now() < deadline) Pump(1000);
  if (out_fd_ >= 0 || err_fd_ >= 0) {
    ADD_FAILURE() << "the program did not end; its output:\n" << out_ << err_;
    Signal(SIGKILL);
  }
  if (terminal_) CloseFd(in_);
  RunResult result;
  int status = 0;
  if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_) {
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
  }
  result.out = out_;
  result.err = err_;
  return result;
}

void VdlQueryTest::SetUp() {
  ::signal(SIGPIPE, SIG_IGN);  // a program that ended early must not end the test
  std::string pattern = fs::TemporaryFolder() + "/vdl-query-test-XXXXXX";
  ASSERT_TRUE(::mkdtemp(pattern.data()));
  scratch_ = pattern;
  temp_ = scratch_ + "/tmp";
  fs::CreateFolder(temp_);
}

void VdlQueryTest::TearDown() {
  if (!scratch_.empty()) fs::DeleteFolder(scratch_);
}

void VdlQueryTest::WriteFile(const std::string& name, const std::string& contents) const {
  const size_t slash = name.rfind('/');
  if (slash != std::string::npos && !fs::FolderExists(Path(name.substr(0, slash))))
    fs::CreateFolder(Path(name.substr(0, slash)));
  std::ofstream(Path(name), std::ios::binary) << contents;
}

std::string VdlQueryTest::Path(const std::string& name) const { return scratch_ + "/" + name; }

RunResult VdlQueryTest::Run(const std::vector<std::string>& arguments, const std::string& input) const {
  Process process(arguments, scratch_, temp_);
  process.Write(input);
  return process.Finish();
}

std::vector<std::string> VdlQueryTest::FolderContents(const std::string& name) const {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(Path(name).c_str())) {
    while (const dirent* entry = ::readdir(dir))
      if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.push_back(entry->d_name);
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> VdlQueryTest::TempFolderContents() const { return FolderContents("tmp"); }

void VdlQueryTest::WriteExampleInputs() const {
  WriteFile("a.csv",
            "PRODUCT,SUPPLIER\nWheels,WHL\nBattery,BTR\nSeats,SES\nSRS,SES\nCarpet,CRT\nWindshield,CRT\nRadio,RDO\n"
            "Tyres,TRS\nAlloy Wheels,ALS\n");
  WriteFile("b.csv", "SUPPLIER,COUNTRY\nTRS,Germany\nCRT,UK\nRDO,Holland\nSES,USA\nBTR,Canada\nWHL,Spain\n");
}

std::vector<std::string> VdlQueryTest::ExampleArguments(const std::string& format) {
  return {"-i", "rs1=a.csv", "-i", "rs2=b.csv", "-f", format, kExampleSql};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace vendrel::vdlquery::testing
