#include "inventory/inventory_passes.h"

#include <optional>

#include "core/application_record.h"
#include "core/shared_state.h"
#include "inventory/entry_rules.h"
#include "registry/registry_layer.h"

namespace appcensus {

InventoryContext InventoryContext::ForSharedState(std::shared_ptr<ActivityLog> log, std::shared_ptr<JobGate> gate) {
  SharedState& shared = Shared();
  InventoryContext context;
  context.entries = &shared.uninstallEntryList;
  context.table = &shared.applicationTable;
  context.machineTestPassed = &shared.machineTestPassed;
  context.log = std::move(log);
  context.gate = std::move(gate);
  return context;
}

InventoryContext InventoryContext::ForSharedState(ActivityLog& processLog, std::shared_ptr<JobGate> gate) {
  // Not owned: the process's log outlives every job and test thread.
  return ForSharedState(std::shared_ptr<ActivityLog>(std::shared_ptr<void>(), &processLog), std::move(gate));
}

std::size_t EnumerateUninstallEntries(InventoryContext& context, TextView machineList) {
  JobGate& gate = *context.gate;
  GatedActivityLog log(*context.log, context.gate);
  const IdentityTestRun testRun{context.log, context.gate, context.identityWait, context.identityTestStarted};

  const std::size_t machineCount = CountFields(machineList, u';');
  std::size_t total = 0;
  int index = 0;
  for (std::size_t m = 0; m < machineCount; ++m) {
    const Text machine = NthField(machineList, u';', m);
    index = 0;
    const bool passed = AwaitMachineTest(machine, testRun);
    if (!gate.Run([&] { context.machineTestPassed->store(passed); })) return total;

    if (passed) {
      log.LogActivity(u"Connexion à la base de registre de la machine " + machine + u"...", ActivityLevel::InProgress,
                      1);
      for (int position = 0;; ++position) {
        bool nameTooLong = false;
        const Text name = EnumerateRegistrySubKey(kUninstallKeyPath, position, machine, &nameTooLong);
        // A subkey whose name does not fit the layer's buffer cannot be read: it is left out,
        // but the entries after it are still listed.
        if (name.empty() && nameTooLong) continue;
        if (name.empty()) break;
        const bool written = gate.Run([&] {
          context.entries->Append(UninstallEntry{name, machine});
          context.log->SetStatusProgress(index, 100);
        });
        if (!written) return total;
        ++index;
        ++total;
      }
      log.LogActivity(u"Recherches des applications effectuées sur la machine " + machine + u".", ActivityLevel::None,
                      1);
      if (!gate.Run([&] { context.machineTestPassed->store(false); })) return total;
    } else {
      log.LogActivity(u"Impossible de contacter la machine " + machine + u".", ActivityLevel::Error, 1);
    }
  }
  log.LogActivity(DecimalText(index) + u" Entrées", ActivityLevel::None, 3);
  return total;
}

std::size_t ReadApplicationDetails(InventoryContext& context, TextView request) {
  const ProductCodePattern productCode;  // compiled once per pass
  const std::vector<UninstallEntry> entries = context.entries->Snapshot();
  const std::size_t count = entries.size();
  if (count == 0) return context.table->Count();

  JobGate& gate = *context.gate;
  GatedActivityLog log(*context.log, context.gate);
  const Text countText = DecimalText(static_cast<std::int64_t>(count));
  log.LogActivity(u"Récupération des informations de chaque applications sur la machine " + Text(request) + u" (" +
                      countText + u" entrées)...",
                  ActivityLevel::InProgress, 1);

  for (std::size_t p = 1; p <= count; ++p) {
    const UninstallEntry& entry = entries[p - 1];
    if (!gate.Run([&] { context.log->SetStatusProgress(static_cast<int>(p), static_cast<int>(count)); }))
      return context.table->Count();

    const Text keyPath = Text(kUninstallKeyPath) + u"\\" + entry.KeyName;
    EntryValues values;
    for (const auto& source : kEntryValueSources)
      values.*source.field = ReadRegistryValue(keyPath, source.valueName, entry.Machine);
    if (values.DisplayName.empty()) continue;

    Text uninstallCommand;
    if (NeedsUninstallCommand(values))
      uninstallCommand = ReadRegistryValue(keyPath, kUninstallCommandValueName, entry.Machine);
    const std::optional<ApplicationRecord> record =
        BuildApplicationRecord(values, uninstallCommand, entry, productCode);
    if (record && !gate.Run([&] { context.table->Store(*record); })) return context.table->Count();
  }

  log.LogActivity(u"Récupération des informations d'applications effectuées. " + countText + u" entrées traités.",
                  ActivityLevel::Done, 1);
  return context.table->Count();
}

}  // namespace appcensus
