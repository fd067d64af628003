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

bool WindowSettings::InnerSize(int* width, int* height) {
  HWND window = Gadget(kMainWindow);
  RECT inner{};
  if (!window || !GetClientRect(window, &inner)) return false;
  *width = inner.right;
  *height = inner.bottom;
  return true;
}

void WindowSettings::SetInnerSize(int width, int height) {
  HWND window = Gadget(kMainWindow);
  RECT outer{0, 0, width, height};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
  SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace appcensus
