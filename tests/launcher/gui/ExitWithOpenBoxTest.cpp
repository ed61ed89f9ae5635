// The program may end while a failed job's worker still waits for its error box:
// the worker must neither keep the process alive nor crash it.
#include "ruv/launcher/QtMessageBoxes.h"
#include "ruv/launcher/RunnableWithProgressExecuterWithForm.h"
#include "ruv/platform/Exception.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace ruv {
namespace {

using namespace std::chrono_literals;

std::shared_ptr<TRunnableWithProgress> FailingJob() {
  return TRunnableWithProgressGeneric::Create(
      [](const std::shared_ptr<TProgressListener>& l) {
        l->tick("a");
        throw Exception("boom");
      },
      2);
}

struct TApp {
  int argc = 1;
  char name[5] = "test";
  char* argv[2] = {name, nullptr};
  QApplication* app = new QApplication(argc, argv);
};

TEST(ExitWithOpenBox, QuittingWhileTheErrorBoxIsOpenEndsTheWorker) {
  TApp t;
  InstallQtMessageBoxes();
  auto window = TRunnableWithProgressExecuterWithForm::Create();
  QString boxText;
  // The main window's click runs the job; the user quits while the error box is open.
  QTimer::singleShot(0, [&] { window->Execute(FailingJob()); });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      boxText = box->text();
      QCoreApplication::quit();
    }
  });
  poll.start(5);
  QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
  EXPECT_EQ(t.app->exec(), 0);
  EXPECT_EQ(boxText, "Process interrupted with message:\nboom");
  EXPECT_TRUE(window->watek()->WaitFor(10s));
  window.reset();
  delete t.app;
  SetMessageBoxes(nullptr);
}

TEST(ExitWithOpenBox, TheApplicationGoesAwayWithTheBoxRequestStillPending) {
  TApp t;
  InstallQtMessageBoxes();
  TProcedureWithProgressThread worker(TRunnableWithProgressEnforceFinishedDecorator::Create(FailingJob()));
  worker.Start();
  EXPECT_FALSE(worker.WaitFor(100ms)) << "no event loop shows the box";
  delete t.app;
  EXPECT_TRUE(worker.WaitFor(10s));
  SetMessageBoxes(nullptr);
}

}  // namespace
}  // namespace ruv
