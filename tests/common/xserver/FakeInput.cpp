#include "FakeInput.h"

#include <xcb/xtest.h>

#include <cstdlib>
#include <vector>

namespace ruv::testing {
namespace {

// The keycode whose keys carry keysym in the server's keyboard map; 0 for none.
xcb_keycode_t KeycodeOf(xcb_connection_t* c, xcb_keysym_t keysym) {
  const xcb_setup_t* setup = xcb_get_setup(c);
  const int count = setup->max_keycode - setup->min_keycode + 1;
  auto* map = xcb_get_keyboard_mapping_reply(
      c, xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<std::uint8_t>(count)), nullptr);
  if (map == nullptr) return 0;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
  const int length = xcb_get_keyboard_mapping_keysyms_length(map);
  xcb_keycode_t found = 0;
  for (int i = 0; i < length && found == 0; ++i) {
    if (syms[i] == keysym && map->keysyms_per_keycode > 0) {
      found = static_cast<xcb_keycode_t>(setup->min_keycode + i / map->keysyms_per_keycode);
    }
  }
  std::free(map);
  return found;
}

}  // namespace

std::string PressKeys(xcb_connection_t* c, std::initializer_list<xcb_keysym_t> keysyms) {
  const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(c, &xcb_test_id);
  if (xtest == nullptr || !xtest->present) return "the X server has no XTEST extension";
  std::vector<xcb_keycode_t> codes;
  for (const xcb_keysym_t keysym : keysyms) {
    const xcb_keycode_t code = KeycodeOf(c, keysym);
    if (code == 0) return "no key of the keyboard gives keysym " + std::to_string(keysym);
    codes.push_back(code);
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  for (const xcb_keycode_t code : codes) xcb_test_fake_input(c, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, root, 0, 0, 0);
  for (auto code = codes.rbegin(); code != codes.rend(); ++code)
    xcb_test_fake_input(c, XCB_KEY_RELEASE, *code, XCB_CURRENT_TIME, root, 0, 0, 0);
  // A round trip: the server has taken every event once its answer is here.
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  return xcb_connection_has_error(c) ? "the connection to the X server broke" : "";
}

}  // namespace ruv::testing
