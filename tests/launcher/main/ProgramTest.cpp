// The watcher through which other launchers close this one, in child processes
// with their application windows on a private X server: one that could start the
// watcher, and one that could make no thread for it.
#include "ruv/launcher/Program.h"
#include "ruv/platform/Files.h"
#include "ruv/platform/WindowList.h"

#include "ChildProcess.h"
#include "ThreadLimit.h"
#include "XServer.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

namespace ruv {
namespace {

using namespace std::chrono_literals;
constexpr const char* kTitle = "ruv_virad";

// A launcher reduced to its application window and the watcher, in a child
// process. It says how the watcher's start went, then runs until the test lets
// it end (as its message loop would) and ends as the launcher does.
class WatchedChild {
 public:
  // What the child says: the watcher runs, or the child goes on without one;
  // or that it had no window, or that threads could not be held back here.
  enum Said : char { kWatching = 'w', kUnwatched = 'u', kNoWindow = 'n', kThreadsNotHeldBack = 's' };

  explicit WatchedChild(bool threads) {
    int report[2], end[2];
    if (::pipe(report) != 0 || ::pipe(end) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::close(report[0]);
      ::close(end[1]);
      Run(threads, report[1], end[0]);
    }
    ::close(report[1]);
    ::close(end[0]);
    report_ = report[0];
    end_ = end[1];
  }
  ~WatchedChild() {
    LetEnd();
    if (report_ >= 0) ::close(report_);
    if (pid_ > 0 && !exitCode_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  // What the child said, or nothing when it ended (or took 10 s) without a word.
  std::optional<char> Said() {
    pollfd p{report_, POLLIN, 0};
    char said = 0;
    if (::poll(&p, 1, 10000) != 1 || ::read(report_, &said, 1) != 1) return std::nullopt;
    return said;
  }
  void LetEnd() {
    if (end_ >= 0) ::close(end_);
    end_ = -1;
  }
  // The exit code once the child has ended within the time, -1 for a signal.
  std::optional<int> ExitCode(std::chrono::milliseconds within) {
    if (!exitCode_) exitCode_ = testing::ExitCodeWithin(pid_, within);
    return exitCode_;
  }

 private:
  // An error that escapes ends the child as one that escapes the launcher's entry
  // ends the launcher: through std::terminate, never back into the test.
  [[noreturn]] static void Run(bool threads, int report, int end) noexcept {
    auto window = x11::ApplicationWindow::Create(kTitle);
    char said = kNoWindow;
    if (window && !threads && !testing::KeepFromMakingThreads()) {
      said = kThreadsNotHeldBack;
    } else if (window) {
      said = ZakonczNaProsbeInnegoLaunchera(std::move(window)) ? kWatching : kUnwatched;
    }
    (void)!::write(report, &said, 1);
    char ignored;
    (void)!::read(end, &ignored, 1);
    fs::EndProcessNow();
  }

  pid_t pid_ = -1;
  int report_ = -1;
  int end_ = -1;
  std::optional<int> exitCode_;
};

bool WaitUntil(const auto& done, std::chrono::milliseconds within) {
  const auto deadline = std::chrono::steady_clock::now() + within;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

TEST(CloseRequestWatcher, ARequestEndsAWatchedLauncherAndOneThatCouldNotWatchGoesOn) {
  testing::XServer server;
  if (server.Display().empty()) GTEST_SKIP() << server.Problem();
  ::setenv("DISPLAY", server.Display().c_str(), 1);

  {
    SCOPED_TRACE("watched");
    WatchedChild child(/*threads=*/true);
    ASSERT_EQ(child.Said(), WatchedChild::kWatching);
    EXPECT_EQ(x11::PostCloseToWindowsTitled(kTitle, nullptr), 1);
    EXPECT_EQ(child.ExitCode(10s), 0) << "the close request did not end it";
  }
  {
    SCOPED_TRACE("no thread for the watcher");
    WatchedChild child(/*threads=*/false);
    const std::optional<char> said = child.Said();
    if (said == WatchedChild::kThreadsNotHeldBack) GTEST_SKIP() << "threads cannot be held back here";
    EXPECT_EQ(said, WatchedChild::kUnwatched);
    EXPECT_FALSE(child.ExitCode(0ms)) << "it did not go on";
    // Its window has gone with the watcher, so no request is posted to it.
    EXPECT_TRUE(WaitUntil([] { return x11::PostCloseToWindowsTitled(kTitle, nullptr) == 0; }, 10s));
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(child.ExitCode(0ms)) << "it ended before its own end";
    child.LetEnd();
    EXPECT_EQ(child.ExitCode(10s), 0);
  }
}

}  // namespace
}  // namespace ruv
