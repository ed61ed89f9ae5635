#include "TopLevelWindows.h"

#include <cstdlib>
#include <cstring>

namespace ruv::xwatch {
namespace {

template <class Reply>
struct Freed {
  Reply* reply;
  ~Freed() { std::free(reply); }
};

// Latin-1, the encoding of a STRING property, as UTF-8.
std::string Latin1ToUtf8(const std::string& s) {
  std::string out;
  for (const unsigned char c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

TopLevelWindows::TopLevelWindows(const char* display)
    : connection_(xcb_connect(display && *display ? display : nullptr, nullptr)) {
  if (!Ok()) return;
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

TopLevelWindows::~TopLevelWindows() { xcb_disconnect(connection_); }

bool TopLevelWindows::Ok() const { return xcb_connection_has_error(connection_) == 0; }

xcb_atom_t TopLevelWindows::Atom(const char* name) { return InternAtom(name, false); }

xcb_atom_t TopLevelWindows::InternAtom(const char* name, bool onlyIfExists) {
  auto* r = xcb_intern_atom_reply(
      connection_,
      xcb_intern_atom(connection_, onlyIfExists ? 1 : 0, static_cast<std::uint16_t>(std::strlen(name)), name),
      nullptr);
  const xcb_atom_t a = r ? r->atom : XCB_NONE;
  std::free(r);
  return a;
}

std::vector<xcb_window_t> TopLevelWindows::ManagedOrTop() {
  xcb_connection_t* c = connection_;
  // Never made here: where no window manager has ever run, no window is managed.
  const xcb_atom_t wmState = InternAtom("WM_STATE", true);
  const Freed<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(c, xcb_query_tree(c, root_), nullptr)};
  if (tree.reply == nullptr) return {};
  const xcb_window_t* tops = xcb_query_tree_children(tree.reply);
  const auto count = static_cast<std::size_t>(xcb_query_tree_children_length(tree.reply));

  // The windows below each child of the root are read a level at a time, all of
  // a level asked for at once; a window with WM_STATE is a managed one, and what
  // lies below it is its own.
  std::vector<std::vector<xcb_window_t>> managed(count);
  struct Node {
    xcb_window_t window;
    std::size_t top;
  };
  std::vector<Node> level;
  for (std::size_t i = 0; i < count; ++i) level.push_back({tops[i], i});
  while (wmState != XCB_NONE && !level.empty()) {
    std::vector<xcb_get_property_cookie_t> states;
    std::vector<xcb_query_tree_cookie_t> trees;
    for (const Node& n : level) {
      states.push_back(xcb_get_property(c, 0, n.window, wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0));
      trees.push_back(xcb_query_tree(c, n.window));
    }
    std::vector<Node> next;
    for (std::size_t k = 0; k < level.size(); ++k) {
      const Freed<xcb_get_property_reply_t> state{xcb_get_property_reply(c, states[k], nullptr)};
      const Freed<xcb_query_tree_reply_t> below{xcb_query_tree_reply(c, trees[k], nullptr)};
      if (state.reply != nullptr && state.reply->type != XCB_NONE) {
        managed[level[k].top].push_back(level[k].window);
      } else if (below.reply != nullptr) {
        const xcb_window_t* children = xcb_query_tree_children(below.reply);
        for (int i = 0; i < xcb_query_tree_children_length(below.reply); ++i) next.push_back({children[i], level[k].top});
      }
    }
    level = std::move(next);
  }

  std::vector<xcb_window_t> out;
  for (std::size_t i = 0; i < count; ++i) {
    if (managed[i].empty()) {
      out.push_back(tops[i]);
    } else {
      out.insert(out.end(), managed[i].begin(), managed[i].end());
    }
  }
  return out;
}

std::vector<TopLevelWindows::Window> TopLevelWindows::List() {
  xcb_connection_t* c = connection_;
  const xcb_atom_t netWmName = Atom("_NET_WM_NAME");
  const xcb_atom_t utf8 = Atom("UTF8_STRING");
  const std::vector<xcb_window_t> windows = ManagedOrTop();
  struct Asked {
    xcb_get_property_cookie_t netName, name;
    xcb_get_window_attributes_cookie_t attributes;
  };
  std::vector<Asked> asked;
  for (const xcb_window_t w : windows) {
    asked.push_back({xcb_get_property(c, 0, w, netWmName, utf8, 0, 1 << 16),
                     xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 16),
                     xcb_get_window_attributes(c, w)});
  }
  std::vector<Window> out;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const Freed<xcb_get_property_reply_t> netName{xcb_get_property_reply(c, asked[i].netName, nullptr)};
    const Freed<xcb_get_property_reply_t> name{xcb_get_property_reply(c, asked[i].name, nullptr)};
    const Freed<xcb_get_window_attributes_reply_t> attributes{
        xcb_get_window_attributes_reply(c, asked[i].attributes, nullptr)};
    auto text = [](const xcb_get_property_reply_t* r) {
      return std::string(static_cast<const char*>(xcb_get_property_value(r)),
                         static_cast<std::size_t>(xcb_get_property_value_length(r)));
    };
    std::string title;
    if (netName.reply != nullptr && netName.reply->type == utf8 && netName.reply->format == 8) {
      title = text(netName.reply);
    } else if (name.reply != nullptr && name.reply->format == 8) {
      title = text(name.reply);
      if (name.reply->type == XCB_ATOM_STRING) title = Latin1ToUtf8(title);
    }
    // Viewable: mapped, and so is every window above it up to the root.
    const bool mapped = attributes.reply != nullptr && attributes.reply->map_state == XCB_MAP_STATE_VIEWABLE;
    out.push_back({windows[i], std::move(title), mapped});
  }
  return out;
}

}  // namespace ruv::xwatch
