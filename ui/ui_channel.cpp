#include "ui/ui_channel.h"

namespace appcensus {

void UiChannel::Attach(Gadgets& gadgets, WakeFunction wake) {
  std::lock_guard lock(mutex_);
  gadgets_ = &gadgets;
  wake_ = std::move(wake);
  windowThread_ = std::this_thread::get_id();
  wakePending_ = false;
}

void UiChannel::Detach() {
  std::lock_guard lock(mutex_);
  gadgets_ = nullptr;
  wake_ = nullptr;
  windowThread_ = std::thread::id();
}

bool UiChannel::OnWindowThread() const {
  std::lock_guard lock(mutex_);
  return gadgets_ != nullptr && windowThread_ == std::this_thread::get_id();
}

void UiChannel::Post(GadgetWork work) {
  WakeFunction wake;
  bool here = false;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(work));
    if (gadgets_ != nullptr && windowThread_ == std::this_thread::get_id()) {
      here = true;
    } else if (!wakePending_ && wake_) {
      wakePending_ = true;
      wake = wake_;  // called outside the lock: it only posts a message
    }
  }
  if (here) {
    Drain();
  } else if (wake && !wake()) {
    std::lock_guard lock(mutex_);
    wakePending_ = false;
  }
}

void UiChannel::Drain() {
  if (draining_) return;  // a nested call: the running drain picks the new work up
  draining_ = true;
  for (;;) {
    std::deque<GadgetWork> batch;
    Gadgets* gadgets = nullptr;
    {
      std::lock_guard lock(mutex_);
      wakePending_ = false;
      gadgets = gadgets_;
      if (gadgets != nullptr) batch.swap(queue_);
    }
    if (batch.empty()) break;
    gadgets->BeginUpdate();
    for (auto& work : batch) {
      try {
        work(*gadgets);
      } catch (...) {
        // One failed operation (out of memory) must not stop the others or reach the caller.
      }
    }
    gadgets->EndUpdate();
  }
  draining_ = false;
}

}  // namespace appcensus
