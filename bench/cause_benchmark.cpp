// The time from a request to its cause for each cause, on the doubles: the reachability check
// on the network double (a silent host keeps the caller for the whole 2 s limit, as a machine
// that is off does), then, for a machine that answers, one registry connection on the
// in-memory registry's model of the network (a connection costs four round trips), then the
// cause table. The identity test and the window's own work are left out. Prints the median
// and the longest of a few runs per cause; asserts nothing. Runs natively:
//   cause_benchmark [runs] [round trip in ms]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "registry/registry_session.h"
#include "request/machine_causes.h"
#include "tests/support/memory_registry.h"
#include "tests/support/network_probe_double.h"

using namespace appcensus;
using namespace std::chrono;

namespace {

struct Scenario {
  const char16_t* machine;
  std::vector<PortAnswer> answers;  // none: the name does not resolve
  long connectStatus;               // the registry connection's fault (0: it connects)
  MachineVerdict verdict;
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const double roundTripMs = argc > 2 ? std::atof(argv[2]) : 2.0;
  using enum PortAnswer;
  const Scenario scenarios[] = {
      {u"NOWHERE", {}, 0, MachineVerdict::Unreachable},
      {u"OFF", {NoAnswer}, 0, MachineVerdict::Unreachable},
      {u"SHUT", {Refused}, 0, MachineVerdict::Unreachable},
      {u"NOREG", {Answered}, 53, MachineVerdict::Unreachable},
      {u"DENIED", {Answered}, 5, MachineVerdict::Unreachable},
      {u"LOGON", {Answered}, 1326, MachineVerdict::Unreachable},
      {u"OTHER", {Answered}, 0, MachineVerdict::OtherMachine},
  };
  NetworkProbeDouble network;
  network.silence = kReachabilityLimit;
  MemoryRegistry registry;
  for (const Scenario& s : scenarios) {
    network.AddHost(s.machine, s.answers);
    registry.AddMachine(s.machine).SetFaults(
        {.roundTrip = duration_cast<microseconds>(duration<double, std::milli>(roundTripMs)),
         .connectStatus = s.connectStatus});
  }
  std::printf("cause                request to cause (ms), %d runs, %.1f ms per round trip\n", runs, roundTripMs);
  for (const Scenario& s : scenarios) {
    std::vector<double> times;
    const char* status = "";
    for (int run = 0; run < runs; ++run) {
      const auto start = steady_clock::now();
      MachineFailure failure{CheckReachability(network, s.machine), 0, 0, s.verdict, false};
      if (failure.reachability == Reachability::Answered) {
        RegistrySession session(registry, s.machine);
        session.Reaches(u"HKEY_LOCAL_MACHINE\\");
        failure.connectStatus = session.ConnectStatus();
      }
      status = DescribeMachineCause(ChooseMachineCause(failure)).reportStatus;
      times.push_back(duration<double, std::milli>(steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%-20s median %8.2f   longest %8.2f\n", status ? status : "(none)", times[times.size() / 2],
                times.back());
  }
  return 0;
}
