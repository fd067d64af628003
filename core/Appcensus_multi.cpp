// Entry point of the window program: shared state, network layer, then the worker and the
// window thread; the process ends with exit code 0.
#include <winsock2.h>
#include <windows.h>

#include "core/shared_state.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Shared state is created empty before any thread starts.
  appcensus::Shared();
  WSADATA wsa;
  WSAStartup(MAKEWORD(1, 1), &wsa);  // only needed for the local host name; failure is tolerated
  return 0;
}
