// The two inventory passes: list the uninstall entries of the requested machines, then read
// every listed entry into an application record.
//
// Both run on a job thread that its worker may abandon when the job's time limit passes.
// Every write of the passes (entry list, table, MachineTestPassed, log and progress) goes
// through the job's gate; registry reads happen outside it. Once the gate has been
// abandoned a pass writes nothing more and stops at its next write: records stored before
// stay, nothing follows.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

#include "core/activity_log.h"
#include "core/application_table.h"
#include "core/job_gate.h"
#include "core/task_thread.h"
#include "core/text.h"
#include "inventory/machine_test.h"

namespace appcensus {

// What one job's passes work on. The list, the table and the flag must outlive the job
// (in the program they are the process-wide ones); the log and the gate are shared with
// the identity-test threads, which may end after the job.
struct InventoryContext {
  UninstallEntryList* entries = nullptr;
  ApplicationTable* table = nullptr;
  std::atomic<bool>* machineTestPassed = nullptr;
  std::shared_ptr<ActivityLog> log;
  std::shared_ptr<JobGate> gate = std::make_shared<JobGate>();
  std::chrono::milliseconds identityWait = kIdentityTestWait;
  // Told of every identity-test thread started (optional).
  std::function<void(const TaskThread&)> identityTestStarted;

  // A context on the program's shared state (Shared()).
  static InventoryContext ForSharedState(std::shared_ptr<ActivityLog> log, std::shared_ptr<JobGate> gate);
  // The same with a log that lives as long as the process (the main window's).
  static InventoryContext ForSharedState(ActivityLog& processLog, std::shared_ptr<JobGate> gate);
};

// First pass: for each machine of the ";"-separated list, in order, the identity test and,
// when it passes, every subkey of the Uninstall key into the entry list. Closes with the
// number of entries of the last machine (status field 3). Returns the number of entries
// listed by this call, all machines together.
std::size_t EnumerateUninstallEntries(InventoryContext& context, TextView machineList);

// Second pass: reads the eight values of every listed entry and stores one record per
// entry that has a display name. `request` is the job's request text, named by the opening
// line (the whole list when the job covers several machines). Returns the number of records
// in the table afterwards.
std::size_t ReadApplicationDetails(InventoryContext& context, TextView request);

}  // namespace appcensus
