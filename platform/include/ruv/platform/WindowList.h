#pragma once
// Launchers find and close each other through the X server's list of
// top-level windows. Every launcher owns a hidden (never mapped) top-level
// window titled with the application's title; a close request to that window
// closes the launcher. A new launcher posts such a request to every other
// top-level window of that title, its own program's or another's.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct xcb_connection_t;

namespace ruv::x11 {

// Whether $DISPLAY names an X server that accepts a connection and has the
// screen it names; the connection is closed again at once.
bool DisplayReachable();

class ApplicationWindow {
 public:
  // Connects to $DISPLAY and creates the hidden window with the title
  // (WM_NAME and _NET_WM_NAME) and WM_DELETE_WINDOW among its WM_PROTOCOLS.
  // nullptr when there is no reachable display.
  static std::unique_ptr<ApplicationWindow> Create(std::string_view title);
  ~ApplicationWindow();
  ApplicationWindow(const ApplicationWindow&) = delete;
  ApplicationWindow& operator=(const ApplicationWindow&) = delete;

  // Blocks until a close request for this window arrives (true) or the
  // connection to the X server is lost (false); every other event is dropped.
  // Meant for a thread of its own that alone uses this window from then on.
  bool WaitForCloseRequest();
  // The X window id, for skipping this window in the walk.
  std::uint32_t Id() const { return window_; }

 private:
  ApplicationWindow(xcb_connection_t* connection, std::uint32_t window, std::uint32_t protocols,
                    std::uint32_t deleteWindow);
  xcb_connection_t* connection_;
  std::uint32_t window_;
  std::uint32_t protocols_;
  std::uint32_t deleteWindow_;
};

// The title of a window as the walk reads it: _NET_WM_NAME as UTF-8, else
// WM_NAME, cut to 255 characters.
inline constexpr std::size_t kMaxTitleCharacters = 255;

struct TopLevelWindow {
  std::uint32_t id;
  std::string title;  // as read for the walk, see kMaxTitleCharacters
};

// The top-level windows of the screen whose root window is root, from the
// bottom of the stacking order upwards, each once. A window manager that
// reparents puts each window it manages into a frame of its own, a child of
// the root; the window it manages is found below the frame by the WM_STATE
// property it gets there, or by its entry in the manager's client list
// (_NET_CLIENT_LIST) where the manager keeps one. So the list holds, in the
// order of the root's children: for a child that is or holds managed windows,
// those (in tree order where a frame holds several); for any other child (no
// window manager running, a window it leaves alone such as an override-
// redirect or a never mapped one), the child itself. Costs a few round trips,
// one per level of frame nesting, whatever the number of windows.
std::vector<TopLevelWindow> ListTopLevelWindows(xcb_connection_t* connection, std::uint32_t root);

// Walks the top-level windows of $DISPLAY's default screen as
// ListTopLevelWindows does, skips own's window, and posts a close request
// (WM_PROTOCOLS / WM_DELETE_WINDOW) to every window titled exactly title,
// without waiting for any answer. Returns how many requests were posted; 0
// when there is no reachable display.
int PostCloseToWindowsTitled(std::string_view title, const ApplicationWindow* own);

}  // namespace ruv::x11
