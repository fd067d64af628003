// The window program's machine worker: waits for the request that the window thread leaves
// in the shared request slot, runs it (request/machine_request.h) under the time limit of
// the window's time-limit field, and has the results shown. It is woken by the request
// itself, so a click starts at once; a request made while another runs waits for it, and of
// two made before the worker takes either only the later one runs.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/activity_log.h"
#include "core/shared_state.h"
#include "request/machine_request.h"

namespace appcensus {

// What the worker needs of the window. Every call returns at once: the window's part is
// handed to the window thread.
class WorkerWindow {
 public:
  virtual ~WorkerWindow() = default;
  virtual void ClearApplicationViews() = 0;
  virtual void FillApplicationViews() = 0;
  virtual void SetViewsBusy(bool busy) = 0;
  virtual Text TimeLimitText() = 0;
  virtual void SaveTimeLimitSetting() = 0;
  // Reloads the machine box from the stored history.
  virtual void ReloadMachineHistory() = 0;
  // Empties the progress bar in a while (unless a request comes first).
  virtual void ScheduleProgressReset() = 0;
  // Whether the user ticked the box that lets a machine's Remote Registry service be started.
  virtual bool StartRemoteRegistry() = 0;
};

// The closing line of one machine of a list.
Text MachineClosingLine(const MachineResult& result);

class MachineWorker {
 public:
  // `options` is what every request needs but its time limit, which the field gives
  // (`perLimitSecond` to a second: tests shorten it).
  MachineWorker(SharedState& state, ActivityLog& log, WorkerWindow& window, RequestOptions options,
                std::function<Text()> localHostName, std::chrono::milliseconds perLimitSecond = std::chrono::seconds(1));

  // Runs requests as they come, one at a time, until Stop.
  void Run();
  void Stop();
  // Runs the request in the slot, if any, waiting up to `wait` for one; false when none came.
  bool ProcessPendingRequest(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
  // Waits for the abandoned jobs and late identity tests of the last request (see
  // MachineRequest); the window program never does, it may end while they run.
  bool WaitForLateWork(std::chrono::milliseconds limit) const;

 private:
  SharedState& state_;
  ActivityLog& log_;
  WorkerWindow& window_;
  RequestOptions options_;
  std::function<Text()> localHostName_;
  std::chrono::milliseconds perLimitSecond_;
  std::atomic<bool> stop_{false};
  std::unique_ptr<MachineRequest> last_;  // worker thread only
};

}  // namespace appcensus
