// The launcher program itself, under a private X server (Xvfb) with a window
// manager that reparents (openbox), as on a user's desktop, against the test
// server on the port its built-in URL template names, with a fresh home, per-user
// configuration directory and working directory per test.
//
// The launcher's windows are driven from outside through the X server, the
// windows the manager holds in its frames, not the frames: message boxes are
// dismissed with a window-manager close request (as a user closing the box does),
// and a terminal button is clicked with synthetic button events sent to the main
// window.
#include "ruv/provisioning/FileVersion.h"
#include "LauncherTestSupport.h"
#include "PortLock.h"
#include "TestDirectory.h"

#include "TopLevelWindows.h"
#include "XServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace ruv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using launcher_test::Env;
using launcher_test::ReadAll;
using launcher_test::WriteAll;
using Clock = std::chrono::steady_clock;

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// A child process, killed at the end unless it has ended.
class Process {
 public:
  Process(std::vector<std::string> args, const fs::path& cwd, const std::map<std::string, std::string>& env,
          int stdoutPipe = -1) {
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent) ::_exit(126);
      if (::chdir(cwd.c_str()) != 0) ::_exit(126);
      for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
      if (stdoutPipe >= 0) ::dup2(stdoutPipe, STDOUT_FILENO);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~Process() {
    if (pid_ > 0 && !exitCode_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  // The exit code once the process has ended (-1 for a signal).
  std::optional<int> Wait(std::chrono::milliseconds timeout) {
    WaitUntil([&] {
      int status = 0;
      if (!exitCode_ && ::waitpid(pid_, &status, WNOHANG) == pid_)
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return exitCode_.has_value();
    }, timeout);
    return exitCode_;
  }
  bool Running() { return !Wait(0ms).has_value(); }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

// What the tests look at and do on the X server.
class XClient {
 public:
  explicit XClient(const std::string& display) : windows_(display.c_str()) {
    protocols_ = windows_.Atom("WM_PROTOCOLS");
    deleteWindow_ = windows_.Atom("WM_DELETE_WINDOW");
  }

  using Window = xwatch::TopLevelWindows::Window;
  std::vector<Window> TopLevels() { return windows_.List(); }
  std::optional<xcb_window_t> Mapped(const std::string& title) {
    for (const Window& w : TopLevels())
      if (w.mapped && w.title == title) return w.id;
    return std::nullopt;
  }
  // A close request, as a window manager sends it when the user closes the window.
  void Close(xcb_window_t w) {
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = protocols_;
    ev.data.data32[0] = deleteWindow_;
    ev.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(windows_.Connection(), 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    xcb_flush(windows_.Connection());
  }
  // A left click at (x, y) of the window.
  void Click(xcb_window_t w, int x, int y) {
    xcb_connection_t* c = windows_.Connection();
    auto* geo = xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, windows_.Root(), 0, 0), nullptr);
    const int rx = geo ? geo->dst_x + x : x;
    const int ry = geo ? geo->dst_y + y : y;
    free(geo);
    for (const std::uint8_t type : {XCB_MOTION_NOTIFY, XCB_BUTTON_PRESS, XCB_BUTTON_RELEASE}) {
      xcb_button_press_event_t ev{};
      ev.response_type = type;
      ev.detail = type == XCB_MOTION_NOTIFY ? 0 : 1;
      ev.time = XCB_CURRENT_TIME;
      ev.root = windows_.Root();
      ev.event = w;
      ev.child = XCB_NONE;
      ev.root_x = static_cast<std::int16_t>(rx);
      ev.root_y = static_cast<std::int16_t>(ry);
      ev.event_x = static_cast<std::int16_t>(x);
      ev.event_y = static_cast<std::int16_t>(y);
      ev.state = type == XCB_BUTTON_RELEASE ? XCB_BUTTON_MASK_1 : 0;
      ev.same_screen = 1;
      xcb_send_event(c, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
      xcb_flush(c);
      std::this_thread::sleep_for(50ms);
    }
  }

 private:
  xwatch::TopLevelWindows windows_;
  xcb_atom_t protocols_, deleteWindow_;
};

// The test server on the launcher's built-in port.
class Server {
 public:
  explicit Server(const fs::path& root) : root_(root) {
    fs::create_directories(root);
    int fds[2];
    if (::pipe(fds) != 0) return;
    process_.emplace(std::vector<std::string>{"python3", Env("RUV_TEST_SOURCE_DIR") + "/tools/http/test_server.py",
                                              "--root", root.string(), "--port", Env("RUV_E2E_PORT"), "--log",
                                              (root.parent_path() / "requests.log").string(), "--rules",
                                              RulesPath().string()},
                     fs::current_path(), std::map<std::string, std::string>{}, fds[1]);
    ::close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    char buf[32];
    ready_ = ::poll(&p, 1, 20000) > 0 && ::read(fds[0], buf, sizeof buf) > 0;
    ::close(fds[0]);
  }
  bool Ready() const { return ready_; }
  void Put(const std::string& rel, const std::string& content) const { WriteAll(root_ / rel, content); }
  // Faults for one path, as the server script takes them, e.g. {"trickle": 2000}.
  void Rule(const std::string& path, const std::string& json) const {
    WriteAll(RulesPath().string() + ".new", "{\"" + path + "\": " + json + "}");
    fs::rename(RulesPath().string() + ".new", RulesPath());
  }
  // Whether the server has been asked for the path.
  bool Asked(const std::string& path) const {
    return ReadAll(root_.parent_path() / "requests.log").find("GET " + path + "\n") != std::string::npos;
  }
  // The body bytes the server had sent when the client closed an endless response
  // of the path; nullopt while none was closed.
  std::optional<long long> Closed(const std::string& path) const {
    const std::string log = ReadAll(root_.parent_path() / "requests.log");
    const std::string line = "CLOSED " + path + " ";
    const auto at = log.find(line);
    if (at == std::string::npos) return std::nullopt;
    return std::stoll(log.substr(at + line.size()));
  }
  void Stop() { process_.reset(); }

 private:
  fs::path RulesPath() const { return root_.parent_path() / "rules.json"; }
  fs::path root_;
  std::optional<Process> process_;
  bool ready_ = false;
};

const char* kTitle = "Programy systemu RUV v.3.0.0.3";

// What a test changes in the configuration.
struct Ustawienia {
  // A client network; the default holds no machine, 0.0.0.0/0.0.0.0 every one.
  std::string mask = "255.255.255.255";
  std::string ip = "192.0.2.77";
  // Further elements of the first terminal ("kadry"), after its icon file.
  std::string kadry;
};

std::string Configuration(const Ustawienia& u = {}) {
  std::string x = R"(<?xml version="1.0" encoding="UTF-8"?>
<ruv_virad xmlns="http://ruv.local/ruv_virad" prog_version="3.0">
<link>http://127.0.0.1:1/pomoc</link>
<clForm value="clWhite"/><clText value="clWindowText"/><clLink value="clBlue"/>
<clBtnNormal value="$00F0E0D0"/><clBtnHighlight value="clSkyBlue"/><clBtnFrame value="clNavy"/>
<clBtnText value="clNavy"/><btnWidth value="260"/><btnHeight value="40"/><topMargin value="40"/>
<margin value="10"/><textSize value="10"/><btnTextSize value="11"/>
)";
  x += "<network mask=\"" + u.mask + "\" ip=\"" + u.ip + "\"/>\n";
  for (const auto& [id, name] : {std::pair{"kadry", "Kadry i płace"}, std::pair{"magazyn", "Gospodarka magazynowa"}}) {
    x += std::string("<terminal><id>") + id + "</id><name>" + name +
         "</name><version>1.0.0.1</version><access_mode value=\"all\"/><exe_file><name>" + id +
         ".exe</name><target_path>terminale\\" + id + "</target_path><source_path>" + id +
         "</source_path></exe_file><icon_file><name>" + id + ".bmp</name><target_path>terminale\\" + id +
         "</target_path><source_path>" + id + "</source_path></icon_file>" +
         (std::string(id) == "kadry" ? u.kadry : "") + "</terminal>\n";
  }
  return x + "</ruv_virad>\n";
}

// The per-user copy holds a text with CR LF after every line.
std::string AsCopy(const std::string& text) {
  std::string out;
  for (const char ch : text) out += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  return out;
}

// A field of /proc/<pid>/status ("VmHWM:", the peak resident memory) in KiB; -1
// once the process has gone.
long StatusKiB(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + field.size());
  return -1;
}

constexpr long kMiB = 1024;  // in KiB

// The launcher's built-in port is one for the whole machine: this program holds
// it from its first test to its last (PortLock).
using ruv::testing::PortLock;

class LauncherE2E : public ::testing::Test {
 protected:
  // The port is taken before the first test of the program and kept until the
  // program ends (its lock file goes with the process), so that no other run takes
  // it between two suites.
  static void SetUpTestSuite() {
    if (port_ == nullptr && !Env("RUV_E2E_PORT").empty()) port_ = new PortLock(std::stoi(Env("RUV_E2E_PORT")));
  }
  void SetUp() override {
    if (Env("RUV_E2E_PORT").empty()) GTEST_SKIP() << "no 127.0.0.1 port in the built-in URL template";
    ASSERT_EQ(port_->Problem(), "");
    root_ = fs::temp_directory_path() / ("ruv_e2e_" + std::to_string(::getpid()) + "_" + ruv::testing::TestFileName());
    fs::remove_all(root_);
    for (const char* d : {"home", "config", "cwd"}) fs::create_directories(root_ / d);
    xserver_.emplace(testing::XServer::WindowManager::kOpenbox);
    if (xserver_->Display().empty()) GTEST_SKIP() << xserver_->Problem();
    x_.emplace(xserver_->Display());
    fs::copy_file(Env("RUV_LAUNCHER_EXE"), root_ / "cwd" / "ruv_virad.exe");
  }
  void TearDown() override {
    x_.reset();
    xserver_.reset();
    if (!root_.empty()) fs::remove_all(root_);
  }

