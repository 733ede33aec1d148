#include "vendrel/dataaccess/filesystem.h"

#include <gtest/gtest.h>

#include "vendrel/testing/errors.h"
#include <fcntl.h>
#include <sys/stat.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "vendrel/dataaccess/error.h"

namespace vendrel::fs {
namespace {

using vendrel::testing::ErrorNumberOf;

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() / ("vdl-fs-test-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directory(root_);
  }
  void TearDown() override {
    faults::Disarm();
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    std::filesystem::remove_all(root_);
  }
  std::string Path(const char* name) const { return (root_ / name).string(); }
  std::filesystem::path root_;
};

TEST_F(FileSystemTest, TemporaryFolderFollowsTmpdir) {
  const char* old = std::getenv("TMPDIR");
  std::string saved = old ? old : "";
  ::setenv("TMPDIR", (root_.string() + "/").c_str(), 1);
  EXPECT_EQ(TemporaryFolder(), root_.string());
  if (old) ::setenv("TMPDIR", saved.c_str(), 1); else ::unsetenv("TMPDIR");
}

TEST_F(FileSystemTest, CreateFolderMakesExactlyThatFolder) {
  const std::string made = CreateFolder(JoinPath(root_.string() + "/", "VDL1"), 0700);
  EXPECT_EQ(made, Path("VDL1"));  // the doubled separator is normalised away
  struct stat st;
  ASSERT_EQ(::stat(made.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(ErrorNumberOf([&] { CreateFolder(made); }), err::kFileAlreadyExists);
  EXPECT_EQ(ErrorNumberOf([&] { CreateFolder(Path("missing/VDL2")); }), err::kPathNotFound);
}

TEST_F(FileSystemTest, DeleteFolderTakesReadOnlyContentsToo) {
  const std::string folder = CreateFolder(Path("VDL3"));
  const std::string inner = CreateFolder(JoinPath(folder, "inner"));
  { OutputFile(JoinPath(inner, "a.txt"), OutputFile::Mode::Create, 0400).Write("x"); }
  ::chmod(inner.c_str(), 0500);
  DeleteFolder(folder, true);
  EXPECT_FALSE(PathExists(folder));
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFolder(folder); }), err::kPathNotFound);
}

TEST_F(FileSystemTest, FilesWriteAppendCopyAndDelete) {
  const std::string a = Path("a.txt");
  {
    OutputFile out(a, OutputFile::Mode::Create, 0600);
    out.Write("one\r\n");
    out.Close();
  }
  { OutputFile(a, OutputFile::Mode::Append).Write("two\r\n"); }
  EXPECT_EQ(ReadFile(a), "one\r\ntwo\r\n");
  CopyFile(a, Path("b.txt"));
  EXPECT_TRUE(FileExists(Path("b.txt")));
  EXPECT_FALSE(FileExists(root_.string()));  // a folder is not a file
  EXPECT_EQ(ErrorNumberOf([&] { CopyFile(Path("none.txt"), Path("c.txt")); }), err::kFileNotFound);
  DeleteFile(a);
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(a); }), err::kFileNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { ReadFile(a); }), err::kFileNotFound);
}

// Replacing what stood at the destination, a second sharing and deleting the
// copy must never reach the file it came from.
TEST_F(FileSystemTest, ShareOrCopyFileLeavesTheSourceAsItWas) {
  const std::string kept = Path("kept.txt");
  const std::string copy = Path("copy.txt");
  { OutputFile(kept, OutputFile::Mode::Create).Write("kept rows\r\n"); }
  { OutputFile(copy, OutputFile::Mode::Create).Write("older file\r\n"); }
  ShareOrCopyFile(kept, copy);
  EXPECT_EQ(ReadFile(copy), "kept rows\r\n");
  ShareOrCopyFile(kept, copy);  // the same result named twice in one query
  EXPECT_EQ(ReadFile(copy), "kept rows\r\n");
  DeleteFile(copy);
  EXPECT_EQ(ReadFile(kept), "kept rows\r\n");
  EXPECT_EQ(ErrorNumberOf([&] { ShareOrCopyFile(Path("none.txt"), copy); }), err::kFileNotFound);
  EXPECT_FALSE(FileExists(copy));
}

TEST_F(FileSystemTest, FileEqualsComparesEveryByte) {
  const std::string big(200 * 1024, 'x');  // more than one piece
  const std::string a = Path("a.txt");
  { OutputFile(a, OutputFile::Mode::Create).Write(big); }
  EXPECT_TRUE(FileEquals(a, big));
  EXPECT_FALSE(FileEquals(a, big.substr(1)));
  EXPECT_FALSE(FileEquals(a, big + "x"));
  std::string lastDiffers = big;
  lastDiffers.back() = 'y';
  EXPECT_FALSE(FileEquals(a, lastDiffers));
  { OutputFile(a, OutputFile::Mode::Create); }
  EXPECT_TRUE(FileEquals(a, ""));
  EXPECT_FALSE(FileEquals(a, "x"));
  EXPECT_EQ(ErrorNumberOf([&] { FileEquals(Path("none.txt"), ""); }), err::kFileNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { FileEquals(root_.string(), ""); }), err::kFileNotFound);
}

