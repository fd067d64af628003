// Entry point of the window program: the real registry, the shared state, the network layer,
// then the machine worker and the window thread. Closing the window ends the process with
// exit code 0 from the window thread, whatever the worker is doing.
#include <winsock2.h>
#include <windows.h>

#include "core/shared_state.h"
#include "registry/registry_api_win32.h"
#include "registry/registry_layer.h"
#include "request/reachability_win32.h"
#include "request/service_control_win32.h"
#include "request/local_host_name.h"
#include "request/machine_worker.h"
#include "ui/commands_win32.h"
#include "ui/main_views.h"
#include "ui/main_worker_window_win32.h"
#include "ui/window_thread_win32.h"
#include "core/unique_handle_win32.h"

namespace {

DWORD WINAPI MachineWorkerThread(LPVOID) {
  using namespace appcensus;
  static MainWorkerWindow window;
  static Win32NetworkProbe network;
  RequestOptions options;
  options.platform.probe = &network;
  options.platform.serviceControl = [] { return std::make_unique<Win32ServiceControl>(); };
  options.platform.localComputerName = LocalComputerName();
  MachineWorker worker(Shared(), MainActivityLog(), window, options, LocalHostName);
  worker.Run();
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  static appcensus::Win32RegistryApi registry;
  appcensus::SetRegistryApi(&registry);
  // Shared state is created empty before any thread starts.
  appcensus::Shared();
  WSADATA wsa;
  WSAStartup(MAKEWORD(1, 1), &wsa);  // only needed for the local host name; failure is tolerated

  // A worker that cannot be started leaves requests unprocessed; the window still opens.
  const appcensus::UniqueKernelHandle worker(CreateThread(nullptr, 0, MachineWorkerThread, nullptr, 0, nullptr));

  // The window thread ends the whole process when the window is closed; when it cannot be
  // started, or ends because no window could be opened, the program ends here with 0.
  const appcensus::UniqueKernelHandle windowThread(CreateThread(nullptr, 0, appcensus::WindowThread, nullptr, 0, nullptr));
  if (windowThread) WaitForSingleObject(windowThread.get(), INFINITE);
  return 0;
}
