// The machines of one command line, each inventoried as the window program inventories a
// request: its own job under the machine worker's time limit and abandon rule, with its own
// entry list, table and log. Several machines may run at once, each under its time limit
// from the moment its turn comes; what they report is handed on grouped per machine, in
// list order, as soon as the machines before have been handed on.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "core/activity_log.h"
#include "core/application_record.h"
#include "core/text.h"
#include "inventory/machine_test.h"

namespace appcensus::cli {

enum class MachineOutcome {
  Listed,        // the job ended within the limit and the machine passed its identity test
  Unreachable,   // the job ended within the limit: the machine did not answer (in time)
  OtherMachine,  // the job ended within the limit: another machine answered under that name
  TimedOut,      // the limit passed: the job was abandoned
};

struct MachineResult {
  Text machine;
  MachineOutcome outcome = MachineOutcome::Listed;
  // The machine's table after its job, in table order (the order of the window's views and
  // export); empty when the job was abandoned.
  std::vector<ApplicationRecord> records;
  std::chrono::milliseconds duration{0};  // from the start of its job to its end or abandon
  // Unless Listed, the activity message that explains the outcome: the machine's first
  // error (its identity test's, or the abandon's when the job was abandoned).
  Text message;
};

// Receives what the machines report, from one thread at a time, machine after machine in
// list order: the activity of a machine, then its result.
class MachineReport {
 public:
  virtual ~MachineReport() = default;
  virtual void Activity(TextView machine, TextView text, ActivityLevel level) = 0;
  // Progress of the machine whose activity is being handed on as it happens.
  virtual void Progress(TextView machine, int value, int maximum) = 0;
  virtual void MachineDone(const MachineResult& result) = 0;
};

struct RunSettings {
  Text timeLimitText;  // read as the window reads its time-limit field
  std::function<Text()> localHostName;
  int parallel = 1;
  std::chrono::milliseconds perLimitSecond{1000};
  std::chrono::milliseconds identityWait = kIdentityTestWait;
  bool allLocations = true;
  bool readExtras = false;  // the records' Extras
};

// However many machines are asked for at once, at most this many are inventoried at once
// (each has a few threads: its worker's, its job's, its identity test's); and when many are,
// each reads fewer entries at a time, so that about kMostReaders entries are read at a time
// in all (each machine at least one, at most kParallelReaders).
inline constexpr std::size_t kMostMachinesAtOnce = 64;
inline constexpr std::size_t kMostReaders = 64;

class MachineRuns {
 public:
  MachineRuns(std::vector<Text> machines, RunSettings settings);
  ~MachineRuns();

  // Inventories every machine, at most settings.parallel (and kMostMachinesAtOnce) at once,
  // and reports to `report`. Returns the outcomes in list order. Call once.
  std::vector<MachineOutcome> Run(MachineReport& report);

  // Waits until the abandoned jobs and every identity test started have ended; true when
  // they all did within `limit`. Their work never reaches the report.
  bool WaitForLateWork(std::chrono::milliseconds limit) const;

 private:
  struct Slot;
  class Ordering;
  class MachineLog;
  void RunOne(std::size_t index, std::size_t readers);

  std::vector<Text> machines_;
  RunSettings settings_;
  std::shared_ptr<Ordering> ordering_;
  std::vector<std::shared_ptr<Slot>> slots_;
};

}  // namespace appcensus::cli
