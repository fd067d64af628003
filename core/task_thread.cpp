#include "core/task_thread.h"

#include <system_error>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace appcensus {

namespace {

using Task = std::function<void()>;

#ifdef _WIN32
// A plain system thread: the C++ run-time's threads add a layer of their own around the
// start and end of every thread, which these short-lived threads do not need.
DWORD WINAPI RunTask(LPVOID parameter) {
  std::unique_ptr<Task> task(static_cast<Task*>(parameter));
  (*task)();
  return 0;
}
#endif

}  // namespace

bool TaskThread::Start(std::function<void()> work) {
  auto state = std::make_shared<State>();
  // The thread owns its task, and the task its share of the state it reports its end in.
  auto task = std::make_unique<Task>([state, work = std::move(work)] {
    work();
    std::lock_guard lock(state->mutex);
    state->done = true;
    state->ended.notify_all();
  });
#ifdef _WIN32
  HANDLE thread = CreateThread(nullptr, 0, RunTask, task.get(), 0, nullptr);
  if (thread == nullptr) return false;
  task.release();
  CloseHandle(thread);
#else
  try {
    std::thread([task = std::move(task)] { (*task)(); }).detach();
  } catch (const std::system_error&) {
    return false;
  }
#endif
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
