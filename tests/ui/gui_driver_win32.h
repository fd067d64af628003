// Drives a running Appcensus_multi.exe from another process, through window messages only:
// finds the main window and its gadgets, reads controls (with buffers inside the program's
// address space where a control needs them) and types and clicks into them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace appcensus::driver {

// The program file beside this test program, started and closed again.
class RunningProgram {
 public:
  RunningProgram() = default;
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;
  ~RunningProgram();

  // Starts the program and waits up to `timeoutMs` for its main window. `program` is a path
  // relative to this test program's folder.
  bool Start(const wchar_t* program = L"Appcensus_multi.exe", DWORD timeoutMs = 30000);
  // Asks the window to close and waits for the process; its exit code, or -1.
  long Close(DWORD timeoutMs = 10000);
  bool Running() const;

  HWND Window() const { return window_; }
  HANDLE Process() const { return process_.hProcess; }

 private:
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

// Memory inside another process, for the control messages that take pointers.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, std::size_t size);
  ~RemoteBuffer();
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  void* Address() const { return address_; }
  LPARAM Param(std::size_t offset = 0) const { return reinterpret_cast<LPARAM>(static_cast<char*>(address_) + offset); }
  bool Write(const void* data, std::size_t size, std::size_t offset = 0);
  bool Read(void* data, std::size_t size, std::size_t offset = 0) const;
  std::wstring ReadText(std::size_t offset, std::size_t maxChars) const;

 private:
  HANDLE process_;
  void* address_ = nullptr;
  std::size_t size_ = 0;
};

class Driver {
 public:
  explicit Driver(const RunningProgram& program) : window_(program.Window()), process_(program.Process()) {}
  // A window of another process opened with the rights to read and write its memory.
  Driver(HWND window, HANDLE process) : window_(window), process_(process) {}

  HWND Window() const { return window_; }
  // The value the program registered under `name` (a gadget, the status bar, an image).
  LONG_PTR NamedValue(const wchar_t* name) const;
  HWND Gadget(const wchar_t* name) const { return reinterpret_cast<HWND>(NamedValue(name)); }

  // Geometry of a control in its parent's inner coordinates.
  static RECT RectInParent(HWND control);
  static SIZE InnerSize(HWND window);
  // Gives the window an inner size of width x height (outer size derived from its frame).
  static void SetInnerSize(HWND window, int width, int height);
  static std::wstring ClassName(HWND control);
  static std::wstring Text(HWND control);

  // List views.
  std::wstring ColumnTitle(HWND list, int column) const;
  int ColumnWidth(HWND list, int column) const;
  int StringWidth(HWND list, const std::wstring& text) const;
  int RowCount(HWND list) const;
  std::wstring CellText(HWND list, int row, int column) const;
  LPARAM RowData(HWND list, int row) const;
  int RowImage(HWND list, int row) const;

  // Tree view, nodes in flat top-to-bottom order.
  std::vector<HTREEITEM> TreeNodes(HWND tree) const;
  std::wstring NodeText(HWND tree, HTREEITEM node) const;
  int NodeImage(HWND tree, HTREEITEM node) const;

  // Tab control.
  int TabCount(HWND tab) const;
  std::wstring TabText(HWND tab, int index) const;
  RECT TabRect(HWND tab, int index) const;
  // Clicks on a tab with the mouse messages a user's click sends.
  void ClickTab(HWND tab, int index) const;

  // Status bar.
  std::vector<int> StatusRightEdges(HWND status) const;
  std::wstring StatusText(HWND status, int field) const;
  // The value kept with an owner-drawn field (field 0 holds the image of the latest level).
  // Only for a field known to be owner-drawn: for a text field the control would copy the
  // text to the address given.
  LRESULT OwnerDrawnFieldData(HWND status, int field) const;
  RECT StatusFieldRect(HWND status, int field) const;

  // Input.
  static void Type(HWND control, const std::wstring& text);
  static void Click(HWND button);

 private:
  HWND window_;
  HANDLE process_;
};

// Waits until the program has handled every message sent or posted to it so far.
void Settle(HWND window);

}  // namespace appcensus::driver
