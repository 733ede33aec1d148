#include "vendrel/dataaccess/filesystem.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>

#include "vendrel/dataaccess/error.h"

namespace stdfs = std::filesystem;

namespace vendrel::fs {

// ---------------------------------------------------------------- faults

namespace faults {
namespace {
std::atomic<bool> armed{false};
std::atomic<long> target{0};
std::atomic<long> failWith{err::kPathFileAccessError};
std::atomic<long> count{0};
std::atomic<bool> fired{false};
std::mutex runMutex;
std::vector<Operation> run;  // the operations since Arm
}  // namespace

void Arm(long k, long number) {
  std::lock_guard lock(runMutex);
  run.clear();
  failWith = number;
  count = 0;
  fired = false;
  target = k;
  armed = true;
}
void Disarm() { armed = false; }
long OperationsSinceArm() { return count; }
std::vector<Operation> OperationsRunSinceArm() {
  std::lock_guard lock(runMutex);
  return run;
}
bool Fired() { return fired; }
Operation FiredOperation() {
  std::lock_guard lock(runMutex);
  return fired && static_cast<size_t>(target) <= run.size() ? run[static_cast<size_t>(target) - 1] : Operation{};
}

void Check(std::string_view operation, std::string_view path) {
  if (!armed.load(std::memory_order_relaxed)) return;
  {
    std::lock_guard lock(runMutex);
    run.push_back(Operation{std::string(operation), std::string(path)});
  }
  if (++count == target) {
    fired = true;
    Raise(failWith, source::kFileSystem,
          std::string(PlatformErrorText(failWith)) + " (injected in " + std::string(operation) + ")");
  }
}
}  // namespace faults

// ---------------------------------------------------------------- helpers

namespace {

[[noreturn]] void RaiseErrno(int error, long notFound = err::kPathNotFound) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: RaisePlatform(notFound, source::kFileSystem);
    case EEXIST: RaisePlatform(err::kFileAlreadyExists, source::kFileSystem);
    case EACCES:
    case EPERM:
    case EROFS: RaisePlatform(err::kPermissionDenied, source::kFileSystem);
    case ENOSPC:
    case EDQUOT: RaisePlatform(err::kDiskFull, source::kFileSystem);
    default: RaisePlatform(err::kPathFileAccessError, source::kFileSystem);
  }
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Lets the owner into every folder below, so a forced delete can remove read-only contents.
void OpenUpForDeletion(const stdfs::path& root) {
  std::error_code ec;
  stdfs::permissions(root, stdfs::perms::owner_all, stdfs::perm_options::add, ec);
  for (auto it = stdfs::recursive_directory_iterator(root, stdfs::directory_options::skip_permission_denied, ec);
       !ec && it != stdfs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      stdfs::permissions(it->path(), stdfs::perms::owner_all, stdfs::perm_options::add, ec);
  }
}

}  // namespace

std::string TemporaryFolder() {
  faults::Check("TemporaryFolder");
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) return WithoutTrailingSlash(tmp);
  std::error_code ec;
  stdfs::path p = stdfs::temp_directory_path(ec);
  if (ec) return "/tmp";
  return WithoutTrailingSlash(p.string());
}

std::string JoinPath(std::string_view parent, std::string_view name) {
  std::string out(parent);
  out += '/';
  out += name;
  return out;
}

std::string CreateFolder(const std::string& path, unsigned mode) {
  faults::Check("CreateFolder", path);
  if (path.empty()) RaisePlatform(err::kPathNotFound, source::kFileSystem);
  if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) != 0) RaiseErrno(errno);
  std::error_code ec;
  stdfs::path full = stdfs::absolute(path, ec);
  if (ec) full = path;
  return WithoutTrailingSlash(full.lexically_normal().string());
}

void DeleteFolder(const std::string& path, bool force) {
  faults::Check("DeleteFolder", path);
  struct stat st;
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) RaisePlatform(err::kPathNotFound, source::kFileSystem);
  if (!S_ISDIR(st.st_mode)) RaisePlatform(err::kPathNotFound, source::kFileSystem);
  if (force) OpenUpForDeletion(path);
  std::error_code ec;
  stdfs::remove_all(path, ec);
  if (ec) RaiseErrno(ec.value());
}

