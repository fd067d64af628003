#include "request/service_control_win32.h"

#include <vector>
#include "core/win32_text.h"

namespace appcensus {

namespace {

long LastStatus() { return static_cast<long>(GetLastError()); }


}  // namespace

long Win32ServiceControl::Open(TextView machine, TextView service, std::uint32_t access) {
  service_.reset();
  if (!manager_) {
    const Text name(machine);
    manager_.reset(OpenSCManagerW(name == u"." ? nullptr : Wide(name), nullptr, SC_MANAGER_CONNECT));
    if (!manager_) return LastStatus();
  }
  service_.reset(OpenServiceW(manager_.get(), Wide(Text(service)), access));
  return service_ ? ERROR_SUCCESS : LastStatus();
}

long Win32ServiceControl::QueryStatus(ServiceStatus* status) {
  SERVICE_STATUS_PROCESS process{};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process),
                            sizeof process, &needed))
    return LastStatus();
  *status = {process.dwCurrentState, process.dwCheckPoint, process.dwWaitHint};
  return ERROR_SUCCESS;
}

long Win32ServiceControl::QueryStartType(std::uint32_t* startType) {
  DWORD needed = 0;
  if (!QueryServiceConfigW(service_.get(), nullptr, 0, &needed) && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return LastStatus();
  // QUERY_SERVICE_CONFIGW holds pointers: the buffer is aligned for them.
  std::vector<std::uint64_t> buffer(needed / sizeof(std::uint64_t) + 1);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (!QueryServiceConfigW(service_.get(), config, static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t)), &needed))
    return LastStatus();
  *startType = config->dwStartType;
  return ERROR_SUCCESS;
}

long Win32ServiceControl::ChangeStartType(std::uint32_t startType) {
  return ChangeServiceConfigW(service_.get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr)
             ? ERROR_SUCCESS
             : LastStatus();
}

long Win32ServiceControl::Start() { return StartServiceW(service_.get(), 0, nullptr) ? ERROR_SUCCESS : LastStatus(); }

long Win32ServiceControl::Stop(ServiceStatus* status) {
  SERVICE_STATUS answer{};
  const bool asked = ControlService(service_.get(), SERVICE_CONTROL_STOP, &answer);
  const long result = asked ? ERROR_SUCCESS : LastStatus();
  *status = {answer.dwCurrentState, answer.dwCheckPoint, answer.dwWaitHint};
  return result;
}

void Win32ServiceControl::Close() {
  service_.reset();
  manager_.reset();
}

}  // namespace appcensus
