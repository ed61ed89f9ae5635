// The launcher's windows as the window manager keeps them (the fixture in
// LauncherE2E.h, on a 1024 x 768 screen with openbox): a window taller than the
// screen keeps its caption and its first button on it, a window with nothing in
// it keeps a caption and a close button that work, and a box with an empty text
// is wide enough for its caption.
#include "LauncherE2E.h"

#include <gtest/gtest.h>

namespace ruv {
namespace {

using namespace launcher_test;

// The configuration with `extra` more terminals after the two of Configuration(),
// each without an icon.
std::string WithMoreTerminals(std::string configuration, int extra) {
  std::string terminals;
  for (int i = 0; i < extra; ++i) {
    const std::string id = "dodatkowy" + std::to_string(i);
    terminals += "<terminal><id>" + id + "</id><name>Terminal " + std::to_string(i) +
                 "</name><version>1.0.0.1</version><access_mode value=\"all\"/><exe_file><name>" + id +
                 ".exe</name><target_path>terminale\\" + id + "</target_path><source_path>" + id +
                 "</source_path></exe_file><icon_file><name></name><target_path>terminale\\" + id +
                 "</target_path><source_path>" + id + "</source_path></icon_file></terminal>\n";
  }
  const std::string end = "</ruv_virad>";
  configuration.insert(configuration.rfind(end), terminals);
  return configuration;
}

class LauncherWindowsE2E : public LauncherE2E {
 protected:
  // The window's place once the window manager has framed it.
  std::optional<XClient::Placement> Framed(xcb_window_t w) {
    std::optional<XClient::Placement> place;
    WaitUntil([&] { return (place = x_->Place(w)).has_value() && place->framed; }, 10s);
    return place;
  }
  // Presses keys once the window manager has given the window the keyboard.
  void KeysTo(xcb_window_t w, std::initializer_list<xcb_keysym_t> keys) {
    ASSERT_TRUE(WaitUntil([&] { return x_->Active() == w; }, 10s)) << "the window did not get the keyboard";
    ASSERT_EQ(x_->Keys(keys), "");
  }
};

// 24 terminals with buttons 40 pixels high make the window taller than the
// 768-pixel screen. Centred, its caption and first terminals would lie above the
// screen; the window's frame starts at the screen's top edge instead, centred
// across, and reaches past the bottom edge.
TEST_F(LauncherWindowsE2E, ATallWindowKeepsItsCaptionAndFirstButtonOnTheScreen) {
  auto server = StartServer();
  server->Put("ruv_virad_2.xml", WithMoreTerminals(Configuration(), 22));
  auto launcher = Launch();
  const auto main = MainWindow();
  ASSERT_TRUE(main) << "the main window did not appear";
  const auto place = Framed(*main);
  ASSERT_TRUE(place) << "the window manager did not frame the window";
  const auto [screenWidth, screenHeight] = x_->Screen();
  ASSERT_EQ(screenHeight, 768);
  RecordProperty("frame_top", std::to_string(place->y - place->top));
  // 24 rows of 42 pixels below the top margin of 40, the margin, the border.
  EXPECT_EQ(place->height, 5 + 40 + 24 * 42 - 2 + 10 + 5);
  EXPECT_GE(place->y - place->top, 0) << "the caption lies above the screen";
  EXPECT_GE(place->x - place->left, 0);
  const int frameWidth = place->left + place->width + place->right;
  EXPECT_NEAR(place->x - place->left + frameWidth / 2, screenWidth / 2, 10) << "no longer centred across";
  // Button t0 at (margin, topMargin) inside the 5-pixel border, 260 x 40.
  const int buttonLeft = place->x + 5 + 10;
  const int buttonTop = place->y + 5 + 40;
  EXPECT_GE(buttonLeft, 0);
  EXPECT_LE(buttonLeft + 260, screenWidth);
  EXPECT_GE(buttonTop, 0) << "the first button lies above the screen";
  EXPECT_LE(buttonTop + 40, screenHeight);
  x_->Close(*main);
  EXPECT_EQ(launcher->Wait(10s), 0);
}

// The version gate answered with OK while the server has no downloader: the
// hand-over fails with its error report, and the window stays as far as it was
// built, with nothing in it. It is wide enough for its caption and its close
// button, and closing it through the window manager (Alt+F4) ends the launcher.
TEST_F(LauncherWindowsE2E, AnEmptyWindowAfterAFailedHandOverKeepsAUsableCaptionAndAltF4EndsTheLauncher) {
  auto server = StartServer();
  std::string configuration = Configuration();
  const std::string required = "prog_version=\"3.0\"";
  configuration.replace(configuration.find(required), required.size(), "prog_version=\"9.9\"");
  server->Put("ruv_virad_2.xml", configuration);
  auto launcher = Launch();
  std::optional<xcb_window_t> box;
  ASSERT_TRUE(WaitUntil([&] { return (box = x_->Mapped("Ostrzeżenie")).has_value(); }, 20s)) << "no version gate";
  KeysTo(*box, {testing::kKeyReturn});  // "OK", the box's default button
  ASSERT_TRUE(WaitUntil([&] { return (box = x_->Mapped("ruv_virad")).has_value(); }, 20s))
      << "no error report for the failed hand-over";
  EXPECT_TRUE(server->Asked("/ruv_virad_downloader.exe")) << "the downloader was not asked for";
  x_->Close(*box);

  // Not built past the gate: the caption has no version.
  std::optional<xcb_window_t> main;
  ASSERT_TRUE(WaitUntil([&] { return (main = x_->Mapped("Programy systemu RUV")).has_value(); }, 20s))
      << "the window did not stay";
  const auto place = Framed(*main);
  ASSERT_TRUE(place) << "the window manager did not frame the window";
  RecordProperty("window_width", std::to_string(place->width));
  EXPECT_GE(place->width, 120) << "a speck of a window";
  EXPECT_GE(place->left + place->width + place->right, 136) << "narrower with its frame than a captioned window";
  EXPECT_TRUE(launcher->Running());
  KeysTo(*main, {testing::kKeyAltL, testing::kKeyF4});
  EXPECT_EQ(launcher->Wait(10s), 0) << "Alt+F4 did not end the launcher";
}

// A failed server load on a first run: the first box, "Błąd", has an empty text,
// and is wide enough that its caption shows beside the title bar's buttons.
TEST_F(LauncherWindowsE2E, TheEmptyErrorBoxOfAFailedLoadIsWideEnoughForItsCaption) {
  auto launcher = Launch();  // no server and no copy
  std::optional<xcb_window_t> box;
  ASSERT_TRUE(WaitUntil([&] { return (box = x_->Mapped("Błąd")).has_value(); }, 20s)) << "no box";
  const auto place = Framed(*box);
  ASSERT_TRUE(place) << "the window manager did not frame the box";
  RecordProperty("box_width", std::to_string(place->width));
  EXPECT_GE(place->width, 150) << "the title bar's buttons cover the caption";
  // The boxes after it and the launcher's end: AFailedLoadWithoutACopyEndsTheLauncherAfterItsBoxes.
}

}  // namespace
}  // namespace ruv
