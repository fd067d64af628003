#include "ui/window_thread_win32.h"

#include "request/machine_request.h"
#include "ui/commands_win32.h"
#include "ui/controls_win32.h"
#include "ui/gadgets_win32.h"
#include "ui/main_views.h"
#include "ui/main_window_win32.h"
#include "ui/window_layout_win32.h"

namespace appcensus {

bool RunMainWindow() {
  CreateMainWindow();
  HWND window = Gadget(kMainWindow);
  Win32Gadgets* gadgets = MainWindowGadgets();
  if (!window || !gadgets) return false;
  ApplyWindowLayout();
  MainUiChannel().Attach(*gadgets, [window] { return PostMessageW(window, kApplyUiWorkMessage, 0, 0) != FALSE; });
  LoadStoredSettingsIntoWindow();
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  CompleteMainWindow();  // what the shown window does not need to appear whole
  MainUiChannel().Drain();  // work handed over before the window existed

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The keys of the commands first, then Tab between the controls as in a dialog.
    if (OnKeyMessage(message) || IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  MainUiChannel().Detach();
  return true;
}

DWORD WINAPI WindowThread(LPVOID) {
  RunMainWindow();
  // Closed while a machine was read with its Remote Registry service started for it: the
  // service is put back before the process ends.
  RestoreStartedServices();
  ExitProcess(0);
}

}  // namespace appcensus