  std::unique_ptr<Server> StartServer() {
    auto s = std::make_unique<Server>(root_ / "served");
    EXPECT_TRUE(s->Ready());
    s->Put("ruv_virad_2.xml", Configuration());
    s->Put("kadry/kadry.exe", ReadAll(Env("RUV_E2E_TERMINAL_NEW")));
    return s;
  }
  // The server, with the first terminal given one additional file, "duzy.dat" in
  // terminale\kadry\dane, and every machine inside the client network, so that
  // after a launch the launcher minimizes and stays and its memory can still be
  // read. The program file is up to date: a click fetches the icon and that file.
  std::unique_ptr<Server> StartServerWithDataFile() {
    auto s = StartServer();
    Ustawienia u{.mask = "0.0.0.0", .ip = "0.0.0.0", .kadry = "<file><name>duzy.dat</name>"
                 "<target_path>terminale\\kadry\\dane</target_path><source_path>kadry</source_path></file>"};
    s->Put("ruv_virad_2.xml", Configuration(u));
    const fs::path dir = root_ / "cwd" / "terminale" / "kadry";
    WriteAll(dir / "kadry.exe", ReadAll(Env("RUV_E2E_TERMINAL_NEW")));
    fs::permissions(dir / "kadry.exe", fs::perms::owner_all);
    return s;
  }
  // Puts another build of the launcher in place of the real one.
  void UseLauncher(const std::string& exe) {
    fs::copy_file(exe, root_ / "cwd" / "ruv_virad.exe", fs::copy_options::overwrite_existing);
  }
  std::unique_ptr<Process> Launch(const std::string& name = "ruv_virad.exe") {
    return std::make_unique<Process>(
        std::vector<std::string>{(root_ / "cwd" / name).string()}, root_ / "cwd",
        std::map<std::string, std::string>{{"DISPLAY", xserver_->Display()},
                                           {"QT_QPA_PLATFORM", "xcb"},
                                           {"HOME", (root_ / "home").string()},
                                           {"XDG_CONFIG_HOME", (root_ / "config").string()},
                                           {"no_proxy", "127.0.0.1,localhost"}});
  }
  fs::path CopyPath() const { return root_ / "config" / "SOFTWARE" / "RUV" / "RUV_VIRAD" / "version_file"; }
  // Waits for the main window, closing the boxes that come before it.
  std::optional<xcb_window_t> MainWindow(std::vector<std::string>* closedBoxes = nullptr) {
    std::optional<xcb_window_t> main;
    WaitUntil([&] {
      for (const auto& w : x_->TopLevels()) {
        if (!w.mapped) continue;
        if (w.title == kTitle) {
          main = w.id;
          return true;
        }
        if (w.title == "Błąd" || w.title == "ruv_virad") {
          if (closedBoxes) closedBoxes->push_back(w.title);
          x_->Close(w.id);
          std::this_thread::sleep_for(300ms);
        }
      }
      return false;
    }, 20s);
    return main;
  }

  static PortLock* port_;
  fs::path root_;
  std::optional<testing::XServer> xserver_;
  std::optional<XClient> x_;
};
PortLock* LauncherE2E::port_ = nullptr;

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

TEST_F(LauncherE2E, ASecondLauncherClosesTheFirst) {
  auto server = StartServer();
  auto first = Launch();
  ASSERT_TRUE(MainWindow());
  auto second = Launch();
  EXPECT_EQ(first->Wait(20s), 0);
  ASSERT_TRUE(MainWindow());
  EXPECT_TRUE(second->Running());
  x_->Close(*x_->Mapped(kTitle));
  EXPECT_EQ(second->Wait(10s), 0);
}

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

}  // namespace
}  // namespace ruv
