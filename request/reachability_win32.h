// The reachability probe on Windows Sockets: GetAddrInfoW for the name, a non-blocking TCP
// connect and a wait for the answer. Each probe starts Windows Sockets 2 for its own life
// (the start is counted by the system, so several probes and the programs' own start mix).
#pragma once

#include "request/reachability.h"

namespace appcensus {

class Win32NetworkProbe : public NetworkProbe {
 public:
  Win32NetworkProbe();
  ~Win32NetworkProbe() override;
  Win32NetworkProbe(const Win32NetworkProbe&) = delete;
  Win32NetworkProbe& operator=(const Win32NetworkProbe&) = delete;

  std::vector<NetworkAddress> Resolve(TextView name) override;
  PortAnswer Connect(const NetworkAddress& address, std::uint16_t port, std::chrono::milliseconds limit) override;

 private:
  bool started_ = false;
};

}  // namespace appcensus
