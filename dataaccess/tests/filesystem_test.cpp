#include "vendrel/dataaccess/filesystem.h"

#include <gtest/gtest.h>

#include "vendrel/testing/errors.h"
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

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
  faults::Disarm();
}

}  // namespace
}  // namespace vendrel::fs
