// A request's inventory run here, as a machine's job runs it, on a table and entry list of
// its own with a recording log and an open gate. The identity tests it starts are waited for when it
// goes away, so that none of them outlives the test.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "inventory/inventory_passes.h"
#include "request/job_gate.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus::testing {

class InventoryRun {
 public:
  explicit InventoryRun(std::chrono::milliseconds identityWait = std::chrono::seconds(20))
      : context{&table, &entries, log, gate, InventoryOptions{.identityWait = identityWait}, [this](const TaskThread& test) {
                  std::lock_guard lock(mutex_);
                  tests_.push_back(test);
                }} {}
  ~InventoryRun() {
    for (const auto& test : IdentityTests()) test.WaitFor(std::chrono::seconds(30));
  }

  // Both passes for `request`; the records of the table afterwards, in table order.
  std::vector<ApplicationRecord> Records(TextView request) {
    result = RunInventory(context, request);
    return table.Snapshot();
  }
  // The identity tests started so far, in order.
  std::vector<TaskThread> IdentityTests() {
    std::lock_guard lock(mutex_);
    return tests_;
  }

  ApplicationTable table;
  UninstallEntryList entries;
  InventoryResult result;
  std::shared_ptr<RecordingActivityLog> log = std::make_shared<RecordingActivityLog>();
  std::shared_ptr<JobGate> gate = std::make_shared<JobGate>();
  InventoryContext context;

 private:
  std::mutex mutex_;
  std::vector<TaskThread> tests_;
};

}  // namespace appcensus::testing
