#include "ruv/platform/WindowList.h"

#include "XServer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <thread>

namespace ruv::x11 {
namespace {

constexpr const char* kTitle = "ruv_virad";

testing::XServer* server = nullptr;

// Another program's windows, made with plain xcb.
class Client {
 public:
  Client() : c_(xcb_connect(nullptr, nullptr)) {
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    utf8_ = Atom("UTF8_STRING");
    netName_ = Atom("_NET_WM_NAME");
  }
  ~Client() { xcb_disconnect(c_); }
  // A top-level window with the given _NET_WM_NAME (UTF-8) and WM_NAME (STRING).
  xcb_window_t Window(std::optional<std::string> netName, std::optional<std::string> name) {
    const xcb_window_t w = xcb_generate_id(c_);
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, screen_->root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen_->root_visual, 0, nullptr);
    if (netName)
      xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, netName_, utf8_, 8, netName->size(), netName->data());
    if (name)
      xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, name->size(),
                          name->data());
    xcb_map_window(c_, w);
    Sync();
    return w;
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
};

bool AwaitCloseRequest(ApplicationWindow& window) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (window.TakeCloseRequest()) return true;
    pollfd p{window.EventFd(), POLLIN, 0};
    ::poll(&p, 1, 50);
  }
  return false;
}

class WindowListTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server = new testing::XServer; }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    if (server->Display().empty()) GTEST_SKIP() << server->Problem();
    ::setenv("DISPLAY", server->Display().c_str(), 1);
  }
};

TEST_F(WindowListTest, CloseRequestGoesToEveryOtherWindowTitledExactly) {
  auto own = ApplicationWindow::Create(kTitle);
  auto other = ApplicationWindow::Create(kTitle);
  ASSERT_TRUE(own && other);
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
  EXPECT_TRUE(AwaitCloseRequest(*other));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(own->TakeCloseRequest()) << "the own window is skipped";
  EXPECT_FALSE(own->ConnectionLost());
}

TEST_F(WindowListTest, TitlesAreReadUpTo255Characters) {
  std::string title255, title300;
  for (int i = 0; i < 255; ++i) title255 += "ż";
  title300 = title255;
  for (int i = 0; i < 45; ++i) title300 += "x";
  auto window = ApplicationWindow::Create(title300);
  ASSERT_TRUE(window);
  EXPECT_EQ(PostCloseToWindowsTitled(title300, nullptr), 0);
  EXPECT_EQ(PostCloseToWindowsTitled(title255, nullptr), 1);
  EXPECT_TRUE(AwaitCloseRequest(*window));
  EXPECT_EQ(PostCloseToWindowsTitled("", nullptr), 0) << "untitled windows are never asked to close";
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
