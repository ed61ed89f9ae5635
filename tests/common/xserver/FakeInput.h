#pragma once
// Keys pressed on an X server through its XTEST extension: the server takes them
// as it takes a keyboard's, so they go where the keyboard focus is and the window
// manager's key bindings see them.

#include <xcb/xcb.h>

#include <initializer_list>
#include <string>

namespace ruv::testing {

// Presses the keys of `keysyms` in order, then lets them go in reverse order, as
// a hand does for Alt+F4 ({XK_Alt_L, XK_F4}). Returns an empty text once the
// server has taken the events, else what failed (no XTEST, a key not on the
// keyboard).
std::string PressKeys(xcb_connection_t* connection, std::initializer_list<xcb_keysym_t> keysyms);

// Keysyms the tests use.
inline constexpr xcb_keysym_t kKeyReturn = 0xff0d;
inline constexpr xcb_keysym_t kKeyAltL = 0xffe9;
inline constexpr xcb_keysym_t kKeyF4 = 0xffc1;

}  // namespace ruv::testing
