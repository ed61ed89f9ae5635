#include "ruv/platform/WindowList.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ruv/platform/Text.h"

namespace ruv::x11 {
namespace {

struct Atoms {
  xcb_atom_t protocols = XCB_ATOM_NONE;
  xcb_atom_t deleteWindow = XCB_ATOM_NONE;
  xcb_atom_t netWmName = XCB_ATOM_NONE;
  xcb_atom_t utf8String = XCB_ATOM_NONE;
  // None when no window manager has ever run on the server: then no window
  // has the property.
  xcb_atom_t wmState = XCB_ATOM_NONE;
  xcb_atom_t netClientList = XCB_ATOM_NONE;
};

Atoms InternAtoms(xcb_connection_t* c) {
  struct Name {
    const char* text;
    bool onlyIfExists;
  };
  constexpr Name names[] = {
      {"WM_PROTOCOLS", false}, {"WM_DELETE_WINDOW", false}, {"_NET_WM_NAME", false},
      {"UTF8_STRING", false},  {"WM_STATE", true},         {"_NET_CLIENT_LIST", true},
  };
  constexpr int kCount = sizeof names / sizeof names[0];
  xcb_intern_atom_cookie_t cookies[kCount];
  for (int i = 0; i < kCount; ++i)
    cookies[i] = xcb_intern_atom(c, names[i].onlyIfExists ? 1 : 0, static_cast<uint16_t>(std::strlen(names[i].text)),
                                 names[i].text);
  xcb_atom_t atoms[kCount] = {};
  for (int i = 0; i < kCount; ++i) {
    if (xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, cookies[i], nullptr)) {
      atoms[i] = r->atom;
      std::free(r);
    }
  }
  return {atoms[0], atoms[1], atoms[2], atoms[3], atoms[4], atoms[5]};
}

// A connection to $DISPLAY and its default screen, or nothing.
xcb_connection_t* Connect(xcb_screen_t** screen) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0') return nullptr;
  int number = 0;
  xcb_connection_t* c = xcb_connect(display, &number);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return nullptr;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < number && it.rem > 0; ++i) xcb_screen_next(&it);
  if (it.rem == 0) {
    xcb_disconnect(c);
    return nullptr;
  }
  *screen = it.data;
  return c;
}

bool IsAscii(std::string_view s) {
  for (unsigned char ch : s)
    if (ch >= 0x80) return false;
  return true;
}

std::string PropertyText(xcb_get_property_reply_t* r) {
  if (r == nullptr || r->format != 8) return {};
  const int length = xcb_get_property_value_length(r);
  return std::string(static_cast<const char*>(xcb_get_property_value(r)), static_cast<size_t>(length));
}

// Latin-1, the encoding of a STRING property, as UTF-8.
std::string Latin1ToUtf8(std::string_view s) {
  std::u32string cps(s.begin(), s.end());
  for (auto& cp : cps) cp &= 0xFF;
  return text::Utf32ToUtf8(cps);
}

std::string CutToMaxCharacters(std::string title) {
  std::u32string cps = text::Utf8ToUtf32(title);
  if (cps.size() <= kMaxTitleCharacters) return title;
  cps.resize(kMaxTitleCharacters);
  return text::Utf32ToUtf8(cps);
}

// Whether the event is a window manager's close request (WM_DELETE_WINDOW) for window.
bool IsCloseRequest(const xcb_generic_event_t* ev, xcb_window_t window, xcb_atom_t protocols,
                    xcb_atom_t deleteWindow) {
  if ((ev->response_type & 0x7F) != XCB_CLIENT_MESSAGE) return false;
  const auto* msg = reinterpret_cast<const xcb_client_message_event_t*>(ev);
  return msg->window == window && msg->format == 32 && msg->type == protocols && msg->data.data32[0] == deleteWindow;
}

// Waits until the server has handled every request sent so far.
void Sync(xcb_connection_t* c) { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }

}  // namespace

bool DisplayReachable() {
  xcb_screen_t* screen = nullptr;
  xcb_connection_t* c = Connect(&screen);
  if (c == nullptr) return false;
  xcb_disconnect(c);
  return true;
}

ApplicationWindow::ApplicationWindow(xcb_connection_t* connection, std::uint32_t window, std::uint32_t protocols,
                                     std::uint32_t deleteWindow)
    : connection_(connection), window_(window), protocols_(protocols), deleteWindow_(deleteWindow) {}

