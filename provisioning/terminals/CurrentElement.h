#pragma once
// A class-level current element: one reference per process, read and replaced
// from any thread. Readers get their own reference, so an element stays usable
// after a later selection has replaced it.

#include <memory>
#include <mutex>
#include <utility>

namespace ruv::provisioning::detail {

template <class T>
class CurrentElement {
 public:
  std::shared_ptr<T> Get() const {
    std::lock_guard guard(mutex_);
    return element_;
  }
  // Replaces the element; the previous one is released outside the lock.
  void Set(std::shared_ptr<T> element) {
    {
      std::lock_guard guard(mutex_);
      element_.swap(element);
    }
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<T> element_;
};

// The process's element of one kind. Never destroyed, so a thread still running
// at exit never meets a destroyed mutex; Finalizuj empties it.
template <class T>
CurrentElement<T>& Current() {
  static auto* element = new CurrentElement<T>;
  return *element;
}

}  // namespace ruv::provisioning::detail
