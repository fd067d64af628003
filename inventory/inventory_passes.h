// The two inventory passes: list the uninstall entries of the requested machines, then read
// every listed entry into an application record.
//
// Both run on a job thread that its worker may abandon when the job's time limit passes.
// Every write of the passes (entry list, table, log and progress) goes
// through the job's gate; registry reads happen outside it. Once the gate has been
// abandoned a pass writes nothing more and stops at its next write: records stored before
// stay, nothing follows.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "core/activity_log.h"
#include "core/application_table.h"
#include "core/task_thread.h"
#include "core/text.h"
#include "inventory/machine_test.h"
#include "inventory/write_gate.h"

namespace appcensus {

// Readers of one remote machine at a time (of its subkey names, then of its entries), each
// over a connection of its own, unless the context says fewer.
inline constexpr std::size_t kParallelReaders = 8;

// How a request reads its machines, the same for each of them.
struct InventoryOptions {
  // False: only the Uninstall key of the 64-bit view is listed, as the program always did.
  bool allLocations = true;
  // True: each record's Extras are read too (the console program's json and tsv).
  bool readExtras = false;
  // Readers of one remote machine at a time (at least 1).
  std::size_t readers = kParallelReaders;
  std::chrono::milliseconds identityWait = kIdentityTestWait;
};

// What one request's inventory works on. The entry list and the table belong to the request
// and must outlive it; the log and the gate are shared with the identity-test threads, which
// may end after it.
struct InventoryContext {
  ApplicationTable* table = nullptr;
  UninstallEntryList* entries = nullptr;
  std::shared_ptr<ActivityLog> log;
  std::shared_ptr<WriteGate> gate;
  InventoryOptions options;
  // Told of every identity-test thread started (optional).
  std::function<void(const TaskThread&)> identityTestStarted;
};

struct InventoryResult {
  std::size_t records = 0;  // in the table afterwards, 0 when nothing was listed
  // One per machine of the request, in its order; Unreachable for a machine never tested.
  std::vector<MachineVerdict> verdicts;
};

// The inventory of one request, on the job's thread:
// - the listing pass: for each machine of the ";"-separated request, in order, the identity
//   test and, when it passes, every subkey of its Uninstall keys (the 64-bit view, the 32-bit
//   view, each loaded user hive's) into the entry list; it closes with the number of entries
//   of the last machine (status field 3);
// - then, when it listed entries, the detail pass: the values of every listed entry, read
//   through its key opened once, and one record per entry that has a display name. The
//   opening line names `request` whole.
// Each machine is connected once (its registry session), closed when the machine is done.
// The inventory's last write (the closing line of its last pass) is the gate's commit.
InventoryResult RunInventory(InventoryContext& context, TextView request);

}  // namespace appcensus
