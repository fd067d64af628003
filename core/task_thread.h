// A thread that its starter can wait for with a time limit and then leave to end on its
// own: threads are never killed. The thread keeps its own share of the state it reports
// its end through, so it may outlive the object that started it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace appcensus {

class TaskThread {
 public:
  // Starts `work` on a new thread; false when no thread could be started. Defined once per
  // platform (task_thread.cpp, task_thread_win32.cpp).
  bool Start(std::function<void()> work);
  // Waits until the work has ended or `limit` has passed; true when it has ended.
  bool WaitFor(std::chrono::milliseconds limit) const {
    if (!state_) return true;
    std::unique_lock lock(state_->mutex);
    return state_->ended.wait_for(lock, limit, [this] { return state_->done; });
  }
  // True from a successful Start until the work has ended.
  bool Running() const {
    if (!state_) return false;
    std::lock_guard lock(state_->mutex);
    return !state_->done;
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    void MarkDone() {
      std::lock_guard lock(mutex);
      done = true;
      ended.notify_all();
    }
  };
  std::shared_ptr<State> state_;
};

}  // namespace appcensus
