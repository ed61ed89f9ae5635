#include "TopLevelWindows.h"

#include <cstdlib>
#include <cstring>

namespace ruv::xwatch {

TopLevelWindows::TopLevelWindows(const char* display)
    : connection_(xcb_connect(display && *display ? display : nullptr, nullptr)) {
  if (!Ok()) return;
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  netWmName_ = Atom("_NET_WM_NAME");
  utf8_ = Atom("UTF8_STRING");
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
  auto* tree = xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr);
  if (tree == nullptr) return out;
  const xcb_window_t* children = xcb_query_tree_children(tree);
  for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
    auto* attrs =
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, children[i]), nullptr);
    const bool mapped = attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attrs);
    std::string title = Property(children[i], netWmName_, utf8_);
    if (title.empty()) title = Property(children[i], XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
    out.push_back({children[i], std::move(title), mapped});
  }
  std::free(tree);
  return out;
}

std::string TopLevelWindows::Property(xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
  auto* r = xcb_get_property_reply(connection_, xcb_get_property(connection_, 0, w, property, type, 0, 1024), nullptr);
  std::string s;
  if (r)
    s.assign(static_cast<const char*>(xcb_get_property_value(r)), static_cast<std::size_t>(xcb_get_property_value_length(r)));
  std::free(r);
  return s;
}

}  // namespace ruv::xwatch
