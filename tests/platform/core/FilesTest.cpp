#include "TestDirectory.h"
#include "ruv/platform/Files.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

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

// The atomic writes, with each kind of temporary: the unnamed file this machine's
// file systems have, and the named one of a file system without them.
class AtomicWriteTest : public FilesTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    FilesTest::SetUp();
    UseNamedTemporariesForTesting(GetParam());
  }
  void TearDown() override {
    UseNamedTemporariesForTesting(false);
    FilesTest::TearDown();
  }
  bool Named() const { return GetParam(); }
  long Entries(const std::filesystem::path& dir) const {
    return std::distance(std::filesystem::directory_iterator(dir), {});
  }
};
INSTANTIATE_TEST_SUITE_P(Temporaries, AtomicWriteTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

TEST_F(FilesTest, BackslashesAreSeparators) {
  EXPECT_EQ(NativePath("lib\\sub\\\\a.dll"), "lib/sub//a.dll");
}

TEST_P(AtomicWriteTest, AtomicWriteReplacesWholeFileAndSetsMode) {
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

TEST_P(AtomicWriteTest, FailedWriteKeepsOldFileAndLeavesNoTemporary) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
  const auto p = Path("data.txt");
  WriteFileAtomically(p, "old");
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_THROW(WriteFileAtomically(p, "new"), EInOutError);
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
  EXPECT_EQ(ReadFile(p), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

// Bytes that differ from one position to the next, so a piece written twice,
// skipped or given back before it was written shows in the file.
std::string Pattern(size_t size) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 7919 + i / 4096) % 251);
  return out;
}

TEST_P(AtomicWriteTest, FilesOfEverySizeAreWrittenWholeWhetherAtOnceOrPieceByPiece) {
  constexpr size_t kMiB = size_t{1} << 20;
  for (const size_t size : {size_t{0}, size_t{1}, 8 * kMiB - 1, 8 * kMiB, 8 * kMiB + 1, 29 * kMiB + 12345}) {
    SCOPED_TRACE(size);
    const std::string expected = Pattern(size);
    WriteFileAtomically(Path("whole.bin"), expected);
    EXPECT_TRUE(ReadFile(Path("whole.bin")) == expected);
    // Pieces of uneven sizes, as a network delivers them.
    {
      AtomicFileWriter file(Path("pieces.bin"), true);
      for (size_t at = 0, piece = 1; at < size; at += piece, piece = piece * 3 % 400009 + 1)
        file.Write(std::string_view(expected).substr(at, piece));
      file.Commit();
    }
    EXPECT_TRUE(ReadFile(Path("pieces.bin")) == expected);
    struct stat st {};
    ASSERT_EQ(::stat(Path("pieces.bin").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2);
  }
}

TEST_P(AtomicWriteTest, AWriterDroppedBeforeItsCommitLeavesTheOldFileAndNoTemporary) {
  const auto p = Path("data.bin");
  WriteFileAtomically(p, "old");
  {
    AtomicFileWriter file(p);
    file.Write(Pattern(3 << 20));
    EXPECT_EQ(Entries(dir_), Named() ? 2 : 1) << "the temporary beside the file";
    EXPECT_EQ(ReadFile(p), "old");
  }
  EXPECT_EQ(ReadFile(p), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_P(AtomicWriteTest, AWriteThatRunsOutOfSpaceKeepsTheOldFileAndLeavesNoTemporary) {
  // A medium with room for a piece or two, then no more.
  const auto medium = Path("klein");
  std::filesystem::create_directory(medium);
  if (::mount("tmpfs", medium.c_str(), "tmpfs", 0, "size=12m") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
  const auto p = medium + "/data.bin";
  WriteFileAtomically(p, "old");
  EXPECT_THROW(WriteFileAtomically(p, Pattern(20 << 20)), EInOutError);
  {
    AtomicFileWriter file(p);
    EXPECT_THROW(for (int i = 0; i < 20; ++i) file.Write(Pattern(1 << 20)), EInOutError);
    EXPECT_THROW(file.Commit(), EInOutError) << "a failed writer cannot be committed";
  }
  EXPECT_EQ(ReadFile(p), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(medium), {}), 1);
  ::umount(medium.c_str());
}

TEST_P(AtomicWriteTest, WriteIntoMissingDirectoryRaises) {
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

// A process that ends in the middle of a write: the old file stays and no temporary
// is left, whether the process ends itself as a launcher asked to close does or is
// killed.
TEST_P(AtomicWriteTest, AProcessEndingInTheMiddleOfAWriteLeavesTheOldFileAndNoTemporary) {
  const auto p = Path("big.bin");
  WriteFileAtomically(p, "old");
  for (const bool killed : {false, true}) {
    SCOPED_TRACE(killed ? "killed" : "ending itself");
    if (killed && Named()) {
      // Only the process's own ends can remove a named temporary.
      continue;
    }
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(ready[0]);
      std::atomic<bool> writing{false};
      std::thread([&] {
        AtomicFileWriter file(p);
        file.Write(std::string(std::size_t{1} << 20, 'x'));
        writing = true;
        for (;;) file.Write(std::string(std::size_t{1} << 20, 'x'));
      }).detach();
      while (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (!killed) EndProcessNow();
      (void)!::write(ready[1], "w", 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    if (killed) {
      char c = 0;
      EXPECT_EQ(::read(ready[0], &c, 1), 1);
      ::kill(pid, SIGKILL);
    }
    ::close(ready[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    if (killed) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    } else {
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(ReadFile(p), "old");
    EXPECT_EQ(Entries(dir_), 1) << "a temporary file was left";
  }
}

// What a process that ends now has printed reaches its reader, however it was
// written; what would run at an ordinary exit does not run.
TEST_F(FilesTest, EndingTheProcessNowFlushesItsOutputAndRunsNoExitHandlers) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::fflush(nullptr);  // nothing of this process's own output goes to the child
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    ::dup2(fds[1], STDOUT_FILENO);
    ::close(fds[1]);
    std::atexit([] { (void)!::write(STDOUT_FILENO, "[exit handler]", 14); });
    std::printf("printf,");
    std::cout << "cout";
    std::thread([] { EndProcessNow(); }).join();  // not reached
    ::_exit(2);
  }
  ::close(fds[1]);
  std::string printed;
  char buffer[256];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) printed.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(printed, "printf,cout");
}

TEST_F(FilesTest, MakeExecutableLetsTheOwnerRunAFile) {
  const auto p = Path("downloader.exe");
  WriteFileAtomically(p, "#!/bin/sh\n");
  std::filesystem::permissions(p, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_FALSE(IsExecutableFile(p));
  EXPECT_TRUE(MakeExecutable(p));
  EXPECT_TRUE(IsExecutableFile(p));
  struct stat st {};
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u) << "nobody who may not read it gets to run it";
  EXPECT_FALSE(MakeExecutable(Path("missing")));
  EXPECT_FALSE(MakeExecutable(dir_.string()));
  EXPECT_FALSE(IsExecutableFile(dir_.string()));
}

}  // namespace
}  // namespace ruv::fs
