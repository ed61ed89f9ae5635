// A process replacing a file, killed at random moments of its writes. A program of
// its own, so that its thousand processes are forked from a small one.
#include "DirectoryListing.h"
#include "TestDirectory.h"
#include "ruv/platform/Files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace ruv::fs {
namespace {

// With each kind of temporary: the unnamed file this machine's file systems have,
// and the named one of a file system without them.
class KilledWriterTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    dir_ = ruv::testing::FreshTestDirectory("ruv_killed_writer");
    UseNamedTemporariesForTesting(GetParam());
  }
  void TearDown() override {
    UseNamedTemporariesForTesting(false);
    std::filesystem::remove_all(dir_);
  }
  bool Named() const { return GetParam(); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  long Entries(const std::filesystem::path& dir) const {
    return std::distance(std::filesystem::directory_iterator(dir), {});
  }
  std::filesystem::path dir_;
};
INSTANTIATE_TEST_SUITE_P(Temporaries, KilledWriterTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

// A process replacing a file over and over, killed at random moments of its
// writes, a thousand times: the file is whole every time, old or new, and once
// one more write has gone into the directory nothing but the file is left there,
// whichever step of the write each kill hit.
TEST_P(KilledWriterTest, AWriterKilledAtRandomMomentsLeavesNothingOnceTheNextWriteHasRun) {
  if (!Named() && !HasUnnamedFiles(dir_))
    GTEST_SKIP() << "the file system of " << dir_ << " has no O_TMPFILE: its writes use named temporaries, "
                 << "which the Named case covers";
  const auto p = Path("terminal.dat");
  const std::string older(64 << 10, 'o');
  const std::string newer(64 << 10, 'n');
  WriteFileAtomically(p, older);
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> delayUs(0, 2000);
  constexpr int kKills = 1000;
  int leftAtSomePoint = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::close(ready[0]);
      (void)!::write(ready[1], "w", 1);
      try {
        for (;;) WriteFileAtomically(p, newer);
      } catch (...) {
        ::_exit(3);
      }
    }
    ::close(ready[1]);
    char c = 0;
    EXPECT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "kill " << kill << ": the writer failed";
    if (kill % 50 == 0) {
      const std::string now = ReadFile(p);
      ASSERT_TRUE(now == older || now == newer) << "kill " << kill << ": the file is not whole";
    }
    leftAtSomePoint += Entries(dir_) > 1;
  }
  RecordProperty("kills_after_which_a_temporary_was_there", leftAtSomePoint);
  std::cout << leftAtSomePoint << " of " << kKills << " kills left a temporary until the next write\n";
  const std::string now = ReadFile(p);
  EXPECT_TRUE(now == older || now == newer) << "the file is not whole";
  WriteFileAtomically(p, older);
  EXPECT_EQ(Names(dir_), std::vector<std::string>{"terminal.dat"});
  EXPECT_EQ(ReadFile(p), older);
}

}  // namespace
}  // namespace ruv::fs
