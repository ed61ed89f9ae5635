#include "TestDirectory.h"
#include "ruv/platform/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "ruv/platform/Exception.h"

namespace ruv::fs {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ruv::testing::FreshTestDirectory("ruv_files");
  }
  void TearDown() override {
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(dir_);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

TEST_F(FilesTest, BackslashesAreSeparators) {
  EXPECT_EQ(NativePath("lib\\sub\\\\a.dll"), "lib/sub//a.dll");
}

TEST_F(FilesTest, AtomicWriteReplacesWholeFileAndSetsMode) {
  const auto p = Path("prog.exe");
  WriteFileAtomically(p, "old");
  WriteFileAtomically(p, std::string(100000, 'x'), true);
  EXPECT_EQ(ReadFile(p), std::string(100000, 'x'));
  struct stat st {};
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  EXPECT_TRUE(FileExists(p));
  EXPECT_FALSE(FileExists(dir_.string()));
  EXPECT_TRUE(DirectoryExists(dir_.string()));
}

TEST_F(FilesTest, FailedWriteKeepsOldFileAndLeavesNoTemporary) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
  const auto p = Path("data.txt");
  WriteFileAtomically(p, "old");
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_THROW(WriteFileAtomically(p, "new"), EInOutError);
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
  EXPECT_EQ(ReadFile(p), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(FilesTest, WriteIntoMissingDirectoryRaises) {
  EXPECT_THROW(WriteFileAtomically(Path("missing/x"), "a"), EInOutError);
  EXPECT_THROW(ReadFile(Path("missing/x")), EInOutError);
}

TEST_F(FilesTest, ReadingADirectoryRaisesInsteadOfGivingNothing) {
  std::filesystem::create_directories(Path("side.hash"));
  try {
    ReadFile(Path("side.hash"));
    ADD_FAILURE() << "a directory read as a file";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Cannot read \"" + Path("side.hash") + "\": Is a directory");
  }
}

}  // namespace
}  // namespace ruv::fs
