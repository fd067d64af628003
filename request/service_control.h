// One service of one machine's service control manager, as a small interface with the Win32
// values and status codes: the Remote Registry service is started through it for the time of
// a read. The programs use the advapi32 one (service_control_win32.h), tests a double
// (tests/support/service_control_double.h). An object serves one thread at a time.
#pragma once

#include <cstdint>

#include "core/text.h"

namespace appcensus {

namespace svc {
// Service states.
inline constexpr std::uint32_t kStopped = 1;
inline constexpr std::uint32_t kStartPending = 2;
inline constexpr std::uint32_t kStopPending = 3;
inline constexpr std::uint32_t kRunning = 4;
// Start types.
inline constexpr std::uint32_t kAutoStart = 2;
inline constexpr std::uint32_t kDemandStart = 3;
inline constexpr std::uint32_t kDisabled = 4;
// Access rights on a service.
inline constexpr std::uint32_t kQueryConfig = 0x0001;
inline constexpr std::uint32_t kChangeConfig = 0x0002;
inline constexpr std::uint32_t kQueryStatus = 0x0004;
inline constexpr std::uint32_t kStart = 0x0010;
inline constexpr std::uint32_t kStop = 0x0020;
// Status codes.
inline constexpr long kAccessDenied = 5;
inline constexpr long kRequestTimeout = 1053;
inline constexpr long kAlreadyRunning = 1056;
inline constexpr long kServiceDisabled = 1058;
inline constexpr long kNoSuchService = 1060;
inline constexpr long kNotActive = 1062;
}  // namespace svc

inline constexpr char16_t kRemoteRegistryService[] = u"RemoteRegistry";

struct ServiceStatus {
  std::uint32_t state = 0;
  std::uint32_t checkPoint = 0;  // grows while a pending state makes progress
  std::uint32_t waitHintMs = 0;  // how long the next step should take
};

class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  // Connects to the service control manager of `machine` with the right to connect only
  // (once; "." is the local one), then opens `service` with `access` (svc::k* rights), in
  // place of the service handle opened before. A status code (0: success).
  virtual long Open(TextView machine, TextView service, std::uint32_t access) = 0;
  // The calls below work on the open service; a status code each.
  virtual long QueryStatus(ServiceStatus* status) = 0;
  virtual long QueryStartType(std::uint32_t* startType) = 0;
  // Changes the start type and nothing else of the service's configuration.
  virtual long ChangeStartType(std::uint32_t startType) = 0;
  virtual long Start() = 0;
  // Asks the service to stop; `status` as it answered.
  virtual long Stop(ServiceStatus* status) = 0;
  // Closes the service and the manager.
  virtual void Close() = 0;
};

}  // namespace appcensus
