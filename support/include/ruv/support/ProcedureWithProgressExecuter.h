#pragma once
// Running a job with progress. A job (TRunnableWithProgress) announces a number of
// ticks and reports to a listener before each step; an executer runs it on a
// worker thread behind a progress window and returns once the job has ended.
// The listener gets `finished` exactly once per run, also when the job raises.
//
// Typical use:
//   auto job = TRunnableWithProgressGeneric::Create(
//       [](const std::shared_ptr<TProgressListener>& l) { l->tick("step 1"); ... }, 3);
//   di::ServiceLocator().GetService<TProcedureWithProgressExecuter>()->Execute(job);

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace ruv {

class TProgressListener {
 public:
  virtual ~TProgressListener() = default;
  // Raises the number of ticks to expect by `count`.
  virtual void addMoreTicks(std::int32_t count) = 0;
  // Reports the start of a step.
  virtual void tick(const std::string& messageText) = 0;
  // Reports the end of the job.
  virtual void finished() = 0;
};

class TRunnableWithProgress {
 public:
  virtual ~TRunnableWithProgress() = default;
  // Runs the job in the calling thread.
  virtual void Execute() = 0;
  // The announced number of ticks.
  virtual std::int32_t getCount() = 0;
  virtual void setProgressListener(const std::shared_ptr<TProgressListener>& listener) = 0;
};

class TProcedureWithProgressExecuter {
 public:
  virtual ~TProcedureWithProgressExecuter() = default;
  // Runs the job and returns once it has ended. A failure of the job does not reach
  // the caller: it is shown to the user as "Process interrupted with message:".
  virtual void Execute(const std::shared_ptr<TRunnableWithProgress>& prc) = 0;
};

// A job's work, given the listener to report to.
using TProcedureWithProgress = std::function<void(const std::shared_ptr<TProgressListener>&)>;

// A job made of a procedure and its announced tick count.
class TRunnableWithProgressGeneric final : public TRunnableWithProgress {
 public:
  TRunnableWithProgressGeneric(TProcedureWithProgress prc, std::int32_t count);
  static std::shared_ptr<TRunnableWithProgressGeneric> Create(TProcedureWithProgress prc,
                                                              std::int32_t count);

  void Execute() override;  // calls the procedure with the stored listener
  std::int32_t getCount() override;
  void setProgressListener(const std::shared_ptr<TProgressListener>& listener) override;

 private:
  TProcedureWithProgress prc_;
  std::int32_t count_;
  std::shared_ptr<TProgressListener> listener_;
};

// Wraps a job so that its outer listener hears `finished` exactly once, after the
// job has returned or raised; the job's own `finished` calls are swallowed.
// The wrapped job reports to the decorator through a forwarder that does not keep
// the decorator alive, so job and decorator form no ownership cycle.
class TRunnableWithProgressEnforceFinishedDecorator final
    : public TProgressListener,
      public TRunnableWithProgress,
      public std::enable_shared_from_this<TRunnableWithProgressEnforceFinishedDecorator> {
 public:
  // Makes the decorator the wrapped job's listener.
  static std::shared_ptr<TRunnableWithProgressEnforceFinishedDecorator> Create(
      const std::shared_ptr<TRunnableWithProgress>& prc);

  // Runs the job, then calls `finished` on the outer listener (when set) and lets
  // go of it; an exception of the job propagates afterwards.
  void Execute() override;
  std::int32_t getCount() override;
  void setProgressListener(const std::shared_ptr<TProgressListener>& listener) override;

  void addMoreTicks(std::int32_t count) override;
  void tick(const std::string& messageText) override;
  void finished() override;

 private:
  struct Private {};

 public:
  TRunnableWithProgressEnforceFinishedDecorator(Private, std::shared_ptr<TRunnableWithProgress> prc);

 private:
  std::shared_ptr<TRunnableWithProgress> prc_;
  std::shared_ptr<TProgressListener> listener_;
};

// The text of the box that reports a failed job.
std::string ProcessInterruptedMessage(const std::string& message);

// The worker thread of a run. Created suspended; Start runs the job once. A failure
// of the job is shown in an error box ("Process interrupted with message:", a
// carriage return, the message) and the thread ends when the user confirms it.
// Destroying the object joins a thread that has ended and lets one that still runs
// (its error box open) go on by itself, so the owner never waits for the user.
class TProcedureWithProgressThread {
 public:
  explicit TProcedureWithProgressThread(std::shared_ptr<TRunnableWithProgress> prc);
  ~TProcedureWithProgressThread();
  TProcedureWithProgressThread(const TProcedureWithProgressThread&) = delete;
  TProcedureWithProgressThread& operator=(const TProcedureWithProgressThread&) = delete;

  // Starts the thread; later calls do nothing.
  void Start();
  bool Started() const;
  // Waits until the thread body has ended (false on time-out); true when never started.
  bool WaitFor(std::chrono::milliseconds timeout) const;

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
  };
  std::shared_ptr<TRunnableWithProgress> prc_;
  bool started_ = false;
  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::thread thread_;
};

}  // namespace ruv
