#include "XServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

extern char** environ;

namespace ruv::testing {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Enough for openbox to manage windows; no menus or mouse bindings, one desktop,
// new windows take the focus and Alt+F4 closes the focused one, as on a user's
// desktop.
constexpr const char* kOpenboxConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><number>1</number></desktops>
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy></placement>
  <keyboard><keybind key="A-F4"><action name="Close"/></keybind></keyboard>
</openbox_config>
)";

// Starts program (searched on PATH) with the environment env, its standard
// streams on /dev/null; keep stays open in the child. The child is killed when
// the test program ends.
pid_t Spawn(std::vector<std::string> args, std::vector<std::string> env, int keep = -1) {
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(126);
  const int null = ::open("/dev/null", O_RDWR);
  if (null < 0 || null == keep) ::_exit(126);
  ::dup2(null, 0), ::dup2(null, 1), ::dup2(null, 2);
  ::close(null);
  ::execvpe(argv[0], argv.data(), envp.data());
  ::_exit(127);
}

// Asks the process to end, and kills it when it has not ended within a while.
void End(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  const auto deadline = Clock::now() + 5s;
  while (::waitpid(pid, nullptr, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      return;
    }
    std::this_thread::sleep_for(5ms);
  }
}

bool Ended(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == pid; }

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/" + program;
    if (end > start && ::access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

xcb_atom_t Intern(xcb_connection_t* c, const char* name) {
  auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(r);
  return a;
}

// True once a window manager has claimed the display: the WM_S0 selection is
// owned and the root names the manager's check window.
bool WindowManagerClaimed(xcb_connection_t* c, xcb_window_t root) {
  auto* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, Intern(c, "WM_S0")), nullptr);
  const bool owned = owner != nullptr && owner->owner != XCB_NONE;
  std::free(owner);
  auto* check = xcb_get_property_reply(
      c, xcb_get_property(c, 0, root, Intern(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 0, 1), nullptr);
  const bool named = check != nullptr && xcb_get_property_value_length(check) == 4;
  std::free(check);
  return owned && named;
}

// True once a window mapped now is mapped by the window manager. Right after
// it has claimed the display, openbox may still drop a map request it gets
// while it sets itself up; so a probe window is mapped, again every while,
// until the manager has mapped it, then destroyed.
bool WindowManagerMapsWindows(xcb_connection_t* c, xcb_window_t root, Clock::time_point deadline) {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_window_t probe = xcb_generate_id(c);
  const uint32_t events[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    screen->root_visual, XCB_CW_EVENT_MASK, events);
  bool mapped = false;
  auto again = Clock::now();
  while (!mapped && Clock::now() < deadline && !xcb_connection_has_error(c)) {
    if (Clock::now() >= again) {
      xcb_map_window(c, probe);
      xcb_flush(c);
      again = Clock::now() + 50ms;
    }
    pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
    ::poll(&p, 1, 20);
    while (xcb_generic_event_t* ev = xcb_poll_for_event(c)) {
      if ((ev->response_type & 0x7F) == XCB_MAP_NOTIFY) mapped = true;
      std::free(ev);
    }
  }
  xcb_destroy_window(c, probe);
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  return mapped;
}

}  // namespace

XServer::XServer(WindowManager windowManager) {
  if (!StartXvfb() || (windowManager == WindowManager::kOpenbox && !StartOpenbox())) {
    Stop();
    display_.clear();
  }
}

XServer::~XServer() { Stop(); }

bool XServer::StartXvfb() {
  if (!OnPath("Xvfb")) {
    problem_ = "Xvfb is not installed";
    return false;
  }
  int fds[2];
  if (::pipe(fds) != 0) {
    problem_ = "no pipe for Xvfb's display number";
    return false;
  }
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  xvfb_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                 "-noreset"},
                env, fds[1]);
  ::close(fds[1]);
  // Xvfb writes the number once it accepts connections.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  char ch = 0;
  while (::poll(&p, 1, 10000) == 1 && ::read(fds[0], &ch, 1) == 1 && ch != '\n') number += ch;
  ::close(fds[0]);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    problem_ = "Xvfb did not start";
    return false;
  }
  display_ = ":" + number;
  return true;
}

bool XServer::StartOpenbox() {
  if (!OnPath("openbox")) {
    problem_ = "openbox is not installed";
    return false;
  }
  // A home of its own, so that no user's configuration, menu or autostart is read.
  std::string dir = (std::filesystem::temp_directory_path() / "ruv_openbox_XXXXXX").string();
  if (::mkdtemp(dir.data()) == nullptr) {
    problem_ = "no temporary directory for openbox";
    return false;
  }
  home_ = dir;
  const auto config = home_ / "rc.xml";
  std::ofstream(config) << kOpenboxConfig;
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (name == "DISPLAY" || name == "HOME" || name.rfind("XDG_", 0) == 0 || name == "SESSION_MANAGER") continue;
    env.push_back(entry);
  }
  env.push_back("DISPLAY=" + display_);
  env.push_back("HOME=" + home_.string());
  for (const char* xdg : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_CONFIG_DIRS"})
    env.push_back(std::string(xdg) + "=" + home_.string());
  env.push_back("XDG_RUNTIME_DIR=" + home_.string());
  windowManager_ = Spawn({"openbox", "--sm-disable", "--config-file", config.string()}, env);

  xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
  bool runs = false;
  if (!xcb_connection_has_error(c)) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const auto deadline = Clock::now() + 10s;
    bool claimed = false;
    while (!(claimed = WindowManagerClaimed(c, root)) && Clock::now() < deadline) {
      if (Ended(windowManager_)) {
        windowManager_ = -1;
        break;
      }
      std::this_thread::sleep_for(10ms);
    }
    runs = claimed && WindowManagerMapsWindows(c, root, deadline);
  }
  xcb_disconnect(c);
  if (!runs) {
    problem_ = "openbox did not take the display";
    return false;
  }
  return true;
}

void XServer::Stop() {
  End(windowManager_);
  windowManager_ = -1;
  End(xvfb_);
  xvfb_ = -1;
  if (!home_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
    home_.clear();
  }
}

}  // namespace ruv::testing
