// Entry point of the console program: the real registry, the network and the service control
// manager, the network layer (for the local host name) and the wide command line.
#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "cli/console_win32.h"
#include "registry/registry_api_win32.h"
#include "request/reachability_win32.h"
#include "request/service_control_win32.h"

int wmain(int argc, wchar_t** argv) {
  static appcensus::Win32RegistryApi registry;
  appcensus::SetRegistryApi(&registry);
  WSADATA wsa;
  WSAStartup(MAKEWORD(1, 1), &wsa);  // only for the local host name; a failure leaves it empty

  std::vector<appcensus::Text> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));

  appcensus::cli::CliEnvironment environment = appcensus::cli::ConsoleEnvironment();
  static appcensus::Win32NetworkProbe network;
  environment.platform.probe = &network;
  environment.platform.serviceControl = [] { return std::make_unique<appcensus::Win32ServiceControl>(); };
  appcensus::cli::CliProgram program(std::move(environment));
  const int code = program.Run(arguments);
  // An abandoned job may still be running: it is left to end with the process, never waited
  // for; everything has been written without buffering, and every service started has been
  // put back (each machine's restore ends before its result).
  ExitProcess(static_cast<UINT>(code));
}
