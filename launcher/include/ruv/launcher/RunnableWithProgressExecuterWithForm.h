#pragma once
// The progress window: a small borderless modal window with a progress bar, a
// position/maximum counter and the current step's message. As an executer it runs
// a job on a worker thread while it is shown; as the job's listener it takes
// calls from any thread and applies them on the user-interface thread, in order.

#include "ruv/support/ProcedureWithProgressExecuter.h"

#include <QWidget>

#include <memory>

class QEventLoop;
class QFrame;
class QLabel;
class QProgressBar;

namespace ruv {

class TRunnableWithProgressExecuterWithForm final
    : public QWidget,
      public TProgressListener,
      public TProcedureWithProgressExecuter,
      public std::enable_shared_from_this<TRunnableWithProgressExecuterWithForm> {
 public:
  // A new window. The window is owned by the returned references: when the last one
  // goes (from any thread), the window is deleted on the user-interface thread.
  static std::shared_ptr<TRunnableWithProgressExecuterWithForm> Create(QWidget* owner = nullptr);
  ~TRunnableWithProgressExecuterWithForm() override;

  // User-interface thread. Shows the window modally, runs the job on the worker
  // and returns once the worker has ended: for a failed job, once its error box
  // has been answered (the window is hidden meanwhile). A job announcing no ticks
  // still runs, its bar full from the start.
  void Execute(const std::shared_ptr<TRunnableWithProgress>& prc) override;

  // Any thread.
  void addMoreTicks(std::int32_t count) override;
  void tick(const std::string& messageText) override;
  void finished() override;

  // The window's components (user-interface thread).
  QProgressBar* progressBar() const { return progressBar_; }
  QFrame* Panel1() const { return panel1_; }
  QLabel* labelNumer() const { return labelNumer_; }
  QLabel* labelKomunikat() const { return labelKomunikat_; }
  // The worker of the current or last run; nullptr before the first.
  TProcedureWithProgressThread* watek() const { return watek_.get(); }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  explicit TRunnableWithProgressExecuterWithForm(QWidget* owner);
  void FormShow();
  void WaitForWorker();
  void CentreOnMainWindow();
  template <class F>
  void Post(F&& update);

  QFrame* panel1_;
  QProgressBar* progressBar_;
  QLabel* labelNumer_;
  QLabel* labelKomunikat_;
  std::unique_ptr<TProcedureWithProgressThread> watek_;
  QEventLoop* modalLoop_ = nullptr;
  bool modalEnded_ = false;
};

}  // namespace ruv
