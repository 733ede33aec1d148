#pragma once
// File system operations: folders, files and the text files the system writes.
// Every operation passes one fault-injection counter, so tests can make the
// k-th operation fail.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vendrel/dataaccess/error.h"

namespace vendrel::fs {

// The user's temporary folder: TMPDIR when set, else the system's.
std::string TemporaryFolder();

// parent + "/" + name; a trailing "/" on the parent is kept.
std::string JoinPath(std::string_view parent, std::string_view name);

// Makes exactly this folder (the parent must exist; anything already there
// fails with 58) and returns the folder's full, normalised path.
std::string CreateFolder(const std::string& path, unsigned mode = 0777);
// Deletes the folder with all its contents; with force, read-only ones too.
void DeleteFolder(const std::string& path, bool force = true);
// A regular file (not a folder) exists at the path.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
bool PathExists(const std::string& path);
// Copies one file, keeping its permissions; a missing source raises 53.
void CopyFile(const std::string& source, const std::string& destination, bool overwrite = true);
// CopyFile with overwrite, for a copy that is only read and then deleted:
// the destination is a second name of the source's file (no bytes copied)
// where the file system allows it, else a copy. Never for a file that is
// written to afterwards.
void ShareOrCopyFile(const std::string& source, const std::string& destination);
void DeleteFile(const std::string& path);
// Puts source in destination's place in one step (both in one file system);
// a reader sees either the old file or the new one, never a part.
void ReplaceFile(const std::string& source, const std::string& destination);
// The whole file; a missing one raises 53, one that changed while it was
// read (see FileSnapshot) kFileChanged.
std::string ReadFile(const std::string& path);
// Whether the file holds exactly these bytes, read in pieces: neither a
// copy of the file nor a mapping of it stays in memory. A missing one raises 53.
bool FileEquals(const std::string& path, std::string_view expected);
// The same against bytes held in pieces, one after the other.
bool FileEquals(const std::string& path, std::span<const std::string_view> expected);

// A file open for writing, closed when it goes out of scope.
class OutputFile {
 public:
  // Create replaces a file of that name; CreateNew fails (58) when anything,
  // a link included, has the name already. No mode writes through a link.
  enum class Mode { Create, CreateNew, Append };
  OutputFile() = default;
  OutputFile(const std::string& path, Mode mode, unsigned permissions = 0666);
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  bool IsOpen() const noexcept { return fd_ >= 0; }
  void Write(std::string_view bytes);
  void Close();

 private:
  int fd_ = -1;
  std::string path_;
};

// A file's bytes read whole into memory of their own. Unlike a mapping of
// the file, nothing done to the file afterwards (shortened, rewritten,
// deleted) can reach them. A file that is shortened, grown or written to
// while it is read (its size or its modification times differ from those it
// had when opened) raises kFileChanged; a missing one raises 53.
class FileSnapshot {
 public:
  explicit FileSnapshot(const std::string& path);
  FileSnapshot(const FileSnapshot&) = delete;
  FileSnapshot& operator=(const FileSnapshot&) = delete;
  ~FileSnapshot();

  std::string_view Contents() const noexcept { return {data_, size_}; }
  // Hands the memory of the bytes before `offset` back to the system; they
  // must not be read again.
  void Discard(size_t offset) noexcept;

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  size_t discarded_ = 0;
};

// Fault injection for tests: after Arm(k) the k-th operation from then on
// fails with error 75 (path/file access error), or the number given, once.
namespace faults {
struct Operation {
  std::string name;  // "CreateFolder", "OpenFile", "ReadFile", ...
  std::string path;  // the file or folder it works on; empty when none
};
void Arm(long k, long number = err::kPathFileAccessError);
void Disarm();
long OperationsSinceArm();  // how many operations ran since Arm
std::vector<Operation> OperationsRunSinceArm();  // each of them, in order; the failed one last
bool Fired();
Operation FiredOperation();  // the operation that failed, once Fired()
// Called by every operation; exposed so other file readers can take part.
void Check(std::string_view operation, std::string_view path = {});
}  // namespace faults

}  // namespace vendrel::fs