TEST_F(FileSystemTest, FileEqualsComparesBytesHeldInPiecesAsOne) {
  std::string bytes;
  for (int i = 0; i < 150000; ++i) bytes += static_cast<char>('a' + i % 23);
  const std::string a = Path("a.txt");
  { OutputFile(a, OutputFile::Mode::Create).Write(bytes); }
  const std::string_view all(bytes);
  using Pieces = std::vector<std::string_view>;
  // Cut where the file's reads do not cut (64 KB each), with empty pieces between.
  const Pieces cut = {all.substr(0, 1), {}, all.substr(1, 70000), all.substr(70001, 65535), {},
                      all.substr(135536)};
  EXPECT_TRUE(FileEquals(a, cut));
  EXPECT_TRUE(FileEquals(a, Pieces{all}));
  EXPECT_FALSE(FileEquals(a, Pieces{all.substr(0, 1000), all.substr(1001)}));  // a byte short
  EXPECT_FALSE(FileEquals(a, Pieces{all, "x"}));                               // a byte more
  std::string changed = bytes;
  changed[100000] = '!';
  EXPECT_FALSE(FileEquals(a, Pieces{std::string_view(changed).substr(0, 90000), std::string_view(changed).substr(90000)}));
  { OutputFile(a, OutputFile::Mode::Create); }
  EXPECT_TRUE(FileEquals(a, Pieces{}));
  EXPECT_TRUE(FileEquals(a, Pieces{{}, {}}));
  EXPECT_FALSE(FileEquals(a, Pieces{{}, "x"}));
}


TEST_F(FileSystemTest, ANewFileIsMadeOnlyWhereNothingHasItsName) {
  const std::string target = Path("target.txt");
  { OutputFile(target, OutputFile::Mode::Create).Write("the target\n"); }
  std::filesystem::create_symlink(target, Path("link.txt"));
  std::filesystem::create_symlink(Path("nowhere.txt"), Path("dangling.txt"));
  std::filesystem::create_directory(Path("folder.txt"));
  for (const char* taken : {"target.txt", "link.txt", "dangling.txt", "folder.txt"})
    EXPECT_EQ(ErrorNumberOf([&] { OutputFile(Path(taken), OutputFile::Mode::CreateNew).Write("x"); }),
              err::kFileAlreadyExists)
        << taken;
  // Replacing or appending never goes through a link either.
  for (OutputFile::Mode mode : {OutputFile::Mode::Create, OutputFile::Mode::Append}) {
    EXPECT_NE(ErrorNumberOf([&] { OutputFile(Path("link.txt"), mode).Write("x"); }), 0);
    EXPECT_NE(ErrorNumberOf([&] { OutputFile(Path("dangling.txt"), mode).Write("x"); }), 0);
  }
  EXPECT_EQ(ReadFile(target), "the target\n");
  EXPECT_FALSE(PathExists(Path("nowhere.txt")));
  { OutputFile(Path("new.txt"), OutputFile::Mode::CreateNew).Write("new\n"); }
  EXPECT_EQ(ReadFile(Path("new.txt")), "new\n");
}

TEST_F(FileSystemTest, CopiesReplaceALinkAtTheirDestinationInsteadOfWritingThroughIt) {
  const std::string target = Path("target.txt");
  const std::string source = Path("source.txt");
  { OutputFile(target, OutputFile::Mode::Create).Write("the target\n"); }
  { OutputFile(source, OutputFile::Mode::Create).Write("copied\n"); }
  for (const auto& copy : {+[](const std::string& s, const std::string& d) { CopyFile(s, d, true); },
                           +[](const std::string& s, const std::string& d) { ShareOrCopyFile(s, d); }}) {
    std::filesystem::create_symlink(target, Path("link.txt"));
    std::filesystem::create_symlink(Path("nowhere.txt"), Path("dangling.txt"));
    copy(source, Path("link.txt"));
    copy(source, Path("dangling.txt"));
    EXPECT_FALSE(std::filesystem::is_symlink(Path("link.txt")));
    EXPECT_EQ(ReadFile(Path("link.txt")), "copied\n");
    EXPECT_EQ(ReadFile(Path("dangling.txt")), "copied\n");
    EXPECT_EQ(ReadFile(target), "the target\n");
    EXPECT_FALSE(PathExists(Path("nowhere.txt")));
    DeleteFile(Path("link.txt"));
    DeleteFile(Path("dangling.txt"));
  }
}

