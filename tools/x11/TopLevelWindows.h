#pragma once
// The X server's top-level windows as seen from outside, for the programs that
// watch and drive the launcher's windows (the end-to-end tests, the benchmarks).
// It reads the server on its own, as a window manager's tools do, and shares no
// code with the launcher's own walk of the windows, which the tests check.

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
  // The top-level windows, bottom of the stacking order first: for each child of
  // the root, the windows below it that carry WM_STATE (those a window manager
  // manages, inside the frames of one that reparents), or the child itself where
  // none does. Titles are read whole.
  std::vector<Window> List();

 private:
  xcb_atom_t InternAtom(const char* name, bool onlyIfExists);
  std::vector<xcb_window_t> ManagedOrTop();
  xcb_connection_t* connection_;
  xcb_window_t root_ = XCB_NONE;
};

}  // namespace ruv::xwatch
