// One request for the applications of one machine or of a list of machines, as both programs
// make it. Each machine stands on its own: its identity test and inventory run as a job on a
// thread of its own, under the full time limit counted from the start of its own work, with
// its own entry list, table and log; several machines are read at once. A job that outlives
// its limit is abandoned, never killed: its gate is closed, so it changes nothing more.
// What the machines report is handed on grouped per machine, in list order, and each
// machine's result comes back with its records.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/activity_log.h"
#include "core/application_record.h"
#include "core/text.h"
#include "inventory/inventory_passes.h"
#include "request/machine_causes.h"
#include "request/remote_registry_start.h"

namespace appcensus {

enum class MachineOutcome {
  Listed,        // the job ended within the limit and the machine passed its identity test
  Unreachable,   // the job ended within the limit: the machine did not answer (in time)
  OtherMachine,  // the job ended within the limit: another machine answered under that name
  TimedOut,      // the limit passed: the job was abandoned
};

struct MachineResult {
  Text machine;  // as asked
  MachineOutcome outcome = MachineOutcome::Listed;
  // The machine's table after its job, in table order; empty when the job was abandoned.
  std::vector<ApplicationRecord> records;
  std::chrono::milliseconds duration{0};  // from the start of its job to its end or abandon
  // Why a machine that gave nothing gave nothing; None when Listed.
  MachineCause cause = MachineCause::None;
  // Unless Listed, the activity message that explains the outcome: the cause's line when the
  // network or the registry said why, else the machine's first error (its identity test's,
  // or the abandon's when the job was abandoned).
  Text message;
  // What was done to the machine's Remote Registry service, when the request may start it.
  RemoteRegistryOutcome remoteRegistry = RemoteRegistryOutcome::NothingDone;
};

// Receives what the machines report, from one thread at a time, machine after machine in
// list order: the activity of a machine, then its result. Nothing of a machine comes after
// its result.
class MachineReport {
 public:
  virtual ~MachineReport() = default;
  virtual void Activity(TextView machine, TextView text, ActivityLevel level, int statusField) = 0;
  // Progress of the machine whose activity is being handed on as it happens.
  virtual void Progress(TextView machine, int value, int maximum) = 0;
  virtual void MachineDone(const MachineResult& result) = 0;
};

// Machines read at once unless a request says otherwise.
inline constexpr std::size_t kMachinesAtOnce = 8;
// However many machines are asked for at once, at most this many are read at once (each has
// a few threads: its job's, its identity test's, its readers'); and when many are, each
// reads fewer entries at a time, so that about kMostReaders entries are read at a time in
// all (each machine at least one, at most its options' readers).
inline constexpr std::size_t kMostMachinesAtOnce = 64;
inline constexpr std::size_t kMostReaders = 64;

// The longest finite wait the platform offers (one below INFINITE).
inline constexpr std::int64_t kLongestWaitMs = 0xFFFFFFFE;

// Milliseconds to wait for a time limit of `seconds`, a
// negative one counting as 0, capped at the longest finite wait.
std::int64_t TimeLimitMilliseconds(std::int32_t seconds, std::chrono::milliseconds perSecond);

// The platform's network and service control, as the entry points pick them; without a
// probe no machine is checked before its identity test, without service control no service
// is started.
struct RequestPlatform {
  NetworkProbe* probe = nullptr;
  std::function<std::unique_ptr<ServiceControl>()> serviceControl;
  Text localComputerName;  // needs no check
  std::uint16_t port = kFileSharingPort;
  ServiceWaitClock serviceClock;
};

// What a request needs.
struct RequestOptions {
  std::chrono::milliseconds timeLimit{15000};  // each machine's
  std::size_t machinesAtOnce = kMachinesAtOnce;
  InventoryOptions inventory;
  // The user asked, in so many words, that a machine whose Remote Registry service does not
  // answer have it started for the time of the read (and put back as it was).
  bool startRemoteRegistry = false;
  RequestPlatform platform;
};

// Puts back every Remote Registry service that a request started and has not put back yet
// (each within its own limit): the window program calls it when it closes mid-request.
void RestoreStartedServices();

// The machine names of a request text: its ";"-separated names in order, blanks around them
// and empty ones dropped, each by its MachineNameOf and once whatever its letter case, "."
// and `localComputerName` (when not empty) counting as one machine; "." when none is left.
std::vector<Text> RequestMachines(TextView request, TextView localComputerName = {});

class MachineRequest {
 public:
  MachineRequest(std::vector<Text> machines, RequestOptions options);
  ~MachineRequest();
  MachineRequest(const MachineRequest&) = delete;
  MachineRequest& operator=(const MachineRequest&) = delete;

  // Reads every machine and reports to `report`; returns the results in list order (the
  // records too, as MachineDone had them). Call once.
  std::vector<MachineResult> Run(MachineReport& report);

  // Waits until the abandoned jobs and every identity test started have ended; true when
  // they all did within `limit`. Their work never reaches the report.
  bool WaitForLateWork(std::chrono::milliseconds limit) const;

  struct Slot;  // one machine's job state (defined beside the request's code)

 private:
  class Ordering;
  class MachineLog;
  MachineResult RunOne(std::size_t index, std::size_t readers);

  std::vector<Text> machines_;
  RequestOptions options_;
  std::shared_ptr<Ordering> ordering_;
  std::vector<std::shared_ptr<Slot>> slots_;
};

}  // namespace appcensus
