// The machine worker: takes the request that the window thread leaves in the shared request
// slot, runs it as a job on a thread of its own under the time limit of the window's
// time-limit field, and has the results shown. A job that outlives its limit is abandoned,
// never killed: its gate is closed, so it changes nothing more.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/activity_log.h"
#include "core/shared_state.h"
#include "core/task_thread.h"
#include "request/job_gate.h"

namespace appcensus {

// What the worker needs of the window.
class WorkerWindow {
 public:
  virtual ~WorkerWindow() = default;
  virtual void ClearApplicationViews() = 0;
  virtual void FillApplicationViews() = 0;
  virtual void SetViewsBusy(int busy) = 0;
  virtual Text TimeLimitText() = 0;
  virtual void SaveTimeLimitSetting() = 0;
};

// The work of one request. Everything it writes outside itself goes through `gate`.
using MachineJobBody = std::function<void(const Text& request, const std::shared_ptr<JobGate>& gate)>;

struct WorkerTiming {
  std::chrono::milliseconds poll{1000};
  std::chrono::milliseconds progressResetPause{2000};
  std::chrono::milliseconds perLimitSecond{1000};  // tests shorten the limit's second
};

// The longest finite wait the platform offers (one below INFINITE).
inline constexpr std::int64_t kLongestWaitMs = 0xFFFFFFFE;

// Milliseconds to wait for a time-limit field text: its leading number of seconds, a
// negative one counting as 0, capped at the longest finite wait.
std::int64_t TimeLimitMilliseconds(std::int32_t seconds, std::chrono::milliseconds perSecond);

class MachineWorker {
 public:
  MachineWorker(SharedState& state, ActivityLog& log, WorkerWindow& window, MachineJobBody job,
                std::function<Text()> localHostName, WorkerTiming timing = {});

  // Polls forever (until Stop), one request at a time.
  void Run();
  void Stop() { stop_ = true; }
  // One pass over the request slot; false when it was empty.
  bool ProcessPendingRequest();

 private:
  SharedState& state_;
  ActivityLog& log_;
  WorkerWindow& window_;
  MachineJobBody job_;
  std::function<Text()> localHostName_;
  WorkerTiming timing_;
  std::atomic<bool> stop_{false};
};

}  // namespace appcensus
