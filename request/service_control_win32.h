// The service control interface on advapi32's service functions, with one owner per handle.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

#include "request/service_control.h"

namespace appcensus {

struct ServiceHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using UniqueServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

class Win32ServiceControl : public ServiceControl {
 public:
  long Open(TextView machine, TextView service, std::uint32_t access) override;
  long QueryStatus(ServiceStatus* status) override;
  long QueryStartType(std::uint32_t* startType) override;
  long ChangeStartType(std::uint32_t startType) override;
  long Start() override;
  long Stop(ServiceStatus* status) override;
  void Close() override;

 private:
  UniqueServiceHandle manager_;  // closed after the service (members go in reverse order)
  UniqueServiceHandle service_;
};

}  // namespace appcensus
