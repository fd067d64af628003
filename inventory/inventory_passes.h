// The two inventory passes: list the uninstall entries of the requested machines, then read
// every listed entry into an application record.
//
// Both run on a job thread that its worker may abandon when the job's time limit passes.
// Every write of the passes (entry list, table, MachineTestPassed, log and progress) goes
// through the job's gate; registry reads happen outside it. Once the gate has been
// abandoned a pass writes nothing more and stops at its next write: records stored before
// stay, nothing follows.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

#include "core/activity_log.h"
#include "core/shared_state.h"
#include "core/task_thread.h"
#include "core/text.h"
#include "inventory/machine_test.h"
#include "inventory/write_gate.h"

namespace appcensus {

// What one request's inventory works on. The entry list, the table and the verdict flag of
// `state` must outlive it (in the window program they are the process-wide ones); the log
// and the gate are shared with the identity-test threads, which may end after it.
struct InventoryContext {
  SharedState* state = nullptr;
  std::shared_ptr<ActivityLog> log;
  std::shared_ptr<WriteGate> gate;
  std::chrono::milliseconds identityWait = kIdentityTestWait;
  // Told of every identity-test thread started (optional).
  std::function<void(const TaskThread&)> identityTestStarted;
};

// The inventory of one request: the listing pass over its ";"-separated machines, then the
// detail pass when the listing found entries. Its last write (the closing line of the last
// pass) is the gate's commit. Returns the number of records in the table afterwards, 0 when
// nothing was listed.
std::size_t RunInventory(InventoryContext& context, TextView request);

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
