#include "request/machine_job.h"

#include "inventory/inventory_passes.h"
#include "settings/stored_settings.h"

namespace appcensus {

void RunMachineJob(const Text& request, const std::shared_ptr<JobGate>& gate, const MachineJobServices& services) {
  InventoryContext context;
  context.state = services.state;
  // Not owned: the process's log outlives every job and identity-test thread.
  context.log = std::shared_ptr<ActivityLog>(std::shared_ptr<void>(), services.log);
  context.gate = gate;
  context.identityWait = services.identityWait;
  context.identityTestStarted = services.identityTestStarted;

  const std::size_t records = RunInventory(context, request);
  // A list of machines never enters the history. Once the inventory has committed, the job
  // can no longer be abandoned: the history is saved outside the gate's lock.
  if (records == 0 || request.find(u';') != Text::npos || !gate->Committed()) return;
  SaveMachineHistory(request);
  gate->Run([&] {
    if (services.reloadMachineHistory) services.reloadMachineHistory();
  });
}

}  // namespace appcensus
