// The watcher through which other launchers close this one, in child processes
// with their application windows on a private X server: one that could start the
// watcher, and one that could make no thread for it. The toolkit platform the
// launcher chooses, and the real launcher with no X display to connect to.
#include "ruv/launcher/Program.h"
#include "ruv/platform/Files.h"
#include "ruv/platform/WindowList.h"

#include "ChildProcess.h"
#include "TestDirectory.h"
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
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>
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

// The platform the launcher starts the toolkit on, for what the environment says.
// DISPLAY decides only whether there is an X display to run on.
TEST(LauncherPlatform, RunsOnXWhateverTheEnvironmentNamesButAPlatformTestsChoose) {
  struct Row {
    const char* platform;  // QT_QPA_PLATFORM, null when unset
    const char* display;   // DISPLAY, null when unset
    std::optional<std::string> chosen;  // none: no X display, the launcher says so and ends
  };
  const Row rows[] = {
      {nullptr, ":0", "xcb"},
      {nullptr, nullptr, std::nullopt},
      {"", ":0", "xcb"},
      {"", "", std::nullopt},
      {"xcb", ":0", "xcb"},
      {"xcb", nullptr, std::nullopt},
      {"xcb:nograb", ":1", "xcb:nograb"},
      {"wayland", ":0", "xcb"},
      {"wayland", nullptr, std::nullopt},
      {"wayland;xcb", ":0", "xcb"},
      {"wayland;xcb", nullptr, std::nullopt},
      {"xcb;wayland", ":0", "xcb"},
      {"wayland-egl", ":0", "xcb"},
      {"wayland:scale=2", ":0", "xcb"},
      {"eglfs", ":0", "xcb"},
      {"offscreen", ":0", "offscreen"},
      {"offscreen", nullptr, "offscreen"},
      {"offscreen:fontengine=freetype", nullptr, "offscreen:fontengine=freetype"},
      {"minimal", nullptr, "minimal"},
      {"minimal", ":0", "minimal"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("QT_QPA_PLATFORM=") + (row.platform ? row.platform : "(unset)") +
                 " DISPLAY=" + (row.display ? row.display : "(unset)"));
    EXPECT_EQ(PlatformaLaunchera(row.platform, row.display), row.chosen);
  }
}

// A display number that no X server on this machine serves: neither its socket
// nor its lock file is there.
std::string UnservedDisplay() {
  for (int n = 4173;; ++n) {
    const std::string number = std::to_string(n);
    if (!std::filesystem::exists("/tmp/.X11-unix/X" + number) && !std::filesystem::exists("/tmp/.X" + number + "-lock"))
      return ":" + number;
  }
}

struct Ended {
  std::optional<int> exitCode;
  std::string standardError;
};

// Runs the launcher exe in dir with only the environment given (and a home of its
// own there), and gathers what it writes to standard error until it ends.
Ended RunLauncher(std::string exe, const std::filesystem::path& dir, std::map<std::string, std::string> env) {
  env.emplace("HOME", dir.string());
  env.emplace("XDG_CONFIG_HOME", (dir / "config").string());
  env.emplace("PATH", "/usr/bin:/bin");
  std::vector<std::string> entries;
  for (const auto& [k, v] : env) entries.push_back(k + "=" + v);
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
    if (const char* v = std::getenv(name)) entries.push_back(std::string(name) + "=" + v);
  std::vector<char*> envp;
  for (auto& e : entries) envp.push_back(e.data());
  envp.push_back(nullptr);
  char* argv[] = {exe.data(), nullptr};
  int err[2];
  if (::pipe(err) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::dup2(err[1], STDERR_FILENO);
    ::close(err[0]);
    ::close(err[1]);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    ::execve(argv[0], argv, envp.data());
    ::_exit(127);
  }
  ::close(err[1]);
  Ended ended;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{err[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) != 1) break;
    const ssize_t n = ::read(err[0], buffer, sizeof buffer);
    if (n <= 0) break;
    ended.standardError.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(err[0]);
  ended.exitCode = testing::ExitCodeWithin(pid, 10s);
  if (!ended.exitCode) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  return ended;
}

// Without a display the toolkit would abort the launcher; it says instead which
// display it tried and that it needs X11, and ends with exit code 0.
TEST(WithoutADisplay, TheLauncherSaysWhichDisplayItTriedAndEndsWithZero) {
  const char* exe = std::getenv("RUV_LAUNCHER_EXE");
  ASSERT_NE(exe, nullptr) << "RUV_LAUNCHER_EXE names the launcher";
  const auto dir = testing::FreshTestDirectory("ruv_no_display");
  const std::string unserved = UnservedDisplay();
  struct Row {
    const char* what;
    std::map<std::string, std::string> env;
    std::string named;  // how the message names the display tried
  };
  const Row rows[] = {
      {"DISPLAY not set", {}, "DISPLAY"},
      {"a Wayland session without X", {{"WAYLAND_DISPLAY", "wayland-ruv-test"}}, "DISPLAY"},
      {"a display nobody serves", {{"DISPLAY", unserved}}, "\"" + unserved + "\""},
      {"the X11 platform named", {{"DISPLAY", unserved}, {"QT_QPA_PLATFORM", "xcb"}}, "\"" + unserved + "\""},
      {"a Wayland platform named, no X",
       {{"WAYLAND_DISPLAY", "wayland-ruv-test"}, {"QT_QPA_PLATFORM", "wayland"}},
       "DISPLAY"},
      {"a Wayland platform named, a display nobody serves",
       {{"DISPLAY", unserved}, {"QT_QPA_PLATFORM", "wayland;xcb"}},
       "\"" + unserved + "\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const Ended ended = RunLauncher(exe, dir, row.env);
    EXPECT_EQ(ended.exitCode, 0) << ended.standardError;
    EXPECT_NE(ended.standardError.find(row.named), std::string::npos) << ended.standardError;
    EXPECT_NE(ended.standardError.find("tylko na ekranie X11"), std::string::npos) << ended.standardError;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ruv
