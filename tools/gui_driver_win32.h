// Drives a running Appcensus_multi.exe from another process, through window messages only:
// finds the main window by its title and its gadgets by their control identifiers, reads controls (with buffers inside the program's
// address space where a control needs them) and types and clicks into them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <initializer_list>
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
  // The gadget the program registered under `name` (the window, the status bar, a control),
  // found by its control identifier; nullptr when none.
  HWND Gadget(const wchar_t* name) const;

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

  // The bounds of a column's title in the list's header (its inner coordinates), and the title's
  // format flags (HDF_SORTUP, HDF_SORTDOWN...).
  RECT ColumnTitleRect(HWND list, int column) const;
  int ColumnTitleFormat(HWND list, int column) const;
  static HWND Header(HWND list) { return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)); }

  // The selected row, -1 when none.
  int SelectedRow(HWND list) const;
  // A row's bounds in the list's inner coordinates (the whole row, all columns).
  RECT RowRect(HWND list, int row) const;

  // Tree view, nodes in flat top-to-bottom order.
  std::vector<HTREEITEM> TreeNodes(HWND tree) const;
  std::wstring NodeText(HWND tree, HTREEITEM node) const;
  int NodeImage(HWND tree, HTREEITEM node) const;
  bool NodeExpanded(HWND tree, HTREEITEM node) const;
  HTREEITEM SelectedNode(HWND tree) const;
  // The bounds of a node's text in the tree's inner coordinates; empty when it is not shown
  // (inside a closed branch).
  RECT NodeRect(HWND tree, HTREEITEM node) const;

  // Tab control.
  int TabCount(HWND tab) const;
  RECT TabRect(HWND tab, int index) const;
  // Clicks on a tab with the mouse messages a user's click sends.
  void ClickTab(HWND tab, int index) const;

  // Status bar.
  std::wstring StatusText(HWND status, int field) const;
  // The value kept with an owner-drawn field (field 0 holds the image of the latest level).
  // Only for a field known to be owner-drawn: for a text field the control would copy the
  // text to the address given.
  LRESULT OwnerDrawnFieldData(HWND status, int field) const;
  RECT StatusFieldRect(HWND status, int field) const;

  // Activity list: waits (polling, at most `timeoutMs`) for a row from `fromRow` on whose text
  // is `text`; its index, or -1.
  int WaitForActivityRow(const std::wstring& text, int fromRow = 0, DWORD timeoutMs = 60000) const;
  // Every row of the activity list.
  std::vector<std::wstring> ActivityRows() const;

  // Input.
  static void Type(HWND control, const std::wstring& text);
  // Replaces the whole text of an edit field by typing.
  static void Retype(HWND edit, const std::wstring& text);
  static void Click(HWND button);
  // A user's mouse clicks at a point of a control's inner area: the pointer is moved there
  // (some handlers read its position) and the button messages are posted in the order the
  // system sends them for a click or a double-click.
  static void LeftClickAt(HWND control, POINT at);
  static void LeftDoubleClickAt(HWND control, POINT at);
  static void RightClickAt(HWND control, POINT at);
  static void RightDoubleClickAt(HWND control, POINT at);
  // Keys pressed as a user does on the keyboard (virtual-key codes, held down in order, then let
  // go in reverse order), after the window is brought to the front: they reach the control that
  // has the program's keyboard focus. False when the input could not be sent.
  bool PressKeys(std::initializer_list<WORD> keys) const;
  // Calls the user32 function `function` with four arguments on a short thread started inside
  // the program, for what cannot be done from outside under Wine (64-bit programs only).
  // `data` is copied into the program first; an argument equal to kDataAddress stands for its
  // address there. The low 32 bits of the function's result go to `result`. False when the
  // thread could not run.
  static constexpr std::uint64_t kDataAddress = 0xDA7A0000DA7A0000ull;
  bool CallUser32(const char* function, std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d,
                  DWORD* result = nullptr, const void* data = nullptr, std::size_t dataSize = 0,
                  std::uint64_t* dataAddress = nullptr) const;
  // Has the notification `code` sent to a control's parent as the control would send it, for
  // events that Wine's controls do not report (the system does not carry WM_NOTIFY between
  // processes, so it is sent from inside the program).
  bool NotifyParent(HWND control, UINT code) const;
  static POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

 private:
  HWND window_;
  HANDLE process_;
};

// Waits until the program has handled every message sent or posted to it so far.
void Settle(HWND window);

// The text on the clipboard (CF_UNICODETEXT); "<none>" when it holds no text.
std::wstring ClipboardText();
// Puts a text on the clipboard, so that a later copy can be told from what was there.
void SetClipboardText(const std::wstring& text);

}  // namespace appcensus::driver
