#include "core/machine_job.h"

#include "inventory/inventory_passes.h"
#include "settings/stored_settings.h"

namespace appcensus {

void RunMachineJob(const Text& request, const std::shared_ptr<JobGate>& gate, const MachineJobServices& services) {
  InventoryContext context;
  context.entries = &services.state->uninstallEntryList;
  context.table = &services.state->applicationTable;
  context.machineTestPassed = &services.state->machineTestPassed;
  // Not owned: the process's log outlives every job and identity-test thread.
  context.log = std::shared_ptr<ActivityLog>(std::shared_ptr<void>(), services.log);
  context.gate = gate;
  context.identityWait = services.identityWait;

  if (request.find(u';') != Text::npos) {
    // A list of machines never enters the history.
    if (EnumerateUninstallEntries(context, request) != 0) ReadApplicationDetails(context, request);
    return;
  }
  if (EnumerateUninstallEntries(context, request) == 0) return;
  if (ReadApplicationDetails(context, request) == 0) return;
  gate->Run([&] {
    SaveMachineHistory(request);
    if (services.reloadMachineHistory) services.reloadMachineHistory();
  });
}

}  // namespace appcensus
