#include "ruv/support/ProcedureWithProgressExecuter.h"

#include "ruv/platform/Exception.h"
#include "ruv/support/MessageBoxes.h"

#include <utility>

namespace ruv {

// --- TRunnableWithProgressGeneric ---

TRunnableWithProgressGeneric::TRunnableWithProgressGeneric(TProcedureWithProgress prc,
                                                           std::int32_t count)
    : prc_(std::move(prc)), count_(count) {}

std::shared_ptr<TRunnableWithProgressGeneric> TRunnableWithProgressGeneric::Create(
    TProcedureWithProgress prc, std::int32_t count) {
  return std::make_shared<TRunnableWithProgressGeneric>(std::move(prc), count);
}

void TRunnableWithProgressGeneric::Execute() {
  if (prc_) prc_(listener_);
}

std::int32_t TRunnableWithProgressGeneric::getCount() { return count_; }

void TRunnableWithProgressGeneric::setProgressListener(
    const std::shared_ptr<TProgressListener>& listener) {
  listener_ = listener;
}

// --- TRunnableWithProgressEnforceFinishedDecorator ---

namespace {

// The wrapped job's view of its decorator: passes calls on while the decorator lives.
class TWeakListener final : public TProgressListener {
 public:
  explicit TWeakListener(std::weak_ptr<TProgressListener> target) : target_(std::move(target)) {}
  void addMoreTicks(std::int32_t count) override {
    if (auto t = target_.lock()) t->addMoreTicks(count);
  }
  void tick(const std::string& messageText) override {
    if (auto t = target_.lock()) t->tick(messageText);
  }
  void finished() override {
    if (auto t = target_.lock()) t->finished();
  }

 private:
  std::weak_ptr<TProgressListener> target_;
};

}  // namespace

TRunnableWithProgressEnforceFinishedDecorator::TRunnableWithProgressEnforceFinishedDecorator(
    Private, std::shared_ptr<TRunnableWithProgress> prc)
    : prc_(std::move(prc)) {}

std::shared_ptr<TRunnableWithProgressEnforceFinishedDecorator>
TRunnableWithProgressEnforceFinishedDecorator::Create(const std::shared_ptr<TRunnableWithProgress>& prc) {
  auto decorator = std::make_shared<TRunnableWithProgressEnforceFinishedDecorator>(Private{}, prc);
  std::shared_ptr<TProgressListener> self = decorator;
  prc->setProgressListener(std::make_shared<TWeakListener>(self));
  return decorator;
}

void TRunnableWithProgressEnforceFinishedDecorator::Execute() {
  // The outer listener is released once told, so a worker that goes on (showing
  // an error box) no longer holds the window.
  auto finish = [this] {
    if (auto listener = std::exchange(listener_, nullptr)) listener->finished();
  };
  try {
    prc_->Execute();
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

std::int32_t TRunnableWithProgressEnforceFinishedDecorator::getCount() { return prc_->getCount(); }

void TRunnableWithProgressEnforceFinishedDecorator::setProgressListener(
    const std::shared_ptr<TProgressListener>& listener) {
  listener_ = listener;
}

void TRunnableWithProgressEnforceFinishedDecorator::addMoreTicks(std::int32_t count) {
  if (listener_) listener_->addMoreTicks(count);
}

void TRunnableWithProgressEnforceFinishedDecorator::tick(const std::string& messageText) {
  if (listener_) listener_->tick(messageText);
}

void TRunnableWithProgressEnforceFinishedDecorator::finished() {}

// --- TProcedureWithProgressThread ---

std::string ProcessInterruptedMessage(const std::string& message) {
  return "Process interrupted with message:\r" + message;
}

TProcedureWithProgressThread::TProcedureWithProgressThread(std::shared_ptr<TRunnableWithProgress> prc)
    : prc_(std::move(prc)) {}

TProcedureWithProgressThread::~TProcedureWithProgressThread() {
  if (!thread_.joinable()) return;
  bool done;
  {
    std::lock_guard lock(state_->mutex);
    done = state_->done;
  }
  // A thread whose body has ended is joined; one still waiting for its error box
  // keeps only what it owns (the job and the shared state) and ends by itself.
  if (done) {
    thread_.join();
  } else {
    thread_.detach();
  }
}

void TProcedureWithProgressThread::Start() {
  if (started_) return;
  started_ = true;
  // The body holds the job and the state, never this object.
  thread_ = std::thread([prc = std::move(prc_), state = state_]() mutable {
    std::string failure;
    bool failed = false;
    try {
      if (prc) prc->Execute();
    } catch (const Exception& e) {
      failed = true;
      failure = e.Message();
    } catch (const std::exception& e) {
      failed = true;
      failure = e.what();
    } catch (...) {
      failed = true;
    }
    prc.reset();  // the job and its procedure are released on the worker
    if (failed) {
      MessageDlg(ProcessInterruptedMessage(failure), TMsgDlgType::mtError, {TMsgDlgBtn::mbOK});
    }
    std::lock_guard lock(state->mutex);
    state->done = true;
    state->ended.notify_all();
  });
}

bool TProcedureWithProgressThread::Started() const { return started_; }

bool TProcedureWithProgressThread::WaitFor(std::chrono::milliseconds timeout) const {
  if (!Started()) return true;
  std::unique_lock lock(state_->mutex);
  return state_->ended.wait_for(lock, timeout, [&] { return state_->done; });
}

}  // namespace ruv
