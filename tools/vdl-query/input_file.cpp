#include "input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <optional>

#include "interrupt.h"
#include "load_progress.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/driver/driver.h"

namespace vendrel::vdlquery {

namespace {

std::optional<InputFormat> FormatOfExtension(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  if (EqualsNoCase(extension, ".csv")) return InputFormat::Csv;
  if (EqualsNoCase(extension, ".tsv") || EqualsNoCase(extension, ".tab") || EqualsNoCase(extension, ".txt"))
    return InputFormat::Tsv;
  return std::nullopt;
}

// A connection string value in double quotes, so that ";", quotes and
// spaces in a folder's name stay part of it.
std::string QuotedValue(std::string_view value) {
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string Reason(int error) { return std::strerror(error); }

// The tool's own words for a file the driver could not read well: one that
// is missing, a folder, unreadable or empty.
void RequireReadableFile(const std::string& path, const std::string& shown, bool header) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw ToolError("cannot open " + shown + ": " + Reason(errno));
  struct stat info {};
  const int rc = ::fstat(fd, &info);
  const int statError = errno;
  char probe;
  const ssize_t n = rc == 0 && S_ISREG(info.st_mode) ? ::read(fd, &probe, 1) : 0;
  const int readError = errno;
  ::close(fd);
  if (rc != 0) throw ToolError("cannot open " + shown + ": " + Reason(statError));
  if (S_ISDIR(info.st_mode)) throw ToolError("cannot open " + shown + ": it is a folder");
  if (n < 0) throw ToolError("cannot read " + shown + ": " + Reason(readError));
  if (S_ISREG(info.st_mode) && n == 0)
    throw ToolError(shown + " is empty" + (header ? ": it has no header line" : ""));
}

// What a stream's copy leaves free on the disk of the folder it goes to:
// 1 GiB, or a twentieth of a smaller disk.
uint64_t FreeSpaceToLeave(const struct statvfs& disk) {
  const uint64_t size = static_cast<uint64_t>(disk.f_blocks) * disk.f_frsize;
  return std::min<uint64_t>(uint64_t{1} << 30, size / 20);
}

// A stream (standard input, a pipe, a device) copied into a file of its own,
// which goes with this object, and which holds at most `maxSize` bytes (0: no
// bound) and never fills the disk it is on.
class StreamCopy {
 public:
  StreamCopy(int input, const std::string& shown, const std::string& scratchFolder, uint64_t maxSize) {
    std::string pattern = fs::JoinPath(scratchFolder, "input-XXXXXX");
    if (!::mkdtemp(pattern.data())) throw ToolError("cannot make a folder for " + shown + ": " + Reason(errno));
    folder_ = pattern;
    path_ = fs::JoinPath(folder_, "stdin");
    temporaryFolder_ = std::filesystem::path(scratchFolder).parent_path().string();
    try {
      Copy(input, shown, maxSize);
    } catch (...) {
      Remove();  // no destructor runs for a constructor that raises
      throw;
    }
  }
  ~StreamCopy() { Remove(); }
  StreamCopy(const StreamCopy&) = delete;
  StreamCopy& operator=(const StreamCopy&) = delete;
  const std::string& Path() const { return path_; }

 private:
  void Copy(int input, const std::string& shown, uint64_t maxSize) {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) throw ToolError("cannot copy " + shown + ": " + Reason(errno));
    struct Closer {
      int fd;
      ~Closer() {
        if (fd >= 0) ::close(fd);
      }
    } closer{fd};
    constexpr uint64_t kDiskCheckEvery = uint64_t{1} << 20;
    std::vector<char> buffer(size_t{1} << 16);
    uint64_t copied = 0, checkedAt = 0;
    for (bool first = true;; first = false) {
      if (PendingInterrupt()) throw ToolError("interrupted while reading " + shown);
      if (first || copied - checkedAt >= kDiskCheckEvery) {
        RequireRoomFor(kDiskCheckEvery, shown, copied);
        checkedAt = copied;
      }
      const ssize_t n = ::read(input, buffer.data(), buffer.size());
      if (n == 0) break;
      if (n < 0) {
        if (errno == EINTR) continue;
        throw ToolError("cannot read " + shown + ": " + Reason(errno));
      }
      if (maxSize != 0 && copied + static_cast<uint64_t>(n) > maxSize)
        throw ToolError(shown + " is larger than --max-input-size (" + SizeText(maxSize) +
                        "): give a larger size to read it");
      for (ssize_t done = 0; done < n;) {
        const ssize_t w = ::write(fd, buffer.data() + done, static_cast<size_t>(n - done));
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) throw ToolError("cannot copy " + shown + ": " + Reason(errno));
        done += w;
      }
      copied += static_cast<uint64_t>(n);
    }
    closer.fd = -1;
    if (::close(fd) != 0) throw ToolError("cannot copy " + shown + ": " + Reason(errno));
  }

  // Stops the copy before the next `bytes` could leave the disk with less
  // free than it must keep.
  void RequireRoomFor(uint64_t bytes, const std::string& shown, uint64_t copied) const {
    struct statvfs disk {};
    if (::statvfs(folder_.c_str(), &disk) != 0) return;  // the writes report a full disk themselves
    const uint64_t free = static_cast<uint64_t>(disk.f_bavail) * disk.f_frsize;
    const uint64_t keep = FreeSpaceToLeave(disk);
    if (free >= keep + bytes) return;
    throw ToolError("stopped reading " + shown + " after " + SizeText(copied) +
                    ": copying more of it would leave less than " + SizeText(keep) + " free on the disk of " +
                    temporaryFolder_);
  }

