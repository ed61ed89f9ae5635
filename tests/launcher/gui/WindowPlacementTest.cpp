// Where the launcher's windows go: a frame kept to the screen's work area.
#include "TestApplication.h"
#include "ruv/launcher/WindowPlacement.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace ruv {
namespace {

using ruv::testing::App;

TEST(WindowPlacement, AFrameKeepsItsTopLeftCornerInTheArea) {
  const QRect screen(0, 0, 1024, 768);
  const QRect belowAPanel(0, 30, 1024, 738);
  const QRect secondScreen(1024, 0, 1280, 1024);
  struct Case {
    const char* what;
    QRect frame;
    QRect area;
    QPoint kept;
  } cases[] = {
      {"inside stays", {100, 100, 300, 200}, screen, {100, 100}},
      {"the whole area stays", {0, 0, 1024, 768}, screen, {0, 0}},
      {"taller than the area, centred", {362, -149, 300, 1066}, screen, {362, 0}},
      {"wider and taller", {-88, -149, 1200, 1066}, screen, {0, 0}},
      {"wider, past the right edge", {500, 100, 1200, 200}, screen, {0, 100}},
      {"past the right edge", {900, 100, 300, 200}, screen, {724, 100}},
      {"past the bottom edge", {100, 740, 368, 60}, screen, {100, 708}},
      {"far past the bottom", {100, 2000, 368, 60}, screen, {100, 708}},
      {"above and left of the area", {-50, -20, 100, 100}, screen, {0, 0}},
      {"under a panel", {100, 10, 300, 200}, belowAPanel, {100, 30}},
      {"taller than the area under a panel", {100, -100, 300, 1000}, belowAPanel, {100, 30}},
      {"on a second screen", {900, 100, 200, 100}, secondScreen, {1024, 100}},
      {"larger than a second screen", {1000, -500, 1500, 2000}, secondScreen, {1024, 0}},
      {"no area", {-5, -5, 10, 10}, QRect(), {-5, -5}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeepInArea(c.frame, c.area), c.kept) << c.what;
  }
}

TEST(WindowPlacement, AWindowIsCentredThenKeptInTheArea) {
  App();
  const QRect screen(0, 0, 1024, 768);
  struct Case {
    const char* what;
    QSize size;
    QPoint centre;
    QPoint kept;
  } cases[] = {
      {"fits", {300, 200}, {511, 383}, {361, 283}},
      {"taller than the area", {300, 1066}, {511, 383}, {361, 0}},
      {"centred on a window near the bottom", {368, 60}, {511, 760}, {327, 708}},
  };
  for (const Case& c : cases) {
    QWidget window;  // never shown: its frame is the window itself
    window.resize(c.size);
    CentreInArea(window, c.centre, screen);
    EXPECT_EQ(window.frameGeometry().topLeft(), c.kept) << c.what;
  }
}

}  // namespace
}  // namespace ruv