bool FileExists(const std::string& path) {
  faults::Check("FileExists", path);
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  faults::Check("FolderExists", path);
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
  faults::Check("PathExists", path);
  struct stat st;
  return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

namespace {

void RequireRegularFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) RaisePlatform(err::kFileNotFound, source::kFileSystem);
}

// A new file at the destination (the open fails if anything has its name) with the source's bytes.
void CopyContents(const std::string& source, const std::string& destination) {
  std::error_code ec;
  stdfs::copy_file(source, destination, stdfs::copy_options::none, ec);
  if (ec) RaiseErrno(ec.value());
}

// Removes what stands at a destination (a link itself, never what it points
// to), so that nothing written there next can reach another file.
void ClearDestination(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) RaiseErrno(errno);
}

}  // namespace

void CopyFile(const std::string& source, const std::string& destination, bool overwrite) {
  faults::Check("CopyFile", source);
  RequireRegularFile(source);
  if (overwrite) ClearDestination(destination);
  CopyContents(source, destination);
}

void ShareOrCopyFile(const std::string& source, const std::string& destination) {
  faults::Check("CopyFile", source);
  RequireRegularFile(source);
  // Neither the link nor the copy can then write into a file that another name shares.
  ClearDestination(destination);
  if (::link(source.c_str(), destination.c_str()) == 0) return;
  CopyContents(source, destination);  // another file system, or links refused
}

void DeleteFile(const std::string& path) {
  faults::Check("DeleteFile", path);
  if (::unlink(path.c_str()) != 0) RaiseErrno(errno, err::kFileNotFound);
}

void ReplaceFile(const std::string& source, const std::string& destination) {
  faults::Check("ReplaceFile", destination);
  if (::rename(source.c_str(), destination.c_str()) != 0) RaiseErrno(errno, err::kFileNotFound);
}

namespace {

// A regular file open for reading, closed when it goes; 53 for anything else.
class ReadableFile {
 public:
  explicit ReadableFile(const std::string& path) {
    faults::Check("ReadFile", path);
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) RaiseErrno(errno, err::kFileNotFound);
    if (::fstat(fd_, &opened_) != 0 || !S_ISREG(opened_.st_mode)) {
      ::close(fd_);  // no destructor runs for a constructor that raises
      RaisePlatform(err::kFileNotFound, source::kFileSystem);
    }
  }
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;
  ~ReadableFile() {
    if (fd_ >= 0) ::close(fd_);
  }

  int Fd() const noexcept { return fd_; }
  size_t Size() const noexcept { return static_cast<size_t>(opened_.st_size); }

  // Whether the file still has the size and the modification times it had
  // when it was opened: nothing wrote to it, shortened or extended it since.
  bool Unchanged() const {
    struct stat now;
    if (::fstat(fd_, &now) != 0) return false;
    auto same = [](const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; };
    return now.st_size == opened_.st_size && same(now.st_mtim, opened_.st_mtim) && same(now.st_ctim, opened_.st_ctim);
  }

 private:
  int fd_ = -1;
  struct stat opened_ {};
};

[[noreturn]] void RaiseChanged() { RaisePlatform(err::kFileChanged, source::kFileSystem); }

ssize_t ReadSome(int fd, char* into, size_t count) {
  for (;;) {
    const ssize_t n = ::read(fd, into, count);
    if (n >= 0) return n;
    if (errno != EINTR) RaiseErrno(errno);
  }
}

// Reads the whole file into `buffer` (data(), size(), resize(n) that keeps
// what it holds), which ends up holding exactly the file's bytes. A file that
// reports no size, as the files of /proc do, is read to its end; any other
// must end at the size it had when opened and stay unchanged meanwhile.
template <class Buffer>
void ReadWhole(const ReadableFile& file, Buffer& buffer) {
  const size_t expected = file.Size();
  buffer.resize(expected);
  size_t got = 0;
  for (;;) {
    if (got == buffer.size()) {
      if (expected != 0) {
        char probe;
        if (ReadSome(file.Fd(), &probe, 1) != 0) RaiseChanged();  // it grew
        break;
      }
      buffer.resize(std::max<size_t>(2 * got, 64 * 1024));
    }
    const ssize_t n = ReadSome(file.Fd(), buffer.data() + got, buffer.size() - got);
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  if (expected != 0 && got != expected) RaiseChanged();  // it became shorter
  buffer.resize(got);
  if (!file.Unchanged()) RaiseChanged();
}

}  // namespace

