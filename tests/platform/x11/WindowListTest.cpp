#include "ruv/platform/WindowList.h"

#include "ChildProcess.h"
#include "XServer.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <optional>
#include <set>
#include <thread>
#include <vector>

namespace ruv::x11 {
namespace {

constexpr const char* kTitle = "ruv_virad";

// Another program's windows, made with plain xcb.
class Client {
 public:
  Client() : c_(xcb_connect(nullptr, nullptr)) {
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    utf8_ = Atom("UTF8_STRING");
    netName_ = Atom("_NET_WM_NAME");
  }
  ~Client() { xcb_disconnect(c_); }
  // A window with the given _NET_WM_NAME (UTF-8) and WM_NAME (STRING), a
  // top-level one unless a parent is given.
  xcb_window_t Window(std::optional<std::string> netName, std::optional<std::string> name,
                      xcb_window_t parent = XCB_NONE) {
    const xcb_window_t w = xcb_generate_id(c_);
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, parent == XCB_NONE ? screen_->root : parent, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, 0, nullptr);
    created_.insert(w);
    if (netName)
      xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, netName_, utf8_, 8, netName->size(), netName->data());
    if (name)
      xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, name->size(),
                          name->data());
    xcb_map_window(c_, w);
    Sync();
    return w;
  }
  // How a window manager tells which windows it manages: WM_STATE on each
  // (ICCCM), its client list on the root (_NET_CLIENT_LIST), or both.
  enum class Marking { kWmState, kClientList, kBoth };
  // Marks the windows as managed, in the normal state, as a window manager does
  // with the windows it has put into its frames.
  void Manage(const std::vector<xcb_window_t>& windows, Marking marking) {
    if (marking != Marking::kClientList) {
      const xcb_atom_t wmState = Atom("WM_STATE");
      const uint32_t state[] = {1, XCB_NONE};
      for (xcb_window_t w : windows)
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, wmState, wmState, 32, 2, state);
    }
    if (marking != Marking::kWmState)
      xcb_change_property(c_, XCB_PROP_MODE_REPLACE, screen_->root, Atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32,
                          windows.size(), windows.data());
    Sync();
  }
  void ForgetClientList() {
    xcb_delete_property(c_, screen_->root, Atom("_NET_CLIENT_LIST"));
    Sync();
  }
  xcb_window_t Parent(xcb_window_t w) {
    auto* r = xcb_query_tree_reply(c_, xcb_query_tree(c_, w), nullptr);
    const xcb_window_t parent = r ? r->parent : xcb_window_t{XCB_NONE};
    std::free(r);
    return parent;
  }
  xcb_window_t Root() const { return screen_->root; }
  // A client message of the type to the window, carrying the atom named first.
  void Message(xcb_window_t to, const char* type, const char* first) {
    xcb_client_message_event_t msg{};
    msg.response_type = XCB_CLIENT_MESSAGE;
    msg.format = 32;
    msg.window = to;
    msg.type = Atom(type);
    msg.data.data32[0] = Atom(first);
    xcb_send_event(c_, 0, to, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&msg));
    Sync();
  }
  // Has the server close the connection of the client that made the window, as
  // when that client's link to the server breaks.
  void CutConnectionOf(xcb_window_t w) {
    xcb_kill_client(c_, w);
    Sync();
  }
  // The windows of ListTopLevelWindows that this client made, in its order.
  std::vector<TopLevelWindow> ListedOwnWindows() {
    std::vector<TopLevelWindow> out;
    for (auto& w : ListTopLevelWindows(c_, screen_->root))
      if (created_.count(w.id)) out.push_back(std::move(w));
    return out;
  }
  void Sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }
  // Windows that got a WM_PROTOCOLS client message, gathered until `until` has one.
  std::set<xcb_window_t> CloseRequests(xcb_window_t until) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!got_.count(until) && std::chrono::steady_clock::now() < deadline) {
      pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
      ::poll(&p, 1, 50);
      Drain();
    }
    Sync();
    Drain();
    return got_;
  }

 private:
  xcb_atom_t Atom(const char* name) {
    auto* r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(r);
    return a;
  }
  void Drain() {
    const xcb_atom_t protocols = Atom("WM_PROTOCOLS");
    while (xcb_generic_event_t* ev = xcb_poll_for_event(c_)) {
      const auto* msg = reinterpret_cast<const xcb_client_message_event_t*>(ev);
      if ((ev->response_type & 0x7F) == XCB_CLIENT_MESSAGE && msg->type == protocols) got_.insert(msg->window);
      std::free(ev);
    }
  }
  xcb_connection_t* c_;
  xcb_screen_t* screen_;
  xcb_atom_t utf8_, netName_;
  std::set<xcb_window_t> got_;
  std::set<xcb_window_t> created_;
};

