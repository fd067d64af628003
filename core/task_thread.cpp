#include "core/task_thread.h"

#include <system_error>
#include <thread>

namespace appcensus {

bool TaskThread::Start(std::function<void()> work) {
  auto state = std::make_shared<State>();
  try {
    std::thread([state, work = std::move(work)] {
      work();
      std::lock_guard lock(state->mutex);
      state->done = true;
      state->ended.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return false;
  }
  state_ = std::move(state);
  return true;
}

bool TaskThread::WaitFor(std::chrono::milliseconds limit) const {
  if (!state_) return true;
  std::unique_lock lock(state_->mutex);
  return state_->ended.wait_for(lock, limit, [this] { return state_->done; });
}

bool TaskThread::Running() const {
  if (!state_) return false;
  std::lock_guard lock(state_->mutex);
  return !state_->done;
}

}  // namespace appcensus
