#pragma once
// The X server's top-level windows as seen from outside, for the programs that
// watch and drive the launcher's windows (the end-to-end tests, the benchmarks).

#include <xcb/xcb.h>

#include <string>
#include <vector>

namespace ruv::xwatch {

class TopLevelWindows {
 public:
  // Connects to display ("" or nullptr: $DISPLAY); Ok() tells whether it worked.
  explicit TopLevelWindows(const char* display);
  ~TopLevelWindows();
  TopLevelWindows(const TopLevelWindows&) = delete;
  TopLevelWindows& operator=(const TopLevelWindows&) = delete;

  bool Ok() const;
  xcb_connection_t* Connection() const { return connection_; }
  xcb_window_t Root() const { return root_; }
  xcb_atom_t Atom(const char* name);

  struct Window {
    xcb_window_t id;
    std::string title;  // _NET_WM_NAME, else WM_NAME
    bool mapped;        // viewable, its frame included
  };
  // The top-level windows as the launcher walks them (ruv::x11::ListTopLevelWindows):
  // under a window manager that reparents, the windows it manages inside their
  // frames, not the frames; bottom of the stacking order first.
  std::vector<Window> List();

 private:
  xcb_connection_t* connection_;
  xcb_window_t root_ = XCB_NONE;
};

}  // namespace ruv::xwatch