std::string ReadFile(const std::string& path) {
  const ReadableFile file(path);
  // Read straight into the text: no mapping and no second copy.
  std::string text;
  ReadWhole(file, text);
  return text;
}

bool FileEquals(const std::string& path, std::string_view expected) {
  return FileEquals(path, std::span<const std::string_view>(&expected, 1));
}

bool FileEquals(const std::string& path, std::span<const std::string_view> expected) {
  const ReadableFile file(path);
  const int fd = file.Fd();
  char buffer[64 * 1024];
  size_t piece = 0;
  std::string_view rest = expected.empty() ? std::string_view() : expected[0];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) RaiseErrno(errno);
    if (n == 0) {
      while (rest.empty() && piece + 1 < expected.size()) rest = expected[++piece];
      return rest.empty();
    }
    std::string_view got(buffer, static_cast<size_t>(n));
    while (!got.empty()) {
      while (rest.empty() && piece + 1 < expected.size()) rest = expected[++piece];
      const size_t take = std::min(got.size(), rest.size());
      if (take == 0 || std::memcmp(got.data(), rest.data(), take) != 0) return false;
      got.remove_prefix(take);
      rest.remove_prefix(take);
    }
  }
}

// ---------------------------------------------------------------- OutputFile

OutputFile::OutputFile(const std::string& path, Mode mode, unsigned permissions) : path_(path) {
  faults::Check("OpenFile", path);
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW |
                    (mode == Mode::Create ? O_TRUNC : mode == Mode::CreateNew ? O_EXCL : O_APPEND);
  fd_ = ::open(path.c_str(), flags, static_cast<mode_t>(permissions));
  if (fd_ < 0) RaiseErrno(errno);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

void OutputFile::Write(std::string_view bytes) {
  if (fd_ < 0) RaisePlatform(err::kPathFileAccessError, source::kFileSystem);
  faults::Check("WriteFile", path_);
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseErrno(errno);
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void OutputFile::Close() {
  if (fd_ < 0) return;
  const int fd = std::exchange(fd_, -1);
  const int rc = ::close(fd);
  const int error = errno;
  faults::Check("CloseFile", path_);
  if (rc != 0) RaiseErrno(error);
}

// ---------------------------------------------------------------- FileSnapshot

namespace {

// A snapshot's memory as ReadWhole fills it: anonymous pages, grown in place where they can be.
class SnapshotPages {
 public:
  SnapshotPages(char*& pages, size_t& size, size_t& capacity) : pages_(pages), size_(size), capacity_(capacity) {}

  char* data() const noexcept { return pages_; }
  size_t size() const noexcept { return size_; }
  void resize(size_t n) {
    if (n > capacity_) {
      const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
      const size_t wanted = (n + page - 1) / page * page;
      void* p = pages_ ? ::mremap(pages_, capacity_, wanted, MREMAP_MAYMOVE)
                       : ::mmap(nullptr, wanted, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (p == MAP_FAILED) throw std::bad_alloc();
      ::madvise(p, wanted, MADV_HUGEPAGE);  // fewer faults while the file is read in
      pages_ = static_cast<char*>(p);
      capacity_ = wanted;
    }
    size_ = n;
  }

 private:
  char*& pages_;
  size_t& size_;
  size_t& capacity_;
};

}  // namespace

FileSnapshot::FileSnapshot(const std::string& path) {
  const ReadableFile file(path);
  SnapshotPages pages(data_, size_, capacity_);
  try {
    ReadWhole(file, pages);
  } catch (...) {
    if (data_) ::munmap(data_, capacity_);  // no destructor runs for a constructor that raises
    throw;
  }
}

FileSnapshot::~FileSnapshot() {
  if (data_) ::munmap(data_, capacity_);
}

void FileSnapshot::Discard(size_t offset) noexcept {
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  const size_t upTo = std::min(offset, size_) / page * page;
  if (!data_ || upTo <= discarded_) return;
  ::madvise(data_ + discarded_, upTo - discarded_, MADV_DONTNEED);
  discarded_ = upTo;
}

}  // namespace vendrel::fs
