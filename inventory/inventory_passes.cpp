#include "inventory/inventory_passes.h"

#include <optional>

#include "core/application_record.h"
#include "inventory/entry_rules.h"
#include "registry/registry_layer.h"

namespace appcensus {

std::size_t RunInventory(InventoryContext& context, TextView request) {
  if (EnumerateUninstallEntries(context, request) == 0) return 0;
  return ReadApplicationDetails(context, request);
}

std::size_t EnumerateUninstallEntries(InventoryContext& context, TextView machineList) {
  WriteGate& gate = *context.gate;
  GatedActivityLog log(*context.log, context.gate);
  const IdentityTestRun testRun{context.log, context.gate, context.identityWait, context.identityTestStarted};
  SharedState& state = *context.state;

  const std::size_t machineCount = CountFields(machineList, u';');
  std::size_t total = 0;
  int index = 0;
  for (std::size_t m = 0; m < machineCount; ++m) {
    const Text machine = NthField(machineList, u';', m);
    index = 0;
    const bool passed = AwaitMachineTest(machine, testRun);
    if (!gate.Run([&] { state.machineTestPassed.store(passed); })) return total;

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
          state.uninstallEntryList.Append(UninstallEntry{name, machine});
          context.log->SetStatusProgress(index, 100);
        });
        if (!written) return total;
        ++index;
        ++total;
      }
      log.LogActivity(u"Recherches des applications effectuées sur la machine " + machine + u".", ActivityLevel::None,
                      1);
      if (!gate.Run([&] { state.machineTestPassed.store(false); })) return total;
    } else {
      log.LogActivity(u"Impossible de contacter la machine " + machine + u".", ActivityLevel::Error, 1);
    }
  }
  // With nothing listed this is the inventory's last write.
  const auto countLine = [&] { context.log->LogActivity(DecimalText(index) + u" Entrées", ActivityLevel::None, 3); };
  if (total == 0) gate.Commit(countLine);
  else gate.Run(countLine);
  return total;
}

std::size_t ReadApplicationDetails(InventoryContext& context, TextView request) {
  const ProductCodePattern productCode;  // compiled once per pass
  ApplicationTable& table = context.state->applicationTable;
  const std::vector<UninstallEntry> entries = context.state->uninstallEntryList.Snapshot();
  const std::size_t count = entries.size();
  if (count == 0) return table.Count();

  WriteGate& gate = *context.gate;
  GatedActivityLog log(*context.log, context.gate);
  const Text countText = DecimalText(static_cast<std::int64_t>(count));
  log.LogActivity(u"Récupération des informations de chaque applications sur la machine " + Text(request) + u" (" +
                      countText + u" entrées)...",
                  ActivityLevel::InProgress, 1);

  for (std::size_t p = 1; p <= count; ++p) {
    const UninstallEntry& entry = entries[p - 1];
    if (!gate.Run([&] { context.log->SetStatusProgress(static_cast<int>(p), static_cast<int>(count)); }))
      return table.Count();

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
    if (record && !gate.Run([&] { table.Store(*record); })) return table.Count();
  }

  // The inventory's last write.
  gate.Commit([&] {
    context.log->LogActivity(
        u"Récupération des informations d'applications effectuées. " + countText + u" entrées traités.",
        ActivityLevel::Done, 1);
  });
  return table.Count();
}

}  // namespace appcensus
