// The launcher program end to end (the fixture in LauncherE2E.h): the first start,
// the per-user copy, other launchers' close requests, bounded memory whatever the
// server sends, and the signals that ask a program to end.
#include "LauncherE2E.h"
#include "ruv/provisioning/FileVersion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sys/stat.h>

namespace ruv {
namespace {

using namespace launcher_test;

// A field of /proc/<pid>/status ("VmHWM:", the peak resident memory) in KiB; -1
// once the process has gone.
long StatusKiB(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + field.size());
  return -1;
}

constexpr long kMiB = 1024;  // in KiB

TEST_F(LauncherE2E, FirstStartWritesTheCopyAndAClickStartsTheUpdatedTerminal) {
  auto server = StartServer();
  // An older local copy of the terminal: the click replaces it without asking.
  WriteAll(root_ / "cwd" / "terminale" / "kadry" / "kadry.exe", ReadAll(Env("RUV_E2E_TERMINAL_OLD")));
  fs::permissions(root_ / "cwd" / "terminale" / "kadry" / "kadry.exe", fs::perms::owner_all);
  auto launcher = Launch();
  const auto main = MainWindow();
  ASSERT_TRUE(main) << "the main window did not appear";
  const std::string copy = ReadAll(CopyPath());
  EXPECT_EQ(copy.substr(0, 40), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
  EXPECT_EQ(copy.substr(copy.size() - 14), "</ruv_virad>\r\n");

  // Button t0 at (margin, topMargin) inside the 5-pixel border.
  x_->Click(*main, 5 + 10 + 100, 5 + 40 + 20);
  const fs::path record = root_ / "cwd" / "terminale" / "kadry" / "ruv_record_args.txt";
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(record); }, 20s)) << "the terminal was not started";
  EXPECT_NE(ReadAll(record).find("\nKowmept\nzu617!%&\n58\n20316\n"), std::string::npos) << ReadAll(record);
  EXPECT_EQ(GetFileVersionString((root_ / "cwd" / "terminale" / "kadry" / "kadry.exe").string()), "1.0.0.1");
  EXPECT_EQ(launcher->Wait(10s), 0) << "outside the client networks the launcher ends";
}

TEST_F(LauncherE2E, WithTheServerDownTheCopyServesAfterTheNotices) {
  {
    auto server = StartServer();
    auto first = Launch();
    ASSERT_TRUE(MainWindow());
    x_->Close(*x_->Mapped(kTitle));
    EXPECT_EQ(first->Wait(10s), 0);
  }
  const std::string copy = ReadAll(CopyPath());
  ASSERT_FALSE(copy.empty());
  auto launcher = Launch();
  std::vector<std::string> boxes;
  ASSERT_TRUE(MainWindow(&boxes)) << "the window was not built from the copy";
  EXPECT_EQ(boxes, (std::vector<std::string>{"Błąd", "ruv_virad"}));
  EXPECT_EQ(ReadAll(CopyPath()), copy);
  x_->Close(*x_->Mapped(kTitle));
  EXPECT_EQ(launcher->Wait(10s), 0);
}

// The platform the environment names to programs: X, or a Wayland one as Wayland
// desktops name it, with a Wayland display (here one that no compositor serves)
// beside XWayland's X display.
struct PlatformRow {
  const char* name;
  std::map<std::string, std::string> env;
};

void PrintTo(const PlatformRow& row, std::ostream* os) { *os << row.name; }

class LauncherPlatformE2E : public LauncherE2E, public ::testing::WithParamInterface<PlatformRow> {};

