// Small remote control for the screenshot script: acts on the main window of a running
// program through window messages.
//   window_tool resize <width> <height>   inner size
//   window_tool move <x> <y>              outer top-left corner on the screen
//   window_tool tab <index>               clicks a tab of the panel
//   window_tool expand <count>            opens the first branches of the tree
//   window_tool machine <text>            types a machine name into the machine box
//   window_tool click <gadget name>       clicks a button registered under that name
//   window_tool wait <text> [seconds]     waits (60 s unless given) for an activity row that
//                                         begins with the text; prints it; exit code 1 when
//                                         none came
//   window_tool close
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/gui_driver_win32.h"

using namespace appcensus::driver;

namespace {

class ForeignWindow {
 public:
  bool Find() {
    window_ = FindWindowW(nullptr, L"Brelmont Appcensus v3.133");
    if (!window_) return false;
    DWORD processId = 0;
    GetWindowThreadProcessId(window_, &processId);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    return process_ != nullptr;
  }
  ~ForeignWindow() {
    if (process_) CloseHandle(process_);
  }
  HWND window() const { return window_; }
  HANDLE process() const { return process_; }

 private:
  HWND window_ = nullptr;
  HANDLE process_ = nullptr;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  ForeignWindow target;
  for (int i = 0; i < 100 && !target.Find(); ++i) Sleep(100);
  if (!target.window()) return 3;
  const std::wstring command = argv[1];
  const auto number = [&](int index) { return argc > index ? _wtoi(argv[index]) : 0; };
  HWND window = target.window();
  if (command == L"resize") {
    Driver::SetInnerSize(window, number(2), number(3));
  } else if (command == L"move") {
    SetWindowPos(window, nullptr, number(2), number(3), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (command == L"tab" || command == L"expand") {
    Driver driver(window, target.process());
    if (command == L"tab") {
      driver.ClickTab(driver.Gadget(L"PANEL_VisuApplications"), number(2));
    } else {
      HWND tree = driver.Gadget(L"TREE_ApplicationsUninstall");
      int opened = 0;
      for (HTREEITEM node : driver.TreeNodes(tree))
        if (opened < number(2) && SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node))) ++opened;
    }
  } else if (command == L"machine" && argc > 2) {
    Driver driver(window, target.process());
    HWND edit = FindWindowExW(driver.Gadget(L"CBX_nomMachine"), nullptr, L"Edit", nullptr);
    SetWindowTextW(edit, argv[2]);
  } else if (command == L"click" && argc > 2) {
    Driver driver(window, target.process());
    Driver::Click(driver.Gadget(argv[2]));
  } else if (command == L"wait" && argc > 2) {
    Driver driver(window, target.process());
    HWND activity = driver.Gadget(L"LST_Activite");
    const std::wstring prefix = argv[2];
    const DWORD limitMs = static_cast<DWORD>(argc > 3 ? number(3) : 60) * 1000;
    const DWORD start = GetTickCount();
    for (int row = 0;;) {
      for (const int count = driver.RowCount(activity); row < count; ++row) {
        const std::wstring text = driver.CellText(activity, row, 0);
        if (text.compare(0, prefix.size(), prefix) == 0) {
          // The console shows UTF-8.
          const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
          std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 1), '\0');
          WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
          std::printf("%s\n", utf8.c_str());
          return 0;
        }
      }
      if (GetTickCount() - start >= limitMs) return 1;
      Sleep(100);
    }
  } else if (command == L"redraw") {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  } else if (command == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
  } else {
    return 2;
  }
  Settle(window);
  return 0;
}
