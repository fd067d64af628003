// A request of 20 machines on the in-memory registry's model of the network: 15 that answer,
// with 300 entries each at 20 ms per round trip, and 5 that never answer; a time limit of
// 15 s per machine. Prints the request's time, the slowest machine's and how many were listed
// with all their records. Natively:
//   list_benchmark [entries] [round trip ms]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "request/machine_request.h"
#include "tests/support/memory_registry.h"
#include "tests/support/thread_signals.h"

using namespace appcensus;

namespace {

class SilentReport : public MachineReport {
 public:
  void Activity(TextView, TextView, ActivityLevel, int) override {}
  void Progress(TextView, int, int) override {}
  void MachineDone(const MachineResult&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 300;
  const int roundTripMs = argc > 2 ? std::atoi(argv[2]) : 20;
  auto registry = std::make_shared<MemoryRegistry>();
  ScopedRegistryApi scope(*registry);
  auto release = std::make_shared<testing::Latch>();
  std::vector<Text> machines;
  for (int m = 0; m < 20; ++m) {
    const Text name = (m % 4 == 1 ? u"OFF" : u"ON") + DecimalText(m);
    MemoryMachine& machine = registry->AddMachine(name);
    for (int e = 0; e < entries; ++e)
      machine.SetString(Text(kUninstallKeyPath) + u"\\E" + DecimalText(e), u"DisplayName", u"App");
    machine.SetFaults({.roundTrip = std::chrono::milliseconds(roundTripMs)});
    machines.push_back(name);
  }
  registry->beforeConnect = [release](const Text& machine) {
    if (machine.starts_with(u"OFF")) release->Wait();
  };
  SilentReport report;
  MachineRequest request(machines, RequestOptions{});
  const auto start = std::chrono::steady_clock::now();
  const std::vector<MachineResult> results = request.Run(report);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  release->Open();
  int complete = 0;
  std::chrono::milliseconds slowest{0};
  for (const MachineResult& result : results) {
    complete += result.outcome == MachineOutcome::Listed && result.records.size() == static_cast<std::size_t>(entries);
    slowest = std::max(slowest, result.duration);
  }
  std::printf("20 machines (5 that never answer), %d entries each at %d ms per round trip, limit 15 s\n", entries, roundTripMs);
  std::printf("request: %.1f s; slowest machine %.1f s; listed with all their records: %d of 15\n", seconds,
              static_cast<double>(slowest.count()) / 1000, complete);
  request.WaitForLateWork(std::chrono::seconds(30));
  return complete == 15 ? 0 : 1;
}
