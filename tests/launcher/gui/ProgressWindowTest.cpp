#include "TestApplication.h"
#include "ruv/launcher/QtMessageBoxes.h"
#include "ruv/launcher/RunnableWithProgressExecuterWithForm.h"
#include "ruv/launcher/SpringInit.h"
#include "ruv/platform/Exception.h"
#include "ruv/support/ScriptedMessageBoxes.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <thread>

namespace ruv {
namespace {

using namespace std::chrono_literals;
using Window = TRunnableWithProgressExecuterWithForm;

using ruv::testing::App;

// What the window shows, read on the user-interface thread.
struct TView {
  std::string numer, komunikat;
  int position = 0, maximum = 0;
  bool visible = false;
  std::string Text() const {
    return numer + "|" + komunikat + "|" + std::to_string(position) + "/" + std::to_string(maximum) +
           (visible ? "" : "|hidden");
  }
};

TView ViewOf(Window* w) {
  TView v;
  v.numer = w->labelNumer()->text().toStdString();
  v.komunikat = w->labelKomunikat()->text().toStdString();
  v.position = w->progressBar()->value();
  v.maximum = w->progressBar()->maximum();
  v.visible = w->isVisible();
  return v;
}

// Called from the job's worker thread: waits until the window has applied every
// call made so far (they arrive in order) and reads it.
TView ViewFromWorker(Window* w) {
  TView v;
  QMetaObject::invokeMethod(w, [&] { v = ViewOf(w); }, Qt::BlockingQueuedConnection);
  return v;
}

class ProgressWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { App(); }
  void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

struct TRunCase {
  const char* name;
  int count;
  std::vector<std::string> steps;  // t:<msg> tick, m:<n> more ticks, f finished, r:<msg> raise
  std::vector<std::string> views;  // the window before the first step and after each step
};

class ProgressWindowRun : public ProgressWindowTest, public ::testing::WithParamInterface<TRunCase> {};

TEST_P(ProgressWindowRun, ShowsEveryStepAndClosesWhenTheJobEnds) {
  const TRunCase& c = GetParam();
  TScopedScriptedMessageBoxes boxes;
  auto window = Window::Create();
  Window* w = window.get();
  std::vector<std::string> seen;
  std::string raised;
  auto job = TRunnableWithProgressGeneric::Create(
      [&](const std::shared_ptr<TProgressListener>& l) {
        seen.push_back(ViewFromWorker(w).Text());
        for (const std::string& s : c.steps) {
          const std::string arg = s.size() > 2 ? s.substr(2) : "";
          if (s[0] == 't') l->tick(arg);
          if (s[0] == 'm') l->addMoreTicks(std::stoi(arg));
          if (s[0] == 'f') l->finished();
          if (s[0] == 'r') {
            raised = arg;
            throw Exception(arg);
          }
          seen.push_back(ViewFromWorker(w).Text());
        }
      },
      c.count);
  window->Execute(job);
  // Execute has returned: the window is hidden and its bar reset.
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(w->progressBar()->value(), 0);
  ASSERT_TRUE(w->watek()->WaitFor(10s));
  EXPECT_EQ(seen, c.views);
  const auto shown = boxes->Shown();
  if (raised.empty()) {
    EXPECT_TRUE(shown.empty());
  } else {
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, TMsgDlgType::mtError);
    EXPECT_EQ(shown[0].text, "Process interrupted with message:\r" + raised);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ProgressWindowRun,
    ::testing::Values(
        TRunCase{"FiveTicks", 5, {"t:a", "t:b", "t:c", "t:d", "t:e"},
                 {"<->|<->|0/5", "1/5|a|1/5", "2/5|b|2/5", "3/5|c|3/5", "4/5|d|4/5", "5/5|e|5/5"}},
        TRunCase{"TickPastTheMaximum", 2, {"t:a", "t:b", "t:c"},
                 {"<->|<->|0/2", "1/2|a|1/2", "2/2|b|2/2", "2/2|c|2/2"}},
        TRunCase{"FewerTicks", 5, {"t:a", "t:b"}, {"<->|<->|0/5", "1/5|a|1/5", "2/5|b|2/5"}},
        TRunCase{"AddMoreTicks", 5, {"t:a", "m:3", "t:b"},
                 {"<->|<->|0/5", "1/5|a|1/5", "1/5|a|1/8", "2/8|b|2/8"}},
        TRunCase{"RaiseAfterSecondTick", 4, {"t:pierwszy", "t:drugi", "r:Niemożliwe było sciągnięcie pliku"},
                 {"<->|<->|0/4", "1/4|pierwszy|1/4", "2/4|drugi|2/4"}},
        TRunCase{"EarlyFinishedKeepsTheWindowOpen", 3, {"t:a", "f", "t:b", "t:c"},
                 {"<->|<->|0/3", "1/3|a|1/3", "1/3|a|1/3", "2/3|b|2/3", "3/3|c|3/3"}},
        TRunCase{"NothingToDo", 1, {}, {"<->|<->|0/1"}},
        TRunCase{"NoTicksAnnouncedStillRuns", 0, {"t:a", "t:b"},
                 {"<->|<->|0/1", "1/1|a|1/1", "1/1|b|1/1"}},
        TRunCase{"TextsAreShownAsTheyAre", 1, {"t:<b>żółw</b> 100%"},
                 {"<->|<->|0/1", "1/1|<b>żółw</b> 100%|1/1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgressWindowTest, ABorderlessModalWindowCentredOnTheMainWindow) {
  QWidget main;
  main.setGeometry(200, 150, 640, 480);
  main.show();
  main.activateWindow();
  auto window = Window::Create();
  Window* w = window.get();
  QRect frame, mainFrame;
  Qt::WindowFlags flags;
  bool modal = false;
  QFont font;
  window->Execute(TRunnableWithProgressGeneric::Create(
      [&](const std::shared_ptr<TProgressListener>&) {
        QMetaObject::invokeMethod(
            w,
            [&] {
              frame = w->frameGeometry();
              mainFrame = main.frameGeometry();
              flags = w->windowFlags();
              modal = w->isModal() && QApplication::activeModalWidget() == w;
              font = w->font();
            },
            Qt::BlockingQueuedConnection);
      },
      1));
  EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(flags.testFlag(Qt::Dialog));
  EXPECT_TRUE(modal);
  EXPECT_EQ(w->size(), QSize(368, 60));
  EXPECT_EQ(w->parentWidget(), nullptr);
  EXPECT_LE((frame.center() - mainFrame.center()).manhattanLength(), 2);
  EXPECT_EQ(font.family(), "Tahoma");
  EXPECT_EQ(font.pointSize(), 8);
  EXPECT_EQ(w->Panel1()->geometry(), QRect(3, 3, 362, 54));
  EXPECT_EQ(w->progressBar()->geometry(), QRect(3, 3, 356, 17));
  EXPECT_EQ(w->labelNumer()->geometry(), QRect(0, 20, 362, 13));
  EXPECT_EQ(w->labelKomunikat()->geometry(), QRect(3, 36, 356, 13));
  EXPECT_TRUE(w->labelNumer()->font().bold());
  EXPECT_EQ(w->labelNumer()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_EQ(w->labelKomunikat()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
  EXPECT_EQ(w->progressBar()->minimum(), 0);
}

// A main window taller than the screen reaches past its bottom edge, so that its
// centre may lie below the screen: the progress window stays on the screen.
TEST_F(ProgressWindowTest, CentredOnAMainWindowPastTheScreenItStaysOnTheScreen) {
  QWidget main;
  main.show();
  const QRect area = main.screen()->availableGeometry();
  main.setGeometry(area.x() + 100, area.y() + area.height() - 200, 400, 2 * area.height());
  main.activateWindow();
  auto window = Window::Create();
  Window* w = window.get();
  QRect frame;
  window->Execute(TRunnableWithProgressGeneric::Create(
      [&](const std::shared_ptr<TProgressListener>&) {
        QMetaObject::invokeMethod(w, [&] { frame = w->frameGeometry(); }, Qt::BlockingQueuedConnection);
      },
      1));
  EXPECT_TRUE(area.contains(frame)) << "the progress window left the screen";
  EXPECT_EQ(frame.bottom(), area.bottom());
  EXPECT_LE(std::abs(frame.center().x() - main.frameGeometry().center().x()), 1) << "no longer centred across";
}

TEST_F(ProgressWindowTest, ContainerMakesANewOwnerlessWindowPerResolution) {
  di::TContainer container;
  const auto before = QApplication::topLevelWidgets().size();
  SpringInit(container);
  EXPECT_EQ(QApplication::topLevelWidgets().size(), before) << "registering creates no window";
  container.Build();
  di::TServiceLocator locator(container);
  auto a = locator.GetService<TProcedureWithProgressExecuter>();
  auto b = locator.GetService<TProcedureWithProgressExecuter>();
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  auto* wa = dynamic_cast<Window*>(a.get());
  ASSERT_NE(wa, nullptr);
  EXPECT_EQ(wa->parentWidget(), nullptr);
  EXPECT_THROW(locator.GetService<TProgressListener>(), EContainerResolveError);
}

TEST_F(ProgressWindowTest, WindowWorkerDecoratorAndJobAreReleasedAfterTheRun) {
  TScopedScriptedMessageBoxes boxes;
  for (const char* step : {"ok", "raise"}) {
    auto window = Window::Create();
    QPointer<Window> alive(window.get());
    auto job = TRunnableWithProgressGeneric::Create(
        [step](const std::shared_ptr<TProgressListener>& l) {
          l->tick("x");
          if (std::string(step) == "raise") throw Exception("boom");
        },
        1);
    std::weak_ptr<TRunnableWithProgress> weakJob = job;
    window->Execute(std::move(job));
    ASSERT_TRUE(window->watek()->WaitFor(10s));
    EXPECT_TRUE(weakJob.expired()) << step;
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull()) << step << ": the window is deleted with its last reference";
  }
}

// The real boxes, with the request reaching the user-interface thread only some time
// after the worker has said finished(): the moment the modal loop has already ended.
class TLateQtMessageBoxes final : public IMessageBoxes {
 public:
  TModalResult Show(const TMessageBox& box) override {
    std::this_thread::sleep_for(100ms);
    return qt_.Show(box);
  }

 private:
  TQtMessageBoxes qt_;
};

TEST_F(ProgressWindowTest, AFailedJobsErrorBoxIsAnsweredBeforeExecuteReturns) {
  auto previous = SetMessageBoxes(std::make_shared<TLateQtMessageBoxes>());
  auto window = Window::Create();
  Window* w = window.get();
  QString boxText;
  bool windowVisibleUnderBox = true, answered = false;
  QTimer user;  // answers the box as soon as it shows
  QObject::connect(&user, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || answered) return;
    boxText = box->text();
    windowVisibleUnderBox = w->isVisible();
    answered = true;
    box->buttons().at(0)->click();  // its only button, OK
  });
  user.start(5);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  guard.start(10000);
  bool answeredBeforeReturn = false, workerEndedBeforeReturn = false;
  // As the main window does: run the job, then end the program once the click is done.
  QTimer::singleShot(0, [&] {
    window->Execute(TRunnableWithProgressGeneric::Create(
        [](const std::shared_ptr<TProgressListener>& l) {
          l->tick("a");
          throw Exception("Niemożliwe było sciągnięcie pliku");
        },
        2));
    answeredBeforeReturn = answered;
    workerEndedBeforeReturn = w->watek()->WaitFor(0ms);
    QCoreApplication::exit(0);
  });
  EXPECT_EQ(App().exec(), 0);
  EXPECT_TRUE(answeredBeforeReturn);
  EXPECT_TRUE(workerEndedBeforeReturn);
  EXPECT_EQ(boxText, "Process interrupted with message:\nNiemożliwe było sciągnięcie pliku");
  EXPECT_FALSE(windowVisibleUnderBox);
  EXPECT_TRUE(w->watek()->WaitFor(10s));
  SetMessageBoxes(previous);
}

}  // namespace
}  // namespace ruv
