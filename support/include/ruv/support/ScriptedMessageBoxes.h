#pragma once
// A message-box service without a user: answers come from a script, and every
// box shown is recorded so that tests can read back what a user would have seen.

#include "ruv/support/MessageBoxes.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace ruv {

class TScriptedMessageBoxes : public IMessageBoxes {
 public:
  // The answer given once the script has run out.
  explicit TScriptedMessageBoxes(TModalResult otherwise = TModalResult::mrOK);

  // Queues the answer for the next box.
  void Answer(TModalResult result);
  TModalResult Show(const TMessageBox& box) override;

  // Every box shown so far, oldest first.
  std::vector<TMessageBox> Shown() const;
  // Waits until at least `count` boxes were shown; false on time-out.
  bool WaitForBoxes(std::size_t count, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<TModalResult> script_;
  TModalResult otherwise_;
  std::vector<TMessageBox> shown_;
};

// Installs a scripted service for the lifetime of this object and restores the
// previous one afterwards.
class TScopedScriptedMessageBoxes {
 public:
  explicit TScopedScriptedMessageBoxes(TModalResult otherwise = TModalResult::mrOK);
  ~TScopedScriptedMessageBoxes();
  TScopedScriptedMessageBoxes(const TScopedScriptedMessageBoxes&) = delete;
  TScopedScriptedMessageBoxes& operator=(const TScopedScriptedMessageBoxes&) = delete;
  TScriptedMessageBoxes& operator*() const { return *boxes_; }
  TScriptedMessageBoxes* operator->() const { return boxes_.get(); }

 private:
  std::shared_ptr<TScriptedMessageBoxes> boxes_;
  std::shared_ptr<IMessageBoxes> previous_;
};

}  // namespace ruv
