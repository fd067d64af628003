#include <windows.h>

#include "core/task_thread.h"
#include "core/unique_handle_win32.h"

namespace appcensus {

namespace {

using Task = std::function<void()>;

// A plain system thread: the C++ run-time's threads add a layer of their own around the
// start and end of every thread, which these short-lived threads do not need.
DWORD WINAPI RunTask(LPVOID parameter) {
  std::unique_ptr<Task> task(static_cast<Task*>(parameter));
  (*task)();
  return 0;
}

}  // namespace

bool TaskThread::Start(std::function<void()> work) {
  auto state = std::make_shared<State>();
  // The thread owns its task, and the task its share of the state it reports its end in.
  auto task = std::make_unique<Task>([state, work = std::move(work)] {
    work();
    state->MarkDone();
  });
  const UniqueKernelHandle thread(CreateThread(nullptr, 0, RunTask, task.get(), 0, nullptr));
  if (!thread) return false;
  task.release();  // the thread's now; the handle is not needed to let it run
  state_ = std::move(state);
  return true;
}

}  // namespace appcensus
