// Entry point of the window program: shared state, network layer, then the worker and the
// window thread; the process ends with exit code 0.
#include <winsock2.h>
#include <windows.h>

#include "core/shared_state.h"
#include "ui/window_thread_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Shared state is created empty before any thread starts.
  appcensus::Shared();
  WSADATA wsa;
  WSAStartup(MAKEWORD(1, 1), &wsa);  // only needed for the local host name; failure is tolerated

  // The window thread ends the whole process when the window is closed; when it cannot be
  // started, or ends because no window could be opened, the program ends here with 0.
  HANDLE windowThread = CreateThread(nullptr, 0, appcensus::WindowThread, nullptr, 0, nullptr);
  if (windowThread) {
    WaitForSingleObject(windowThread, INFINITE);
    CloseHandle(windowThread);
  }
  return 0;
}