std::unique_ptr<ApplicationWindow> ApplicationWindow::Create(std::string_view title) {
  xcb_screen_t* screen = nullptr;
  xcb_connection_t* c = Connect(&screen);
  if (c == nullptr) return nullptr;
  const Atoms atoms = InternAtoms(c);
  if (atoms.protocols == XCB_ATOM_NONE || atoms.deleteWindow == XCB_ATOM_NONE) {
    xcb_disconnect(c);
    return nullptr;
  }
  const xcb_window_t window = xcb_generate_id(c);
  // An input-only window that is never mapped: it shows nothing and takes no
  // input, and window managers leave it alone.
  const uint32_t values[] = {1};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, values);
  const auto length = static_cast<uint32_t>(title.size());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                      IsAscii(title) ? xcb_atom_t{XCB_ATOM_STRING} : atoms.utf8String, 8, length, title.data());
  if (atoms.netWmName != XCB_ATOM_NONE && atoms.utf8String != XCB_ATOM_NONE)
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atoms.netWmName, atoms.utf8String, 8, length, title.data());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atoms.protocols, XCB_ATOM_ATOM, 32, 1, &atoms.deleteWindow);
  // A round trip, so the window and its title exist on the server before
  // another launcher may look for them.
  Sync(c);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return nullptr;
  }
  return std::unique_ptr<ApplicationWindow>(new ApplicationWindow(c, window, atoms.protocols, atoms.deleteWindow));
}

ApplicationWindow::~ApplicationWindow() {
  if (!xcb_connection_has_error(connection_)) {
    xcb_destroy_window(connection_, window_);
    xcb_flush(connection_);
  }
  xcb_disconnect(connection_);
}

bool ApplicationWindow::WaitForCloseRequest() {
  while (xcb_generic_event_t* ev = xcb_wait_for_event(connection_)) {
    const bool requested = IsCloseRequest(ev, window_, protocols_, deleteWindow_);
    std::free(ev);
    if (requested) return true;
  }
  return false;
}

namespace {

// How deep below a child of the root a managed window is looked for: window
// managers nest it a level or two inside their frame.
constexpr int kMaxFrameDepth = 8;
// How many entries of the window manager's client list are read.
constexpr uint32_t kMaxListedClients = 1 << 16;

// The windows the window manager names in its client list (_NET_CLIENT_LIST),
// sorted; empty when it keeps none.
std::vector<xcb_window_t> ListedClients(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
  std::vector<xcb_window_t> out;
  xcb_get_property_reply_t* r = xcb_get_property_reply(c, cookie, nullptr);
  if (r != nullptr && r->type == XCB_ATOM_WINDOW && r->format == 32) {
    const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(r));
    out.assign(ids, ids + xcb_get_property_value_length(r) / 4);
  }
  std::free(r);
  std::sort(out.begin(), out.end());
  return out;
}

// The windows of ListTopLevelWindows, without their titles. The tree is read a
// level at a time, every window of a level asked for at once. A managed window
// carries WM_STATE (ICCCM); one in the window manager's client list is known
// to be managed without asking, so below a frame that holds it nothing more is
// asked: a frame's decorations can be many windows.
std::vector<xcb_window_t> TopLevelWindowIds(xcb_connection_t* c, xcb_window_t root, const Atoms& atoms) {
  const xcb_query_tree_cookie_t rootTree = xcb_query_tree(c, root);
  xcb_get_property_cookie_t clientList{};
  if (atoms.netClientList != XCB_ATOM_NONE)
    clientList = xcb_get_property(c, 0, root, atoms.netClientList, XCB_ATOM_WINDOW, 0, kMaxListedClients);
  const std::vector<xcb_window_t> listed =
      atoms.netClientList != XCB_ATOM_NONE ? ListedClients(c, clientList) : std::vector<xcb_window_t>{};
  xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, rootTree, nullptr);
  if (tree == nullptr) return {};

  struct Node {
    xcb_window_t window;
    std::size_t top;  // the child of the root it lies below
    std::vector<std::size_t> children;
    bool managed;
  };
  std::vector<Node> nodes;
  const auto tops = static_cast<std::size_t>(xcb_query_tree_children_length(tree));
  std::vector<bool> holdsManaged(tops, false);
  auto add = [&](xcb_window_t window, std::size_t top) {
    const bool managed = std::binary_search(listed.begin(), listed.end(), window);
    if (managed) holdsManaged[top] = true;
    nodes.push_back({window, top, {}, managed});
    return nodes.size() - 1;
  };
  {
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (std::size_t i = 0; i < tops; ++i) add(children[i], i);
    std::free(tree);
  }

  std::vector<std::size_t> level;
  for (std::size_t i = 0; i < tops; ++i)
    if (!holdsManaged[i]) level.push_back(i);
  const bool anyManaged = atoms.wmState != XCB_ATOM_NONE || !listed.empty();
  for (int depth = 0; anyManaged && depth <= kMaxFrameDepth && !level.empty(); ++depth) {
    struct Asked {
      xcb_get_property_cookie_t state;
      xcb_query_tree_cookie_t tree;
    };
    std::vector<Asked> asked;
    asked.reserve(level.size());
    for (const std::size_t n : level) {
      Asked a{};
      // Only whether WM_STATE is there matters: none of its value is read.
      if (atoms.wmState != XCB_ATOM_NONE)
        a.state = xcb_get_property(c, 0, nodes[n].window, atoms.wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0);
      a.tree = xcb_query_tree(c, nodes[n].window);
      asked.push_back(a);
    }
    std::vector<std::size_t> next;
    for (std::size_t k = 0; k < level.size(); ++k) {
      const std::size_t n = level[k];
      if (atoms.wmState != XCB_ATOM_NONE) {
        xcb_get_property_reply_t* state = xcb_get_property_reply(c, asked[k].state, nullptr);
        nodes[n].managed = state != nullptr && state->type != XCB_ATOM_NONE;
        std::free(state);
      }
      xcb_query_tree_reply_t* below = xcb_query_tree_reply(c, asked[k].tree, nullptr);
      if (nodes[n].managed) {
        holdsManaged[nodes[n].top] = true;
      } else if (below != nullptr && depth < kMaxFrameDepth) {
        const xcb_window_t* children = xcb_query_tree_children(below);
        const int count = xcb_query_tree_children_length(below);
        for (int i = 0; i < count; ++i) {
          const std::size_t child = add(children[i], nodes[n].top);
          nodes[n].children.push_back(child);
          next.push_back(child);
        }
      }
      std::free(below);
    }
    // A frame holds its managed windows at one depth: below a child of the
    // root where they have been found, the rest is decoration.
    level.clear();
    for (const std::size_t n : next)
      if (!holdsManaged[nodes[n].top]) level.push_back(n);
  }

  std::vector<xcb_window_t> out;
  std::vector<std::size_t> stack;
  for (std::size_t top = 0; top < tops; ++top) {
    if (!holdsManaged[top]) {
      out.push_back(nodes[top].window);
      continue;
    }
    // Bottom to top inside the frame: a window lies below its children, and
    // of siblings the first is the bottom-most.
    stack.assign(1, top);
    while (!stack.empty()) {
      const std::size_t n = stack.back();
      stack.pop_back();
      if (nodes[n].managed) out.push_back(nodes[n].window);
      stack.insert(stack.end(), nodes[n].children.rbegin(), nodes[n].children.rend());
    }
  }
  return out;
}

