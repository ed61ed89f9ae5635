#include "ruv/platform/WindowList.h"

#include <xcb/xcb.h>

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
};

Atoms InternAtoms(xcb_connection_t* c) {
  const char* names[] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_NAME", "UTF8_STRING"};
  xcb_intern_atom_cookie_t cookies[4];
  for (int i = 0; i < 4; ++i)
    cookies[i] = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(names[i])), names[i]);
  xcb_atom_t atoms[4] = {};
  for (int i = 0; i < 4; ++i) {
    if (xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, cookies[i], nullptr)) {
      atoms[i] = r->atom;
      std::free(r);
    }
  }
  return {atoms[0], atoms[1], atoms[2], atoms[3]};
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

int ApplicationWindow::EventFd() const { return xcb_get_file_descriptor(connection_); }

bool ApplicationWindow::ConnectionLost() const { return xcb_connection_has_error(connection_) != 0; }


bool ApplicationWindow::TakeCloseRequest() {
  bool requested = false;
  while (xcb_generic_event_t* ev = xcb_poll_for_event(connection_)) {
    requested = IsCloseRequest(ev, window_, protocols_, deleteWindow_) || requested;
    std::free(ev);
  }
  return requested;
}

bool ApplicationWindow::WaitForCloseRequest() {
  while (xcb_generic_event_t* ev = xcb_wait_for_event(connection_)) {
    const bool requested = IsCloseRequest(ev, window_, protocols_, deleteWindow_);
    std::free(ev);
    if (requested) return true;
  }
  return false;
}

int PostCloseToWindowsTitled(std::string_view title, const ApplicationWindow* own) {
  // An empty title would match every untitled window of every program.
  if (title.empty()) return 0;
  xcb_screen_t* screen = nullptr;
  xcb_connection_t* c = Connect(&screen);
  if (c == nullptr) return 0;
  const Atoms atoms = InternAtoms(c);
  int posted = 0;
  xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, screen->root), nullptr);
  if (tree != nullptr && atoms.protocols != XCB_ATOM_NONE && atoms.deleteWindow != XCB_ATOM_NONE) {
    // The children come bottom-most first. Every title is asked for before any
    // answer is read, so the walk costs one round trip, not one per window.
    const xcb_window_t* children = xcb_query_tree_children(tree);
    const int count = xcb_query_tree_children_length(tree);
    // 255 characters of UTF-8 take at most 1020 bytes: 256 units of 32 bits.
    constexpr uint32_t kUnits = (kMaxTitleCharacters * 4 + 3) / 4 + 1;
    struct Pending {
      xcb_window_t window;
      xcb_get_property_cookie_t netName, name;
    };
    std::vector<Pending> pending;
    for (int i = 0; i < count; ++i) {
      if (own != nullptr && children[i] == own->Id()) continue;
      Pending p{children[i], {}, {}};
      if (atoms.netWmName != XCB_ATOM_NONE)
        p.netName = xcb_get_property(c, 0, children[i], atoms.netWmName, atoms.utf8String, 0, kUnits);
      p.name = xcb_get_property(c, 0, children[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, kUnits);
      pending.push_back(p);
    }
    for (const auto& p : pending) {
      std::string name;
      if (atoms.netWmName != XCB_ATOM_NONE) {
        xcb_get_property_reply_t* r = xcb_get_property_reply(c, p.netName, nullptr);
        if (r != nullptr && r->type == atoms.utf8String) name = PropertyText(r);
        std::free(r);
      }
      xcb_get_property_reply_t* r = xcb_get_property_reply(c, p.name, nullptr);
      if (name.empty() && r != nullptr) {
        name = PropertyText(r);
        if (r->type == XCB_ATOM_STRING) name = Latin1ToUtf8(name);
      }
      std::free(r);
      if (CutToMaxCharacters(std::move(name)) != title) continue;
      xcb_client_message_event_t msg{};
      msg.response_type = XCB_CLIENT_MESSAGE;
      msg.format = 32;
      msg.window = p.window;
      msg.type = atoms.protocols;
      msg.data.data32[0] = atoms.deleteWindow;
      msg.data.data32[1] = XCB_CURRENT_TIME;
      xcb_send_event(c, 0, p.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&msg));
      ++posted;
    }
  }
  std::free(tree);
  // A round trip before hanging up: a server may drop the requests of a client
  // that has gone away before it read them. It waits for the server only, not
  // for the windows' owners.
  Sync(c);
  xcb_disconnect(c);
  return posted;
}

}  // namespace ruv::x11