// Whatever platform is named, the launcher runs on X, where the next launcher
// finds it and closes it.
TEST_P(LauncherPlatformE2E, ASecondLauncherClosesTheFirst) {
  auto server = StartServer();
  auto first = Launch("ruv_virad.exe", GetParam().env);
  ASSERT_TRUE(MainWindow()) << "no main window on X";
  auto second = Launch("ruv_virad.exe", GetParam().env);
  EXPECT_EQ(first->Wait(20s), 0);
  ASSERT_TRUE(MainWindow());
  EXPECT_TRUE(second->Running());
  x_->Close(*x_->Mapped(kTitle));
  EXPECT_EQ(second->Wait(10s), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Platforms, LauncherPlatformE2E,
    ::testing::Values(PlatformRow{"X", {{"QT_QPA_PLATFORM", "xcb"}}},
                      PlatformRow{"Wayland", {{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", "ruv-no-compositor"}}}),
    [](const ::testing::TestParamInfo<PlatformRow>& info) { return std::string(info.param.name); });

TEST_F(LauncherE2E, AWronglyNamedCopyShowsTheNameMessageAndLeavesTheRunningOneAlone) {
  auto server = StartServer();
  auto running = Launch();
  ASSERT_TRUE(MainWindow());
  fs::copy_file(root_ / "cwd" / "ruv_virad.exe", root_ / "cwd" / "RUV_VIRAD.EXE");
  auto wrong = Launch("RUV_VIRAD.EXE");
  std::optional<xcb_window_t> box;
  ASSERT_TRUE(WaitUntil([&] { return (box = x_->Mapped("RUV_VIRAD")).has_value(); }, 20s)) << "no name message";
  EXPECT_TRUE(wrong->Running()) << "it waits for the message to be confirmed";
  x_->Close(*box);
  EXPECT_EQ(wrong->Wait(10s), 0);
  EXPECT_TRUE(running->Running());
  EXPECT_TRUE(x_->Mapped(kTitle));
}

// Another launcher's close request ends a launcher whatever it is doing, and every
// other way it ends by itself ends the process once its boxes are answered.

TEST_F(LauncherE2E, ACloseRequestWhileAFirstShowBoxIsOpenEndsTheLauncher) {
  // No server yet: the fetch fails after 5 s and its error box opens.
  auto first = Launch();
  ASSERT_TRUE(WaitUntil([&] { return x_->Mapped("Błąd").has_value(); }, 20s)) << "no box";
  auto server = StartServer();
  auto second = Launch();
  EXPECT_EQ(first->Wait(5s), 0) << "the launcher showing a box was not closed";
  ASSERT_TRUE(MainWindow()) << "the new launcher's window did not appear";
  EXPECT_TRUE(second->Running());
  int mainWindows = 0;
  for (const auto& w : x_->TopLevels()) mainWindows += w.mapped && w.title == kTitle;
  EXPECT_EQ(mainWindows, 1) << "the closed launcher went on to build its window";
  x_->Close(*x_->Mapped(kTitle));
  EXPECT_EQ(second->Wait(10s), 0);
}

TEST_F(LauncherE2E, ACloseRequestWhileTheProgressWindowShowsEndsTheLauncherWithoutStartingTheTerminal) {
  auto server = StartServer();
  const fs::path dir = root_ / "cwd" / "terminale" / "kadry";
  const std::string old = ReadAll(Env("RUV_E2E_TERMINAL_OLD"));
  WriteAll(dir / "kadry.exe", old);
  fs::permissions(dir / "kadry.exe", fs::perms::owner_all);
  // The newer program arrives slowly: about a minute at this rate.
  server->Rule("/kadry/kadry.exe", R"({"trickle": 2000})");
  auto first = Launch();
  const auto main = MainWindow();
  ASSERT_TRUE(main) << "the main window did not appear";
  x_->Click(*main, 5 + 10 + 100, 5 + 40 + 20);
  ASSERT_TRUE(WaitUntil([&] { return server->Asked("/kadry/kadry.exe"); }, 20s)) << "the update did not start";
  // The progress window takes the application's name as its title.
  ASSERT_TRUE(WaitUntil([&] { return x_->Mapped("ruv_virad").has_value(); }, 10s)) << "no progress window";

  auto second = Launch();
  EXPECT_EQ(first->Wait(5s), 0) << "the launcher running a download job was not closed";
  std::this_thread::sleep_for(1s);
  EXPECT_FALSE(fs::exists(dir / "ruv_record_args.txt")) << "the closed launcher started the terminal";
  EXPECT_EQ(ReadAll(dir / "kadry.exe"), old) << "the program file was touched";
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_EQ(entry.path().filename(), "kadry.exe") << "left behind: " << entry.path();
  ASSERT_TRUE(MainWindow()) << "the new launcher's window did not appear";
  EXPECT_TRUE(second->Running());
  x_->Close(*x_->Mapped(kTitle));
  EXPECT_EQ(second->Wait(10s), 0);
}

TEST_F(LauncherE2E, DecliningTheUpdateThenAnErrorReportEndsTheLauncher) {
  auto server = StartServer();
  std::string configuration = Configuration();
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"prog_version=\"3.0\"", "prog_version=\"9.9\""},
                                 {"<clForm value=\"clWhite\"/>", "<clForm value=\"clNoSuch\"/>"}}) {
    configuration.replace(configuration.find(from), from.size(), to);
  }
  server->Put("ruv_virad_2.xml", configuration);
  auto launcher = Launch();
  std::optional<xcb_window_t> box;
  ASSERT_TRUE(WaitUntil([&] { return (box = x_->Mapped("Ostrzeżenie")).has_value(); }, 20s)) << "no version gate";
  x_->Close(*box);  // closing the question declines it, as "Anuluj" does
  // The default error report takes the application's title.
  ASSERT_TRUE(WaitUntil([&] { return (box = x_->Mapped("ruv_virad")).has_value(); }, 20s)) << "no error report";
  x_->Close(*box);
  EXPECT_EQ(launcher->Wait(5s), 0) << "the launcher went on after the first show";
  EXPECT_FALSE(x_->Mapped(kTitle));
}

TEST_F(LauncherE2E, AFailedLoadWithoutACopyEndsTheLauncherAfterItsBoxes) {
  auto launcher = Launch();  // no server and no copy
  std::vector<std::string> boxes;
  ASSERT_TRUE(WaitUntil([&] {
    for (const auto& w : x_->TopLevels()) {
      if (!w.mapped || (w.title != "Błąd" && w.title != "ruv_virad")) continue;
      boxes.push_back(w.title);
      x_->Close(w.id);
      std::this_thread::sleep_for(300ms);
    }
    return boxes.size() >= 3;
  }, 20s)) << "boxes seen: " << boxes.size();
  EXPECT_EQ(boxes, (std::vector<std::string>{"Błąd", "ruv_virad", "Błąd"}));
  EXPECT_EQ(launcher->Wait(5s), 0) << "the launcher went on after the no-information notice";
}

// --- Memory stays bounded whatever the server sends ---

// The names in a directory, sorted.
std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The configuration without end, as fast as the launcher reads it: the launcher
// cuts it at its bound and builds its window from the copy, with the boxes of a
// failed load.
TEST_F(LauncherE2E, AnEndlessConfigurationFallsBackToTheCopyInBoundedMemory) {
  auto server = StartServer();
  server->Rule("/ruv_virad_2.xml", R"({"endless": true})");
  const std::string copy = AsCopy(Configuration());
  WriteAll(CopyPath(), copy);
  auto launcher = Launch();
  std::vector<std::string> boxes;
  ASSERT_TRUE(MainWindow(&boxes)) << "the window was not built from the copy";
  const long peak = StatusKiB(launcher->Pid(), "VmHWM:");
  RecordProperty("peak_rss_mib", std::to_string(peak / kMiB));
  EXPECT_EQ(boxes, (std::vector<std::string>{"Błąd", "ruv_virad"}));
  EXPECT_GT(peak, 0);
  EXPECT_LT(peak, 300 * kMiB) << "peak resident memory from start to window, MiB";
  EXPECT_TRUE(server->Closed("/ruv_virad_2.xml").has_value()) << "the endless configuration was not cut";
  EXPECT_EQ(ReadAll(CopyPath()), copy);
  x_->Close(*x_->Mapped(kTitle));
  EXPECT_EQ(launcher->Wait(10s), 0);
}

// A terminal's additional file without end: the launcher writes it to disk as
// it arrives, gives up at the bound for a terminal file with the job's error box,
// removes what it wrote, and starts the terminal all the same. The launcher here
// is built with a small bound, so the test writes tens of MiB, not gigabytes.
TEST_F(LauncherE2E, AnEndlessTerminalFileEndsTheJobWithItsErrorBoxInBoundedMemory) {
  const long long bound = std::stoll(Env("RUV_SMALL_TERMINAL_FILE_BYTES"));
  UseLauncher(Env("RUV_LAUNCHER_SMALL_BOUND_EXE"));
  auto server = StartServerWithDataFile();
  server->Rule("/kadry/duzy.dat", R"({"body": "0123456789abcdef", "endless": true})");
  const fs::path dir = root_ / "cwd" / "terminale" / "kadry";
  WriteAll(dir / "dane" / "inny.txt", "kept");
  auto launcher = Launch();
  const auto main = MainWindow();
  ASSERT_TRUE(main) << "the main window did not appear";
  x_->Click(*main, 5 + 10 + 100, 5 + 40 + 20);

  long peak = 0;
  std::optional<xcb_window_t> box;
  ASSERT_TRUE(WaitUntil([&] {
    peak = std::max(peak, StatusKiB(launcher->Pid(), "VmHWM:"));
    return (box = x_->Mapped("Błąd")).has_value() || !launcher->Running();
  }, 60s));
  RecordProperty("peak_rss_mib", std::to_string(peak / kMiB));
  ASSERT_TRUE(box) << "no error box for the job";
  EXPECT_LT(peak, 300 * kMiB) << "peak resident memory, MiB";
  const auto sent = server->Closed("/kadry/duzy.dat");
  ASSERT_TRUE(sent) << "the endless file's connection is still open";
  RecordProperty("bytes_sent", std::to_string(*sent));
  EXPECT_GE(*sent, bound) << "given up before the bound";
  EXPECT_LT(*sent, 2 * bound) << "not given up at the bound of this build";
  x_->Close(*box);

  ASSERT_TRUE(WaitUntil([&] { return fs::exists(dir / "ruv_record_args.txt"); }, 20s)) << "the terminal was not started";
  EXPECT_EQ(Names(dir / "dane"), std::vector<std::string>{"inny.txt"});
  EXPECT_EQ(ReadAll(dir / "dane" / "inny.txt"), "kept");
  if (launcher->Running()) x_->Close(*main);
  EXPECT_EQ(launcher->Wait(10s), 0);
}

// A 512 MiB terminal file arrives exact, and the launcher's peak memory hardly
// moves while it does.
TEST_F(LauncherE2E, ALargeTerminalFileIsFetchedExactInBoundedMemory) {
  auto server = StartServerWithDataFile();
  // 512 blocks of 1 MiB, each stamped with its number, so a piece lost, doubled
  // or out of place shows.
  const fs::path served = root_ / "served" / "kadry" / "duzy.dat";
  {
    std::ofstream out(served, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 7919) % 251);
    for (int n = 0; n < 512; ++n) {
      std::memcpy(block.data(), &n, sizeof n);
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  const fs::path dir = root_ / "cwd" / "terminale" / "kadry";
  auto launcher = Launch();
  const auto main = MainWindow();
  ASSERT_TRUE(main) << "the main window did not appear";
  const long before = StatusKiB(launcher->Pid(), "VmHWM:");
  x_->Click(*main, 5 + 10 + 100, 5 + 40 + 20);

  long peak = before;
  ASSERT_TRUE(WaitUntil([&] {
    peak = std::max(peak, StatusKiB(launcher->Pid(), "VmHWM:"));
    return fs::exists(dir / "ruv_record_args.txt");
  }, 120s)) << "the terminal was not started";
  peak = std::max(peak, StatusKiB(launcher->Pid(), "VmHWM:"));
  RecordProperty("peak_rss_before_click_mib", std::to_string(before / kMiB));
  RecordProperty("peak_rss_mib", std::to_string(peak / kMiB));
  EXPECT_GT(before, 0);
  EXPECT_LT(peak - before, 96 * kMiB) << "peak resident memory grew by that much, MiB";

  const fs::path fetched = dir / "dane" / "duzy.dat";
  ASSERT_EQ(fs::file_size(fetched), fs::file_size(served));
  std::ifstream a(served, std::ios::binary), b(fetched, std::ios::binary);
  std::string x(1 << 20, '\0'), y(1 << 20, '\0');
  for (int n = 0; n < 512; ++n) {
    a.read(x.data(), static_cast<std::streamsize>(x.size()));
    b.read(y.data(), static_cast<std::streamsize>(y.size()));
    ASSERT_TRUE(x == y) << "block " << n << " differs";
  }
  EXPECT_EQ(Names(dir / "dane"), std::vector<std::string>{"duzy.dat"});
  if (launcher->Running()) x_->Close(*main);
  EXPECT_EQ(launcher->Wait(10s), 0);
}

// --- The signals that ask a program to end ---

// What the launcher is doing when the signal comes.
enum class Moment { kWritingATerminalFile, kShowingABox };

struct SignalRow {
  int signal;
  const char* name;
  Moment moment;
};

void PrintTo(const SignalRow& row, std::ostream* os) { *os << row.name; }

class LauncherSignalE2E : public LauncherE2E, public ::testing::WithParamInterface<SignalRow> {};

// Every path below dir, hidden ones included, with its size (-1 for a directory).
std::map<std::string, long long> Listing(const fs::path& dir) {
  std::map<std::string, long long> listing;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    listing[fs::relative(entry.path(), dir).string()] =
        entry.is_directory() ? -1 : static_cast<long long>(entry.file_size());
  return listing;
}

// Whether the process has a regular file open in dir with something written to
// it: a write in progress there, whether its temporary file has a name or none.
bool WritingInto(pid_t pid, const fs::path& dir) {
  std::error_code ec;
  const fs::path where = fs::canonical(dir, ec);
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    const fs::path file = fs::read_symlink(fd.path(), ec);
    struct stat st {};
    if (!ec && file.parent_path() == where && ::stat(fd.path().c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        st.st_size > 0)
      return true;
  }
  return false;
}

// SIGTERM, SIGHUP and SIGINT end the launcher at once with exit code 0 whatever it
// is doing, as another launcher's close request does: a terminal file coming in
// behind the progress window is dropped and leaves nothing, an open box goes
// unanswered. SIGKILL, which no program can take, leaves nothing either, as the
// write's temporary file has no name.
TEST_P(LauncherSignalE2E, EndsTheLauncherAtOnceAndLeavesNoFileBehind) {
  const SignalRow& row = GetParam();
  const fs::path dir = root_ / "cwd" / "terminale" / "kadry";
  std::unique_ptr<Server> server;
  std::unique_ptr<Process> launcher;
  std::map<std::string, long long> before;
  if (row.moment == Moment::kShowingABox) {
    launcher = Launch();  // no server: the failed load's box opens after the 5 s wait
    ASSERT_TRUE(WaitUntil([&] { return x_->Mapped("Błąd").has_value(); }, 20s)) << "no box";
  } else {
    server = StartServerWithDataFile();
    // The additional file stops after its first 64 KiB, so its write stays in
    // progress behind the progress window.
    server->Put("kadry/duzy.dat", std::string(std::size_t{1} << 20, 'd'));
    server->Rule("/kadry/duzy.dat", R"({"stall": 65536})");
    WriteAll(dir / "dane" / "inny.txt", "kept");
    if (row.signal == SIGKILL) {
      const int probe = ::open((dir / "dane").c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
      if (probe < 0)
        GTEST_SKIP() << "the file system of " << dir << " has no O_TMPFILE (" << std::strerror(errno)
                     << "): a write's temporary file has a name there, which SIGKILL leaves behind";
      ::close(probe);
    }
    launcher = Launch();
    const auto main = MainWindow();
    ASSERT_TRUE(main) << "the main window did not appear";
    before = Listing(dir);
    x_->Click(*main, 5 + 10 + 100, 5 + 40 + 20);
    ASSERT_TRUE(WaitUntil([&] { return WritingInto(launcher->Pid(), dir / "dane"); }, 20s))
        << "the additional file's write did not start";
    ASSERT_TRUE(x_->Mapped("ruv_virad")) << "no progress window";
  }

  const auto sent = Clock::now();
  ::kill(launcher->Pid(), row.signal);
  // Looked at every millisecond, so the time measured is the launcher's.
  while (launcher->Running() && Clock::now() - sent < 5s) std::this_thread::sleep_for(1ms);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count();
  const std::optional<int> end = launcher->Wait(0ms);
  std::cout << row.name << " ended the launcher in " << ms << " ms\n";
  RecordProperty("end_ms", std::to_string(ms));
  // A second is the requirement; the wide margin is for busy and sanitizer runs.
  ASSERT_TRUE(end) << "still running 5 s after " << row.name;
  EXPECT_EQ(*end, row.signal == SIGKILL ? -1 : 0);
  if (row.moment == Moment::kWritingATerminalFile) {
    EXPECT_EQ(Listing(dir), before) << "files changed under " << dir;
    EXPECT_EQ(ReadAll(dir / "dane" / "inny.txt"), "kept");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, LauncherSignalE2E,
    ::testing::Values(SignalRow{SIGTERM, "SIGTERM", Moment::kWritingATerminalFile},
                      SignalRow{SIGHUP, "SIGHUP", Moment::kWritingATerminalFile},
                      SignalRow{SIGINT, "SIGINT", Moment::kWritingATerminalFile},
                      SignalRow{SIGKILL, "SIGKILL", Moment::kWritingATerminalFile},
                      SignalRow{SIGTERM, "SIGTERM", Moment::kShowingABox}),
    [](const ::testing::TestParamInfo<SignalRow>& info) {
      return std::string(info.param.name) +
             (info.param.moment == Moment::kShowingABox ? "_WithABoxOpen" : "_WhileATerminalFileIsWritten");
    });

// --- An end that never waits on output ---

// What asks the launcher to end.
enum class Request { kSigterm, kCloseRequest };

struct StuckRow {
  const char* name;
  Request request;
};

void PrintTo(const StuckRow& row, std::ostream* os) { *os << row.name; }

class LauncherStuckOutputE2E : public LauncherE2E, public ::testing::WithParamInterface<StuckRow> {};

// Where the process's main thread waits in the system ("pipe_write", or
// "anon_pipe_write" on newer kernels, while it is stuck in a write to a full pipe).
std::string MainThreadWaitsIn(pid_t pid) {
  const std::string id = std::to_string(pid);
  return ReadAll("/proc/" + id + "/task/" + id + "/wchan");
}

// Standard error a pipe of 4 KiB that nobody reads any more (a session that
// started the launcher and stopped listening), the toolkit writing its debug lines
// into it: the user-interface thread gets stuck in a write, holding the stream. A
// request to end, SIGTERM or another launcher's close request, ends the launcher
// all the same, at once and with exit code 0.
TEST_P(LauncherStuckOutputE2E, EndsAtOnceWithZeroWhileTheUserInterfaceIsStuckInAWriteToStandardError) {
  const StuckRow& row = GetParam();
  auto server = StartServer();
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  ASSERT_GE(::fcntl(fds[1], F_SETPIPE_SZ, 4096), 0);
  // Read until the main window shows, so that the launcher starts whole (its hidden
  // window for other launchers' requests included), then no more.
  std::atomic<bool> reading{true};
  std::thread reader([&] {
    char buffer[4096];
    while (reading) {
      pollfd p{fds[0], POLLIN, 0};
      if (::poll(&p, 1, 20) == 1 && ::read(fds[0], buffer, sizeof buffer) <= 0) break;
    }
  });
  auto launcher = Launch("ruv_virad.exe", {{"QT_LOGGING_RULES", "*.debug=true"}}, fds[1]);
  ::close(fds[1]);
  const auto main = MainWindow();
  reading = false;
  reader.join();
  ASSERT_TRUE(main) << "the main window did not appear";
  // Pointer events above the buttons make the toolkit write more debug lines,
  // until the pipe is full and the user-interface thread waits for a reader.
  ASSERT_TRUE(WaitUntil([&] {
    if (MainThreadWaitsIn(launcher->Pid()).find("pipe_write") != std::string::npos) return true;
    x_->Click(*main, 5 + 10 + 100, 5 + 10);
    return false;
  }, 30s)) << "the user-interface thread did not get stuck in a write; it waits in "
           << MainThreadWaitsIn(launcher->Pid());

  const auto sent = Clock::now();
  std::unique_ptr<Process> second;
  if (row.request == Request::kSigterm) {
    ::kill(launcher->Pid(), SIGTERM);
  } else {
    second = Launch();
  }
  // The close request comes once the second launcher has started, which takes a
  // moment of its own; a signal ends it within a second, and the wide margins are
  // for busy and sanitizer runs.
  const auto allowed = row.request == Request::kSigterm ? 5s : 15s;
  while (launcher->Running() && Clock::now() - sent < allowed) std::this_thread::sleep_for(1ms);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count();
  const std::optional<int> end = launcher->Wait(0ms);
  std::cout << row.name << " ended the launcher in " << ms << " ms\n";
  RecordProperty("end_ms", std::to_string(ms));
  ::close(fds[0]);
  ASSERT_TRUE(end) << "still running " << ms << " ms after the " << row.name;
  EXPECT_EQ(*end, 0);
}

INSTANTIATE_TEST_SUITE_P(Requests, LauncherStuckOutputE2E,
                         ::testing::Values(StuckRow{"SIGTERM", Request::kSigterm},
                                           StuckRow{"CloseRequest", Request::kCloseRequest}),
                         [](const ::testing::TestParamInfo<StuckRow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ruv
