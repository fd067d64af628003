// The job of one machine request, run by the worker on a thread of its own: the two
// inventory passes for the requested machine or machines and, for one machine that
// succeeded, the machine history. Everything it writes goes through its gate, so an
// abandoned job changes nothing more.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "core/activity_log.h"
#include "core/shared_state.h"
#include "core/task_thread.h"
#include "request/job_gate.h"

namespace appcensus {

struct MachineJobServices {
  SharedState* state = nullptr;   // the process's shared state
  ActivityLog* log = nullptr;     // lives as long as the process
  // Reloads the machine box from the stored history (handed to the window thread).
  std::function<void()> reloadMachineHistory;
  std::chrono::milliseconds identityWait{3000};
  // Told of every identity-test thread started (optional).
  std::function<void(const TaskThread&)> identityTestStarted;
};

void RunMachineJob(const Text& request, const std::shared_ptr<JobGate>& gate, const MachineJobServices& services);

}  // namespace appcensus
