#include "ruv/support/ProcedureWithProgressExecuter.h"

#include "ruv/platform/Exception.h"
#include "ruv/support/ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace ruv {
namespace {

using namespace std::chrono_literals;

// Records every call it hears, from any thread.
class TRecordingListener : public TProgressListener {
 public:
  void addMoreTicks(std::int32_t count) override { Add("more " + std::to_string(count)); }
  void tick(const std::string& messageText) override { Add("tick " + messageText); }
  void finished() override { Add("finished"); }
  std::vector<std::string> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  void Add(std::string call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
};

// A job script: "t:<msg>" ticks, "m:<n>" adds ticks, "f" calls finished, "r:<msg>"
// raises ruv::Exception, "s:<msg>" raises std::runtime_error.
TProcedureWithProgress Script(std::vector<std::string> steps) {
  return [steps](const std::shared_ptr<TProgressListener>& l) {
    for (const std::string& s : steps) {
      const std::string arg = s.size() > 2 ? s.substr(2) : "";
      switch (s[0]) {
        case 't': l->tick(arg); break;
        case 'm': l->addMoreTicks(std::stoi(arg)); break;
        case 'f': l->finished(); break;
        case 'r': throw Exception(arg);
        case 's': throw std::runtime_error(arg);
      }
    }
  };
}

TEST(RunnableWithProgressGeneric, RunsItsProcedureWithTheLatestListener) {
  auto first = std::make_shared<TRecordingListener>();
  auto second = std::make_shared<TRecordingListener>();
  auto job = TRunnableWithProgressGeneric::Create(Script({"t:a", "f"}), 7);
  EXPECT_EQ(job->getCount(), 7);
  job->setProgressListener(first);
  job->setProgressListener(second);
  job->Execute();
  EXPECT_TRUE(first->Calls().empty());
  EXPECT_EQ(second->Calls(), (std::vector<std::string>{"tick a", "finished"}));
}

TEST(EnforceFinishedDecorator, TheOuterListenerHearsExactlyOneFinishedAtTheEnd) {
  struct Case {
    std::vector<std::string> steps;
    std::vector<std::string> heard;
    bool raises;
  } cases[] = {
      {{"t:a", "t:b"}, {"tick a", "tick b", "finished"}, false},
      {{}, {"finished"}, false},
      {{"t:a", "f", "t:b", "f"}, {"tick a", "tick b", "finished"}, false},
      {{"m:3", "t:a"}, {"more 3", "tick a", "finished"}, false},
      {{"t:a", "t:b", "r:boom", "t:c"}, {"tick a", "tick b", "finished"}, true},
  };
  for (const Case& c : cases) {
    auto outer = std::make_shared<TRecordingListener>();
    auto job = TRunnableWithProgressGeneric::Create(Script(c.steps), 4);
    auto decorator = TRunnableWithProgressEnforceFinishedDecorator::Create(job);
    decorator->setProgressListener(outer);
    EXPECT_EQ(decorator->getCount(), 4);
    if (c.raises) {
      EXPECT_THROW(decorator->Execute(), Exception);
    } else {
      decorator->Execute();
    }
    EXPECT_EQ(outer->Calls(), c.heard);
  }
}

TEST(EnforceFinishedDecorator, JobAndDecoratorAreFreedWithTheLastOutsideReference) {
  auto outer = std::make_shared<TRecordingListener>();
  std::weak_ptr<TRunnableWithProgress> job, decorator;
  {
    auto j = TRunnableWithProgressGeneric::Create(Script({"t:a"}), 1);
    auto d = TRunnableWithProgressEnforceFinishedDecorator::Create(j);
    d->setProgressListener(outer);
    d->Execute();
    job = j;
    decorator = d;
  }
  EXPECT_TRUE(job.expired());
  EXPECT_TRUE(decorator.expired());
  EXPECT_EQ(outer.use_count(), 1) << "the decorator lets go of its listener once told";
}

// A message-box service that keeps the box open until the test lets it go.
class THeldMessageBoxes : public IMessageBoxes {
 public:
  TModalResult Show(const TMessageBox& box) override {
    std::unique_lock lock(mutex_);
    shown_.push_back(box);
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_; });
    return TModalResult::mrOK;
  }
  bool WaitShown() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return !shown_.empty(); });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  std::vector<TMessageBox> Shown() {
    std::lock_guard lock(mutex_);
    return shown_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
  std::vector<TMessageBox> shown_;
};

