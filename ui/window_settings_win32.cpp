#include "ui/window_settings_win32.h"

#include "ui/controls_win32.h"

namespace appcensus {

Text WindowSettings::MachineBoxText() { return WindowText(Gadget(kMachineBox)); }

void WindowSettings::SetMachineBoxText(TextView text) { SetWindowTextTo(Gadget(kMachineBox), text); }

void WindowSettings::ClearMachineBoxItems() { SendMessageW(Gadget(kMachineBox), CB_RESETCONTENT, 0, 0); }

void WindowSettings::AppendMachineBoxItem(TextView item) {
  const Text copy(item);
  SendMessageW(Gadget(kMachineBox), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

Text WindowSettings::TimeLimitText() { return WindowText(Gadget(kTimeLimitField)); }

void WindowSettings::SetTimeLimitText(TextView text) { SetWindowTextTo(Gadget(kTimeLimitField), text); }

// The size the window has when it is neither maximised nor minimised, so that a window closed
// while maximised opens again at its own size.
bool WindowSettings::InnerSize(int* width, int* height) {
  HWND window = Gadget(kMainWindow);
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (!window || !GetWindowPlacement(window, &placement)) return false;
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
  const RECT& outer = placement.rcNormalPosition;
  *width = (outer.right - outer.left) - (frame.right - frame.left);
  *height = (outer.bottom - outer.top) - (frame.bottom - frame.top);
  return true;
}

}  // namespace appcensus
