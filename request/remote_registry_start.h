// Starts the Remote Registry service of a machine for the time of a read, when the user asked
// for it, and puts it back as it was afterwards. Through the machine's service control
// manager: its state and start type are read; a disabled service is set to manual start; it
// is started (already running counts as started) and waited for while it starts, up to 10 s,
// following its wait hint and check point. The restore stops it only if it was started here
// and gives its start type back only if it was changed here, within 15 s; a service that
// was already running is never stopped, and nothing else is changed. Every step is logged
// in French on status field 1.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>

#include "core/activity_log.h"
#include "request/service_control.h"

namespace appcensus {

inline constexpr std::chrono::milliseconds kServiceStartLimit{10000};
inline constexpr std::chrono::milliseconds kServiceRestoreLimit{15000};

// What was done, for the console report.
enum class RemoteRegistryOutcome { NothingDone, StartedAndRestored, StartFailed, RestoreFailed };

// "started-and-restored", "start-failed", "restore-failed"; nullptr for NothingDone (the
// report then has no such field).
const char* RemoteRegistryReportText(RemoteRegistryOutcome outcome);

// The clock the waits read and the sleep between two queries (tests pass a fake pair).
struct ServiceWaitClock {
  std::function<std::chrono::steady_clock::time_point()> now = [] { return std::chrono::steady_clock::now(); };
  std::function<void(std::chrono::milliseconds)> sleep;  // empty: the calling thread sleeps
};

class RemoteRegistryStart {
 public:
  // `control` (one per machine) and `log` must outlive this object, which restores the
  // service when it goes if Restore() has not run yet.
  RemoteRegistryStart(ServiceControl& control, ActivityLog& log, TextView machine, ServiceWaitClock clock = {});
  ~RemoteRegistryStart();
  RemoteRegistryStart(const RemoteRegistryStart&) = delete;
  RemoteRegistryStart& operator=(const RemoteRegistryStart&) = delete;

  // Starts the service if needed; true when it runs (it already ran, or it started within
  // the limit). Blocks for at most about 10 s beyond the service manager's own calls. Runs
  // once; a second call gives the first one's answer.
  bool Start();
  // Puts back what Start changed, once (later calls give the same outcome); never throws,
  // so it may run from a destructor or any path out of the read. Waits at most about 15 s for
  // the service to stop. Start and Restore may be called from different threads: Restore
  // waits for a Start under way.
  RemoteRegistryOutcome Restore() noexcept;

 private:
  // Waits while the service is in `pending` state, at most until `deadline`; the status last
  // read in *status. False when a query failed.
  bool WaitWhile(std::uint32_t pending, std::chrono::steady_clock::time_point deadline, ServiceStatus* status);
  bool StartLocked();
  RemoteRegistryOutcome RestoreLocked();
  void Log(TextView text, ActivityLevel level);
  // Logs a failed step (with the reason of `status` unless 0); false.
  bool Fail(TextView step, long status);

  ServiceControl& control_;
  ActivityLog& log_;
  Text machine_;
  ServiceWaitClock clock_;
  std::mutex mutex_;
  bool startRan_ = false, running_ = false, startFailed_ = false;
  bool startedHere_ = false, startTypeChanged_ = false;
  std::uint32_t originalStartType_ = 0;
  bool restoreRan_ = false;
  RemoteRegistryOutcome outcome_ = RemoteRegistryOutcome::NothingDone;
};

}  // namespace appcensus
