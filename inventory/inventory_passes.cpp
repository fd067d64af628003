#include "inventory/inventory_passes.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "core/application_record.h"
#include "inventory/entry_rules.h"
#include "inventory/package_listing.h"
#include "registry/registry_session.h"

namespace appcensus {

namespace {

using Sessions = std::map<Text, std::unique_ptr<RegistrySession>>;

RegistrySession& SessionOf(Sessions& sessions, const Text& machine) {
  std::unique_ptr<RegistrySession>& session = sessions[machine];
  if (!session) session = std::make_unique<RegistrySession>(CurrentRegistryApi(), machine);
  return *session;
}

// The hives under HKEY_USERS that belong to a user: not .DEFAULT, not the *_Classes ones.
bool IsUserHive(TextView name) {
  const Text upper = UpperCase(name);
  return upper != u".DEFAULT" && !upper.ends_with(u"_CLASSES");
}

// The Uninstall keys of a machine, in the order they are listed: the 64-bit view, the 32-bit
// view, then each user hive's. A key that does not exist is skipped when it is opened.
std::vector<Text> UninstallLocations(RegistrySession& session, bool all) {
  if (!all) return {kUninstallKeyPath};
  std::vector<Text> locations{kUninstallKeyPath, kUninstallKeyPath32};
  RegistrySession::Key users = session.Open(kUsersRootPath);
  bool nameTooLong = false;
  for (std::uint32_t index = 0;; ++index) {
    const Text hive = session.SubKeyName(users, index, &nameTooLong);
    if (hive.empty() && !nameTooLong) break;
    if (!hive.empty() && IsUserHive(hive)) locations.push_back(kUsersRootPath + hive + kUserUninstallSubKey);
  }
  return locations;
}

// Readers at a time on `machine`: one locally, where the wait is the work's, else the
// context's number (at least one, at most `most`).
std::size_t ReadersFor(const InventoryContext& context, const Text& machine, std::size_t most) {
  return machine == u"." ? 1 : std::clamp<std::size_t>(context.options.readers, 1, std::max<std::size_t>(most, 1));
}

// Starts `count` helpers running `work(k)` for k = 1..count-1 on threads of their own, runs
// work(0) here, then waits for every helper, however long its last call takes: they use
// the caller's frame.
void RunWithHelpers(std::size_t count, const std::function<void(std::size_t)>& work) {
  std::vector<TaskThread> helpers;
  for (std::size_t k = 1; k < count; ++k) {
    TaskThread helper;
    if (helper.Start([&work, k] { work(k); })) helpers.push_back(helper);
  }
  work(0);
  for (const TaskThread& helper : helpers)
    while (!helper.WaitFor(std::chrono::hours(1))) {
    }
}

// A subkey name read at one position of a key.
struct ListedName {
  Text name;
  bool tooLong = false;  // a name that does not fit cannot be read: it is left out, the list goes on
  bool End() const { return name.empty() && !tooLong; }
};

// The subkey names of the open Uninstall key `location` of a machine, in their order and
// without those too long to read; false when the gate closed meanwhile. A long list of a
// remote machine is read by several readers at a time, each over a connection of its own:
// past the first names, reader k reads every n-th position from the k-th on, and the list is
// merged in order up to the first position a reader could not read. From there it is read
// one by one through `key`, so that it ends exactly where a single reader's list ends,
// whatever a helper could not do.
bool SubKeyNames(InventoryContext& context, RegistrySession& session, RegistrySession::Key& key,
                 const Text& location, const Text& machine, std::vector<Text>& names) {
  const auto gateOpen = [&context] { return context.gate->Run([] {}); };  // a write of nothing
  const auto nameAt = [](RegistrySession& from, RegistrySession::Key& at, std::uint32_t position) {
    ListedName listed;
    listed.name = from.SubKeyName(at, position, &listed.tooLong);
    return listed;
  };
  const std::uint32_t readers = static_cast<std::uint32_t>(ReadersFor(context, machine, kParallelReaders));
  std::uint32_t position = 0;
  bool ended = false;
  const auto oneByOne = [&](std::uint32_t stop) {
    for (; !ended && position < stop && gateOpen(); ++position) {
      const ListedName listed = nameAt(session, key, position);
      ended = listed.End();
      if (!listed.name.empty()) names.push_back(listed.name);
    }
  };
  oneByOne(readers);  // the first names; a single reader reads the rest at the end
  if (!ended && readers > 1 && gateOpen()) {
    const std::uint32_t first = position;
    std::vector<std::vector<ListedName>> read(readers);  // read[k]: reader k's names, in order
    const auto readEveryNth = [&](RegistrySession& from, RegistrySession::Key& at, std::uint32_t k) {
      for (std::uint32_t p = first + k; at && gateOpen(); p += readers) {
        ListedName listed = nameAt(from, at, p);
        if (listed.End()) return;
        read[k].push_back(std::move(listed));
      }
    };
    RunWithHelpers(readers, [&](std::size_t k) {
      if (k == 0) return readEveryNth(session, key, 0);
      RegistrySession own(CurrentRegistryApi(), machine);
      RegistrySession::Key at = own.Open(location);
      readEveryNth(own, at, static_cast<std::uint32_t>(k));
    });
    for (;; ++position) {
      const std::vector<ListedName>& byReader = read[(position - first) % readers];
      const std::size_t nth = (position - first) / readers;
      if (nth >= byReader.size()) break;
      if (!byReader[nth].tooLong) names.push_back(byReader[nth].name);
    }
  }
  oneByOne(UINT32_MAX);
  return gateOpen();
}

// Lists the entries of every Uninstall key of one machine that passed its identity test.
// False when the gate refused a write: the pass stops.
bool ListMachine(InventoryContext& context, RegistrySession& session, const Text& machine, int& index,
                 std::size_t& total) {
  for (const Text& location : UninstallLocations(session, context.options.allLocations)) {
    RegistrySession::Key key = session.Open(location);
    // Without the 64-bit view's key the machine gives nothing, as it always did; any other
    // key that is missing or refused is left out.
    if (!key && location == kUninstallKeyPath) return true;
    std::vector<Text> names;
    if (key && !SubKeyNames(context, session, key, location, machine, names)) return false;
    for (const Text& name : names) {
      const bool written = context.gate->Run([&] {
        context.entries->Append(UninstallEntry{name, machine, location});
        context.log->SetStatusProgress(index, 100);
      });
      if (!written) return false;
      ++index;
      ++total;
    }
  }
  return true;
}

// First pass: for each machine of the ";"-separated list, in order, the identity test and,
// when it passes, every subkey of its Uninstall keys into the entry list. Closes with the
// number of entries of the last machine (status field 3). Returns the number of entries
// listed, all machines together.
std::size_t ListUninstallEntries(InventoryContext& context, TextView machineList, Sessions& sessions,
                                 std::vector<MachineVerdict>& verdicts) {
  WriteGate& gate = *context.gate;
  GatedActivityLog log(*context.log, context.gate);
  const IdentityTestRun testRun{context.log, context.gate, context.options.identityWait, context.identityTestStarted};

  const std::size_t machineCount = CountFields(machineList, u';');
  verdicts.assign(machineCount, MachineVerdict::Unreachable);
  std::size_t total = 0;
  int index = 0;
  for (std::size_t m = 0; m < machineCount; ++m) {
    const Text machine = NthField(machineList, u';', m);
    index = 0;
    verdicts[m] = AwaitMachineTest(machine, testRun);
    if (verdicts[m] != MachineVerdict::Passed) {
      log.LogActivity(u"Impossible de contacter la machine " + machine + u".", ActivityLevel::Error, 1);
      continue;
    }
    log.LogActivity(u"Connexion à la base de registre de la machine " + machine + u"...", ActivityLevel::InProgress, 1);
    if (!ListMachine(context, SessionOf(sessions, machine), machine, index, total)) return total;
    log.LogActivity(u"Recherches des applications effectuées sur la machine " + machine + u".", ActivityLevel::None, 1);
  }
  // With nothing listed this is the inventory's last write.
  const auto countLine = [&] { context.log->LogActivity(DecimalText(index) + u" Entrées", ActivityLevel::None, 3); };
  if (total == 0)
    gate.Commit(countLine);
  else
    gate.Run(countLine);
  return total;
}

// Reads one entry's values through its key, opened once, into its record (with its
// extras when asked); none without a display name.
std::optional<ApplicationRecord> ReadEntry(RegistrySession& session, const UninstallEntry& entry,
                                           const ProductCodePattern& productCode, bool extras) {
  RegistrySession::Key key = session.Open(entry.UninstallKeyPath + u"\\" + entry.KeyName);
  EntryValues values;
  for (const auto& source : kEntryValueSources) values.*source.field = session.Value(key, source.valueName);
  if (values.DisplayName.empty()) return std::nullopt;
  Text uninstallCommand;
  if (NeedsUninstallCommand(values)) uninstallCommand = session.Value(key, kUninstallCommandValueName);
  std::optional<ApplicationRecord> record = BuildApplicationRecord(values, uninstallCommand, entry, productCode);
  if (extras)
    for (const auto& extra : kExtraValues) {  // DisplayIcon has been read already
      const std::optional<std::uint64_t> number = extra.number ? session.Number(key, extra.valueName) : std::nullopt;
      record->Extras.*extra.member = extra.member == &EntryExtras::DisplayIcon ? values.DisplayIcon
                                     : extra.number ? (number ? Utf8ToText(std::to_string(*number)) : Text())
                                                    : session.Value(key, extra.valueName);
    }
  return record;
}

// The entries [first, end) of one machine, handed out in list order to one or several
// readers; each handing-out reports the progress, so it only moves forward.
class MachineEntries {
 public:
  MachineEntries(InventoryContext& context, const std::vector<UninstallEntry>& entries, std::size_t first,
                 std::size_t end, const ProductCodePattern& productCode)
      : context_(context), entries_(entries), next_(first), end_(end), productCode_(productCode) {}

