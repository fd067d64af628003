#include "core/task_thread.h"

#include <system_error>
#include <thread>

namespace appcensus {

bool TaskThread::Start(std::function<void()> work) {
  auto state = std::make_shared<State>();
  try {
    std::thread([state, work = std::move(work)] {
      work();
      state->MarkDone();
    }).detach();
  } catch (const std::system_error&) {
    return false;
  }
  state_ = std::move(state);
  return true;
}

}  // namespace appcensus