TEST(ProcedureWithProgressThread, RunsTheJobOnItsOwnThreadOnceStarted) {
  TScopedScriptedMessageBoxes boxes;
  std::thread::id ranOn;
  auto job = TRunnableWithProgressGeneric::Create(
      [&](const std::shared_ptr<TProgressListener>&) { ranOn = std::this_thread::get_id(); }, 1);
  std::weak_ptr<TRunnableWithProgress> weakJob = job;
  TProcedureWithProgressThread thread(std::move(job));
  EXPECT_FALSE(thread.Started());
  EXPECT_TRUE(weakJob.lock()) << "created suspended";
  thread.Start();
  thread.Start();
  ASSERT_TRUE(thread.WaitFor(10s));
  EXPECT_NE(ranOn, std::this_thread::get_id());
  EXPECT_NE(ranOn, std::thread::id());
  EXPECT_TRUE(weakJob.expired()) << "the job is released when the thread ends";
  EXPECT_TRUE(boxes->Shown().empty());
}

TEST(ProcedureWithProgressThread, AFailureIsShownAsAnErrorBoxAndTheThreadWaitsForIt) {
  struct Case {
    const char* step;
    const char* text;
  } cases[] = {
      {"r:Niemożliwe było sciągnięcie pliku", "Process interrupted with message:\rNiemożliwe było sciągnięcie pliku"},
      {"s:disk full", "Process interrupted with message:\rdisk full"},
  };
  for (const Case& c : cases) {
    auto held = std::make_shared<THeldMessageBoxes>();
    auto previous = SetMessageBoxes(held);
    auto outer = std::make_shared<TRecordingListener>();
    auto decorator = TRunnableWithProgressEnforceFinishedDecorator::Create(
        TRunnableWithProgressGeneric::Create(Script({"t:a", c.step}), 2));
    decorator->setProgressListener(outer);
    TProcedureWithProgressThread thread(std::move(decorator));
    thread.Start();
    ASSERT_TRUE(held->WaitShown());
    EXPECT_EQ(outer->Calls(), (std::vector<std::string>{"tick a", "finished"}))
        << "finished comes before the box";
    EXPECT_FALSE(thread.WaitFor(50ms)) << "the thread ends only when the box is confirmed";
    held->Release();
    EXPECT_TRUE(thread.WaitFor(10s));
    const auto shown = held->Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, TMsgDlgType::mtError);
    EXPECT_EQ(shown[0].title, "Błąd");
    EXPECT_EQ(shown[0].text, c.text);
    EXPECT_TRUE(shown[0].buttons == TMsgDlgButtons{TMsgDlgBtn::mbOK});
    SetMessageBoxes(previous);
  }
}

TEST(ProcedureWithProgressThread, DroppingTheThreadWhileItsBoxIsOpenDoesNotWait) {
  auto held = std::make_shared<THeldMessageBoxes>();
  auto previous = SetMessageBoxes(held);
  {
    TProcedureWithProgressThread thread(TRunnableWithProgressGeneric::Create(Script({"r:boom"}), 1));
    thread.Start();
    ASSERT_TRUE(held->WaitShown());
  }  // the owner goes away while the user has not answered
  held->Release();
  // The box call holds the service; once it has returned only we and the global hold it.
  for (int i = 0; i < 2000 && held.use_count() > 2; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(held.use_count(), 2);
  SetMessageBoxes(previous);
}

}  // namespace
}  // namespace ruv