// A mapping of a file faults when the file is shortened; a snapshot's bytes are its own.
TEST_F(FileSystemTest, ASnapshotKeepsTheBytesOfTheFileWhateverHappensToItAfterwards) {
  const std::string path = Path("data.txt");
  const std::string bytes(3 * 1024 * 1024 + 17, 'd');
  { OutputFile(path, OutputFile::Mode::Create).Write(bytes); }
  FileSnapshot snapshot(path);
  ASSERT_EQ(::truncate(path.c_str(), 0), 0);
  EXPECT_EQ(snapshot.Contents(), bytes);
  DeleteFile(path);
  EXPECT_EQ(snapshot.Contents(), bytes);
  snapshot.Discard(2 * 1024 * 1024);  // the rest stays readable
  EXPECT_EQ(snapshot.Contents().substr(2 * 1024 * 1024), bytes.substr(2 * 1024 * 1024));
  EXPECT_EQ(ErrorNumberOf([&] { FileSnapshot{path}; }), err::kFileNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { FileSnapshot{root_.string()}; }), err::kFileNotFound);
  { OutputFile(path, OutputFile::Mode::Create); }
  EXPECT_EQ(FileSnapshot(path).Contents(), "");
}

// Files that tell no size, as those of /proc, are read to their end.
TEST_F(FileSystemTest, AFileThatTellsNoSizeIsReadToItsEnd) {
  EXPECT_NE(ReadFile("/proc/self/status").find("Name:"), std::string::npos);
  EXPECT_NE(FileSnapshot("/proc/self/status").Contents().find("Name:"), std::string_view::npos);
}

// A second thread writes two versions of one file in turn, each time
// shortening it to nothing first and writing from its first byte. Every read
// gives the bytes of one version (all of them, or the part written when it
// began) or reports the file as changed; none gives a mixture or a signal.
TEST_F(FileSystemTest, AFileRewrittenWhileItIsReadIsReadAsOneVersionOrReportedAsChanged) {
  const std::string path = Path("data.txt");
  const std::string first(8 * 1024 * 1024, 'a'), second(12 * 1024 * 1024, 'b');
  { OutputFile(path, OutputFile::Mode::Create).Write(first); }
  std::atomic<bool> stop{false};
  std::atomic<int> written{0};
  std::thread writer([&] {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    for (int i = 0; fd >= 0 && !stop; ++i) {
      const std::string& version = i % 2 ? first : second;
      if (::ftruncate(fd, 0) != 0) break;
      for (size_t at = 0; at < version.size(); at += 256 * 1024)
        if (::pwrite(fd, version.data() + at, 256 * 1024, static_cast<off_t>(at)) < 0) break;
      ++written;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));  // reads of the whole version too
    }
    if (fd >= 0) ::close(fd);
  });
  while (written == 0) std::this_thread::yield();
  auto oneVersion = [](std::string_view read) {
    return read.empty() || read.find_first_not_of(read.front()) == std::string_view::npos;
  };
  for (int i = 0; written < 30; ++i) {
    try {
      if (i % 2) {
        const FileSnapshot snapshot(path);
        EXPECT_TRUE(oneVersion(snapshot.Contents())) << "read " << i;
      } else {
        EXPECT_TRUE(oneVersion(ReadFile(path))) << "read " << i;
      }
    } catch (const Error& e) {
      ASSERT_EQ(e.Number(), err::kFileChanged) << e.Description();
    }
  }
  stop = true;
  writer.join();
}

TEST_F(FileSystemTest, FaultInjectionFailsTheKthOperationOnce) {
  faults::Arm(2);
  EXPECT_NO_THROW(FileExists(Path("x")));
  EXPECT_EQ(ErrorNumberOf([&] { CreateFolder(Path("VDL4")); }), err::kPathFileAccessError);
  EXPECT_TRUE(faults::Fired());
  EXPECT_EQ(faults::FiredOperation().name, "CreateFolder");
  EXPECT_EQ(faults::FiredOperation().path, Path("VDL4"));
  EXPECT_FALSE(FolderExists(Path("VDL4")));  // the failing operation did nothing
  EXPECT_NO_THROW(CreateFolder(Path("VDL4")));
  EXPECT_EQ(faults::OperationsSinceArm(), 4);
  std::vector<std::string> names;
  for (const faults::Operation& op : faults::OperationsRunSinceArm()) names.push_back(op.name);
  EXPECT_EQ(names, (std::vector<std::string>{"FileExists", "CreateFolder", "FolderExists", "CreateFolder"}));
  faults::Arm(1, err::kFileChanged);
  EXPECT_EQ(ErrorNumberOf([&] { ReadFile(Path("VDL4")); }), err::kFileChanged);
  faults::Disarm();
}

}  // namespace
}  // namespace vendrel::fs
