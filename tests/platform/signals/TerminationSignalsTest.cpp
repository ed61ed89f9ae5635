// The termination signals, each in a child process of its own: one that takes
// them ends with exit code 0 and abandons its writes in progress, whichever of
// its threads runs; a signal ignored when the process starts stays ignored; and
// a process that could make no thread for them ends by them as it would without.
#include "ruv/platform/Files.h"
#include "ruv/platform/TerminationSignals.h"

#include "ChildProcess.h"
#include "TestDirectory.h"
#include "ThreadLimit.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ruv {
namespace {

using namespace std::chrono_literals;

// A child process that runs body, tells the test the character body returns,
// and then waits for a signal to end it.
class Child {
 public:
  template <class Body>
  explicit Child(Body body) {
    int report[2];
    if (::pipe(report) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::close(report[0]);
      const char said = body();
      (void)!::write(report[1], &said, 1);
      for (;;) ::pause();
    }
    ::close(report[1]);
    report_ = report[0];
  }
  ~Child() {
    if (report_ >= 0) ::close(report_);
    if (pid_ > 0 && !end_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // What the child said, or nothing when it ended (or took 10 s) without a word.
  std::optional<char> Said() {
    pollfd p{report_, POLLIN, 0};
    char said = 0;
    if (::poll(&p, 1, 10000) != 1 || ::read(report_, &said, 1) != 1) return std::nullopt;
    return said;
  }
  void Send(int sig) const { ::kill(pid_, sig); }
  // As testing::EndWithin: the exit code, or minus the signal that ended it.
  std::optional<int> End(std::chrono::milliseconds within) {
    if (!end_) end_ = testing::EndWithin(pid_, within);
    return end_;
  }

 private:
  pid_t pid_ = -1;
  int report_ = -1;
  std::optional<int> end_;
};

std::vector<std::string> Names(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(TerminationSignals, EachEndsTheProcessWithZeroAndAbandonsItsWritesWhicheverThreadRuns) {
  const auto dir = testing::FreshTestDirectory("ruv_signals");
  const std::string target = (dir / "terminal.dat").string();
  fs::WriteFileAtomically(target, "old");
  for (const auto& [sig, name] : {std::pair{SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}, {SIGINT, "SIGINT"}}) {
    SCOPED_TRACE(name);
    Child child([&] {
      if (!process::EndOnTerminationSignals()) return 'u';
      // Threads made afterwards, as the toolkit's and the workers are: the signal
      // must land on none of them, nor on this one.
      for (int i = 0; i < 4; ++i) std::thread([] {
          for (;;) ::pause();
        }).detach();
      // A write in progress, never committed; the process ends without unwinding.
      auto* writer = new fs::AtomicFileWriter(target);
      writer->Write("part of the new content");
      return 'w';
    });
    ASSERT_EQ(child.Said(), 'w');
    child.Send(sig);
    EXPECT_EQ(child.End(10s), 0);
    EXPECT_EQ(Names(dir), std::vector<std::string>{"terminal.dat"}) << "the write in progress left a file";
    EXPECT_EQ(fs::ReadFile(target), "old");
  }
  std::filesystem::remove_all(dir);
}

TEST(TerminationSignals, OneIgnoredWhenTheProcessStartsStaysIgnored) {
  Child child([] {
    ::signal(SIGHUP, SIG_IGN);  // as nohup starts a program
    return process::EndOnTerminationSignals() ? 'w' : 'u';
  });
  ASSERT_EQ(child.Said(), 'w');
  child.Send(SIGHUP);
  EXPECT_FALSE(child.End(500ms)) << "the ignored SIGHUP ended it";
  child.Send(SIGTERM);
  EXPECT_EQ(child.End(10s), 0);
}

TEST(TerminationSignals, WithoutAThreadToTakeThemTheyEndTheProcessByTheirDefaultAction) {
  Child child([] {
    if (!testing::KeepFromMakingThreads()) return 's';
    return process::EndOnTerminationSignals() ? 'w' : 'u';
  });
  const std::optional<char> said = child.Said();
  if (said == 's') GTEST_SKIP() << "threads cannot be held back here";
  ASSERT_EQ(said, 'u');
  child.Send(SIGTERM);
  EXPECT_EQ(child.End(10s), -SIGTERM) << "left blocked, the signal would wait for a thread that is not there";
}

}  // namespace
}  // namespace ruv