std::vector<TopLevelWindow> ListWindows(xcb_connection_t* c, xcb_window_t root, const Atoms& atoms) {
  const std::vector<xcb_window_t> ids = TopLevelWindowIds(c, root, atoms);
  // Every title is asked for before any answer is read, so the titles cost one
  // round trip, not one per window. 255 characters of UTF-8 take at most 1020
  // bytes: 256 units of 32 bits.
  constexpr uint32_t kUnits = (kMaxTitleCharacters * 4 + 3) / 4 + 1;
  struct Asked {
    xcb_get_property_cookie_t netName, name;
  };
  std::vector<Asked> asked;
  asked.reserve(ids.size());
  for (const xcb_window_t w : ids) {
    Asked a{};
    if (atoms.netWmName != XCB_ATOM_NONE)
      a.netName = xcb_get_property(c, 0, w, atoms.netWmName, atoms.utf8String, 0, kUnits);
    a.name = xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, kUnits);
    asked.push_back(a);
  }
  std::vector<TopLevelWindow> out;
  out.reserve(ids.size());
  for (std::size_t i = 0; i < ids.size(); ++i) {
    std::string name;
    if (atoms.netWmName != XCB_ATOM_NONE) {
      xcb_get_property_reply_t* r = xcb_get_property_reply(c, asked[i].netName, nullptr);
      if (r != nullptr && r->type == atoms.utf8String) name = PropertyText(r);
      std::free(r);
    }
    xcb_get_property_reply_t* r = xcb_get_property_reply(c, asked[i].name, nullptr);
    if (name.empty() && r != nullptr) {
      name = PropertyText(r);
      if (r->type == XCB_ATOM_STRING) name = Latin1ToUtf8(name);
    }
    std::free(r);
    out.push_back({ids[i], CutToMaxCharacters(std::move(name))});
  }
  return out;
}

}  // namespace

std::vector<TopLevelWindow> ListTopLevelWindows(xcb_connection_t* connection, std::uint32_t root) {
  if (connection == nullptr || xcb_connection_has_error(connection)) return {};
  return ListWindows(connection, root, InternAtoms(connection));
}

int PostCloseToWindowsTitled(std::string_view title, const ApplicationWindow* own) {
  // An empty title would match every untitled window of every program.
  if (title.empty()) return 0;
  xcb_screen_t* screen = nullptr;
  xcb_connection_t* c = Connect(&screen);
  if (c == nullptr) return 0;
  const Atoms atoms = InternAtoms(c);
  int posted = 0;
  if (atoms.protocols != XCB_ATOM_NONE && atoms.deleteWindow != XCB_ATOM_NONE) {
    for (const TopLevelWindow& w : ListWindows(c, screen->root, atoms)) {
      if ((own != nullptr && w.id == own->Id()) || w.title != title) continue;
      xcb_client_message_event_t msg{};
      msg.response_type = XCB_CLIENT_MESSAGE;
      msg.format = 32;
      msg.window = w.id;
      msg.type = atoms.protocols;
      msg.data.data32[0] = atoms.deleteWindow;
      msg.data.data32[1] = XCB_CURRENT_TIME;
      xcb_send_event(c, 0, w.id, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&msg));
      ++posted;
    }
  }
  // A round trip before hanging up: a server may drop the requests of a client
  // that has gone away before it read them. It waits for the server only, not
  // for the windows' owners.
  Sync(c);
  xcb_disconnect(c);
  return posted;
}

}  // namespace ruv::x11