// Waits for a close request to the window on a thread of its own, as the
// launcher's watcher does. A wait still going at the end is ended by cutting the
// window's connection, so the window must outlive the watch.
class CloseWatch {
 public:
  explicit CloseWatch(ApplicationWindow& window)
      : window_(window), wait_(std::async(std::launch::async, [&window] { return window.WaitForCloseRequest(); })) {}
  ~CloseWatch() {
    if (!Ended(std::chrono::milliseconds(0))) CutConnection();
  }
  CloseWatch(const CloseWatch&) = delete;
  CloseWatch& operator=(const CloseWatch&) = delete;
  // How the wait has ended within the time: true with a close request, false
  // with a lost connection; nothing while it still waits.
  std::optional<bool> Ended(std::chrono::milliseconds within) {
    if (!ended_ && wait_.wait_for(within) == std::future_status::ready) ended_ = wait_.get();
    return ended_;
  }
  // Cuts the window's connection from the server's side, then says how the wait
  // ended: false unless a close request had come before.
  std::optional<bool> CutConnection() {
    Client().CutConnectionOf(window_.Id());
    return Ended(std::chrono::seconds(10));
  }

 private:
  ApplicationWindow& window_;
  std::future<bool> wait_;
  std::optional<bool> ended_;
};

// Another program, in a process of its own: one mapped top-level window with
// the title (both _NET_WM_NAME and WM_NAME) that takes WM_DELETE_WINDOW and
// ends the program when asked to close, as applications do.
class WindowProgram {
 public:
  explicit WindowProgram(const std::string& title) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      Run(title, fds[1]);
    }
    ::close(fds[1]);
    // The child reports its window once the window is mapped, which under a
    // window manager is after the manager has put it into a frame.
    pollfd p{fds[0], POLLIN, 0};
    if (::poll(&p, 1, 10000) != 1 || ::read(fds[0], &window_, sizeof window_) != sizeof window_) window_ = XCB_NONE;
    ::close(fds[0]);
  }
  ~WindowProgram() {
    if (pid_ > 0 && !exitCode_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  xcb_window_t Window() const { return window_; }
  // The exit code once the program has ended within the time, -1 for a signal.
  std::optional<int> ExitCode(std::chrono::milliseconds within) {
    if (!exitCode_) exitCode_ = testing::ExitCodeWithin(pid_, within);
    return exitCode_;
  }

 private:
  [[noreturn]] static void Run(const std::string& title, int report) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) ::_exit(2);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    auto atom = [&](const char* name) {
      auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
      const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
      std::free(r);
      return a;
    };
    const xcb_atom_t protocols = atom("WM_PROTOCOLS"), deleteWindow = atom("WM_DELETE_WINDOW");
    const xcb_window_t w = xcb_generate_id(c);
    const uint32_t events[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, 120, 40, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_EVENT_MASK, events);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, title.size(),
                        title.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, title.size(), title.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, protocols, XCB_ATOM_ATOM, 32, 1, &deleteWindow);
    xcb_map_window(c, w);
    xcb_flush(c);
    while (xcb_generic_event_t* ev = xcb_wait_for_event(c)) {
      const auto type = ev->response_type & 0x7F;
      if (type == XCB_MAP_NOTIFY && ::write(report, &w, sizeof w) != sizeof w) ::_exit(3);
      const auto* msg = reinterpret_cast<const xcb_client_message_event_t*>(ev);
      if (type == XCB_CLIENT_MESSAGE && msg->type == protocols && msg->data.data32[0] == deleteWindow) ::_exit(0);
      std::free(ev);
    }
    ::_exit(4);
  }

  pid_t pid_ = -1;
  xcb_window_t window_ = XCB_NONE;
  std::optional<int> exitCode_;
};

// The tests of a suite share one private X server, with or without a window
// manager; $DISPLAY names it.
template <testing::XServer::WindowManager kWindowManager>
class OnPrivateXServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new testing::XServer(kWindowManager); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (server_->Display().empty()) GTEST_SKIP() << server_->Problem();
    ::setenv("DISPLAY", server_->Display().c_str(), 1);
  }

 private:
  static inline testing::XServer* server_ = nullptr;
};

