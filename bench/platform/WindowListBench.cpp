// PostCloseToWindowsTitled, as a launcher calls it at every start (connect, walk,
// post, hang up), over a screen with many top-level windows of another program,
// none of them titled like the launcher: on a plain X server, and under openbox,
// which puts each window into a frame of its own with some fifty decoration
// windows.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "XServer.h"
#include "ruv/platform/WindowList.h"

namespace {

using ruv::testing::XServer;

// Maps count titled windows and waits until every one is mapped, by the window
// manager where there is one; false if that takes too long.
bool MapWindows(xcb_connection_t* c, int count) {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const uint32_t events[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  for (int i = 0; i < count; ++i) {
    const xcb_window_t w = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, 100, 30, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_EVENT_MASK, events);
    const std::string title = "window " + std::to_string(i);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(title.size()), title.data());
    xcb_map_window(c, w);
  }
  xcb_flush(c);
  int mapped = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (mapped < count && std::chrono::steady_clock::now() < deadline) {
    pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
    ::poll(&p, 1, 50);
    while (xcb_generic_event_t* ev = xcb_poll_for_event(c)) {
      if ((ev->response_type & 0x7F) == XCB_MAP_NOTIFY) ++mapped;
      std::free(ev);
    }
  }
  return mapped == count;
}

void Walk(benchmark::State& state, XServer::WindowManager windowManager) {
  XServer x(windowManager);
  if (x.Display().empty()) {
    state.SkipWithError(x.Problem().c_str());
    return;
  }
  ::setenv("DISPLAY", x.Display().c_str(), 1);
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (!MapWindows(c, static_cast<int>(state.range(0)))) {
    state.SkipWithError("the windows were not mapped");
  } else {
    for (auto _ : state) benchmark::DoNotOptimize(ruv::x11::PostCloseToWindowsTitled("ruv_virad", nullptr));
  }
  xcb_disconnect(c);
}

BENCHMARK_CAPTURE(Walk, plain, XServer::WindowManager::kNone)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Walk, openbox, XServer::WindowManager::kOpenbox)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
