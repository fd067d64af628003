// Whether a remote machine can be reached at all, before its registry is asked: its name is
// resolved once, then a TCP connection is opened to one port (445, file sharing, in the
// programs) within a short limit. The outcome tells apart a name that does not resolve, a
// host that does not answer and a host that actively refuses, which a failed registry
// connection alone cannot. The check never proves which machine answered: that stays the
// identity test's.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "core/text.h"

namespace appcensus {

inline constexpr std::uint16_t kFileSharingPort = 445;
inline constexpr std::chrono::milliseconds kReachabilityLimit{2000};

// What one connection attempt gave.
enum class PortAnswer { Answered, NoAnswer, Refused };

// What the whole check gave; NotChecked for a machine that needs no check (the local one).
enum class Reachability { NotChecked, Answered, NameUnknown, NoAnswer, Refused };

// One address a name resolved to, as the platform's socket address bytes (opaque here).
struct NetworkAddress {
  std::vector<std::uint8_t> bytes;
  bool operator==(const NetworkAddress&) const = default;
};

// The platform's name resolution and TCP connection. The Win32 one (Win32NetworkProbe,
// reachability_win32.h) uses GetAddrInfoW and a non-blocking connect; tests use a double
// (tests/support/network_probe_double.h). Implementations may be called from any thread,
// several at a time.
class NetworkProbe {
 public:
  virtual ~NetworkProbe() = default;
  // The addresses `name` resolves to, in the order to try them; empty when it does not
  // resolve. Not limited in time by this interface (the system's own resolver limits).
  virtual std::vector<NetworkAddress> Resolve(TextView name) = 0;
  // Opens a TCP connection to `address` on `port` and closes it at once; waits at most
  // `limit` for the answer.
  virtual PortAnswer Connect(const NetworkAddress& address, std::uint16_t port, std::chrono::milliseconds limit) = 0;
};

// Whether `machine` needs the check: not for "." or the empty name (the local registry), nor
// for the local computer's own name (`localComputerName`, letter case ignored).
bool NeedsReachabilityCheck(TextView machine, TextView localComputerName);

// Resolves `machine` once through `probe`, then tries its addresses in order on `port`, all
// of them within `limit` together: Answered as soon as one answers; else Refused when one
// refused (the host is up), else NoAnswer (also when the limit ran out before an address
// was tried); NameUnknown when the name resolves to nothing. On the calling thread; blocks
// for the resolution plus at most `limit`.
Reachability CheckReachability(NetworkProbe& probe, TextView machine, std::uint16_t port = kFileSharingPort,
                               std::chrono::milliseconds limit = kReachabilityLimit);

}  // namespace appcensus