class WindowListTest : public OnPrivateXServer<testing::XServer::WindowManager::kNone> {};

TEST_F(WindowListTest, CloseRequestGoesToEveryOtherWindowTitledExactly) {
  auto own = ApplicationWindow::Create(kTitle);
  auto other = ApplicationWindow::Create(kTitle);
  ASSERT_TRUE(own && other);
  CloseWatch ownWatch(*own), otherWatch(*other);
  Client client;
  const xcb_window_t trailingBlank = client.Window("ruv_virad ", "ruv_virad ");
  const xcb_window_t capital = client.Window("Ruv_virad", "Ruv_virad");
  const xcb_window_t oldStyle = client.Window(std::nullopt, kTitle);
  const xcb_window_t utf8Wins = client.Window(kTitle, "something else");
  const xcb_window_t utf8Differs = client.Window("ruv_virad 2", kTitle);
  const xcb_window_t untitled = client.Window(std::nullopt, std::nullopt);
  const xcb_window_t topmost = client.Window(kTitle, kTitle);  // walked last

  EXPECT_EQ(PostCloseToWindowsTitled(kTitle, own.get()), 4);

  const auto got = client.CloseRequests(topmost);
  EXPECT_EQ(got, (std::set<xcb_window_t>{oldStyle, utf8Wins, topmost}));
  for (xcb_window_t w : {trailingBlank, capital, utf8Differs, untitled}) EXPECT_FALSE(got.count(w)) << w;
  EXPECT_EQ(otherWatch.Ended(std::chrono::seconds(10)), true);
  EXPECT_EQ(ownWatch.CutConnection(), false) << "the own window is skipped";
}

TEST_F(WindowListTest, TitlesAreReadUpTo255Characters) {
  std::string title255, title300;
  for (int i = 0; i < 255; ++i) title255 += "ż";
  title300 = title255;
  for (int i = 0; i < 45; ++i) title300 += "x";
  auto window = ApplicationWindow::Create(title300);
  ASSERT_TRUE(window);
  CloseWatch watch(*window);
  EXPECT_EQ(PostCloseToWindowsTitled(title300, nullptr), 0);
  EXPECT_EQ(PostCloseToWindowsTitled(title255, nullptr), 1);
  EXPECT_EQ(watch.Ended(std::chrono::seconds(10)), true);
  EXPECT_EQ(PostCloseToWindowsTitled("", nullptr), 0) << "untitled windows are never asked to close";
}

// The wait of the launcher's watcher ends with a close request from another
// connection, or with a lost connection; other messages to the window leave it
// waiting.
TEST_F(WindowListTest, WaitingForACloseRequestEndsWithTheRequestOrALostConnection) {
  struct Case {
    const char* what;
    bool request;  // ended by a close request, else by cutting the connection
  };
  for (const Case c : {Case{"close request", true}, Case{"lost connection", false}}) {
    SCOPED_TRACE(c.what);
    auto window = ApplicationWindow::Create(kTitle);
    ASSERT_TRUE(window);
    CloseWatch watch(*window);
    Client client;
    client.Message(window->Id(), "WM_PROTOCOLS", "WM_TAKE_FOCUS");
    client.Message(window->Id(), "RUV_SOMETHING_ELSE", "WM_DELETE_WINDOW");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(watch.Ended(std::chrono::milliseconds(0))) << "ended by a message that is no close request";
    if (c.request) {
      EXPECT_EQ(PostCloseToWindowsTitled(kTitle, nullptr), 1);
      EXPECT_EQ(watch.Ended(std::chrono::seconds(10)), true);
    } else {
      EXPECT_EQ(watch.CutConnection(), false);
    }
  }
}

