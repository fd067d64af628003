// The thread that owns the main window.
#pragma once

#include <windows.h>

namespace appcensus {

// Builds the main window on the calling thread, attaches it to the UI channel and runs its
// message loop until the window is closed. False when the window could not be opened.
bool RunMainWindow();

// Thread procedure of the program's window thread: RunMainWindow, then the end of the whole
// process with exit code 0, whatever the other threads are doing.
DWORD WINAPI WindowThread(LPVOID ignored);

}  // namespace appcensus