  // Reads entries until none is left (true) or the gate refuses a write (false).
  bool Read(RegistrySession& session) {
    for (;;) {
      std::size_t position = end_;
      const bool open = context_.gate->Run([&] {
        if (next_ >= end_) return;
        position = next_++;
        context_.log->SetStatusProgress(static_cast<int>(position + 1), static_cast<int>(entries_.size()));
      });
      if (!open) break;
      if (position >= end_) return true;
      const std::optional<ApplicationRecord> record =
          ReadEntry(session, entries_[position], productCode_, context_.options.readExtras);
      if (record && !context_.gate->Run([&] { context_.table->Store(*record); })) break;
    }
    refused_ = true;
    return false;
  }
  bool Refused() const { return refused_; }

 private:
  InventoryContext& context_;
  const std::vector<UninstallEntry>& entries_;
  std::size_t next_;  // under the gate's lock
  const std::size_t end_;
  const ProductCodePattern& productCode_;
  std::atomic<bool> refused_{false};
};

// Reads one machine's entries, on a remote machine by several readers at a time, each over a
// connection of its own, since there the wait is the network's, not the work's. A helper
// that cannot connect to the machine leaves the entries to the others.
bool ReadMachine(InventoryContext& context, const std::vector<UninstallEntry>& entries, std::size_t first,
                 std::size_t end, RegistrySession& session, const ProductCodePattern& productCode) {
  MachineEntries work(context, entries, first, end, productCode);
  const Text& machine = entries[first].Machine;
  RunWithHelpers(ReadersFor(context, machine, end - first), [&](std::size_t k) {
    if (k == 0) {
      work.Read(session);
      return;
    }
    RegistrySession own(CurrentRegistryApi(), machine);
    if (own.Reaches(kUninstallKeyPath)) work.Read(own);
  });
  return !work.Refused();
}

// Second pass: reads the values of every listed entry and stores one record per entry that
// has a display name. `request` is the job's request text, named by the opening line (the
// whole list when the job covers several machines). Returns the number of records in the
// table afterwards.
std::size_t ReadApplicationDetails(InventoryContext& context, TextView request, Sessions& sessions) {
  const ProductCodePattern productCode;  // compiled once per pass
  ApplicationTable& table = *context.table;
  const std::vector<UninstallEntry> entries = context.entries->Snapshot();
  const std::size_t count = entries.size();
  if (count == 0) return table.Count();

  GatedActivityLog log(*context.log, context.gate);
  const Text countText = DecimalText(static_cast<std::int64_t>(count));
  log.LogActivity(u"Récupération des informations de chaque applications sur la machine " + Text(request) + u" (" +
                      countText + u" entrées)...",
                  ActivityLevel::InProgress, 1);

  // Entries come machine after machine; each machine's session closes when its entries are read.
  for (std::size_t first = 0, end = 0; first < count; first = end) {
    const Text& machine = entries[first].Machine;
    for (end = first; end < count && entries[end].Machine == machine;) ++end;
    const bool read = ReadMachine(context, entries, first, end, SessionOf(sessions, machine), productCode);
    // The machine's packages, after its Uninstall entries, stored through the same gate.
    const auto gateOpen = [&context] { return context.gate->Run([] {}); };
    if (read && context.options.allLocations)
      for (const ApplicationRecord& record :
           ReadPackageRecords(SessionOf(sessions, machine), machine, PlatformLocalUser(), gateOpen, context.options.readers))
        if (!context.gate->Run([&] { table.Store(record); })) return table.Count();
    sessions.erase(machine);
    if (!read) return table.Count();
  }

  // The inventory's last write.
  context.gate->Commit([&] {
    context.log->LogActivity(
        u"Récupération des informations d'applications effectuées. " + countText + u" entrées traités.",
        ActivityLevel::Done, 1);
  });
  return table.Count();
}

}  // namespace

InventoryResult RunInventory(InventoryContext& context, TextView request) {
  // The machines' registry sessions, closed on this thread whatever way the passes end.
  Sessions sessions;
  InventoryResult result;
  if (ListUninstallEntries(context, request, sessions, result.verdicts) > 0)
    result.records = ReadApplicationDetails(context, request, sessions);
  return result;
}

}  // namespace appcensus
