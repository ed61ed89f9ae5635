#pragma once
// The launcher program itself, under a private X server (Xvfb) with a window
// manager that reparents (openbox), as on a user's desktop, against the test
// server on the port its built-in URL template names, with a fresh home, per-user
// configuration directory and working directory per test: the fixture of the
// launcher's end-to-end tests.
//
// The launcher's windows are driven from outside through the X server, the
// windows the manager holds in its frames, not the frames: message boxes are
// dismissed with a window-manager close request (as a user closing the box does),
// a terminal button is clicked with synthetic button events sent to the main
// window, and keys are pressed through the XTEST extension, as on a keyboard.
#include "LauncherTestSupport.h"
#include "PortLock.h"
#include "TestDirectory.h"

#include "FakeInput.h"
#include "TopLevelWindows.h"
#include "XServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ruv::launcher_test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
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
          int stdoutPipe = -1, int stderrPipe = -1) {
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent) ::_exit(126);
      if (::chdir(cwd.c_str()) != 0) ::_exit(126);
      for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
      if (stdoutPipe >= 0) ::dup2(stdoutPipe, STDOUT_FILENO);
      if (stderrPipe >= 0) ::dup2(stderrPipe, STDERR_FILENO);
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
  // Presses keys through XTEST, as on the keyboard: {testing::kKeyAltL,
  // testing::kKeyF4} is Alt+F4. Empty once the server has them, else what failed.
  std::string Keys(std::initializer_list<xcb_keysym_t> keysyms) {
    return testing::PressKeys(windows_.Connection(), keysyms);
  }

  // Where a window is on the screen, and its frame: the border and caption the
  // window manager puts around it.
  struct Placement {
    int x = 0, y = 0, width = 0, height = 0;      // the window itself, on the root
    int left = 0, right = 0, top = 0, bottom = 0;  // the frame's extents around it
    bool framed = false;                           // whether the manager named them
  };
  std::optional<Placement> Place(xcb_window_t w) {
    xcb_connection_t* c = windows_.Connection();
    auto* at = xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, windows_.Root(), 0, 0), nullptr);
    auto* size = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    auto* frame = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, windows_.Atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 0, 4), nullptr);
    std::optional<Placement> place;
    if (at != nullptr && size != nullptr) {
      place = Placement{.x = at->dst_x, .y = at->dst_y, .width = size->width, .height = size->height};
      if (frame != nullptr && frame->format == 32 && xcb_get_property_value_length(frame) == 16) {
        const auto* extents = static_cast<const std::uint32_t*>(xcb_get_property_value(frame));
        place->left = static_cast<int>(extents[0]);
        place->right = static_cast<int>(extents[1]);
        place->top = static_cast<int>(extents[2]);
        place->bottom = static_cast<int>(extents[3]);
        place->framed = true;
      }
    }
    free(at);
    free(size);
    free(frame);
    return place;
  }
  // The window the window manager has made active (_NET_ACTIVE_WINDOW): the one
  // that has the keyboard.
  std::optional<xcb_window_t> Active() {
    xcb_connection_t* c = windows_.Connection();
    auto* active = xcb_get_property_reply(
        c, xcb_get_property(c, 0, windows_.Root(), windows_.Atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 0, 1),
        nullptr);
    std::optional<xcb_window_t> window;
    if (active != nullptr && active->format == 32 && xcb_get_property_value_length(active) == 4)
      window = *static_cast<const xcb_window_t*>(xcb_get_property_value(active));
    free(active);
    return window;
  }
  // The screen's width and height.
  std::pair<int, int> Screen() const {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(windows_.Connection())).data;
    return {screen->width_in_pixels, screen->height_in_pixels};
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

inline constexpr const char* kTitle = "Programy systemu RUV v.3.0.0.3";

// What a test changes in the configuration.
struct Ustawienia {
  // A client network; the default holds no machine, 0.0.0.0/0.0.0.0 every one.
  std::string mask = "255.255.255.255";
  std::string ip = "192.0.2.77";
  // Further elements of the first terminal ("kadry"), after its icon file.
  std::string kadry;
};

inline std::string Configuration(const Ustawienia& u = {}) {
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
inline std::string AsCopy(const std::string& text) {
  std::string out;
  for (const char ch : text) out += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  return out;
}


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
  // Starts the launcher on the X server; entries of env add to its environment or
  // replace the ones set here; its standard error goes to stderrPipe where given.
  std::unique_ptr<Process> Launch(const std::string& name = "ruv_virad.exe",
                                  std::map<std::string, std::string> env = {}, int stderrPipe = -1) {
    env.insert({{"DISPLAY", xserver_->Display()},
                {"QT_QPA_PLATFORM", "xcb"},
                {"HOME", (root_ / "home").string()},
                {"XDG_CONFIG_HOME", (root_ / "config").string()},
                {"no_proxy", "127.0.0.1,localhost"}});
    return std::make_unique<Process>(std::vector<std::string>{(root_ / "cwd" / name).string()}, root_ / "cwd", env,
                                     -1, stderrPipe);
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

  static inline PortLock* port_ = nullptr;
  fs::path root_;
  std::optional<testing::XServer> xserver_;
  std::optional<XClient> x_;
};

}  // namespace ruv::launcher_test
