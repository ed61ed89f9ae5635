#include "TopLevelWindows.h"

#include "ruv/platform/WindowList.h"

#include <cstdlib>
#include <cstring>

namespace ruv::xwatch {

TopLevelWindows::TopLevelWindows(const char* display)
    : connection_(xcb_connect(display && *display ? display : nullptr, nullptr)) {
  if (!Ok()) return;
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

TopLevelWindows::~TopLevelWindows() { xcb_disconnect(connection_); }

bool TopLevelWindows::Ok() const { return xcb_connection_has_error(connection_) == 0; }

xcb_atom_t TopLevelWindows::Atom(const char* name) {
  auto* r = xcb_intern_atom_reply(
      connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = r ? r->atom : XCB_NONE;
  std::free(r);
  return a;
}

std::vector<TopLevelWindows::Window> TopLevelWindows::List() {
  std::vector<Window> out;
  const std::vector<x11::TopLevelWindow> windows = x11::ListTopLevelWindows(connection_, root_);
  std::vector<xcb_get_window_attributes_cookie_t> asked;
  asked.reserve(windows.size());
  for (const auto& w : windows) asked.push_back(xcb_get_window_attributes(connection_, w.id));
  for (std::size_t i = 0; i < windows.size(); ++i) {
    auto* attrs = xcb_get_window_attributes_reply(connection_, asked[i], nullptr);
    // Viewable: mapped, and so is every window above it up to the root.
    const bool mapped = attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attrs);
    out.push_back({windows[i].id, windows[i].title, mapped});
  }
  return out;
}

}  // namespace ruv::xwatch
