#include "ruv/support/ScriptedMessageBoxes.h"

namespace ruv {

TScriptedMessageBoxes::TScriptedMessageBoxes(TModalResult otherwise) : otherwise_(otherwise) {}

void TScriptedMessageBoxes::Answer(TModalResult result) {
  std::lock_guard lock(mutex_);
  script_.push_back(result);
}

TModalResult TScriptedMessageBoxes::Show(const TMessageBox& box) {
  std::lock_guard lock(mutex_);
  shown_.push_back(box);
  TModalResult result = otherwise_;
  if (!script_.empty()) {
    result = script_.front();
    script_.pop_front();
  }
  changed_.notify_all();
  return result;
}

std::vector<TMessageBox> TScriptedMessageBoxes::Shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

bool TScriptedMessageBoxes::WaitForBoxes(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return shown_.size() >= count; });
}

TScopedScriptedMessageBoxes::TScopedScriptedMessageBoxes(TModalResult otherwise)
    : boxes_(std::make_shared<TScriptedMessageBoxes>(otherwise)), previous_(SetMessageBoxes(boxes_)) {}

TScopedScriptedMessageBoxes::~TScopedScriptedMessageBoxes() { SetMessageBoxes(previous_); }

}  // namespace ruv