// Frames as a reparenting window manager builds them, made by hand on a server
// without one, marked managed in each way a manager may use: the managed window
// is marked, the frame and its decorations are not.
TEST_F(WindowListTest, ManagedWindowsAreFoundInsideTheirFramesInStackingOrder) {
  for (const auto marking : {Client::Marking::kWmState, Client::Marking::kClientList, Client::Marking::kBoth}) {
    SCOPED_TRACE(static_cast<int>(marking));
    Client client;
    const xcb_window_t bottom = client.Window(kTitle, kTitle);  // left alone by the manager
    const xcb_window_t frame = client.Window(std::nullopt, std::nullopt);
    client.Window(std::nullopt, std::nullopt, frame);  // a decoration
    const xcb_window_t wrapper = client.Window(std::nullopt, std::nullopt, frame);
    const xcb_window_t nested = client.Window(kTitle, kTitle, wrapper);
    // A frame that shows the title of what it holds, here two tabs.
    const xcb_window_t tabbed = client.Window(kTitle, kTitle);
    const xcb_window_t capitalTab = client.Window("Ruv_virad", "Ruv_virad", tabbed);
    const xcb_window_t tab = client.Window(kTitle, kTitle, tabbed);
    // An unmanaged application window: its subwindows are not top-level.
    const xcb_window_t application = client.Window(kTitle, kTitle);
    client.Window(kTitle, kTitle, application);
    // Managed where it is, by a manager that does not reparent.
    const xcb_window_t topmost = client.Window(kTitle, kTitle);
    client.Manage({topmost, nested, tab, capitalTab}, marking);

    std::vector<xcb_window_t> listed;
    for (const TopLevelWindow& w : client.ListedOwnWindows()) listed.push_back(w.id);
    EXPECT_EQ(listed, (std::vector<xcb_window_t>{bottom, nested, capitalTab, tab, application, topmost}));

    EXPECT_EQ(PostCloseToWindowsTitled(kTitle, nullptr), 5);
    EXPECT_EQ(client.CloseRequests(topmost), (std::set<xcb_window_t>{bottom, nested, tab, application, topmost}));
    client.ForgetClientList();
  }
}

class WindowListUnderOpenboxTest : public OnPrivateXServer<testing::XServer::WindowManager::kOpenbox> {};

TEST_F(WindowListUnderOpenboxTest, ProgramWindowTitledExactlyIsAskedToCloseInsideItsFrame) {
  auto own = ApplicationWindow::Create(kTitle);
  auto otherLauncher = ApplicationWindow::Create(kTitle);  // never mapped, so never put into a frame
  ASSERT_TRUE(own && otherLauncher);
  CloseWatch ownWatch(*own), otherWatch(*otherLauncher);
  WindowProgram exact(kTitle), trailingBlank("ruv_virad "), capital("Ruv_virad");
  Client x;
  for (WindowProgram* p : {&exact, &trailingBlank, &capital}) {
    ASSERT_NE(p->Window(), XCB_NONE) << "a program window was not mapped";
    EXPECT_NE(x.Parent(p->Window()), x.Root()) << "openbox did not put it into a frame";
  }
  // The managed windows are listed once each, and their frames not at all.
  std::multiset<xcb_window_t> listed;
  for (const TopLevelWindow& w : ListTopLevelWindows(nullptr, x.Root())) listed.insert(w.id);
  EXPECT_TRUE(listed.empty()) << "no connection, no windows";
  {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    for (const TopLevelWindow& w : ListTopLevelWindows(c, x.Root())) listed.insert(w.id);
    xcb_disconnect(c);
  }
  for (WindowProgram* p : {&exact, &trailingBlank, &capital}) {
    EXPECT_EQ(listed.count(p->Window()), 1u);
    EXPECT_EQ(listed.count(x.Parent(p->Window())), 0u);
  }

  EXPECT_EQ(PostCloseToWindowsTitled(kTitle, own.get()), 2);
  EXPECT_EQ(exact.ExitCode(std::chrono::seconds(5)), 0) << "the program was not asked to close";
  EXPECT_EQ(otherWatch.Ended(std::chrono::seconds(10)), true);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(trailingBlank.ExitCode(std::chrono::milliseconds(0))) << "\"ruv_virad \" was asked to close";
  EXPECT_FALSE(capital.ExitCode(std::chrono::milliseconds(0))) << "\"Ruv_virad\" was asked to close";
  EXPECT_EQ(ownWatch.CutConnection(), false) << "the own window is skipped";
}

TEST(WindowListNoDisplayTest, NothingHappensWithoutAReachableDisplay) {
  const char* saved = std::getenv("DISPLAY");
  const std::string keep = saved ? saved : "";
  for (const char* display : {static_cast<const char*>(nullptr), "", ":4711", "nonsense"}) {
    SCOPED_TRACE(display ? display : "(unset)");
    if (display) ::setenv("DISPLAY", display, 1); else ::unsetenv("DISPLAY");
    EXPECT_EQ(ApplicationWindow::Create(kTitle), nullptr);
    EXPECT_EQ(PostCloseToWindowsTitled(kTitle, nullptr), 0);
  }
  if (saved) ::setenv("DISPLAY", keep.c_str(), 1); else ::unsetenv("DISPLAY");
}

}  // namespace
}  // namespace ruv::x11
