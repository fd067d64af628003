// The inventory of a remote machine of 300 entries with 8 values each, on a model of the
// network: the in-memory registry makes every call wait for its round trips (a connection
// four, any other call one). Compares the call pattern of before (each value read through the
// stateless layer: connect, open, query, close, disconnect) with the registry sessions and
// parallel readers of RunInventory, at 0.5, 2 and 20 ms per round trip, and counts the calls
// of each kind per entry. Prints figures; asserts nothing. Runs natively:
//   session_model_benchmark [entries]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "inventory/entry_rules.h"
#include "inventory/inventory_passes.h"
#include "request/job_gate.h"
#include "tests/support/memory_registry.h"

using namespace appcensus;
using namespace std::chrono;

namespace {

class SilentLog : public ActivityLog {
 public:
  void LogActivity(TextView, ActivityLevel, int) override {}
  void SetStatusProgress(int, int) override {}
};

// The pattern of before: the identity test, every subkey name and every value through the
// stateless layer, each call connecting afresh.
void StatelessPattern(TextView machine) {
  ReadRegistryValue(kActiveComputerNameKeyPath, kActiveComputerNameValue, machine);
  const ProductCodePattern productCode;
  for (int index = 0;; ++index) {
    const Text name = EnumerateRegistrySubKey(kUninstallKeyPath, index, machine);
    if (name.empty()) break;
    const Text keyPath = Text(kUninstallKeyPath) + u"\\" + name;
    EntryValues values;
    for (const auto& source : kEntryValueSources) values.*source.field = ReadRegistryValue(keyPath, source.valueName, machine);
    BuildApplicationRecord(values, u"", UninstallEntry{name, Text(machine)}, productCode);
  }
}

void SessionPattern(TextView machine) {
  ApplicationTable table;
  UninstallEntryList entries;
  InventoryContext context;
  context.table = &table;
  context.entries = &entries;
  context.log = std::make_shared<SilentLog>();
  context.gate = std::make_shared<JobGate>();
  RunInventory(context, machine);
}

struct Figures {
  double seconds;
  std::size_t calls[MemoryRegistry::kKinds];
};

Figures Measure(MemoryRegistry& registry, MemoryMachine& machine, void (*pattern)(TextView), microseconds roundTrip) {
  machine.SetFaults({.roundTrip = roundTrip});
  std::size_t before[MemoryRegistry::kKinds];
  for (int k = 0; k < MemoryRegistry::kKinds; ++k) before[k] = registry.CallCount(MemoryRegistry::Kind(k));
  const auto start = steady_clock::now();
  pattern(u"SRV");
  Figures figures{duration<double>(steady_clock::now() - start).count(), {}};
  for (int k = 0; k < MemoryRegistry::kKinds; ++k) figures.calls[k] = registry.CallCount(MemoryRegistry::Kind(k)) - before[k];
  return figures;
}

void PrintCalls(const char* name, const Figures& figures, int entries) {
  const char* kinds[] = {"connections", "opens", "queries", "enumerations", "closes", "other"};
  std::size_t total = 0;
  std::printf("%-10s calls per entry:", name);
  for (int k = 0; k < MemoryRegistry::kKinds; ++k) {
    total += figures.calls[k];
    if (figures.calls[k] != 0) std::printf(" %s %.2f", kinds[k], double(figures.calls[k]) / entries);
  }
  // A connection costs four round trips, any other call one.
  const std::size_t roundTrips = total + 3 * figures.calls[MemoryRegistry::kConnect];
  std::printf("; all %.2f, round trips %.2f\n", double(total) / entries, double(roundTrips) / entries);
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
  MemoryRegistry registry;
  ScopedRegistryApi scope(registry);
  MemoryMachine& machine = registry.AddMachine(u"SRV");
  for (int i = 0; i < entries; ++i) {
    const Text key = Text(kUninstallKeyPath) + u"\\{00000000-0000-0000-0000-" + DecimalText(100000000000 + i) + u"}";
    for (const auto& source : kEntryValueSources) machine.SetString(key, source.valueName, u"value of " + Text(source.valueName));
  }
  std::printf("remote machine of %d entries, 8 values each\n", entries);
  PrintCalls("before", Measure(registry, machine, StatelessPattern, 0us), entries);
  PrintCalls("sessions", Measure(registry, machine, SessionPattern, 0us), entries);
  for (const microseconds roundTrip : {500us, 2000us, 20000us}) {
    const Figures before = Measure(registry, machine, StatelessPattern, 0us);
    std::size_t roundTrips = 0;
    for (int k = 0; k < MemoryRegistry::kKinds; ++k) roundTrips += before.calls[k] * (k == MemoryRegistry::kConnect ? 4 : 1);
    // The pattern of before is one call after another: its time is its round trips; it is run
    // for real at 0.5 ms only, where that takes seconds, not minutes.
    const double computed = double(roundTrips) * duration<double>(roundTrip).count();
    const double measured = roundTrip == 500us ? Measure(registry, machine, StatelessPattern, roundTrip).seconds : -1;
    const Figures sessions = Measure(registry, machine, SessionPattern, roundTrip);
    std::printf("%5.1f ms per round trip: before %.1f s", roundTrip.count() / 1000.0, computed);
    if (measured >= 0) std::printf(" (run: %.1f s)", measured);
    std::printf("; sessions and %zu parallel readers %.2f s\n", kParallelReaders, sessions.seconds);
  }
  return 0;
}
