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
  Enqueue({[work = std::move(work)](Gadgets& gadgets) {
             work(gadgets);
             return true;
           },
           false});
}

void UiChannel::PostLatest(GadgetWork work) {
  Enqueue({[work = std::move(work)](Gadgets& gadgets) {
             work(gadgets);
             return true;
           },
           true});
}

void UiChannel::PostSteps(GadgetSteps steps) { Enqueue({std::move(steps), false}); }

UiChannel::WakeFunction UiChannel::WakeLocked() {
  if (wakePending_ || !wake_) return nullptr;
  wakePending_ = true;
  return wake_;  // called outside the lock: it only posts a message
}

void UiChannel::CallWake(const WakeFunction& wake) {
  if (!wake || wake()) return;
  std::lock_guard lock(mutex_);
  wakePending_ = false;
}

void UiChannel::Enqueue(Item item) {
  WakeFunction wake;
  bool applyNow = false;
  {
    std::lock_guard lock(mutex_);
    if (item.latestOnly && !queue_.empty() && queue_.back().latestOnly)
      queue_.back() = std::move(item);
    else
      queue_.push_back(std::move(item));
    // The window thread applies its own work at once, unless it is inside a drain already.
    applyNow = gadgets_ != nullptr && windowThread_ == std::this_thread::get_id() && !draining_;
    if (!applyNow) wake = WakeLocked();
  }
  if (applyNow)
    Drain();
  else
    CallWake(wake);
}

void UiChannel::Drain() {
  if (draining_) return;
  std::deque<Item> batch;
  Gadgets* gadgets = nullptr;
  {
    std::lock_guard lock(mutex_);
    wakePending_ = false;
    gadgets = gadgets_;
    if (gadgets != nullptr) batch.swap(queue_);
  }
  if (batch.empty()) return;
  draining_ = true;
  gadgets->BeginUpdate();
  for (std::size_t applied = 0; !batch.empty() && applied < kWorkPerDrain; ++applied) {
    bool done = true;
    try {
      done = batch.front().steps(*gadgets);
    } catch (...) {
      // One failed operation (out of memory) must not stop the others or reach the caller.
    }
    if (!done) break;
    batch.pop_front();
  }
  gadgets->EndUpdate();
  draining_ = false;
  if (batch.empty()) return;
  // Unfinished work goes back in front of what was queued meanwhile, for the next drain.
  WakeFunction wake;
  {
    std::lock_guard lock(mutex_);
    queue_.insert(queue_.begin(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    wake = WakeLocked();
  }
  CallWake(wake);
}

}  // namespace appcensus
