#include "ruv/support/MessageBoxes.h"
#include "ruv/support/ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace ruv {
namespace {

using enum TMsgDlgType;
using enum TMsgDlgBtn;
using enum TModalResult;

TEST(MessageBoxes, BoxesAreTitledByKindAndOkIsTheDefault) {
  struct Case {
    TMsgDlgType kind;
    TMsgDlgButtons buttons;
    const char* title;
    TMsgDlgBtn preferred;
  } cases[] = {
      {mtWarning, {mbOK, mbCancel}, "Ostrzeżenie", mbOK},
      {mtError, {mbOK}, "Błąd", mbOK},
      {mtInformation, {mbOK}, "Komunikat", mbOK},
      {mtCustom, {mbOK}, "ruv_virad", mbOK},
      {mtWarning, {mbCancel}, "Ostrzeżenie", mbCancel},
  };
  for (const Case& c : cases) {
    const TMessageBox box = DescribeMessageDlg("text", c.kind, c.buttons);
    EXPECT_EQ(box.kind, c.kind);
    EXPECT_EQ(box.title, c.title);
    EXPECT_EQ(box.text, "text");
    EXPECT_TRUE(box.buttons == c.buttons) << c.title;
    EXPECT_EQ(box.defaultButton, c.preferred) << c.title;
  }
  // A box without buttons could not be confirmed: it gets "OK".
  EXPECT_TRUE(DescribeMessageDlg("x", mtError, {}).buttons == TMsgDlgButtons{mbOK});
}

TEST(MessageBoxes, FreeFunctionsGoThroughTheInstalledServiceAndReturnItsAnswer) {
  TScopedScriptedMessageBoxes boxes(mrNone);
  boxes->Answer(mrCancel);
  boxes->Answer(mrOK);
  EXPECT_EQ(MessageDlg("Czy pobrać?", mtWarning, {mbOK, mbCancel}), mrCancel);
  EXPECT_EQ(MessageDlg("Czy pobrać?", mtWarning, {mbOK, mbCancel}), mrOK);
  EXPECT_EQ(MessageDlg("again", mtWarning, {mbOK}), mrNone) << "script ran out";

  SetApplicationTitle("inny");
  ShowMessage("plain");
  ShowErrorReport("broken");
  SetApplicationTitle("ruv_virad");
  const auto shown = boxes->Shown();
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[3].kind, mtCustom);
  EXPECT_EQ(shown[3].title, "inny");
  EXPECT_EQ(shown[3].text, "plain");
  EXPECT_EQ(shown[4].kind, mtError);
  EXPECT_EQ(shown[4].title, "inny") << "the error report carries the application's title";
  EXPECT_TRUE(shown[4].buttons == TMsgDlgButtons{mbOK});
}

TEST(MessageBoxes, ScriptedBoxesFromManyThreadsAreAllRecorded) {
  TScopedScriptedMessageBoxes boxes;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 25; ++i) EXPECT_EQ(MessageDlg("x", mtInformation, {mbOK}), mrOK);
    });
  }
  EXPECT_TRUE(boxes->WaitForBoxes(100, std::chrono::seconds(10)));
  for (auto& th : threads) th.join();
  EXPECT_EQ(boxes->Shown().size(), 100u);
}

}  // namespace
}  // namespace ruv
