#include "request/reachability.h"

namespace appcensus {

namespace {

// A machine may be named as in a path ("\\SRV1"), which the registry accepts as well.
TextView HostPart(TextView machine) {
  while (machine.starts_with(u'\\')) machine.remove_prefix(1);
  return machine;
}

}  // namespace

bool NeedsReachabilityCheck(TextView machine, TextView localComputerName) {
  if (machine.empty() || machine == u".") return false;
  return localComputerName.empty() || UpperCase(HostPart(machine)) != UpperCase(HostPart(localComputerName));
}

Reachability CheckReachability(NetworkProbe& probe, TextView machine, std::uint16_t port,
                               std::chrono::milliseconds limit) {
  const TextView host = HostPart(machine);
  const std::vector<NetworkAddress> addresses = host.empty() ? std::vector<NetworkAddress>() : probe.Resolve(host);
  if (addresses.empty()) return Reachability::NameUnknown;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + limit;
  bool refused = false;
  for (const NetworkAddress& address : addresses) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    const PortAnswer answer = probe.Connect(address, port, left);
    if (answer == PortAnswer::Answered) return Reachability::Answered;
    refused = refused || answer == PortAnswer::Refused;
  }
  // A refusal proves that the host is up, whatever its other addresses did.
  return refused ? Reachability::Refused : Reachability::NoAnswer;
}

}  // namespace appcensus