  void Remove() noexcept {
    if (folder_.empty()) return;
    try {
      fs::DeleteFolder(folder_);
    } catch (...) {
    }
    folder_.clear();
  }

  std::string folder_;
  std::string path_;
  std::string temporaryFolder_;  // the one the scratch folder is in, as the user knows it
};

std::string Shown(std::string_view value) {
  constexpr size_t kLimit = 40;
  std::string out;
  for (char c : value.substr(0, kLimit)) out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  if (value.size() > kLimit) out += "...";
  return out;
}

}  // namespace

InputFormat InputFormatOf(const std::string& path, const InputSettings& settings) {
  if (settings.format) return *settings.format;
  if (path == kStandardInput) return InputFormat::Csv;
  if (auto format = FormatOfExtension(path)) return *format;
  throw ToolError("cannot tell the format of '" + path +
                  "': name a .csv, .tsv, .tab or .txt file, or give --input-format csv or tsv");
}

std::string TextFolderConnectionString(const std::string& folder, InputFormat format, bool header) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + QuotedValue(folder) + ";Extended Properties=\"text;HDR=" +
         (header ? "Yes" : "No") + ";FMT=" + (format == InputFormat::Tsv ? "TabDelimited" : "CSVDelimited") + ";\"";
}

// The note for a guessed column whose type the user may not expect, from
// the driver's reasons for it; nothing for the others.
std::optional<std::string> GuessNote(const driver::GuessedColumn& g, const std::string& shownName) {
  if (g.nearly.empty() || g.firstMisfit.empty()) return std::nullopt;
  const std::string first = "'" + Shown(g.firstMisfit) + "' on line " + std::to_string(g.firstMisfitLine);
  const std::string column = "note: column '" + std::string(g.column) + "' of " + shownName + " is read as ";
  const char* order = g.nearlyDayFirst ? "day first" : "month first";
  if (g.type == "DateTime") return column + "DateTime with the day first: " + first + " does not read month first";
  if (g.bothOrders)
    return column + std::string(g.type) +
           " because its values are dates written in both orders, some only month first and some only day first; "
           "the first that does not read " + order + " is " + first;
  const bool one = g.misfits == 1;
  const bool number = g.nearly == "number";
  return column + std::string(g.type) + " because " + std::to_string(g.misfits) + " of its " +
         std::to_string(g.values) + " values " +
         (one ? (number ? "is not a number" : "is not a date") : (number ? "are not numbers" : "are not dates")) +
         (g.beyondDouble ? " that a Double holds" : "") + "; the first is " + first +
         (g.firstBeyondDouble ? ", beyond the range of a Double" : "");
}

LoadedInput ReadInputFile(const std::string& path, const InputSettings& settings, const std::string& scratchFolder) {
  const InputFormat format = InputFormatOf(path, settings);
  const bool standardInput = path == kStandardInput;
  const std::string shown = standardInput ? "standard input" : "'" + path + "'";
  // The driver reads files it can open again by name; a stream is copied first.
  std::optional<StreamCopy> copy;
  struct stat pathInfo {};
  if (standardInput) {
    copy.emplace(STDIN_FILENO, shown, scratchFolder, settings.maxSize);
  } else if (::stat(path.c_str(), &pathInfo) == 0 && (S_ISFIFO(pathInfo.st_mode) || S_ISCHR(pathInfo.st_mode))) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw ToolError("cannot open " + shown + ": " + Reason(errno));
    try {
      copy.emplace(fd, shown, scratchFolder, settings.maxSize);
    } catch (...) {
      ::close(fd);
      throw;
    }
    ::close(fd);
  } else if (S_ISREG(pathInfo.st_mode) && settings.maxSize != 0 &&
             static_cast<uint64_t>(pathInfo.st_size) > settings.maxSize) {
    throw ToolError(shown + " (" + SizeText(static_cast<uint64_t>(pathInfo.st_size)) +
                    ") is larger than --max-input-size (" + SizeText(settings.maxSize) +
                    "): give a larger size to read it");
  }
  const std::string& source = copy ? copy->Path() : path;
  RequireReadableFile(source, shown, settings.header);

  const std::filesystem::path file = std::filesystem::absolute(source).lexically_normal();
  const std::string fileName = file.filename().string();

  // The folder is the database and the file one of its tables; the format
  // given here holds for files that schema.ini does not describe.
  Ref<Connection> connection = Connection::Create();
  connection->SetCursorLocation(adUseClient);
  connection->Open(TextFolderConnectionString(file.parent_path().string(), format, settings.header));
  LoadedInput loaded;
  struct stat info {};
  LoadProgress progress(shown, ::stat(source.c_str(), &info) == 0 ? info.st_size : 0);
  loaded.rows = Recordset::Create();
  // The whole table straight into the recordset's rows: the driver reads
  // the file where it lies, and keeps no parsed copy of it.
  {
    const StatementInProgress running(*connection);
    driver::ObserveTypeGuesses([&](const driver::GuessedColumn& g) {
      if (auto note = GuessNote(g, shown)) loaded.notes.push_back(std::move(*note));
    });
    struct StopObserving {
      ~StopObserving() { driver::ObserveTypeGuesses(nullptr); }
    } stop;
    loaded.rows->Open(Variant(fileName), Variant(connection), adOpenStatic, adLockReadOnly, adCmdTableDirect);
  }
  loaded.rows->SetActiveConnection(nullptr);
  connection->Close();
  progress.Finish(loaded.rows->Rows()->RowCount());
  return loaded;
}

}  // namespace vendrel::vdlquery
