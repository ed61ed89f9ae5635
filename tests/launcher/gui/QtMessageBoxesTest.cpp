#include "TestApplication.h"
#include "ruv/launcher/QtMessageBoxes.h"
#include "ruv/launcher/WindowPlacement.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace ruv {
namespace {

using enum TMsgDlgType;
using enum TMsgDlgBtn;
using enum TModalResult;

using ruv::testing::App;

// Processes events until `done` holds (or ten seconds pass).
template <class F>
bool SpinUntil(F done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

TEST(QtMessageBoxes, BoxesShowTheirKindTitleTextAndButtons) {
  App();
  struct Case {
    TMessageBox box;
    QMessageBox::Icon icon;
    QStringList buttons;
    QString preferred;
  } cases[] = {
      {DescribeMessageDlg("a\rb\r\nc\nd <i>", mtWarning, {mbOK, mbCancel}), QMessageBox::Warning,
       {"OK", "Anuluj"}, "OK"},
      {DescribeMessageDlg("e", mtError, {mbOK}), QMessageBox::Critical, {"OK"}, "OK"},
      {DescribeMessageDlg("i", mtInformation, {mbOK}), QMessageBox::Information, {"OK"}, "OK"},
      {DescribeMessageDlg("c", mtCustom, {mbOK}), QMessageBox::NoIcon, {"OK"}, "OK"},
  };
  for (const Case& c : cases) {
    auto box = BuildMessageBox(c.box);
    EXPECT_EQ(box->icon(), c.icon);
    EXPECT_EQ(box->windowTitle().toStdString(), c.box.title);
    EXPECT_EQ(box->text(), MessageBoxText(c.box.text));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    QStringList captions;
    for (auto* b : box->buttons()) captions << b->text();
    captions.sort();
    QStringList expected = c.buttons;
    expected.sort();
    EXPECT_EQ(captions, expected);
    ASSERT_NE(box->defaultButton(), nullptr);
    EXPECT_EQ(box->defaultButton()->text(), c.preferred);
  }
  EXPECT_EQ(MessageBoxText("a\rb\r\nc\nd"), "a\nb\nc\nd");
}

// A box is never narrower than a caption beside a title bar's buttons needs; a
// box with a longer text keeps the width that text gives it.
TEST(QtMessageBoxes, ABoxIsWideEnoughForItsCaption) {
  App();
  const std::string longText(120, 'x');
  struct Case {
    TMessageBox box;
    bool widened;
  } cases[] = {
      {DescribeMessageDlg("", mtError, {mbOK}), true},
      {DescribeMessageDlg("", mtWarning, {mbOK, mbCancel}), true},
      {DescribeMessageDlg("ok", mtInformation, {mbOK}), true},
      {DescribeMessageDlg("", mtCustom, {mbOK}), true},
      {DescribeMessageDlg(longText, mtError, {mbOK}), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box.title + ": " + c.box.text);
    auto box = BuildMessageBox(c.box);
    box->show();
    QCoreApplication::processEvents();
    EXPECT_GE(box->width(), kNajmniejszaSzerokoscSkrzynki);
    EXPECT_EQ(box->minimumWidth(), box->maximumWidth()) << "the box's size is fixed";
    if (c.widened) {
      EXPECT_EQ(box->width(), kNajmniejszaSzerokoscSkrzynki);
    } else {
      EXPECT_GT(box->width(), kNajmniejszaSzerokoscSkrzynki) << "a long text's box was cut";
    }
    // A change of layout fits the box to its contents again, and again no narrower.
    box->setText("");
    QCoreApplication::sendPostedEvents(box.get(), QEvent::LayoutRequest);
    EXPECT_GE(box->width(), kNajmniejszaSzerokoscSkrzynki);
    box->hide();
  }
}

// A user's answer to the box that is open.
enum class TUserAction { ClickOK, ClickCancel, Escape, Close };

TEST(QtMessageBoxes, AWorkerWaitsForTheAnswerGivenOnTheUserInterfaceThread) {
  App();
  struct Case {
    TMsgDlgButtons buttons;
    TUserAction action;
    TModalResult result;
  } cases[] = {
      {{mbOK, mbCancel}, TUserAction::ClickOK, mrOK},
      {{mbOK, mbCancel}, TUserAction::ClickCancel, mrCancel},
      {{mbOK, mbCancel}, TUserAction::Escape, mrCancel},
      {{mbOK}, TUserAction::Escape, mrNone},
      {{mbOK}, TUserAction::Close, mrNone},
  };
  TQtMessageBoxes boxes;
  for (const Case& c : cases) {
    std::atomic<bool> answered{false};
    TModalResult result = mrNone;
    std::thread worker([&] {
      result = boxes.Show(DescribeMessageDlg("Pytanie", mtWarning, c.buttons));
      answered = true;
    });
    // The box runs its own modal loop, so the user is played by a timer.
    QString title;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
      auto* open = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!open) return;
      user.stop();
      title = open->windowTitle();
      auto button = [&](const char* caption) -> QAbstractButton* {
        for (auto* b : open->buttons()) {
          if (b->text() == caption) return b;
        }
        return nullptr;
      };
      switch (c.action) {
        case TUserAction::ClickOK: button("OK")->click(); break;
        case TUserAction::ClickCancel: button("Anuluj")->click(); break;
        case TUserAction::Escape: {
          QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
          QApplication::sendEvent(open, &key);
          break;
        }
        case TUserAction::Close: open->close(); break;
      }
    });
    user.start(5);
    EXPECT_TRUE(SpinUntil([&] { return answered.load(); }));
    worker.join();
    EXPECT_EQ(title, QString("Ostrzeżenie"));
    EXPECT_EQ(result, c.result) << static_cast<int>(c.action);
  }
}

}  // namespace
}  // namespace ruv
